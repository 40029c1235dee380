// Events and property changes the private interface raises through the connection points.

#include "flash_standin/standin_object.h"

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
