#pragma once

#include <windows.h>

#include "win32/Application.h"

// Runs the main dialog as the whole life of the program.
class CConverterApp : public win32::Application {
  public:
    void ShowAboutBox(HWND owner) override;

  protected:
    void Start() override;
};
