#include "qel/qel_units.h"

#include "qel/graphics/qel_bitmap.h"
#include "qel/graphics/qel_utils.h"
#ifdef _WIN32
#include "qel/host/qel_winapi_win.h"
#include "qel/player/qel_flash.h"
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
