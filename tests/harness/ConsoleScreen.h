#pragma once
// A console of this process's own for a child to write to, read back from
// its screen buffer: Wine shows no console window headless, but keeps what
// was written there. This process's standard handles stay as they were.
#include <windows.h>

#include <string>
#include <vector>

#include "UniqueHandle.h"

namespace harness {

class CConsoleScreen {
public:
    CConsoleScreen();
    ~CConsoleScreen();
    CConsoleScreen(const CConsoleScreen&) = delete;
    CConsoleScreen& operator=(const CConsoleScreen&) = delete;

    // The screen, inheritable, for ChildStart::output; empty when no
    // console could be made.
    HANDLE Output() const { return m_output.get(); }
    // Its lines without their trailing blanks, up to the last that is not empty.
    std::vector<std::wstring> Lines() const;

private:
    // Input, output and error.
    static void SetStandardHandles(const HANDLE (&handles)[3]);

    HANDLE m_own[3] = {};      // this process's, kept
    HANDLE m_console[3] = {};  // the console's, which FreeConsole closes
    bool m_allocated = false;
    fw::UniqueFileHandle m_output;
};

}  // namespace harness
