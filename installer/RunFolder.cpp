#include "RunFolder.h"

#include <windows.h>
#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <vector>

#include "EntryText.h"
#include "Sha256.h"
#include "UniqueHandle.h"
#include "windows/AdminRights.h"
#include "windows/SetupLockSecurity.h"

namespace qb480 {

namespace {

// Protected, so that nothing is inherited from the folder above; objects
// made inside inherit it.
constexpr char kFolderSecurity[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr char kPrefix[] = "\\Temp\\QB480.";
constexpr DWORD kChunk = 64 * 1024;


std::string ErrorOf(DWORD error) { return "error " + fw::DecimalText(static_cast<std::uint32_t>(error)); }

// A link in the folder itself is opened as the link, never followed.
HANDLE OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(path.c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

std::string NewRunFolderPath()
{
    unsigned char bytes[16];
    char windows[MAX_PATH] = "";
    const UINT length = GetSystemWindowsDirectoryA(windows, MAX_PATH);
    if (!RtlGenRandom(bytes, sizeof bytes) || !length || length >= MAX_PATH)
        return std::string();
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string path = std::string(windows) + kPrefix;
    for (unsigned char byte : bytes) {
        path += kDigits[byte >> 4];
        path += kDigits[byte & 0xF];
    }
    return path;
}

bool MakeRunFolder(const std::string& path, std::string& fault)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
        fault = "its security cannot be built: " + ErrorOf(GetLastError());
        return false;
    }
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    const bool made = CreateDirectoryA(path.c_str(), &security) != 0;
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    if (!made)
        fault = error == ERROR_ALREADY_EXISTS ? "it exists already, made by someone else" : ErrorOf(error);
    return made;
}

bool IsRunFolder(const std::string& path)
{
    const fw::UniqueFileHandle folder(CreateFileA(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING,
                                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    return folder && GetFileInformationByHandle(folder.get(), &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           // Administrators, SYSTEM or this action's own account (SYSTEM,
           // when the installer's service runs it): one a standard user
           // made is that user's. Wine keeps no file security, and gives
           // every file the process's own account as its owner.
           OwnedByAdministrators(folder.get(), true, true);
}

void RemoveRunFolder(const std::string& path)
{
    WIN32_FIND_DATAA found;
    {
        const fw::UniqueFindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
        for (bool more = static_cast<bool>(search); more; more = FindNextFileA(search.get(), &found))
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((path + "\\" + found.cFileName).c_str());
    }
    RemoveDirectoryA(path.c_str());
}

bool CopyVerified(const std::string& from, const std::string& to, const std::string& sha256, std::string& fault)
{
    const fw::UniqueFileHandle source(OpenFile(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!source) {
        fault = "it cannot be read: " + ErrorOf(GetLastError());
        return false;
    }
    fw::UniqueFileHandle copy(OpenFile(to, GENERIC_WRITE, 0, CREATE_NEW));
    if (!copy) {
        fault = "it cannot be copied to " + to + ": " + ErrorOf(GetLastError());
        return false;
    }
    CSha256 hash;
    std::string buffer(kChunk, '\0');
    DWORD read = 0, written = 0;
    bool copied = true;
    while (copied && ReadFile(source.get(), &buffer[0], kChunk, &read, nullptr) && read) {
        hash.Add(buffer.data(), read);
        copied = WriteFile(copy.get(), buffer.data(), read, &written, nullptr) && written == read;
    }
    copy.reset();
    if (copied && hash.HexDigest() == sha256)
        return true;
    DeleteFileA(to.c_str());
    fault = copied ? "its bytes are not the package's (another program stands in its place)" : "it cannot be copied";
    return false;
}

bool WriteRunFile(const std::string& path, const std::string& text)
{
    const fw::UniqueFileHandle file(OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(file.get());
}

std::optional<std::string> ReadRunFile(const std::string& path)
{
    const fw::UniqueFileHandle file(OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!file)
        return std::nullopt;
    std::string text;
    std::string buffer(kChunk, '\0');
    DWORD read = 0;
    while (ReadFile(file.get(), &buffer[0], kChunk, &read, nullptr) && read)
        text.append(buffer.data(), read);
    return text;
}

}  // namespace qb480
