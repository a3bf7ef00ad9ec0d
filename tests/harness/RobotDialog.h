#pragma once
// The harness's own test dialog (template 100 in robotdialog.rc), run in the
// test process and by robotdialog.exe. Its OK handler refuses a number out of
// 0..99 the way the deliverables refuse an entry: an exclamation box
// captioned "robotdialog", then the focus into the field with its text
// selected.
#define IDD_ROBOT 100
#define IDC_NUMBER 1001
#define IDC_ENABLED 1002
#define IDC_PORT 1003
#define IDC_CHOICE 1004
#define IDC_BROWSE 1005
#define IDC_FILE 1006
#define IDC_LOCKED 1007
#define IDC_WARN 1010
#define IDC_INFO 1011
#define IDC_ERROR 1012
#define IDC_PLAIN 1013
#define IDM_ROBOT_ABOUT 0x10

#ifndef RC_INVOKED
#include <string>

struct RobotDialogResult {
    std::string number;
    bool enabled = false;
    int port = -1;
    std::string file;
};

// DialogBoxParamA on template 100 of this exe; returns its result (IDOK or
// IDCANCEL) and, after OK, what the dialog accepted.
int RunRobotDialog(RobotDialogResult& result);
#endif
