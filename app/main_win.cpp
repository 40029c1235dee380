// The viewer's entry point.

#include <memory>
#include <windows.h>

#include "app/exe_config_win.h"
#include "app/main_form_win.h"
#include "qel/qel_units.h"
#include "ui/application_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The window configuration is read while everything else starts up.
    auto config = ReadExeConfigAsync({});
    TUnitGuard units;
    TApplication application;
    try {
        auto frmMain = std::make_unique<TfrmMain>(nullptr, std::string{}, std::move(config));
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
