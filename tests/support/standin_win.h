#pragma once
// The stand-in player control for Windows tests: its DLL loaded from the build tree and its class
// object registered for the player's class in this process only, so that CoCreateInstance of
// the player's class reaches it without any registry state.

#include <string>
#include <vector>

#include "base/com_win.h"
#include "base/handles_win.h"
#include "flash_standin/standin_control.h"

class TStandinServer {
public:
    // Raises TError when the DLL cannot be loaded or its class object not registered.
    TStandinServer();
    // Revokes the class object; the DLL stays loaded while it still has live objects.
    ~TStandinServer();
    TStandinServer(const TStandinServer&) = delete;
    TStandinServer& operator=(const TStandinServer&) = delete;

    HMODULE Module() const { return library_.Get(); }
    // An export of the DLL (DllCanUnloadNow, DllRegisterServer, ...).
    template <typename T> T* Export(const char* name) const {
        return reinterpret_cast<T*>(reinterpret_cast<void*>(GetProcAddress(Module(), name)));
    }

private:
    TLibrary library_;
    DWORD cookie_ = 0;
};

// The DLL's path in the build tree, as a Windows path.
std::wstring StandinDllPath();

// The stand-in's private interface on a control object; null when the object is no stand-in.
ComPtr<IStandinControl> StandinOf(IUnknown* control);

// An action of the stand-in of that kind, with that rectangle (others zero).
inline TStandinAction StandinAction(LONG kind, const RECT* rect = nullptr) {
    TStandinAction action{};
    action.kind = kind;
    action.rect = rect;
    return action;
}

// Arguments for the stand-in's events and actions: a 32-bit integer, and a text (a new BSTR, the
// caller's to clear).
inline VARIANT IntegerVariant(LONG value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

inline VARIANT TextVariant(const wchar_t* text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

// The stand-in's log, one string per line.
std::vector<std::string> StandinLog(IStandinControl* standin);
std::string StandinLogText(IStandinControl* standin);
