#include "qel/host/qel_flash_download_win.h"

#include "base/handles_win.h"

namespace {
TLibrary gUrlmon;
TURLOpenPullStreamA gPullStream = nullptr;
bool gBound = false;
} // namespace

TURLOpenPullStreamA PullStreamEntry() {
    if (!gBound)
        BindDownloadService();
    return gPullStream;
}

TURLOpenPullStreamA ReplacePullStreamEntry(TURLOpenPullStreamA entry) {
    const TURLOpenPullStreamA previous = gPullStream;
    gPullStream = entry;
    gBound = true;
    return previous;
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void BindDownloadService() {
    gBound = true;
    gUrlmon.Reset(LoadLibraryA("urlmon.dll"));
    if (gUrlmon && !RunningUnderWine())
        gPullStream = reinterpret_cast<TURLOpenPullStreamA>(
            reinterpret_cast<void*>(GetProcAddress(gUrlmon.Get(), "URLOpenPullStreamA")));
}

void ReleaseDownloadService() {
    gPullStream = nullptr;
    gBound = false;
    gUrlmon.Reset();
}
