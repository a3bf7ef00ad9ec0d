#pragma once
// Where the programs and DLLs built with the harness are found at run time.
#include <string>

namespace harness {

// Windows path of a file built in the harness folder: "iathook.dll",
// "robotprobe.dll", "robotdialog.exe", "keepdesktop.exe", "hookee.dll",
// "harnessdriver.sys".
std::string HarnessBinary(const std::string& name);

// A Unix path as Wine's programs see it ("/a/b" -> "Z:\a\b"); other paths
// are returned unchanged.
std::string WindowsPath(const std::string& path);

}  // namespace harness
