#include "tests/support/standin_win.h"

#include <sstream>

#include "base/text_win.h"
#include "qel/host/shockwave_flash.h"

std::wstring StandinDllPath() {
    // The build gives a Unix path; under Wine that is drive Z:.
    std::wstring path = L"Z:" + AnsiToWide(LEAFTURN_STANDIN_DLL);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

TStandinServer::TStandinServer() : library_(LoadLibraryW(StandinDllPath().c_str())) {
    if (!library_)
        throw TError("cannot load " + WideToAnsi(StandinDllPath()));
    const auto getClassObject =
        Export<HRESULT STDAPICALLTYPE(REFCLSID, REFIID, void**)>("DllGetClassObject");
    if (!getClassObject)
        throw TError("the stand-in exports no DllGetClassObject");
    ComPtr<IClassFactory> factory;
    OleCheck(getClassObject(CLSID_ShockwaveFlash, IID_IClassFactory,
                            reinterpret_cast<void**>(factory.GetAddressOf())));
    OleCheck(CoRegisterClassObject(CLSID_ShockwaveFlash, factory.Get(), CLSCTX_INPROC_SERVER,
                                   REGCLS_MULTIPLEUSE, &cookie_));
}

TStandinServer::~TStandinServer() {
    CoRevokeClassObject(cookie_);
    // Code of live objects must stay mapped: unload only what nobody uses any more.
    const auto canUnloadNow = Export<HRESULT STDAPICALLTYPE()>("DllCanUnloadNow");
    if (!canUnloadNow || canUnloadNow() != S_OK)
        library_.Release();
}

ComPtr<IStandinControl> StandinOf(IUnknown* control) {
    ComPtr<IStandinControl> standin;
    if (control)
        control->QueryInterface(IID_IStandinControl,
                                reinterpret_cast<void**>(standin.GetAddressOf()));
    return standin;
}

std::string StandinLogText(IStandinControl* standin) {
    TBstr text;
    if (!standin || FAILED(standin->GetLog(text.Out())))
        return {};
    return WideToAnsi(text.Text());
}

std::vector<std::string> StandinLog(IStandinControl* standin) {
    std::vector<std::string> lines;
    std::istringstream text(StandinLogText(standin));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}
