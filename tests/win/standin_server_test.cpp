// The stand-in as an in-process server: registration in the test prefix's registry, the class
// object, and when the DLL may be unloaded.

#include <gtest/gtest.h>

#include "qel/host/shockwave_flash.h"
#include "tests/win/standin_site.h"

namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr wchar_t kServerKey[] =
    L"Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InprocServer32";

std::wstring RegistryText(const wchar_t* key, const wchar_t* name) {
    wchar_t value[MAX_PATH + 1] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return L"(none)";
    return value;
}

bool KeyExists(const wchar_t* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, n);
}

using TServerCall = HRESULT STDAPICALLTYPE();

} // namespace

TEST(StandinServer, RegistersAndUnregistersItselfUnderTheMachinesClasses) {
    TComApartment apartment;
    TStandinServer server;
    auto* registerServer = server.Export<TServerCall>("DllRegisterServer");
    auto* unregisterServer = server.Export<TServerCall>("DllUnregisterServer");
    ASSERT_TRUE(registerServer && unregisterServer);
    // Another test of this prefix may rely on a registration: it is put back afterwards.
    const bool registeredBefore = KeyExists(kServerKey);

    ASSERT_EQ(registerServer(), S_OK);
    const std::wstring path = ModulePath(server.Module());
    EXPECT_EQ(RegistryText(kServerKey, nullptr), path);
    EXPECT_EQ(RegistryText(kServerKey, L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(RegistryText(kClassKey, nullptr), L"Leafturn stand-in player control");

    // COM finds the server through the registration alone.
    {
        ComPtr<IClassFactory> factory;
        ASSERT_HRESULT_SUCCEEDED(CoGetClassObject(CLSID_ShockwaveFlash, CLSCTX_INPROC_SERVER,
                                                  nullptr, IID_PPV_ARGS(&factory)));
    }

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_EQ(unregisterServer(), S_OK); // nothing left to remove

    // A registration of another server for the class is left alone.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t other[] = L"C:\\windows\\system32\\other.dll";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
    RegCloseKey(key);
    EXPECT_EQ(unregisterServer(), S_FALSE);
    EXPECT_EQ(RegistryText(kServerKey, nullptr), other);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);

    if (registeredBefore) {
        EXPECT_EQ(registerServer(), S_OK);
    }
}

TEST(StandinServer, MayBeUnloadedOnlyWhenNoObjectOrLockIsAlive) {
    TComApartment apartment;
    auto server = std::make_unique<TStandinServer>();
    auto* canUnloadNow = server->Export<TServerCall>("DllCanUnloadNow");
    using TGetClassObject = HRESULT STDAPICALLTYPE(REFCLSID, REFIID, void**);
    auto* getClassObject = server->Export<TGetClassObject>("DllGetClassObject");
    ASSERT_TRUE(canUnloadNow && getClassObject);
    EXPECT_EQ(canUnloadNow(), S_FALSE); // the registered class object holds it

    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(IID_IShockwaveFlash, IID_PPV_ARGS(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_HRESULT_SUCCEEDED(getClassObject(CLSID_ShockwaveFlash, IID_PPV_ARGS(&factory)));
    IUnknown* aggregate = nullptr;
    EXPECT_EQ(
        factory->CreateInstance(factory.Get(), IID_IUnknown, reinterpret_cast<void**>(&aggregate)),
        CLASS_E_NOAGGREGATION);
    EXPECT_EQ(aggregate, nullptr);
    factory->LockServer(TRUE);
    {
        TTestContainer container;
        container.site.files[L"a.swf"] = "movie";
        container.Activate();
        EXPECT_EQ(container.standin->RequestFile(L"a.swf"), S_OK);
        server.reset(); // the class object is revoked; the control and the lock live on
        EXPECT_EQ(canUnloadNow(), S_FALSE);
        container.TearDown();
    }
    EXPECT_EQ(canUnloadNow(), S_FALSE); // the lock and the factory reference
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}
