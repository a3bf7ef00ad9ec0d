#pragma once
// A log that scripts gather from many runs: each line is appended with the
// local date and time and written through to the file at once, so that a
// run that dies leaves every line it wrote. Each line goes at the end of
// the file as it is at that moment, on a share too, so the lines of earlier
// runs, and of runs that write at the same time, stay.
#include <string>

#include <windows.h>

#include "UniqueHandle.h"

namespace fw {

// The local date and time as "YYYY-MM-DD HH:MM:SS", as the log stamps its lines.
std::string LocalTimestamp();

class CLogFile {
public:
    // Creates the file when missing; false when it cannot be opened so.
    // refuseLinks, for a run with administrator rights: a junction or a
    // symbolic link on the way refuses it (NoLinkFile.h).
    bool Open(const std::string& path, bool refuseLinks);
    bool IsOpen() const { return static_cast<bool>(m_file); }
    // Why Open failed, as the programs say it.
    std::string Refusal(const std::string& path) const;

    // "YYYY-MM-DD HH:MM:SS text" and CR LF; line breaks inside text become
    // blanks, so that one event stays one line. A failed write is not
    // reported: the log never ends a run.
    void Line(const std::string& text);

private:
    UniqueFileHandle m_file;
    DWORD m_error = 0;
};

}  // namespace fw
