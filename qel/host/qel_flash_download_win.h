#pragma once
// The system's URL download service, bound when it is first needed: loading urlmon would cost the
// start of every book, and a book served from its package never needs it. Tests replace the
// entry point with a recording double.

#include <urlmon.h>
#include <windows.h>

using TURLOpenPullStreamA = HRESULT(WINAPI*)(IUnknown* caller, LPCSTR url, DWORD reserved,
                                             IBindStatusCallback* callback);

// The bound entry point (bound now when it is not yet), or null when urlmon is missing or its
// entry point is unusable (Wine exports URLOpenPullStreamA only as a stub that aborts the
// process).
TURLOpenPullStreamA PullStreamEntry();
// Replaces the entry point (null: none) and returns the previous one; nothing is bound over it.
TURLOpenPullStreamA ReplacePullStreamEntry(TURLOpenPullStreamA entry);

// True when the program runs under Wine.
bool RunningUnderWine();

// Loads urlmon.dll and looks up URLOpenPullStreamA; frees urlmon again (and forgets the entry).
void BindDownloadService();
void ReleaseDownloadService();
