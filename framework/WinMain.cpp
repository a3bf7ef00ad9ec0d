// The program entry of a dialog program: its application object runs it.
#include <windows.h>

#include "App.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    fw::CWinApp* app = fw::CWinApp::Current();
    return app ? app->InitInstance() : 1;
}
