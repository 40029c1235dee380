// The two connection points (property changes and player events) and raising through them.

#include "flash_standin/standin_object.h"

#include <algorithm>

TConnectionPoint::TConnectionPoint(TStandinControl& owner, const IID& iid)
    : TComPart(static_cast<IOleObject&>(owner)), owner_(owner), iid_(iid) {}

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
            const HRESULT result = sinks_.Advise(iid_, sink, cookie);
            if (result != S_OK)
                return result;
            outputs = L"cookie " + std::to_wstring(*cookie);
            return S_OK;
        });
}

HRESULT TConnectionPoint::Unadvise(DWORD cookie) {
    return owner_.Call(
        L"Unadvise", [&] { return LogText::Interface(iid_) + L", " + std::to_wstring(cookie); },
        [&](std::wstring&) { return sinks_.Unadvise(cookie); });
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
        TVariant result;
        TExcepInfo exception;
        UINT argumentError = 0;
        Out(L"event.Invoke", text,
            target->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                           &result.value, exception.Out(), &argumentError));
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
