// The built qb480msg.dll read as Event Viewer reads it: loaded as data and
// formatted with FormatMessageW. Its table must hold exactly the events of
// AuditEvents.h and the categories, and every event must take the fifteen
// strings, no more and no fewer, or the records' texts lose or garble them.
#include "AuditEvents.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "UniqueHandle.h"

namespace {

namespace audit = qb480::audit;

constexpr wchar_t kMessageFile[] = L"" QB480MSG_DLL;
const wchar_t* const kCategoryNames[] = {L"Board settings", L"Firmware", L"Driver"};

fw::UniqueModule LoadAsData()
{
    // As an image resource where the loader allows it (so the file is
    // mapped as Windows maps it), else as plain data, as older Event
    // Viewers load it.
    fw::UniqueModule module(
        LoadLibraryExW(kMessageFile, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)
        module.reset(LoadLibraryExW(kMessageFile, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    return module;
}

// The message's text; empty with *error set when there is none.
std::wstring Format(HMODULE module, DWORD id, DWORD flags, const DWORD_PTR* arguments, DWORD* error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | flags, module,
                                        id, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
    *error = length ? ERROR_SUCCESS : GetLastError();
    std::wstring result(text ? text : L"", length);
    LocalFree(text);
    return result;
}

// The insert numbers a raw message text uses (%1 to %99, with or without a
// !format!), past the escapes %%, %n, %. and the like.
std::set<int> Inserts(const std::wstring& raw)
{
    std::set<int> found;
    for (std::size_t at = 0; at + 1 < raw.size(); ++at) {
        if (raw[at] != L'%')
            continue;
        if (!std::iswdigit(raw[at + 1]) || raw[at + 1] == L'0') {
            ++at;  // an escape: the character after % is not the start of another
            continue;
        }
        int number = raw[at + 1] - L'0';
        if (at + 2 < raw.size() && std::iswdigit(raw[at + 2]))
            number = number * 10 + (raw[at + 2] - L'0');
        found.insert(number);
    }
    return found;
}

// Every message ID in the file's message table, from its blocks' ranges.
std::set<DWORD> TableIds(HMODULE module)
{
    std::set<DWORD> ids;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MESSAGETABLE));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* table = static_cast<const MESSAGE_RESOURCE_DATA*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!table || size < sizeof(DWORD) ||
        (size - sizeof(DWORD)) / sizeof(MESSAGE_RESOURCE_BLOCK) < table->NumberOfBlocks)
        return ids;
    const MESSAGE_RESOURCE_BLOCK* blocks = table->Blocks;
    for (DWORD block = 0; block < table->NumberOfBlocks; ++block) {
        for (std::uint64_t id = blocks[block].LowId; id <= blocks[block].HighId; ++id)
            ids.insert(static_cast<DWORD>(id));
    }
    return ids;
}

std::string Hex(const std::set<DWORD>& ids)
{
    std::string text;
    char id[16];
    for (DWORD value : ids) {
        std::snprintf(id, sizeof id, "0x%08lX", static_cast<unsigned long>(value));
        text += (text.empty() ? "" : ", ") + std::string(id);
    }
    return "{" + text + "}";
}

const char* TypeName(audit::Type type)
{
    return type == audit::Type::Error ? "error" : type == audit::Type::Warning ? "warning" : "information";
}

}  // namespace

TEST(MessageTable, EveryEventTakesExactlyTheFifteenStrings)
{
    const fw::UniqueModule module = LoadAsData();
    ASSERT_TRUE(module) << "cannot load the message file as data, error " << GetLastError();

    // Distinct markers, so that a string shown twice or in another's place is seen.
    std::vector<std::wstring> markers;
    std::vector<DWORD_PTR> arguments;
    for (std::size_t i = 1; i <= audit::kStringCount; ++i)
        markers.push_back(L"<<string " + std::to_wstring(i) + L">>");
    for (const std::wstring& marker : markers)
        arguments.push_back(reinterpret_cast<DWORD_PTR>(marker.c_str()));
    std::set<int> everyString;
    for (int i = 1; i <= static_cast<int>(audit::kStringCount); ++i)
        everyString.insert(i);

    std::set<WORD> codes;
    for (const audit::Event& event : audit::kEvents) {
        SCOPED_TRACE(::testing::Message() << event.name << ", ID 0x" << std::hex << event.id);
        EXPECT_TRUE(codes.insert(static_cast<WORD>(event.id)).second) << "Event Viewer shows another event's ID";
        const DWORD severity = event.type == audit::Type::Error ? 3 : event.type == audit::Type::Warning ? 2 : 1;
        EXPECT_EQ(event.id >> 30, severity) << "severity bits of an " << TypeName(event.type) << " event";
        EXPECT_EQ(event.id >> 16 & 0xFFF, 0x480u) << "facility";
        EXPECT_EQ(event.id >> 28 & 0x3, 0u) << "customer and reserved bits";
        const auto category = static_cast<std::uint32_t>(event.category);
        EXPECT_TRUE(category >= 1 && category <= audit::kCategoryCount) << "category " << category;

        DWORD error = 0;
        const std::wstring raw = Format(module.get(), event.id, FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, &error);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS)) << "the message file has no such message";
        const std::set<int> inserts = Inserts(raw);
        EXPECT_EQ(inserts, everyString) << "the inserts of the text, against %1 to %" << audit::kStringCount;
        // An insert beyond the strings would read past the array a writer passes.
        if (inserts.empty() || *inserts.rbegin() > static_cast<int>(audit::kStringCount))
            continue;

        const std::wstring text = Format(module.get(), event.id, FORMAT_MESSAGE_ARGUMENT_ARRAY, arguments.data(), &error);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS)) << "formatted with the strings";
        for (const std::wstring& marker : markers)
            EXPECT_NE(text.find(marker), std::wstring::npos) << "the text lacks " << ::testing::PrintToString(marker);
    }
}

TEST(MessageTable, HoldsTheCategoriesAndTheEventsAndNothingElse)
{
    const fw::UniqueModule module = LoadAsData();
    ASSERT_TRUE(module) << "cannot load the message file as data, error " << GetLastError();
    static_assert(std::size(kCategoryNames) == audit::kCategoryCount, "a category without its name here");

    std::set<DWORD> expected;
    for (DWORD category = 1; category <= audit::kCategoryCount; ++category) {
        DWORD error = 0;
        std::wstring name = Format(module.get(), category, FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, &error);
        while (!name.empty() && (name.back() == L'\n' || name.back() == L'\r'))
            name.pop_back();
        EXPECT_EQ(name, kCategoryNames[category - 1]) << "category " << category << ", error " << error;
        expected.insert(category);
    }
    DWORD error = 0;
    const std::wstring beyond =
        Format(module.get(), audit::kCategoryCount + 1, FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, &error);
    EXPECT_TRUE(beyond.empty()) << "category " << audit::kCategoryCount + 1 << " exists";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));

    // A message the header does not know, or one whose severity differs
    // from the header's, shows up as an ID of the table's own.
    for (const audit::Event& event : audit::kEvents)
        expected.insert(event.id);
    const std::set<DWORD> table = TableIds(module.get());
    std::set<DWORD> extra, missing;
    for (DWORD id : table)
        if (!expected.count(id))
            extra.insert(id);
    for (DWORD id : expected)
        if (!table.count(id))
            missing.insert(id);
    EXPECT_TRUE(extra.empty() && missing.empty())
        << "in the table only: " << Hex(extra) << "; in AuditEvents.h only: " << Hex(missing);
}
