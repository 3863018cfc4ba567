// Resource ids of quillet.exe: the main dialog and its controls, the About
// box, the system-menu string and the program icon. Shared by the .rc file
// and the C++ code, so it holds #defines only.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QUILLET_DIALOG 102
#define IDR_MAINFRAME 128

// The system-menu command that opens the About box.
#define IDM_ABOUTBOX 0x0010

// Main dialog controls.
#define IDC_COPY 1000
#define IDC_RECENT_LIST 1001
#define IDC_FILE_LIST 1002
#define IDC_FOLDER_EDIT 1003
#define IDC_ENCODING 1004
#define IDC_EXPLORER 1006
#define IDC_EDIT_IDO 1007
#define IDC_EDIT_ILC 1008
#define IDC_EXPLORER_SRC 1009
#define IDC_RELOAD_IDO 1010
#define IDC_RUN_SUMMARY 1011
#define IDC_LINE_NOTE 1012

// About box controls.
#define IDC_ABOUT_VERSION 1005
#define IDC_ABOUT_COPYRIGHT 1006

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
