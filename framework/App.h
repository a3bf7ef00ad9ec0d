#pragma once
// The application object: one per module, constructed with the module. It
// knows the module's instance handle and name; a program's object also runs
// the program (InitInstance) from WinMain.
#include <windows.h>

#include <string>

namespace fw {

class CDialog;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // A program's start-up; the program ends when it returns.
    virtual int InitInstance() { return 0; }

    CDialog* m_pMainWnd = nullptr;

    static CWinApp* Current();
};

// The module that holds this code: the .cpl or the .exe, never the host.
HINSTANCE ModuleInstance();

// The full path of the module's file; empty when the system does not give it.
std::string ModulePath();

// The module's file name without folder and extension ("qb480" for qb480.cpl):
// every message box of the module carries it as its caption.
std::string ModuleName();

// Loads a string resource of the module; empty when there is none.
std::string LoadResourceString(UINT id);

}  // namespace fw
