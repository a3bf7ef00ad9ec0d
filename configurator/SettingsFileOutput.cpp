#include "SettingsFileOutput.h"

#include <windows.h>

#include "EntryText.h"
#include "NoLinkFile.h"
#include "UniqueHandle.h"

namespace qb480 {

namespace {

// The system's text for the error, and its number, for the administrator
// who must find out why the file could not be written.
std::string ErrorText(DWORD error)
{
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' ||
                      text[length - 1] == '.'))
        --length;
    return std::string(text, length) + (length ? " " : "") + "(error " + fw::DecimalText(error) + ")";
}

constexpr DWORD kReparsePointEncountered = 4395;

}  // namespace

const char kThroughALink[] =
    "it lies behind a junction or a symbolic link, and a run with administrator rights writes through none";

std::string WriteSettingsText(const std::string& path, const std::string& text, bool refuseLinks)
{
    DWORD error = ERROR_SUCCESS;
    const fw::UniqueFileHandle file =
        refuseLinks ? fw::OpenWithoutLinks(path, GENERIC_WRITE, 0, CREATE_ALWAYS, error)
                    : fw::UniqueFileHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && !refuseLinks)
        error = GetLastError();
    if (error == kReparsePointEncountered)
        return kThroughALink;
    if (!file)
        return ErrorText(error);
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return ErrorText(GetLastError());
    if (written != text.size())
        return ErrorText(ERROR_DISK_FULL);
    return std::string();
}

}  // namespace qb480
