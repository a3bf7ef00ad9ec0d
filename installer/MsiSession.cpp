#include "MsiSession.h"

#include "AnsiText.h"
#include "WideString.h"

namespace qb480 {

namespace {

class CMsiRecord {
public:
    explicit CMsiRecord(unsigned fields) : m_record(MsiCreateRecord(fields)) {}
    ~CMsiRecord()
    {
        if (m_record)
            MsiCloseHandle(m_record);
    }
    CMsiRecord(const CMsiRecord&) = delete;
    CMsiRecord& operator=(const CMsiRecord&) = delete;
    MSIHANDLE get() const { return m_record; }

private:
    MSIHANDLE m_record;
};

// Asked for its size first, then read whole.
template <typename Read>
std::optional<WideString> WideText(Read read)
{
    wchar_t empty[1] = {};
    DWORD size = 0;
    UINT result = read(empty, &size);
    if (result == ERROR_SUCCESS)
        return WideString();
    if (result != ERROR_MORE_DATA)
        return std::nullopt;
    WideString text(size + 1, L'\0');
    size = static_cast<DWORD>(text.size());
    if (read(&text[0], &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(size);
    return text;
}

std::optional<std::string> InCodePage(const std::optional<WideString>& wide)
{
    if (!wide)
        return std::nullopt;
    return InAnsiCodePage(wide->data(), wide->size());
}

}  // namespace

void LogLine(MSIHANDLE install, const std::string& line)
{
    std::string text = "qb480cfg: ";
    for (const char c : line) {
        if (c == '[' || c == ']' || c == '{' || c == '}')
            text += std::string("[\\") + c + ']';
        else
            text += c;
    }
    const CMsiRecord record(0);
    MsiRecordSetStringA(record.get(), 0, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

std::optional<std::string> PropertyText(MSIHANDLE install, const char* name)
{
    const WideString wideName(name, name + std::char_traits<char>::length(name));
    return InCodePage(WideText([&](wchar_t* text, DWORD* size) { return MsiGetPropertyW(install, wideName.c_str(), text, size); }));
}

std::optional<std::string> FormattedText(MSIHANDLE install, const char* text)
{
    const CMsiRecord record(0);
    MsiRecordSetStringA(record.get(), 0, text);
    return InCodePage(WideText([&](wchar_t* out, DWORD* size) { return MsiFormatRecordW(install, record.get(), out, size); }));
}

bool SetPropertyText(MSIHANDLE install, const char* name, const std::string& value)
{
    return MsiSetPropertyA(install, name, value.c_str()) == ERROR_SUCCESS;
}

}  // namespace qb480
