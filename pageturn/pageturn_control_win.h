#pragma once
// The built-in page-turning control: an in-process COM object compiled into the viewer that
// takes the movie-player control's place through the same contract (README.md beside this
// file). It is made by its own class object, never through the registry.

#include <objbase.h>
#include <unknwn.h>

// {4F7B2C61-8E0A-4D35-9C1B-6A2E5D8F3B71}
inline constexpr CLSID CLSID_LeafturnPageTurn = {
    0x4F7B2C61, 0x8E0A, 0x4D35, {0x9C, 0x1B, 0x6A, 0x2E, 0x5D, 0x8F, 0x3B, 0x71}};

// The control's class object: one for the process, never freed, and never registered.
IClassFactory* PageTurnClassObject();
