#pragma once
// The loader's dialogs besides the board parameters.
#include "Dialog.h"
#include "resource.h"

namespace qb480 {

class CReporter;
struct LoaderArguments;

// Asks to confirm; OK runs the load sequence once, then the program ends.
class CLoaderDlg : public fw::CDialog {
public:
    CLoaderDlg(const LoaderArguments& arguments, CReporter& reporter);

    HICON m_hIcon;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnSysCommand(UINT id, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    bool PaintMinimised();

    const LoaderArguments& m_arguments;
    CReporter& m_reporter;
};

// Shown while the helper service's start downloads the firmware.
class CLoadingDlg : public fw::CDialog {
public:
    CLoadingDlg() : CDialog(IDD_LOADING) {}
};

class CAboutDlg : public fw::CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};

}  // namespace qb480
