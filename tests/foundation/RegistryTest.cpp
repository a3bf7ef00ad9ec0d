// The registry access kinds against Wine's real registry.
#include "windows/Registry.h"

#include <gtest/gtest.h>

#include "ImportFaults.h"
#include "ImportHook.h"
#include "RegValue.h"
#include "Scm.h"

namespace {

constexpr char kKey[] = "SOFTWARE\\QB480Test\\Registry";
constexpr char kMissingKey[] = "SOFTWARE\\QB480Test\\Registry\\Missing";

void SetRaw(const char* name, DWORD type, const std::string& bytes)
{
    ASSERT_TRUE(harness::WriteValue(kKey, name, {type, bytes}));
}

std::optional<harness::RegValue> Raw(const char* name)
{
    return harness::ReadValue(kKey, name);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(harness::ResetBaseline()); }
    void TearDown() override { harness::ResetBaseline(); }
};

}  // namespace

using namespace std::string_literals;

TEST_F(Registry, CreateKindsMakeMissingKeysAndOpenKindsDoNot)
{
    EXPECT_FALSE(qb480::OpenKeyForQuery(kKey));
    EXPECT_FALSE(harness::KeyExists(kKey));
    EXPECT_TRUE(qb480::CreateKeyForReadWrite(kKey));
    EXPECT_TRUE(harness::KeyExists(kKey));
    EXPECT_TRUE(qb480::OpenKeyForQuery(kKey));
    EXPECT_TRUE(qb480::CreateKeyForReading(kMissingKey));
    EXPECT_TRUE(harness::KeyExists(kMissingKey));
}

TEST_F(Registry, EachKindHasOnlyItsAccess)
{
    SetRaw("Value", REG_DWORD, "\x07\0\0\0"s);
    {
        // Write access alone cannot read back.
        const auto writer = qb480::CreateKeyForWriting(kKey);
        ASSERT_TRUE(writer);
        EXPECT_TRUE(qb480::WriteDword(writer.get(), "Written", 9));
        EXPECT_FALSE(qb480::ReadDword(writer.get(), "Value"));
    }
    {
        // Read access cannot write.
        const auto reader = qb480::CreateKeyForReading(kKey);
        EXPECT_EQ(qb480::ReadDword(reader.get(), "Value"), 7u);
        EXPECT_FALSE(qb480::WriteDword(reader.get(), "Other", 1));
        const auto query = qb480::OpenKeyForQuery(kKey);
        EXPECT_EQ(qb480::ReadDword(query.get(), "Written"), 9u);
        EXPECT_FALSE(qb480::WriteDword(query.get(), "Other", 1));
    }
    {
        // The create-and-read kind may read and set.
        const auto both = qb480::CreateKeyForReadWrite(kKey);
        EXPECT_EQ(qb480::ReadDword(both.get(), "Value"), 7u);
        EXPECT_TRUE(qb480::WriteDword(both.get(), "Other", 1));
    }
    EXPECT_EQ(Raw("Other"), (harness::RegValue{REG_DWORD, "\x01\0\0\0"s}));
}

