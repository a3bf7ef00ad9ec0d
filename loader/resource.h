#pragma once
// Resource and control identifiers of qb480load.exe.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_LOADER 102
#define IDR_MAINFRAME 128
#define IDD_BOARD_PARAMS 132
#define IDD_LOADING 133

#define IDC_CONFIRM_TEXT 1000
#define IDC_MEMORY_SEGMENT 1001
#define IDC_PORT_ADDRESS 1003
#define IDC_ABOUT_VERSION 1100
