// The viewer's entry point.

#include <memory>
#include <windows.h>

#include "app/main_form_win.h"
#include "qel/qel_units.h"
#include "ui/application_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TUnitGuard units;
    TApplication application;
    try {
        auto frmMain = std::make_unique<TfrmMain>(nullptr);
        application.SetMainForm(frmMain.get());
        frmMain->DoCreate();
        frmMain->Show();
        application.Run();
    } catch (...) {
        application.HandleCurrentException();
        return 1;
    }
    return 0;
}
