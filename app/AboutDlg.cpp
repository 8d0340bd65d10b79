#include "AboutDlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(HWND parent) : Dialog(IDD_ABOUTBOX, parent) {}
