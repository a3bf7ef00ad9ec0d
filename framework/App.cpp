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

std::string ModulePath()
{
    // Long paths do not fit MAX_PATH: grow until the whole path was given.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size() || path.size() >= 32768) {
            path.resize(length < path.size() ? length : 0);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ModuleName()
{
    std::string name = ModulePath();
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
