#pragma once
// The names the load sequence derives from the file the operator picked.
#include <string>

namespace qb480 {

struct FirmwareNames {
    std::string title;      // the picked name without folder and without its last extension
    std::string hexPath;    // <folder>\<title>.hex, or <title>.hex when no folder is known
    std::string imageName;  // <title>.bin
};

// picked is the path the Open dialog returned; empty when it was cancelled.
FirmwareNames NamesForPickedFile(const std::string& picked);

// The folder part of a path, without its final separator; empty when the
// path has none.
std::string FolderOf(const std::string& path);

}  // namespace qb480
