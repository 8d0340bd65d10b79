#include "ConverterApp.h"

#include "AboutDlg.h"
#include "ui/ConversionWorker.h"
#include "ui/ConverterDlg.h"

void CConverterApp::Start() {
    CConverterDlg dialog(nullptr);
    SetMainWindow(&dialog);
    struct Finish {
        CConverterApp& application;
        CConverterDlg& dialog;
        ~Finish() {
            StopWorker(dialog);
            application.SetMainWindow(nullptr);
        }
    } finish{*this, dialog};
    dialog.RunModal();
}

void CConverterApp::ShowAboutBox(HWND owner) {
    CAboutDlg(owner).RunModal();
}
