#pragma once
#include "Dialog.h"
#include "resource.h"

namespace qb480 {

class CAboutDlg : public fw::CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};

}  // namespace qb480
