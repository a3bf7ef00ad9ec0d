#pragma once
// An exported settings file written out.
#include <string>

namespace qb480 {

// Writes text as the whole file at path, replacing one that is there.
// Empty when done; otherwise the system's reason. refuseLinks, for a run
// with administrator rights: no write goes through a junction or a
// symbolic link on the way (NoLinkFile.h).
std::string WriteSettingsText(const std::string& path, const std::string& text, bool refuseLinks);

// Why a run with administrator rights writes no file through a link.
extern const char kThroughALink[];

}  // namespace qb480
