#include "SystemFolder.h"

namespace qb480 {

std::optional<std::string> SystemDirectory()
{
    char directory[MAX_PATH] = "";
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    // An answer of MAX_PATH or more is the size the folder would need.
    if (length == 0 || length >= sizeof directory)
        return std::nullopt;
    return std::string(directory, length);
}

}  // namespace qb480
