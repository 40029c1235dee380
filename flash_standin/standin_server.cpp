// The in-process server: the class object, the module's lifetime and self-registration under
// HKLM (the machine-wide class registration, the only one Wine consults).

#include "flash_standin/standin_object.h"

#include <cwchar>

namespace {

HMODULE gModule = nullptr;
std::atomic<long> gLocks{0};

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr wchar_t kServerKey[] =
    L"Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InprocServer32";
constexpr wchar_t kDescription[] = L"Leafturn stand-in player control";

// The one class object. It is static, so a reference to it holds the module instead.
TControlFactory<TStandinControl> gFactory;

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(gModule, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

bool WriteKey(const wchar_t* path, const wchar_t* name, const std::wstring& value,
              const wchar_t* name2 = nullptr, const std::wstring& value2 = {}) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = SetText(key, name, value) && (!name2 || SetText(key, name2, value2));
    RegCloseKey(key);
    return ok;
}

// The server registered for the class, or nothing when there is no registration.
std::optional<std::wstring> RegisteredServer() {
    wchar_t value[MAX_PATH + 1] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const LSTATUS status =
        RegGetValueW(HKEY_LOCAL_MACHINE, kServerKey, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
    if (status == ERROR_SUCCESS)
        return std::wstring(value);
    if (status == ERROR_FILE_NOT_FOUND) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return std::nullopt;
        RegCloseKey(key);
    }
    return std::wstring(); // registered, but not to a server that can be read
}

} // namespace

void TStandinControl::LockModule(bool lock) {
    lock ? StandinModuleLock() : StandinModuleUnlock();
}

std::optional<HRESULT> TStandinControl::CreationFault() {
    const auto faults = FaultsOfEnvironment();
    const auto fault = faults.find(L"CreateInstance");
    return fault == faults.end() ? std::nullopt : std::optional<HRESULT>(fault->second);
}

void StandinModuleLock() {
    ++gLocks;
}

void StandinModuleUnlock() {
    --gLocks;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_ShockwaveFlash)
        return CLASS_E_CLASSNOTAVAILABLE;
    return gFactory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
    return gLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    const std::wstring path = ModulePath();
    if (path.empty())
        return SELFREG_E_CLASS;
    if (!WriteKey(kClassKey, nullptr, kDescription) ||
        !WriteKey(kServerKey, nullptr, path, L"ThreadingModel", L"Apartment"))
        return SELFREG_E_CLASS;
    return S_OK;
}

// Removes the class's registration only when it names this very file: a registration of
// another server for the class is left alone (S_FALSE).
STDAPI DllUnregisterServer() {
    const std::optional<std::wstring> server = RegisteredServer();
    if (!server)
        return S_OK;
    if (_wcsicmp(server->c_str(), ModulePath().c_str()) != 0)
        return S_FALSE;
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
