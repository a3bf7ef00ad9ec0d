#include "App.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace fw {

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* CWinApp::Current() { return g_app; }

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::string ModuleName()
{
    // Long paths do not fit MAX_PATH: grow until the whole path was given.
    std::string name(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(ModuleInstance(), name.data(), static_cast<DWORD>(name.size()));
        if (length < name.size() || name.size() >= 32768) {
            name.resize(length < name.size() ? length : 0);
            break;
        }
        name.resize(name.size() * 2);
    }
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string LoadResourceString(UINT id)
{
    char text[256] = "";
    const int length = LoadStringA(ModuleInstance(), id, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace fw
