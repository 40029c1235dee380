// The object's identity and lifetime, the COM boundary every logged call passes, IOleObject,
// IOleControl and IPersistStreamInit.

#include "flash_standin/standin_object.h"

#include <algorithm>
#include <cwchar>

namespace {

// Sited before loading; activated in place as soon as it is visible; its own window rather than
// a document's; never linked to; redrawn on every resize. Not invisible at run time.
constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_RECOMPOSEONRESIZE;

// 550 x 400 pixels at 96 pixels per inch, in HIMETRIC: the stage of a movie that says nothing.
constexpr SIZEL kDefaultExtent = {14552, 10583};

std::wstring Extent(const SIZEL& size) {
    return std::to_wstring(size.cx) + L'x' + std::to_wstring(size.cy);
}

auto NoArgs() {
    return [] { return std::wstring(); };
}

} // namespace

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
    : callFaults_(FaultsOfEnvironment()), extent_(kDefaultExtent),
      propertyPoint_(*this, IID_IPropertyNotifySink),
      eventPoint_(*this, DIID_ShockwaveFlashEvents) {
    ResetProperties();
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

// IOleObject

HRESULT TStandinControl::SetClientSite(IOleClientSite* site) {
    return Call(
        L"SetClientSite", [&] { return LogText::Pointer(site); },
        [&](std::wstring&) {
            if (!site)
                Deactivate();
            site_ = site;
            ambient_.Reset();
            if (site) {
                ComPtr<IDispatch> ambient;
                if (SUCCEEDED(Out(L"site.QueryInterface", L"IDispatch",
                                  site->QueryInterface(IID_PPV_ARGS(&ambient)))))
                    ambient_ = ambient;
            }
            return S_OK;
        });
}

HRESULT TStandinControl::GetClientSite(IOleClientSite** site) {
    return Call(L"GetClientSite", NoArgs(), [&](std::wstring& outputs) {
        if (!site)
            return E_POINTER;
        *site = nullptr;
        outputs = LogText::Pointer(site_.Get());
        return site_.CopyTo(site);
    });
}

HRESULT TStandinControl::SetHostNames(LPCOLESTR app, LPCOLESTR object) {
    return Call(
        L"SetHostNames",
        [&] { return LogText::QuotedOrNull(app) + L", " + LogText::QuotedOrNull(object); },
        [](std::wstring&) { return S_OK; });
}

HRESULT TStandinControl::Close(DWORD saveOption) {
    return Call(
        L"Close", [&] { return std::to_wstring(saveOption); },
        [&](std::wstring&) {
            Deactivate();
            return S_OK;
        });
}

HRESULT TStandinControl::SetMoniker(DWORD which, IMoniker* moniker) {
    return Call(
        L"SetMoniker", [&] { return std::to_wstring(which) + L", " + LogText::Pointer(moniker); },
        [](std::wstring&) { return E_NOTIMPL; });
}

HRESULT TStandinControl::GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) {
    return Call(
        L"GetMoniker", [&] { return std::to_wstring(assign) + L", " + std::to_wstring(which); },
        [&](std::wstring&) {
            if (moniker)
                *moniker = nullptr;
            return E_NOTIMPL;
        });
}

HRESULT TStandinControl::InitFromData(IDataObject* data, BOOL creation, DWORD) {
    return Call(
        L"InitFromData", [&] { return LogText::Pointer(data) + L", " + std::to_wstring(creation); },
        [](std::wstring&) { return E_NOTIMPL; });
}

