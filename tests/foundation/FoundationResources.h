#pragma once
// Resources of the foundation tests' own dialogs.
#define IDD_EXCHANGE 200
#define IDS_ABOUT_ENTRY 201
#define IDC_TEXT 1001
#define IDC_NUMBER 1002
#define IDC_CHECK 1003
#define IDC_TIMEOUT 1004
#define IDC_THRESHOLD 1005
#define IDC_LOAD 1006
