#pragma once
// Where the programs and DLLs built with the harness are found at run time,
// and the files the tests place and check.
#include "CallSite.h"

#include <optional>
#include <string>
#include <vector>

namespace harness {

// Windows path of a file built in the harness folder: "iathook.dll",
// "robotprobe.dll", "robotdialog.exe", "keepdesktop.exe", "hookee.dll",
// "harnessdriver.sys".
std::string HarnessBinary(const std::string& name);

// A Unix path as Wine's programs see it ("/a/b" -> "Z:\a\b"); other paths
// are returned unchanged.
std::string WindowsPath(const std::string& path);

// A link at link to the folder target, as a standard user might put a
// junction in a folder a program with administrator rights writes into.
// Wine 8 makes no junction (FSCTL_SET_REPARSE_POINT fails with 50, and
// CreateSymbolicLink answers TRUE and makes nothing), but shows a Unix
// symbolic link by name as a reparse point: /bin/ln makes one, started as
// Wine starts a Unix program. False (a failure at the caller's line) when
// the link is not there or not seen so. RemoveLink takes the link away,
// never what it leads to: a folder walk would go through it.
bool MakeLink(const std::string& link, const std::string& target, CallSite where = {});
bool RemoveLink(const std::string& link);

// The system's "drivers" folder as this process sees it (a 32-bit process in
// a win64 prefix is sent to syswow64's), without a closing backslash.
std::string DriversFolder();

bool FileExists(const std::string& path);
// The folder's entries, each as its name, size and last write time, sorted:
// equal listings mean nothing was added, removed or rewritten.
std::vector<std::string> FolderListing(const std::string& folder);
// Nothing when the file is missing, so that "gone" and "empty" differ.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Creates or truncates the file; reports a failure at the caller's line.
bool WriteFileBytes(const std::string& path, const std::string& bytes, CallSite where = {});
// A folder of the running test's own, made afresh under the temporary
// folder's subfolder parent; removed with RemoveTestFolder, which takes the
// parent along once it is empty.
std::string MakeTestFolder(const std::string& parent);
void RemoveTestFolder(const std::string& folder);
// The lines of a programs' log without their date and time; each must begin
// with them and end with CR LF, or it is a failure at the caller's line.
std::vector<std::string> StampedLogLines(const std::string& path, CallSite where = {});

}  // namespace harness
