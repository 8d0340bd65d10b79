#pragma once

#include <windows.h>

#include "win32/Dialog.h"

// The About box: icon, name and version, one line of notice, OK.
class CAboutDlg : public win32::Dialog {
  public:
    explicit CAboutDlg(HWND parent);
};
