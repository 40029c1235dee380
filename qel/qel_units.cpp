#include "qel/qel_units.h"

#include "qel/qel_bitmap.h"
#include "qel/qel_utils.h"
#ifdef _WIN32
#include "qel/qel_flash.h"
#include "qel/qel_winapi_win.h"
#endif

// Order: optional system functions, graphics (kernel table), processor flags, player (download
// entry point and command window). Shutdown runs backwards.
TUnitGuard::TUnitGuard() {
#ifdef _WIN32
    QelWinApiUnitStart();
#endif
    QelBitmapUnitStart();
    QelUtilsUnitStart();
#ifdef _WIN32
    QelFlashUnitStart();
#endif
}

TUnitGuard::~TUnitGuard() {
#ifdef _WIN32
    QelFlashUnitShutdown();
#endif
    QelUtilsUnitShutdown();
    QelBitmapUnitShutdown();
#ifdef _WIN32
    QelWinApiUnitShutdown();
#endif
}
