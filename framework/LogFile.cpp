#include "LogFile.h"

#include "NoLinkFile.h"

namespace fw {

namespace {

void AppendDigits(std::string& text, unsigned value, int digits)
{
    char field[4];
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        field[i] = static_cast<char>('0' + value % 10);
    text.append(field, static_cast<std::size_t>(digits));
}

// Without the C library's formatted output.
std::string Timestamp(const SYSTEMTIME& time)
{
    std::string text;
    AppendDigits(text, time.wYear, 4);
    text += '-';
    AppendDigits(text, time.wMonth, 2);
    text += '-';
    AppendDigits(text, time.wDay, 2);
    text += ' ';
    AppendDigits(text, time.wHour, 2);
    text += ':';
    AppendDigits(text, time.wMinute, 2);
    text += ':';
    AppendDigits(text, time.wSecond, 2);
    return text;
}

}  // namespace

std::string LocalTimestamp()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Timestamp(now);
}

bool CLogFile::Open(const std::string& path, bool refuseLinks)
{
    // FILE_APPEND_DATA without FILE_WRITE_DATA: no write can land anywhere
    // but at the end of a local file (Line says where, for the others).
    constexpr DWORD kAccess = FILE_APPEND_DATA | SYNCHRONIZE;
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (refuseLinks) {
        m_file = OpenWithoutLinks(path, kAccess, kShare, OPEN_ALWAYS, m_error);
        return IsOpen();
    }
    m_file.reset(CreateFileA(path.c_str(), kAccess, kShare, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    m_error = IsOpen() ? ERROR_SUCCESS : GetLastError();
    return IsOpen();
}

std::string CLogFile::Refusal(const std::string& path) const
{
    constexpr DWORD kReparsePointEncountered = 4395;
    return "The log file " + path +
           (m_error == kReparsePointEncountered
                ? " lies behind a junction or a symbolic link, and a run with administrator rights writes through none."
                : " cannot be opened.");
}

void CLogFile::Line(const std::string& text)
{
    if (!m_file)
        return;
    std::string line = LocalTimestamp() + " " + text + "\r\n";
    for (std::size_t i = 0; i + 2 < line.size(); ++i)
        if (line[i] == '\r' || line[i] == '\n')
            line[i] = ' ';
    DWORD written = 0;
    // At the end of the file as it is now, whoever else appends: the access
    // right promises that for local files only, so the offset of all ones
    // (FILE_WRITE_TO_END_OF_FILE) asks the file system, a share's server
    // too, to put the line there.
    OVERLAPPED atEnd = {};
    atEnd.Offset = atEnd.OffsetHigh = 0xFFFFFFFF;
    WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, &atEnd);
    FlushFileBuffers(m_file.get());
}

}  // namespace fw
