#include "LoaderDialogs.h"

#include "App.h"
#include "LoadSequence.h"
#include "Reporter.h"

namespace qb480 {

CLoaderDlg::CLoaderDlg(const LoaderArguments& arguments, CReporter& reporter)
    : CDialog(IDD_LOADER),
      m_hIcon(LoadIconA(fw::ModuleInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_arguments(arguments),
      m_reporter(reporter)
{
}

BOOL CLoaderDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    AppendAboutMenuEntry(IDS_ABOUTBOX);
    SetIcon(m_hIcon);
    return TRUE;
}

// The run ends after the one load sequence, whatever happened.
void CLoaderDlg::OnOK()
{
    RunLoadSequence(m_arguments, m_reporter, m_hWnd);
    EndDialog(IDOK);
}

void CLoaderDlg::OnCancel()
{
    m_reporter.Note("Cancelled at the confirmation: nothing was touched.");
    CDialog::OnCancel();
}

bool CLoaderDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) != kAboutCommand)
        return false;
    CAboutDlg about;
    about.DoModal();
    return true;
}

INT_PTR CLoaderDlg::OnMessage(UINT message, WPARAM, LPARAM, bool& handled)
{
    switch (message) {
    case WM_PAINT:
        handled = PaintMinimised();
        return 0;
    case WM_QUERYDRAGICON:
        handled = true;
        return reinterpret_cast<INT_PTR>(m_hIcon);
    default:
        handled = false;
        return 0;
    }
}

// A minimised dialog shows its icon centred in the client area.
bool CLoaderDlg::PaintMinimised()
{
    if (!IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

}  // namespace qb480
