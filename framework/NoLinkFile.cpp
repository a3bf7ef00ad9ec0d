#include "NoLinkFile.h"

#include <vector>

namespace fw {

namespace {

constexpr DWORD kReparsePointEncountered = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

std::string FullPath(const std::string& path)
{
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    std::string full(size, '\0');
    const DWORD length = size ? GetFullPathNameA(path.c_str(), size, &full[0], nullptr) : 0;
    full.resize(length < size ? length : 0);
    return full;
}

// Where the folders below the root begin: after "C:\" or "\\server\share\".
std::size_t FirstFolder(const std::string& full)
{
    if (full.compare(0, 2, "\\\\") != 0)
        return full.find('\\') + 1;
    const std::size_t share = full.find('\\', 2);
    const std::size_t end = share == std::string::npos ? std::string::npos : full.find('\\', share + 1);
    return end == std::string::npos ? full.size() : end + 1;
}

// Asked of the handle, opened as the link itself, and of the name, whose
// attributes are the link's too: a file system that opens the target
// whatever is asked (Wine's, for a Unix symbolic link) still says it by name.
bool IsLink(HANDLE object, const std::string& path)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return !GetFileInformationByHandle(object, &information) ||
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
           (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
}

}  // namespace

UniqueFileHandle OpenWithoutLinks(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                                  DWORD& error)
{
    const std::string full = FullPath(path);
    if (full.empty()) {
        error = GetLastError() ? GetLastError() : ERROR_INVALID_NAME;
        return UniqueFileHandle();
    }
    std::vector<UniqueFileHandle> folders;
    for (std::size_t end = full.find('\\', FirstFolder(full)); end != std::string::npos; end = full.find('\\', end + 1)) {
        // Listing access, so that the missing delete sharing binds others.
        folders.emplace_back(CreateFileA(full.substr(0, end).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!folders.back()) {
            // A folder missing on the way, as CreateFile itself says it.
            error = GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : GetLastError();
            return UniqueFileHandle();
        }
        if (IsLink(folders.back().get(), full.substr(0, end))) {
            error = kReparsePointEncountered;
            return UniqueFileHandle();
        }
    }
    // A link in the file's place is refused before anything is written to it.
    const UniqueFileHandle existing(CreateFileA(full.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (existing && IsLink(existing.get(), full)) {
        error = kReparsePointEncountered;
        return UniqueFileHandle();
    }
    UniqueFileHandle file(CreateFileA(full.c_str(), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    error = file ? ERROR_SUCCESS : GetLastError();
    if (file && IsLink(file.get(), full)) {
        error = kReparsePointEncountered;
        file.reset();
    }
    return file;
}

}  // namespace fw
