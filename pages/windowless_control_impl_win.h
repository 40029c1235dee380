#pragma once
// The bodies of TWindowlessControl (windowless_control_win.h, which includes this file last).

#include "pages/windowless_control_win.h"

// ---- IOleObject

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetClientSite(IOleClientSite* site) {
    return Self().Boundary(
        L"SetClientSite", [&](const auto& t) { return t.Pointer(site); },
        [&](const auto&) {
            if (!site)
                Deactivate();
            site_ = site;
            Self().SiteChanged(site);
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetClientSite(IOleClientSite** site) {
    return Self().Boundary(L"GetClientSite", kNoArgs, [&](const auto& out) {
        if (!site)
            return E_POINTER;
        *site = nullptr;
        out([&](const auto& t) { return t.Pointer(site_.Get()); });
        return site_.CopyTo(site);
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetHostNames(LPCOLESTR app, LPCOLESTR object) {
    return Self().Boundary(
        L"SetHostNames",
        [&](const auto& t) { return t.QuotedOrNull(app) + L", " + t.QuotedOrNull(object); },
        [](const auto&) { return S_OK; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Close(DWORD saveOption) {
    return Self().Boundary(
        L"Close", [&](const auto&) { return std::to_wstring(saveOption); },
        [&](const auto&) {
            Deactivate();
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetMoniker(DWORD which, IMoniker* moniker) {
    return Self().Boundary(
        L"SetMoniker",
        [&](const auto& t) { return std::to_wstring(which) + L", " + t.Pointer(moniker); },
        [](const auto&) { return E_NOTIMPL; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetMoniker(DWORD assign, DWORD which,
                                                          IMoniker** moniker) {
    return Self().Boundary(
        L"GetMoniker",
        [&](const auto&) { return std::to_wstring(assign) + L", " + std::to_wstring(which); },
        [&](const auto&) { return NullOut(moniker, E_NOTIMPL); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::InitFromData(IDataObject* data, BOOL creation,
                                                            DWORD) {
    return Self().Boundary(
        L"InitFromData",
        [&](const auto& t) { return t.Pointer(data) + L", " + std::to_wstring(creation); },
        [](const auto&) { return E_NOTIMPL; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetClipboardData(DWORD, IDataObject** data) {
    return Self().Boundary(L"GetClipboardData", kNoArgs,
                           [&](const auto&) { return NullOut(data, E_NOTIMPL); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::DoVerb(LONG verb, LPMSG message,
                                                      IOleClientSite* site, LONG index, HWND parent,
                                                      LPCRECT position) {
    return Self().Boundary(
        L"DoVerb",
        [&](const auto& t) {
            return std::to_wstring(verb) + L", msg=" + t.Pointer(message) + L", site=" +
                   t.Pointer(site) + L", index=" + std::to_wstring(index) + L", parent=" +
                   t.Handle(parent) + L", rect=" + t.Rect(position);
        },
        [&](const auto&) {
            switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
                return ActivateInPlace(site, position, false);
            case OLEIVERB_UIACTIVATE:
                return ActivateInPlace(site, position, true);
            case OLEIVERB_HIDE:
                Deactivate();
                return S_OK;
            default:
                return E_NOTIMPL;
            }
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::EnumVerbs(IEnumOLEVERB** verbs) {
    return Self().Boundary(L"EnumVerbs", kNoArgs,
                           [&](const auto&) { return NullOut(verbs, E_NOTIMPL); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Update() {
    return Self().Boundary(L"Update", kNoArgs, [](const auto&) { return S_OK; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::IsUpToDate() {
    return Self().Boundary(L"IsUpToDate", kNoArgs, [](const auto&) { return S_OK; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetUserClassID(CLSID* clsid) {
    return Self().Boundary(L"GetUserClassID", kNoArgs, [&](const auto&) {
        if (!clsid)
            return E_POINTER;
        *clsid = classId_;
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetUserType(DWORD form, LPOLESTR* type) {
    return Self().Boundary(
        L"GetUserType", [&](const auto&) { return std::to_wstring(form); },
        [&](const auto&) {
            if (!type)
                return E_POINTER;
            *type = nullptr;
            return OLE_S_USEREG;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetExtent(DWORD aspect, SIZEL* size) {
    return Self().Boundary(
        L"SetExtent",
        [&](const auto& t) { return std::to_wstring(aspect) + L", " + t.Extent(size); },
        [&](const auto&) {
            if (aspect != DVASPECT_CONTENT)
                return DV_E_DVASPECT;
            if (!size)
                return E_POINTER;
            extent_ = *size;
            dirty_ = true;
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetExtent(DWORD aspect, SIZEL* size) {
    return Self().Boundary(
        L"GetExtent", [&](const auto&) { return std::to_wstring(aspect); },
        [&](const auto& out) {
            if (aspect != DVASPECT_CONTENT)
                return DV_E_DVASPECT;
            if (!size)
                return E_POINTER;
            *size = extent_;
            out([&](const auto& t) { return t.Extent(&extent_); });
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Advise(IAdviseSink* sink, DWORD* connection) {
    return Self().Boundary(
        L"Advise", [&](const auto& t) { return t.Pointer(sink); },
        [&](const auto&) {
            if (connection)
                *connection = 0;
            return OLE_E_ADVISENOTSUPPORTED;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Unadvise(DWORD connection) {
    return Self().Boundary(
        L"Unadvise", [&](const auto&) { return std::to_wstring(connection); },
        [](const auto&) { return OLE_E_ADVISENOTSUPPORTED; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::EnumAdvise(IEnumSTATDATA** advise) {
    return Self().Boundary(L"EnumAdvise", kNoArgs,
                           [&](const auto&) { return NullOut(advise, OLE_E_ADVISENOTSUPPORTED); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetMiscStatus(DWORD aspect, DWORD* status) {
    return Self().Boundary(
        L"GetMiscStatus", [&](const auto&) { return std::to_wstring(aspect); },
        [&](const auto& out) {
            if (!status)
                return E_POINTER;
            *status = kMiscStatus;
            out([](const auto& t) { return t.Hex(kMiscStatus); });
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetColorScheme(LOGPALETTE*) {
    return Self().Boundary(L"SetColorScheme", kNoArgs, [](const auto&) { return E_NOTIMPL; });
}

// ---- IPersistStreamInit

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetClassID(CLSID* clsid) {
    return Self().Boundary(L"GetClassID", kNoArgs, [&](const auto&) {
        if (!clsid)
            return E_POINTER;
        *clsid = classId_;
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::IsDirty() {
    return Self().Boundary(L"IsDirty", kNoArgs,
                           [&](const auto&) { return dirty_ ? S_OK : S_FALSE; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Load(LPSTREAM stream) {
    return Self().Boundary(
        L"Load", [&](const auto& t) { return t.Pointer(stream); },
        [&](const auto&) {
            if (!stream)
                return E_POINTER;
            if (initialized_)
                return E_UNEXPECTED;
            std::wstring problem;
            if (!properties_.Load(stream, stateMagic_, extent_, problem)) {
                Self().Note(L"stored state refused: " + problem);
                return E_FAIL;
            }
            initialized_ = true;
            dirty_ = false;
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Save(LPSTREAM stream, BOOL clearDirty) {
    return Self().Boundary(
        L"Save",
        [&](const auto& t) { return t.Pointer(stream) + L", " + std::to_wstring(clearDirty); },
        [&](const auto& out) {
            if (!stream)
                return E_POINTER;
            const std::vector<uint8_t> state = properties_.Save(stateMagic_, extent_);
            ULONG written = 0;
            const HRESULT result =
                stream->Write(state.data(), static_cast<ULONG>(state.size()), &written);
            if (FAILED(result))
                return result;
            if (written != state.size())
                return STG_E_MEDIUMFULL;
            if (clearDirty)
                dirty_ = false;
            out([&](const auto&) { return std::to_wstring(written) + L" bytes"; });
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetSizeMax(ULARGE_INTEGER* size) {
    return Self().Boundary(L"GetSizeMax", kNoArgs, [&](const auto& out) {
        if (!size)
            return E_POINTER;
        size->QuadPart = properties_.Save(stateMagic_, extent_).size();
        out([&](const auto&) { return std::to_wstring(size->QuadPart); });
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::InitNew() {
    return Self().Boundary(L"InitNew", kNoArgs, [&](const auto&) {
        if (initialized_)
            return E_UNEXPECTED;
        properties_.Reset();
        extent_ = kDefaultExtent;
        initialized_ = true;
        dirty_ = false;
        return S_OK;
    });
}

// ---- IOleControl

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetControlInfo(CONTROLINFO* info) {
    return Self().Boundary(L"GetControlInfo", kNoArgs, [&](const auto&) {
        if (!info)
            return E_POINTER;
        info->cb = sizeof *info;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::OnMnemonic(MSG*) {
    return Self().Boundary(L"OnMnemonic", kNoArgs, [](const auto&) { return E_NOTIMPL; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::OnAmbientPropertyChange(DISPID dispid) {
    return Self().Boundary(
        L"OnAmbientPropertyChange", [&](const auto&) { return std::to_wstring(dispid); },
        [&](const auto&) {
            Self().AmbientChanged(dispid);
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::FreezeEvents(BOOL freeze) {
    return Self().Boundary(
        L"FreezeEvents", [&](const auto&) { return std::to_wstring(freeze); },
        [&](const auto& out) {
            if (freeze)
                ++freezeCount_;
            else if (freezeCount_ > 0)
                --freezeCount_;
            out([&](const auto&) { return std::to_wstring(freezeCount_); });
            return S_OK;
        });
}

// ---- IDispatch

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetTypeInfoCount(UINT* count) {
    return Self().Boundary(L"GetTypeInfoCount", kNoArgs, [&](const auto&) {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return Self().Boundary(
        L"GetTypeInfo", [&](const auto&) { return std::to_wstring(index); },
        [&](const auto&) { return NullOut(info, E_NOTIMPL); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetIDsOfNames(REFIID iid, LPOLESTR* names,
                                                             UINT count, LCID, DISPID* ids) {
    return Self().Boundary(
        L"GetIDsOfNames",
        [&](const auto& t) {
            std::wstring text;
            for (UINT i = 0; names && i < count; ++i)
                text += (i ? L", " : L"") + t.QuotedOrNull(names[i]);
            return text;
        },
        [&](const auto& out) {
            if (iid != IID_NULL)
                return DISP_E_UNKNOWNINTERFACE;
            if (!names || !ids || count == 0)
                return E_INVALIDARG;
            // Only property names are known; names of arguments never are.
            std::fill(ids, ids + count, DISPID_UNKNOWN);
            ids[0] = TPlayerProperties::IdOfName(names[0]);
            out([&](const auto&) {
                std::wstring text;
                for (UINT i = 0; i < count; ++i)
                    text += (i ? L", " : L"") + std::to_wstring(ids[i]);
                return text;
            });
            return std::find(ids, ids + count, DISPID_UNKNOWN) == ids + count ? S_OK
                                                                              : DISP_E_UNKNOWNNAME;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags,
                                                      DISPPARAMS* params, VARIANT* result,
                                                      EXCEPINFO* exception, UINT* argumentError) {
    return Self().Boundary(
        L"Invoke",
        [&](const auto& t) {
            std::wstring text = std::to_wstring(dispid) + L", " + t.InvokeFlags(flags);
            // Arguments in the order of the call: the array holds them last first.
            for (UINT i = params ? params->cArgs : 0; params && params->rgvarg && i > 0; --i)
                text += L", " + t.Variant(params->rgvarg[i - 1]);
            return text;
        },
        [&](const auto& out) {
            if (iid != IID_NULL)
                return DISP_E_UNKNOWNINTERFACE;
            if (!TPlayerProperties::Known(dispid))
                return DISP_E_MEMBERNOTFOUND;
            if (const HRESULT fault = Self().PropertyFault(dispid, exception, out); fault != S_OK)
                return fault;
            const HRESULT answer = properties_.Invoke(dispid, flags, params, result, argumentError);
            if (answer == S_OK) {
                if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
                    dirty_ = true;
                else
                    out([&](const auto& t) { return t.Variant(*result); });
            }
            return answer;
        });
}

// ---- IShockwaveFlash

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::FlashVersion(long* version) {
    return Self().Boundary(L"FlashVersion", kNoArgs, [&](const auto& out) {
        if (!version)
            return E_POINTER;
        *version = version_;
        out([&](const auto& t) { return t.Hex(static_cast<DWORD>(version_)); });
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::LoadMovie(int layer, BSTR url) {
    return Self().Boundary(
        L"LoadMovie", [&](const auto& t) { return std::to_wstring(layer) + L", " + t.Quoted(url); },
        [&](const auto&) { return Self().OpenMovie(layer, url); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetVariable(BSTR name, BSTR value) {
    return Self().Boundary(
        L"SetVariable", [&](const auto& t) { return t.Quoted(name) + L", " + t.Quoted(value); },
        [&](const auto&) {
            const std::wstring key = BstrText(name), text = BstrText(value);
            variables_[key] = text;
            return Self().VariableSet(key, text);
        });
}

// ---- connection points

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::TPoint::GetConnectionInterface(IID* iid) {
    return owner_.Self().Boundary(
        L"GetConnectionInterface", [&](const auto& t) { return t.Interface(iid_); },
        [&](const auto&) {
            if (!iid)
                return E_POINTER;
            *iid = iid_;
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::TPoint::GetConnectionPointContainer(
    IConnectionPointContainer** out) {
    return owner_.Self().Boundary(
        L"GetConnectionPointContainer", [&](const auto& t) { return t.Interface(iid_); },
        [&](const auto&) {
            if (!out)
                return E_POINTER;
            ComPtr<IConnectionPointContainer> container(&owner_);
            *out = container.Detach();
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::TPoint::Advise(IUnknown* sink, DWORD* cookie) {
    return owner_.Self().Boundary(
        L"Advise", [&](const auto& t) { return t.Interface(iid_); },
        [&](const auto& out) {
            const HRESULT result = sinks_.Advise(iid_, sink, cookie);
            if (result != S_OK)
                return result;
            out([&](const auto&) { return L"cookie " + std::to_wstring(*cookie); });
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::TPoint::Unadvise(DWORD cookie) {
    return owner_.Self().Boundary(
        L"Unadvise",
        [&](const auto& t) { return t.Interface(iid_) + L", " + std::to_wstring(cookie); },
        [&](const auto&) { return sinks_.Unadvise(cookie); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::TPoint::EnumConnections(IEnumConnections** out) {
    return owner_.Self().Boundary(
        L"EnumConnections", [&](const auto& t) { return t.Interface(iid_); },
        [&](const auto&) { return NullOut(out, E_NOTIMPL); });
}

template <typename Control, typename... Extra>
HRESULT
TWindowlessControl<Control, Extra...>::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return Self().Boundary(L"EnumConnectionPoints", kNoArgs,
                           [&](const auto&) { return NullOut(points, E_NOTIMPL); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::FindConnectionPoint(REFIID iid,
                                                                   IConnectionPoint** point) {
    return Self().Boundary(
        L"FindConnectionPoint", [&](const auto& t) { return t.Interface(iid); },
        [&](const auto&) {
            if (!point)
                return E_POINTER;
            *point = nullptr;
            TPoint* found = iid == IID_IPropertyNotifySink     ? &propertyPoint_
                            : iid == DIID_ShockwaveFlashEvents ? &eventPoint_
                                                               : nullptr;
            if (!found)
                return CONNECT_E_NOCONNECTION;
            ComPtr<IConnectionPoint> reference(found);
            *point = reference.Detach();
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::FireEvent(DISPID dispid, ULONG count,
                                                         const VARIANT* args) {
    const auto described = [&](const auto& t) {
        std::wstring text = std::to_wstring(dispid);
        for (ULONG i = 0; i < count; ++i)
            text += L", " + t.Variant(args[i]);
        return text;
    };
    if (freezeCount_ > 0) {
        Self().Note(
            [&](const auto& t) { return L"event " + described(t) + L" not sent: events frozen"; });
        return S_FALSE;
    }
    const std::vector<ComPtr<IUnknown>> sinks = eventPoint_.Sinks();
    if (sinks.empty()) {
        Self().Note(
            [&](const auto& t) { return L"event " + described(t) + L" not sent: no sink"; });
        return S_FALSE;
    }
    // A dispatch call carries its arguments last first; the copies own nothing.
    std::vector<VARIANT> reversed(args, args + count);
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS params{reversed.data(), nullptr, count, 0};
    // The host may let go of the control from a handler.
    const ComPtr<IOleObject> keep(this);
    for (const ComPtr<IUnknown>& sink : sinks) {
        TVariant result;
        TExcepInfo exception;
        UINT argumentError = 0;
        Self().Peer(L"event.Invoke", described,
                    static_cast<IDispatch*>(sink.Get())
                        ->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 &result.value, exception.Out(), &argumentError));
    }
    return S_OK;
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::FireCommand(std::wstring_view command,
                                                           std::wstring_view argument) {
    const TBstr texts[2] = {TBstr(command), TBstr(argument)};
    VARIANT args[2];
    for (int i = 0; i < 2; ++i) {
        V_VT(&args[i]) = VT_BSTR;
        V_BSTR(&args[i]) = texts[i].Get();
    }
    return FireEvent(FlashEvent::kFSCommand, 2, args);
}

// ---- activation

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::ActivateInPlace(IOleClientSite* givenSite,
                                                               LPCRECT position, bool uiActivate) {
    IOleClientSite* site = givenSite ? givenSite : site_.Get();
    if (!site)
        return E_UNEXPECTED;
    if (!inPlaceActive_) {
        ComPtr<IOleInPlaceSiteWindowless> windowless;
        if (FAILED(Self().Peer(L"site.QueryInterface", L"IOleInPlaceSiteWindowless",
                               site->QueryInterface(IID_PPV_ARGS(&windowless))))) {
            Self().Note(L"no windowless site: not activated");
            return E_FAIL;
        }
        if (Self().Peer(L"site.CanInPlaceActivate", L"", windowless->CanInPlaceActivate()) !=
            S_OK) {
            Self().Note(L"the site refuses in-place activation");
            return E_FAIL;
        }
        if (Self().Peer(L"site.CanWindowlessActivate", L"", windowless->CanWindowlessActivate()) !=
            S_OK) {
            Self().Note(L"the site refuses windowless activation: not activated");
            return E_FAIL;
        }
        windowless_ = windowless;
        inPlaceActive_ = true;
        BOOL noRedraw = FALSE;
        const HRESULT activated =
            Self().Peer(L"site.OnInPlaceActivateEx", L"ACTIVATE_WINDOWLESS",
                        windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS));
        if (FAILED(activated)) {
            windowless_.Reset();
            inPlaceActive_ = false;
            return activated;
        }
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT framePosition{}, frameClip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        const HRESULT context =
            windowless->GetWindowContext(&frame, &document, &framePosition, &frameClip, &info);
        Self().Peer(L"site.GetWindowContext", L"", context, [&](const auto& t) {
            return SUCCEEDED(context)
                       ? L"frame=" + t.Pointer(frame.Get()) + L", doc=" +
                             t.Pointer(document.Get()) + L", pos=" + t.Rect(&framePosition) +
                             L", clip=" + t.Rect(&frameClip) + L", mdi=" +
                             std::to_wstring(info.fMDIApp) + L", window=" +
                             t.Handle(info.hwndFrame) + L", accel=" + t.Handle(info.haccel) +
                             L", entries=" + std::to_wstring(info.cAccelEntries)
                       : std::wstring();
        });
        if (SUCCEEDED(context)) {
            position_ = framePosition;
        } else {
            frame.Reset();
            document.Reset();
            position_ = position ? *position : RECT{};
        }
        Self().Activated(frame.Get(), document.Get());
    }
    if (uiActivate && !uiActive_)
        uiActive_ = SUCCEEDED(Self().Peer(L"site.OnUIActivate", L"", windowless_->OnUIActivate()));
    return S_OK;
}

template <typename Control, typename... Extra>
void TWindowlessControl<Control, Extra...>::Deactivate() {
    if (!inPlaceActive_)
        return;
    const ComPtr<IOleInPlaceSiteWindowless> site = std::move(windowless_);
    if (uiActive_) {
        uiActive_ = false;
        Self().Peer(L"site.OnUIDeactivate", L"FALSE", site->OnUIDeactivate(FALSE));
    }
    inPlaceActive_ = false;
    Self().Deactivated();
    // The plain notification, so that the site lets go of the interfaces it took at activation.
    Self().Peer(L"site.OnInPlaceDeactivate", L"", site->OnInPlaceDeactivate());
}

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceObjectWindowless

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetWindow(HWND* window) {
    return Self().Boundary(L"GetWindow", kNoArgs, [&](const auto&) {
        if (!window)
            return E_POINTER;
        *window = nullptr; // windowless: there is none
        return E_FAIL;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::ContextSensitiveHelp(BOOL enter) {
    return Self().Boundary(
        L"ContextSensitiveHelp", [&](const auto&) { return std::to_wstring(enter); },
        [](const auto&) { return E_NOTIMPL; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::InPlaceDeactivate() {
    return Self().Boundary(L"InPlaceDeactivate", kNoArgs, [&](const auto&) {
        Deactivate();
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::UIDeactivate() {
    return Self().Boundary(L"UIDeactivate", kNoArgs, [&](const auto&) {
        if (uiActive_ && windowless_) {
            uiActive_ = false;
            Self().Peer(L"site.OnUIDeactivate", L"FALSE", windowless_->OnUIDeactivate(FALSE));
        }
        return S_OK;
    });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetObjectRects(LPCRECT position, LPCRECT clip) {
    return Self().Boundary(
        L"SetObjectRects",
        [&](const auto& t) { return L"pos=" + t.Rect(position) + L", clip=" + t.Rect(clip); },
        [&](const auto&) {
            if (!position)
                return E_POINTER;
            position_ = *position;
            Self().Placed();
            return S_OK;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::ReactivateAndUndo() {
    return Self().Boundary(L"ReactivateAndUndo", kNoArgs, [](const auto&) { return E_NOTIMPL; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::OnWindowMessage(UINT message, WPARAM wParam,
                                                               LPARAM lParam, LRESULT* result) {
    return Self().Boundary(
        L"OnWindowMessage", [&](const auto& t) { return t.Message(message, wParam, lParam); },
        [&](const auto&) {
            if (!inPlaceActive_)
                return S_FALSE;
            return Self().WindowMessage(message, wParam, lParam, result);
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetDropTarget(IDropTarget** target) {
    return Self().Boundary(L"GetDropTarget", kNoArgs,
                           [&](const auto&) { return NullOut(target, E_NOTIMPL); });
}

// ---- IOleInPlaceActiveObject

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::TranslateAccelerator(LPMSG message) {
    return Self().Boundary(
        L"TranslateAccelerator", [&](const auto& t) { return t.Pointer(message); },
        [](const auto&) { return S_FALSE; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::OnFrameWindowActivate(BOOL activate) {
    return Self().Boundary(
        L"OnFrameWindowActivate", [&](const auto&) { return std::to_wstring(activate); },
        [](const auto&) { return S_OK; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::OnDocWindowActivate(BOOL activate) {
    return Self().Boundary(
        L"OnDocWindowActivate", [&](const auto&) { return std::to_wstring(activate); },
        [](const auto&) { return S_OK; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow*,
                                                            BOOL frameWindow) {
    return Self().Boundary(
        L"ResizeBorder",
        [&](const auto& t) { return t.Rect(border) + L", " + std::to_wstring(frameWindow); },
        [](const auto&) { return S_OK; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::EnableModeless(BOOL enable) {
    return Self().Boundary(
        L"EnableModeless", [&](const auto&) { return std::to_wstring(enable); },
        [](const auto&) { return S_OK; });
}

// ---- IViewObject: the control draws; nothing to freeze, no palette, no advice

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                                    HDC dc, LPCRECTL bounds, LPCRECTL,
                                                    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                                    ULONG_PTR) {
    return Self().Boundary(
        L"Draw",
        [&](const auto& t) {
            return L"aspect=" + std::to_wstring(aspect) + L", bounds=" + t.Rect(bounds);
        },
        [&](const auto&) {
            if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_TRANSPARENT)
                return DV_E_DVASPECT;
            // Out of place it has nowhere to draw but bounds.
            if (!dc || (!bounds && !inPlaceActive_))
                return E_INVALIDARG;
            return Self().DrawIn(dc, bounds);
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetColorSet(DWORD aspect, LONG, void*,
                                                           DVTARGETDEVICE*, HDC,
                                                           LOGPALETTE** colors) {
    return Self().Boundary(
        L"GetColorSet", [&](const auto&) { return std::to_wstring(aspect); },
        [&](const auto&) { return NullOut(colors, S_FALSE); });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Freeze(DWORD aspect, LONG, void*, DWORD* freeze) {
    return Self().Boundary(
        L"Freeze", [&](const auto&) { return std::to_wstring(aspect); },
        [&](const auto&) {
            if (freeze)
                *freeze = 0;
            return E_NOTIMPL;
        });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::Unfreeze(DWORD freeze) {
    return Self().Boundary(
        L"Unfreeze", [&](const auto&) { return std::to_wstring(freeze); },
        [](const auto&) { return E_NOTIMPL; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::SetAdvise(DWORD aspects, DWORD flags,
                                                         IAdviseSink* sink) {
    return Self().Boundary(
        L"SetAdvise",
        [&](const auto& t) {
            return std::to_wstring(aspects) + L", " + std::to_wstring(flags) + L", " +
                   t.Pointer(sink);
        },
        [](const auto&) { return OLE_E_ADVISENOTSUPPORTED; });
}

template <typename Control, typename... Extra>
HRESULT TWindowlessControl<Control, Extra...>::GetAdvise(DWORD* aspects, DWORD* flags,
                                                         IAdviseSink** sink) {
    return Self().Boundary(L"GetAdvise", kNoArgs, [&](const auto&) {
        if (aspects)
            *aspects = 0;
        if (flags)
            *flags = 0;
        if (sink)
            *sink = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    });
}
