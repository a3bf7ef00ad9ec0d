#pragma once
// The names the load sequence derives from the file the operator picked or
// the command line named.
#include <string>

namespace qb480 {

struct FirmwareNames {
    std::string title;      // the file's name without folder and without its last extension
    std::string hexPath;    // the file converted
    std::string imageName;  // <title>.bin
};

// picked is the path the Open dialog returned; empty when it was cancelled.
// The file converted is <title>.hex beside it (in the current directory
// when it has no folder), whatever the picked file's extension.
FirmwareNames NamesForPickedFile(const std::string& picked);

// given is the HEX file named on the command line: it is opened exactly as
// given, whatever its extension.
FirmwareNames NamesForGivenFile(const std::string& given);

// The folder part of a path, without its final separator; empty when the
// path has none.
std::string FolderOf(const std::string& path);

}  // namespace qb480