HRESULT TStandinControl::GetClipboardData(DWORD, IDataObject** data) {
    return Call(L"GetClipboardData", NoArgs(), [&](std::wstring&) {
        if (data)
            *data = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT TStandinControl::EnumVerbs(IEnumOLEVERB** verbs) {
    return Call(L"EnumVerbs", NoArgs(), [&](std::wstring&) {
        if (verbs)
            *verbs = nullptr;
        return E_NOTIMPL;
    });
}

HRESULT TStandinControl::Update() {
    return Call(L"Update", NoArgs(), [](std::wstring&) { return S_OK; });
}

HRESULT TStandinControl::IsUpToDate() {
    return Call(L"IsUpToDate", NoArgs(), [](std::wstring&) { return S_OK; });
}

HRESULT TStandinControl::GetUserClassID(CLSID* clsid) {
    return Call(L"GetUserClassID", NoArgs(), [&](std::wstring&) {
        if (!clsid)
            return E_POINTER;
        *clsid = CLSID_ShockwaveFlash;
        return S_OK;
    });
}

HRESULT TStandinControl::GetUserType(DWORD form, LPOLESTR* type) {
    return Call(
        L"GetUserType", [&] { return std::to_wstring(form); },
        [&](std::wstring&) {
            if (!type)
                return E_POINTER;
            *type = nullptr;
            return OLE_S_USEREG;
        });
}

HRESULT TStandinControl::SetExtent(DWORD aspect, SIZEL* size) {
    return Call(
        L"SetExtent",
        [&] { return std::to_wstring(aspect) + L", " + (size ? Extent(*size) : L"null"); },
        [&](std::wstring&) {
            if (aspect != DVASPECT_CONTENT)
                return DV_E_DVASPECT;
            if (!size)
                return E_POINTER;
            extent_ = *size;
            dirty_ = true;
            return S_OK;
        });
}

HRESULT TStandinControl::GetExtent(DWORD aspect, SIZEL* size) {
    return Call(
        L"GetExtent", [&] { return std::to_wstring(aspect); },
        [&](std::wstring& outputs) {
            if (aspect != DVASPECT_CONTENT)
                return DV_E_DVASPECT;
            if (!size)
                return E_POINTER;
            *size = extent_;
            outputs = Extent(extent_);
            return S_OK;
        });
}

HRESULT TStandinControl::Advise(IAdviseSink* sink, DWORD* connection) {
    return Call(
        L"Advise", [&] { return LogText::Pointer(sink); },
        [&](std::wstring&) {
            if (connection)
                *connection = 0;
            return OLE_E_ADVISENOTSUPPORTED;
        });
}

HRESULT TStandinControl::Unadvise(DWORD connection) {
    return Call(
        L"Unadvise", [&] { return std::to_wstring(connection); },
        [](std::wstring&) { return OLE_E_ADVISENOTSUPPORTED; });
}

HRESULT TStandinControl::EnumAdvise(IEnumSTATDATA** advise) {
    return Call(L"EnumAdvise", NoArgs(), [&](std::wstring&) {
        if (advise)
            *advise = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    });
}

HRESULT TStandinControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    return Call(
        L"GetMiscStatus", [&] { return std::to_wstring(aspect); },
        [&](std::wstring& outputs) {
            if (!status)
                return E_POINTER;
            *status = kMiscStatus;
            outputs = LogText::Hex(kMiscStatus);
            return S_OK;
        });
}

HRESULT TStandinControl::SetColorScheme(LOGPALETTE*) {
    return Call(L"SetColorScheme", NoArgs(), [](std::wstring&) { return E_NOTIMPL; });
}

// IPersistStreamInit

HRESULT TStandinControl::GetClassID(CLSID* clsid) {
    return Call(L"GetClassID", NoArgs(), [&](std::wstring&) {
        if (!clsid)
            return E_POINTER;
        *clsid = CLSID_ShockwaveFlash;
        return S_OK;
    });
}

HRESULT TStandinControl::IsDirty() {
    return Call(L"IsDirty", NoArgs(), [&](std::wstring&) { return dirty_ ? S_OK : S_FALSE; });
}

HRESULT TStandinControl::Load(LPSTREAM stream) {
    return Call(
        L"Load", [&] { return LogText::Pointer(stream); },
        [&](std::wstring&) {
            if (!stream)
                return E_POINTER;
            if (initialized_)
                return E_UNEXPECTED;
            return LoadState(stream);
        });
}

HRESULT TStandinControl::Save(LPSTREAM stream, BOOL clearDirty) {
    return Call(
        L"Save", [&] { return LogText::Pointer(stream) + L", " + std::to_wstring(clearDirty); },
        [&](std::wstring& outputs) {
            if (!stream)
                return E_POINTER;
            const std::vector<uint8_t> state = SavedState();
            ULONG written = 0;
            const HRESULT result =
                stream->Write(state.data(), static_cast<ULONG>(state.size()), &written);
            if (FAILED(result))
                return result;
            if (written != state.size())
                return STG_E_MEDIUMFULL;
            if (clearDirty)
                dirty_ = false;
            outputs = std::to_wstring(written) + L" bytes";
            return S_OK;
        });
}

HRESULT TStandinControl::GetSizeMax(ULARGE_INTEGER* size) {
    return Call(L"GetSizeMax", NoArgs(), [&](std::wstring& outputs) {
        if (!size)
            return E_POINTER;
        size->QuadPart = SavedState().size();
        outputs = std::to_wstring(size->QuadPart);
        return S_OK;
    });
}

HRESULT TStandinControl::InitNew() {
    return Call(L"InitNew", NoArgs(), [&](std::wstring&) {
        if (initialized_)
            return E_UNEXPECTED;
        ResetProperties();
        extent_ = kDefaultExtent;
        initialized_ = true;
        dirty_ = false;
        return S_OK;
    });
}

// IOleControl

HRESULT TStandinControl::GetControlInfo(CONTROLINFO* info) {
    return Call(L"GetControlInfo", NoArgs(), [&](std::wstring&) {
        if (!info)
            return E_POINTER;
        info->cb = sizeof *info;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    });
}

HRESULT TStandinControl::OnMnemonic(MSG*) {
    return Call(L"OnMnemonic", NoArgs(), [](std::wstring&) { return E_NOTIMPL; });
}

HRESULT TStandinControl::OnAmbientPropertyChange(DISPID dispid) {
    return Call(
        L"OnAmbientPropertyChange", [&] { return std::to_wstring(dispid); },
        [&](std::wstring&) {
            if (dispid == DISPID_UNKNOWN) {
                ReadAmbient(DISPID_AMBIENT_USERMODE);
                ReadAmbient(DISPID_AMBIENT_DISPLAYNAME);
            } else {
                ReadAmbient(dispid);
            }
            return S_OK;
        });
}

HRESULT TStandinControl::FreezeEvents(BOOL freeze) {
    return Call(
        L"FreezeEvents", [&] { return std::to_wstring(freeze); },
        [&](std::wstring& outputs) {
            if (freeze)
                ++freezeCount_;
            else if (freezeCount_ > 0)
                --freezeCount_;
            outputs = std::to_wstring(freezeCount_);
            return S_OK;
        });
}
