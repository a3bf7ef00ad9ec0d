#pragma once
// The installation's own folder, where only SYSTEM and Administrators may
// write: %SystemRoot%\Temp\QB480.<128 random bits>. The immediate action
// names it, the configuration makes it fresh (a folder of that name that
// already exists is someone else's, and stops the installation), the
// configurator the action starts is copied into it, and the board's
// records lie beside that copy for the rollback. The commit action, or the
// rollback when it has done, deletes it. A user can neither plant nor
// read anything there: the rollback's data is never a file a user made.
#include <optional>
#include <string>

namespace qb480 {

// A new name, or "" when the system gives no random bits or no folder.
std::string NewRunFolderPath();

// Made fresh, with a protected DACL for SYSTEM and Administrators and
// Administrators as its owner; false (fault says why) when it exists or
// cannot be made.
bool MakeRunFolder(const std::string& path, std::string& fault);
// It exists, and its owner is SYSTEM or Administrators: one a standard
// user made has that user as its owner.
bool IsRunFolder(const std::string& path);
// Its files, then itself; whatever is missing is no fault.
void RemoveRunFolder(const std::string& path);

// Copies the file into the folder, comparing its bytes' SHA-256 with
// sha256 (64 lower-case hexadecimal digits) as it reads them; the source is
// open without write or delete sharing from the first byte to the last.
// False (fault says why) when it cannot be read or its bytes differ: then
// no copy is left.
bool CopyVerified(const std::string& from, const std::string& to, const std::string& sha256, std::string& fault);

bool WriteRunFile(const std::string& path, const std::string& text);
std::optional<std::string> ReadRunFile(const std::string& path);

}  // namespace qb480
