#pragma once

#include <windows.h>

#include <string>

namespace win32 {

class Dialog;

// The program object. The entry point hands control to Run, which prepares the process for
// dialogs and then calls Start; the program lives inside Start.
class Application {
  public:
    Application() noexcept;
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The one application object of the process, or null while there is none.
    static Application* Current() noexcept;

    // Registers the common-control classes, runs Start and returns the exit status. An exception
    // that escapes Start is shown to the user and gives status 1.
    int Run() noexcept;

    // Dialog shown as the program's main window while Start runs it, or null.
    Dialog* MainWindow() const noexcept { return mainWindow_; }
    void SetMainWindow(Dialog* dialog) noexcept { mainWindow_ = dialog; }

    // Opens the About box over `owner`; the main window calls it from its window menu.
    virtual void ShowAboutBox(HWND owner);

  protected:
    virtual void Start() = 0;

  private:
    Dialog* mainWindow_ = nullptr;
};

// The program file's name without folder and extension; used as the caption of message boxes.
std::wstring ApplicationName();

// Registers the common-control window classes (trackbar and the rest) and this layer's own
// controls that dialog templates may name. Must run before the first dialog is created; repeated
// calls are harmless.
void RegisterCommonControls() noexcept;

}  // namespace win32
