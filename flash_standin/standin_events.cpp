// The two connection points (property changes and player events) and raising through them.

#include "flash_standin/standin_object.h"

#include <algorithm>

HRESULT TConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// A point lives inside its control and is counted with it.
ULONG TConnectionPoint::AddRef() {
    return owner_.AddRef();
}

ULONG TConnectionPoint::Release() {
    return owner_.Release();
}

HRESULT TConnectionPoint::GetConnectionInterface(IID* iid) {
    return owner_.Call(
        L"GetConnectionInterface", [&] { return LogText::Interface(iid_); },
        [&](std::wstring&) {
            if (!iid)
                return E_POINTER;
            *iid = iid_;
            return S_OK;
        });
}

HRESULT TConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    return owner_.Call(
        L"GetConnectionPointContainer", [&] { return LogText::Interface(iid_); },
        [&](std::wstring&) {
            if (!out)
                return E_POINTER;
            ComPtr<IConnectionPointContainer> container(&owner_);
            *out = container.Detach();
            return S_OK;
        });
}

HRESULT TConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    return owner_.Call(
        L"Advise", [&] { return LogText::Interface(iid_); },
        [&](std::wstring& outputs) {
            if (!cookie)
                return E_POINTER;
            *cookie = 0;
            if (!sink)
                return E_POINTER;
            ComPtr<IUnknown> typed;
            if (FAILED(
                    sink->QueryInterface(iid_, reinterpret_cast<void**>(typed.GetAddressOf()))) ||
                !typed)
                return CONNECT_E_CANNOTCONNECT;
            *cookie = nextCookie_++;
            sinks_[*cookie] = typed;
            outputs = L"cookie " + std::to_wstring(*cookie);
            return S_OK;
        });
}

HRESULT TConnectionPoint::Unadvise(DWORD cookie) {
    return owner_.Call(
        L"Unadvise", [&] { return LogText::Interface(iid_) + L", " + std::to_wstring(cookie); },
        [&](std::wstring&) {
            // The sink is released after it has left the table, in case it calls back.
            const auto found = sinks_.find(cookie);
            if (found == sinks_.end())
                return CONNECT_E_NOCONNECTION;
            const ComPtr<IUnknown> sink = std::move(found->second);
            sinks_.erase(found);
            return S_OK;
        });
}

HRESULT TConnectionPoint::EnumConnections(IEnumConnections** out) {
    return owner_.Call(
        L"EnumConnections", [&] { return LogText::Interface(iid_); },
        [&](std::wstring&) {
            if (out)
                *out = nullptr;
            return E_NOTIMPL;
        });
}

std::vector<ComPtr<IUnknown>> TConnectionPoint::Sinks() const {
    std::vector<ComPtr<IUnknown>> sinks;
    for (const auto& [cookie, sink] : sinks_)
        sinks.push_back(sink);
    return sinks;
}

// IConnectionPointContainer

HRESULT TStandinControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return Call(
        L"EnumConnectionPoints", [] { return std::wstring(); },
        [&](std::wstring&) {
            if (points)
                *points = nullptr;
            return E_NOTIMPL;
        });
}

HRESULT TStandinControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    return Call(
        L"FindConnectionPoint", [&] { return LogText::Interface(iid); },
        [&](std::wstring&) {
            if (!point)
                return E_POINTER;
            *point = nullptr;
            TConnectionPoint* found = iid == IID_IPropertyNotifySink     ? &propertyPoint_
                                      : iid == DIID_ShockwaveFlashEvents ? &eventPoint_
                                                                         : nullptr;
            if (!found)
                return CONNECT_E_NOCONNECTION;
            ComPtr<IConnectionPoint> reference(found);
            *point = reference.Detach();
            return S_OK;
        });
}

HRESULT TStandinControl::FireEvent(DISPID dispid, ULONG count, const VARIANT* args) {
    std::wstring text = std::to_wstring(dispid);
    for (ULONG i = 0; i < count; ++i)
        text += L", " + LogText::Variant(args[i]);
    if (freezeCount_ > 0) {
        Note(L"event " + text + L" not sent: events frozen");
        return S_FALSE;
    }
    const std::vector<ComPtr<IUnknown>> sinks = eventPoint_.Sinks();
    if (sinks.empty()) {
        Note(L"event " + text + L" not sent: no sink");
        return S_FALSE;
    }
    // A dispatch call carries its arguments last first; the copies own nothing.
    std::vector<VARIANT> reversed(args, args + count);
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS params{reversed.data(), nullptr, count, 0};
    for (const ComPtr<IUnknown>& sink : sinks) {
        auto* target = static_cast<IDispatch*>(sink.Get());
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT argumentError = 0;
        Out(L"event.Invoke", text,
            target->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                           &exception, &argumentError));
        VariantClear(&result);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    return S_OK;
}

HRESULT TStandinControl::RaiseEvent(DISPID dispid, ULONG count, const VARIANT* args) {
    TStandinAction action{};
    action.kind = kActRaiseEvent;
    action.dispid = dispid;
    action.count = count;
    action.args = args;
    return Act(&action);
}

HRESULT TStandinControl::NotifyChanged(DISPID dispid) {
    return Private([&] {
        const std::vector<ComPtr<IUnknown>> sinks = propertyPoint_.Sinks();
        for (const ComPtr<IUnknown>& sink : sinks)
            Out(L"notify.OnChanged", std::to_wstring(dispid),
                static_cast<IPropertyNotifySink*>(sink.Get())->OnChanged(dispid));
        return sinks.empty() ? S_FALSE : S_OK;
    });
}