TEST_F(Registry, DwordReaderTakesFourBytesOfAnyTypeAndNothingLonger)
{
    SetRaw("Eight", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08"s);
    SetRaw("Binary", REG_BINARY, "\x00\x00\x0D\x00"s);
    SetRaw("Two", REG_BINARY, "\x34\x12"s);
    const auto key = qb480::OpenKeyForQuery(kKey);
    EXPECT_FALSE(qb480::ReadDword(key.get(), "Eight"));
    EXPECT_EQ(qb480::ReadDword(key.get(), "Binary"), 0xD0000u);
    EXPECT_EQ(qb480::ReadDword(key.get(), "Two"), 0x1234u);
    EXPECT_FALSE(qb480::ReadDword(key.get(), "Missing"));
    EXPECT_FALSE(qb480::ReadDword(nullptr, "Binary"));
}

TEST_F(Registry, TextReaderStopsAtTheFirstZeroAndRefusesWhatDoesNotFit)
{
    SetRaw("Eleven", REG_SZ, "ABCDEFGHIJK\0"s);
    SetRaw("Twelve", REG_SZ, "ABCDEFGHIJKL\0"s);
    SetRaw("Inner", REG_BINARY, "AB\0CD\0"s);
    SetRaw("Unterminated", REG_BINARY, "COM"s);
    const auto key = qb480::OpenKeyForQuery(kKey);
    EXPECT_EQ(qb480::ReadText(key.get(), "Eleven", 12), "ABCDEFGHIJK");
    EXPECT_FALSE(qb480::ReadText(key.get(), "Twelve", 12));
    EXPECT_EQ(qb480::ReadText(key.get(), "Twelve", 100), "ABCDEFGHIJKL");
    EXPECT_EQ(qb480::ReadText(key.get(), "Inner", 12), "AB");
    EXPECT_EQ(qb480::ReadText(key.get(), "Unterminated", 12), "COM");
    EXPECT_FALSE(qb480::ReadText(key.get(), "Missing", 12));
}

TEST_F(Registry, WritersStoreExactBytes)
{
    {
        const auto key = qb480::CreateKeyForWriting(kKey);
        EXPECT_TRUE(qb480::WriteText(key.get(), "Text", "COM"));
        EXPECT_TRUE(qb480::WriteText(key.get(), "Empty", ""));
        EXPECT_TRUE(qb480::WriteDword(key.get(), "Number", 0x0A080403));
        EXPECT_TRUE(qb480::WriteBytes(key.get(), "List", REG_MULTI_SZ, "a\0b\0\0"s));
        EXPECT_TRUE(qb480::DeleteValue(key.get(), "Number"));
        EXPECT_FALSE(qb480::DeleteValue(key.get(), "Number"));
    }
    EXPECT_EQ(Raw("Text"), (harness::RegValue{REG_SZ, "COM\0"s}));
    EXPECT_EQ(Raw("Empty"), (harness::RegValue{REG_SZ, "\0"s}));
    EXPECT_FALSE(Raw("Number"));
    EXPECT_EQ(Raw("List"), (harness::RegValue{REG_MULTI_SZ, "a\0b\0\0"s}));
}

TEST_F(Registry, FailedCreateOrSetStoresNothing)
{
    {
        harness::CImportFaults faults(GetModuleHandleA(nullptr));
        ASSERT_TRUE(faults.Inject("RegCreateKeyExA", ERROR_ACCESS_DENIED));
        const auto key = qb480::CreateKeyForWriting(kKey);
        EXPECT_FALSE(key);
        EXPECT_FALSE(qb480::WriteDword(key.get(), "Number", 1));
    }
    EXPECT_FALSE(harness::KeyExists(kKey));
    {
        const auto key = qb480::CreateKeyForWriting(kKey);
        harness::CImportFaults faults(GetModuleHandleA(nullptr));
        ASSERT_TRUE(faults.Inject("RegSetValueExA", ERROR_ACCESS_DENIED));
        EXPECT_FALSE(qb480::WriteText(key.get(), "Text", "COM"));
        EXPECT_FALSE(qb480::WriteDword(key.get(), "Number", 1));
    }
    EXPECT_FALSE(Raw("Text"));
    EXPECT_FALSE(Raw("Number"));
}

namespace {

using QueryFunction = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
QueryFunction g_realQuery = nullptr;
int g_growthsLeft = 0;
std::string g_growingText;

// Another program rewriting the value between two reads: after each query
// of "Growing", while growths are left, it is five characters longer.
LONG WINAPI QueryOfAGrowingValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    const LONG result = g_realQuery(key, name, reserved, type, data, size);
    if (name && std::string(name) == "Growing" && g_growthsLeft > 0) {
        --g_growthsLeft;
        g_growingText += "GROWN";
        SetRaw("Growing", REG_SZ, g_growingText + '\0');
    }
    return result;
}

// The whole text of "Growing" while it grows growths times.
qb480::WholeText ReadWhileGrowing(int growths, std::size_t limit)
{
    const qb480::WholeText none;
    harness::CImportHook hook(GetModuleHandleA(nullptr), nullptr, "RegQueryValueExA",
                              reinterpret_cast<void*>(QueryOfAGrowingValue));
    if (!hook)
        return none;
    g_realQuery = reinterpret_cast<QueryFunction>(hook.original());
    g_growthsLeft = growths;
    g_growingText = "COM";
    SetRaw("Growing", REG_SZ, "COM\0"s);
    const fw::UniqueHkey key = qb480::OpenKeyForQuery(kKey);
    return qb480::ReadWholeText(key.get(), "Growing", limit);
}

}  // namespace

TEST_F(Registry, WholeTextReaderFollowsAValueThatGrowsBetweenItsReads)
{
    const qb480::WholeText grown = ReadWhileGrowing(2, 100);
    EXPECT_EQ(grown.text, "COMGROWNGROWN");
    EXPECT_FALSE(grown.tooLong);
    // One that never stops growing is given up on rather than read for ever.
    EXPECT_FALSE(ReadWhileGrowing(1000, 100000).text);
    // Past the limit it is not read at all.
    const qb480::WholeText longer = ReadWhileGrowing(2, 10);
    EXPECT_FALSE(longer.text);
    EXPECT_TRUE(longer.tooLong);
}
