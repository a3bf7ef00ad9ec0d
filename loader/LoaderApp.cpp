#include "App.h"
#include "LoaderDialogs.h"

namespace qb480 {

// The program: one confirmation dialog, then the end. Dialog controls are
// drawn three-dimensional by the system itself (DS_3DLOOK is the default
// since Windows 95), so there is nothing to switch on first.
class CLoaderApp : public fw::CWinApp {
public:
    int InitInstance() override
    {
        CLoaderDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
        return 0;
    }
};

namespace {
CLoaderApp g_theApp;
}

}  // namespace qb480
