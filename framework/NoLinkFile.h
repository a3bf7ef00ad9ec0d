#pragma once
// A file opened for writing by a program that runs elevated or as SYSTEM,
// on a path that a standard user may have prepared: a junction or a
// symbolic link on the way would aim the write at any file the program
// may write. Every folder on the way is opened first, as itself and never
// through a link, and held without delete sharing, so that none can be
// swapped for a link until the file is open; the file itself is opened as
// itself too. A link anywhere refuses the open.
#include <windows.h>

#include <string>

#include "UniqueHandle.h"

namespace fw {

// Opens path as CreateFileA would. A reparse point in a folder on the way
// or in the file refuses it with ERROR_REPARSE_POINT_ENCOUNTERED (4395);
// other failures answer the system's error. The drive's root, or a share's
// \\server\share, is taken as it is.
UniqueFileHandle OpenWithoutLinks(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                                  DWORD& error);

}  // namespace fw
