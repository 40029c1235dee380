// The object's identity and lifetime, the COM boundary every logged call passes, the client
// site and its ambient properties.

#include "flash_standin/standin_object.h"

#include <algorithm>
#include <cwchar>

// "name=code" pairs separated by ";", the code in C notation (0x80004005). A pair without a code
// is skipped.
std::map<std::wstring, HRESULT> FaultsOfEnvironment() {
    std::map<std::wstring, HRESULT> faults;
    const DWORD size = GetEnvironmentVariableW(L"LEAFTURN_STANDIN_FAIL", nullptr, 0);
    if (size == 0)
        return faults;
    std::wstring text(size, L'\0');
    text.resize(GetEnvironmentVariableW(L"LEAFTURN_STANDIN_FAIL", text.data(), size));
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(L';', start), text.size());
        const std::wstring pair = text.substr(start, end - start);
        start = end + 1;
        const size_t equals = pair.rfind(L'=');
        if (equals == std::wstring::npos || equals == 0 || equals + 1 == pair.size())
            continue;
        wchar_t* rest = nullptr;
        const unsigned long code = std::wcstoul(pair.c_str() + equals + 1, &rest, 0);
        if (*rest == L'\0')
            faults[pair.substr(0, equals)] = static_cast<HRESULT>(code);
    }
    return faults;
}

TStandinControl::TStandinControl()
    : TWindowlessControl(CLSID_ShockwaveFlash, kStandinStateMagic),
      callFaults_(FaultsOfEnvironment()) {
    version_ = kStandinDefaultVersion;
    StandinModuleLock();
}

TStandinControl::~TStandinControl() {
    StandinModuleUnlock();
}

HRESULT TStandinControl::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IStandinControl) {
        // The tests' own door: neither logged nor subject to faults.
        *out = static_cast<IStandinControl*>(this);
        AddRef();
        return S_OK;
    }
    IUnknown* found = Face(iid);
    try {
        const std::wstring name = L"QueryInterface(" + LogText::Interface(iid) + L")";
        HRESULT result = found ? FaultFor(name) : E_NOINTERFACE;
        if (result == S_OK) {
            *out = found;
            AddRef();
        }
        log_.Add(name + L" -> " + LogText::Result(result));
        return result;
    } catch (...) {
        // Nothing could be logged; the answer stays right.
        if (found) {
            *out = found;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
}

HRESULT TStandinControl::FaultFor(const std::wstring& name) const {
    const auto fault = callFaults_.find(name);
    return fault == callFaults_.end() ? S_OK : fault->second;
}

void TStandinControl::RunLater() noexcept {
    // A call made from here may queue more work, and each delivered file may change the
    // picture: go on until both have settled, then ask for one repaint.
    for (;;) {
        try {
            if (!work_.empty()) {
                std::function<void()> work = std::move(work_.front());
                work_.pop_front();
                work();
                continue;
            }
            if (!pictureChanged_)
                return;
            pictureChanged_ = false;
            if (windowless_)
                Out(L"site.InvalidateRect", L"null, FALSE",
                    windowless_->InvalidateRect(nullptr, FALSE));
        } catch (...) {
            // One failed piece of work must not stop the others.
        }
    }
}

HRESULT TStandinControl::Out(const wchar_t* name, std::wstring_view args, HRESULT result,
                             std::wstring_view outputs) {
    log_.Add(LogText::Call(name, args, result, outputs));
    return result;
}

// What the skeleton leaves to the control.

void TStandinControl::SiteChanged(IOleClientSite* site) {
    ambient_.Reset();
    if (!site)
        return;
    ComPtr<IDispatch> ambient;
    if (SUCCEEDED(Out(L"site.QueryInterface", L"IDispatch",
                      site->QueryInterface(IID_PPV_ARGS(&ambient)))))
        ambient_ = ambient;
}

void TStandinControl::AmbientChanged(DISPID dispid) {
    if (dispid == DISPID_UNKNOWN) {
        ReadAmbient(DISPID_AMBIENT_USERMODE);
        ReadAmbient(DISPID_AMBIENT_DISPLAYNAME);
    } else {
        ReadAmbient(dispid);
    }
}

void TStandinControl::ReadAmbient(DISPID dispid) {
    if (!ambient_)
        return;
    TVariant value;
    DISPPARAMS none{};
    const HRESULT result =
        ambient_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                         &value.value, nullptr, nullptr);
    Out(L"site.Invoke", std::to_wstring(dispid) + L", PROPERTYGET", result,
        SUCCEEDED(result) ? LogText::Variant(value.value) : std::wstring());
}
