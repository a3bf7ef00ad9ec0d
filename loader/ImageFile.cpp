#include "ImageFile.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "windows/SystemFolder.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qb480 {

namespace {

#ifdef _WIN32

std::string FolderOf(const char* path)
{
    const std::string text(path);
    const std::size_t slash = text.find_last_of("\\/");
    if (slash == std::string::npos)
        return ".";
    return text.substr(0, slash + 1);  // "C:\" must keep its separator
}

std::FILE* CreateTempBeside(const char* path, std::string& tempPath)
{
    char name[MAX_PATH];
    if (!GetTempFileNameA(FolderOf(path).c_str(), "qbl", 0, name))
        return nullptr;
    tempPath = name;
    std::FILE* file = std::fopen(name, "wb");
    if (!file)
        DeleteFileA(name);
    return file;
}

bool MoveOver(const std::string& from, const char* to)
{
    return MoveFileExA(from.c_str(), to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

std::FILE* CreateTempBeside(const char* path, std::string& tempPath)
{
    std::string pattern = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        return nullptr;
    // mkstemp makes the file private; the image gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    tempPath = pattern;
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        std::remove(pattern.c_str());
    }
    return file;
}

bool MoveOver(const std::string& from, const char* to)
{
    return std::rename(from.c_str(), to) == 0;
}

#endif

}  // namespace

HexFault ReplaceFileContents(const char* path, const std::uint8_t* bytes, std::size_t size)
{
#ifdef _WIN32
    // The image goes into the real drivers folder, where the helper driver
    // reads it, also from 32-bit code on 64-bit Windows: the temporary file,
    // the write and the move all see that folder.
    const CRealFileSystemView realView;
#endif
    std::string tempPath;
    std::FILE* file = CreateTempBeside(path, tempPath);
    if (!file)
        return HexFault::CannotCreateOutput;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(tempPath.c_str());
        return HexFault::ShortWrite;
    }
    if (!MoveOver(tempPath, path)) {
        std::remove(tempPath.c_str());
        return HexFault::CannotReplaceOutput;
    }
    return HexFault::None;
}

}  // namespace qb480
