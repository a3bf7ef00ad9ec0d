#include "SettingsFileOutput.h"

#include <windows.h>

#include "EntryText.h"
#include "NoLinkFile.h"
#include "UniqueHandle.h"
#include "windows/SystemText.h"

namespace qb480 {

namespace {

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
        return SystemErrorText(error);
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return SystemErrorText(GetLastError());
    if (written != text.size())
        return SystemErrorText(ERROR_DISK_FULL);
    return std::string();
}

}  // namespace qb480
