#include "EventRecords.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

#include "HarnessFiles.h"
#include "RegValue.h"

namespace harness {

namespace {

std::string Utf8Of(const std::vector<WCHAR>& units)
{
    if (units.empty())
        return std::string();
    const int count = static_cast<int>(units.size());
    std::string out(WideCharToMultiByte(CP_UTF8, 0, units.data(), count, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, units.data(), count, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}

// debugstr_w's text back: L"...", with \n \r \t \" \\ and \XXXX (four
// hexadecimal digits) for the other characters outside ' ' to '~'; "..."
// after the closing quote when it was cut.
std::string FromDebugString(const std::string& text)
{
    std::vector<WCHAR> units;
    std::size_t at = text.find("L\"");
    if (at == std::string::npos)
        return text;
    for (at += 2; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] != '\\' || at + 1 >= text.size()) {
            units.push_back(static_cast<unsigned char>(text[at]));
            continue;
        }
        const char next = text[++at];
        if (next == 'n' || next == 'r' || next == 't')
            units.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : '\t');
        else if (std::isxdigit(static_cast<unsigned char>(next)) && at + 3 < text.size()) {
            units.push_back(static_cast<WCHAR>(std::strtoul(text.substr(at, 4).c_str(), nullptr, 16)));
            at += 3;
        } else
            units.push_back(static_cast<unsigned char>(next));
    }
    return Utf8Of(units);
}

// "...:fixme:advapi:ReportEventW (handle,0x0002,0x0001,0x848003ea,sid,0x000f,...): stub"
bool ReadHead(const std::string& line, EventRecord& record, unsigned long& count)
{
    const std::size_t open = line.find(":advapi:ReportEventW (");
    if (open == std::string::npos)
        return false;
    std::vector<unsigned long> fields;
    for (std::size_t at = line.find('(', open) + 1; at < line.size() && fields.size() < 6;) {
        const std::size_t comma = line.find_first_of(",)", at);
        fields.push_back(std::strtoul(line.substr(at, comma - at).c_str(), nullptr, 16));
        at = comma + 1;
    }
    if (fields.size() < 6)
        return false;
    record.type = static_cast<WORD>(fields[1]);
    record.category = static_cast<WORD>(fields[2]);
    record.id = fields[3];
    count = fields[5];
    return true;
}

bool IsStringLine(const std::string& line) { return line.find(":eventlog:ReportEventW ") != std::string::npos; }

std::mutex g_recordsLock;
std::vector<EventRecord> g_records;

using ReportFunction = BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID);
ReportFunction g_realReport = nullptr;

BOOL WINAPI RecordingReportEventW(HANDLE log, WORD type, WORD category, DWORD id, PSID user, WORD count,
                                  DWORD dataSize, LPCWSTR* strings, LPVOID data)
{
    EventRecord record{id, type, category, {}};
    for (WORD i = 0; i < count; ++i) {
        record.strings.push_back(Utf8Of(std::vector<WCHAR>(strings[i], strings[i] + lstrlenW(strings[i]))));
    }
    {
        std::lock_guard<std::mutex> lock(g_recordsLock);
        g_records.push_back(record);
    }
    return g_realReport(log, type, category, id, user, count, dataSize, strings, data);
}

}  // namespace

std::vector<EventRecord> RecordsIn(const Texts& trace)
{
    std::vector<EventRecord> records;
    for (std::size_t i = 0; i < trace.size(); ++i) {
        EventRecord record;
        unsigned long count = 0;
        if (!ReadHead(trace[i], record, count))
            continue;
        for (; count && i + 1 < trace.size() && IsStringLine(trace[i + 1]); --count)
            record.strings.push_back(FromDebugString(trace[++i]));
        records.push_back(record);
    }
    return records;
}

CWineStderr::CWineStderr()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(kWineStderrVariable, path, sizeof path);
    if (!length || length >= sizeof path)
        return;
    m_path = WindowsPath(path);
    m_offset = ReadFileBytes(m_path).value_or("").size();
}

Texts CWineStderr::NewLines()
{
    if (m_path.empty())
        return {};
    const std::string text = ReadFileBytes(m_path).value_or("");
    Texts lines;
    for (std::size_t at = std::min(m_offset, text.size()); at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    m_offset = text.size();
    return lines;
}

CEventRecorder::CEventRecorder(HMODULE module)
{
    {
        std::lock_guard<std::mutex> lock(g_recordsLock);
        g_records.clear();
    }
    m_hook = CImportHook(module, nullptr, "ReportEventW", reinterpret_cast<void*>(RecordingReportEventW));
    g_realReport = reinterpret_cast<ReportFunction>(m_hook.original());
}

std::vector<EventRecord> CEventRecorder::Records() const
{
    std::lock_guard<std::mutex> lock(g_recordsLock);
    return g_records;
}

std::string AuditSourceProblems()
{
    using namespace std::string_literals;
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\"s + qb480::audit::kSourceName;
    const RegValue file{REG_EXPAND_SZ, "%SystemRoot%\\System32\\qb480msg.dll\0"s};
    std::string problems;
    for (const auto& [name, expected] : {std::pair{"EventMessageFile", file}, std::pair{"CategoryMessageFile", file},
                                         std::pair{"CategoryCount", Dword(qb480::audit::kCategoryCount)},
                                         std::pair{"TypesSupported", Dword(7)}}) {
        const auto value = ReadValue(key.c_str(), name);
        if (value != expected)
            problems += std::string(name) + " is " + (value ? ::testing::PrintToString(*value) : "absent") + "; ";
    }
    // The real system folder, also for a 32-bit test on 64-bit Windows.
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const std::string path = std::string(windows) + (wow64 ? "\\sysnative\\" : "\\system32\\") + "qb480msg.dll";
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        problems += path + " is missing; ";
    return problems;
}

}  // namespace harness
