#include "qel/qel_units.h"

#include "qel/qel_utils.h"

// Order: optional system functions, graphics (kernel table), processor flags, player (download
// entry point and command window). Shutdown runs backwards.
TUnitGuard::TUnitGuard() {
    QelUtilsUnitStart();
}

TUnitGuard::~TUnitGuard() {
    QelUtilsUnitShutdown();
}
