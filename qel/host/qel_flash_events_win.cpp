#include "qel/host/qel_flash_events_win.h"

#include <algorithm>

#include "base/com_win.h"
#include "qel/host/qel_flash_olehost.h"
#include "ui/application_win.h"

std::optional<std::vector<TEventValue>>
DecodeEventArguments(const DISPPARAMS* params, std::span<const TEventParameter> signature) {
    const UINT count = params ? params->cArgs : 0;
    if (count < signature.size() || (count > 0 && !params->rgvarg))
        return std::nullopt;
    std::vector<TEventValue> values;
    values.reserve(signature.size());
    for (size_t i = 0; i < signature.size(); ++i) {
        const VARIANT& argument = params->rgvarg[count - 1 - i];
        if (signature[i] == TEventParameter::Integer) {
            const std::optional<int32_t> value = VariantInteger(argument, TIntegerRule::Exact);
            if (!value)
                return std::nullopt;
            values.emplace_back(*value);
        } else {
            if (V_VT(&argument) != VT_BSTR)
                return std::nullopt;
            values.emplace_back(BstrText(V_BSTR(&argument)));
        }
    }
    return values;
}

// ---- the event sink

TEventDispatch::TEventDispatch(TqelOleControl& control)
    : TComPart(static_cast<IServiceProvider&>(control)), control_(control) {}

std::array<TEventDispatch::TFace, 2> TEventDispatch::Faces() const {
    return {TFace::As<IDispatch>(IID_IDispatch),
            TFace::As<IDispatch>(control_.Descriptor().eventInterface)};
}

HRESULT STDMETHODCALLTYPE TEventDispatch::Invoke(DISPID dispid, REFIID, LCID, WORD,
                                                 DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    // Whatever a handler does, the control only ever hears S_OK.
    try {
        if (dispid >= StockEvent::kMouseUp && dispid <= StockEvent::kClick)
            control_.DispatchStockEvent(dispid, params);
        else
            control_.DispatchControlEvent(dispid, params);
    } catch (...) {
    }
    return S_OK;
}

void TqelOleControl::DispatchControlEvent(DISPID dispid, DISPPARAMS* params) {
    const std::vector<DISPID>& events = descriptor_->events;
    const auto found = std::find(events.begin(), events.end(), dispid);
    if (found == events.end())
        return;
    TEventSlot& slot = EventSlot(static_cast<size_t>(found - events.begin()));
    if (!slot.handler)
        return;
    const std::optional<std::vector<TEventValue>> arguments =
        DecodeEventArguments(params, slot.parameters);
    if (!arguments)
        return;
    // A copy: the handler may assign its own slot and must live until it returns.
    const auto handler = slot.handler;
    try {
        handler(*arguments);
    } catch (...) {
        if (TApplication* application = TApplication::Instance())
            application->HandleCurrentException();
    }
}
