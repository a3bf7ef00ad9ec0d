#include "AdminRights.h"
#include "App.h"
#include "LoaderDialogs.h"
#include "MessageBox.h"

namespace qb480 {

namespace {
// The exit code by which scripts tell this refusal from every other end.
constexpr int kExitNotAdministrator = 8;
}  // namespace

// The program: one confirmation dialog, then the end. Dialog controls are
// drawn three-dimensional by the system itself (DS_3DLOOK is the default
// since Windows 95), so there is nothing to switch on first.
class CLoaderApp : public fw::CWinApp {
public:
    int InitInstance() override
    {
        // Without the rights every later step fails with a misleading
        // message; nothing is written or registered before this check.
        if (!HoldsAdministratorRights()) {
            fw::AppMessageBox("Administrator rights are needed to load the QB480 firmware.");
            return kExitNotAdministrator;
        }
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
