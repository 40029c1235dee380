#include "qel/qel_flash_events_win.h"

#include "base/com_win.h"

namespace {

// An integer parameter takes any integer-typed argument's value; nothing is converted between
// kinds (a text or a floating-point value never becomes an integer).
std::optional<int32_t> IntegerOf(const VARIANT& v) {
    switch (V_VT(&v)) {
    case VT_I1:
        return V_I1(&v);
    case VT_UI1:
        return V_UI1(&v);
    case VT_I2:
        return V_I2(&v);
    case VT_UI2:
        return V_UI2(&v);
    case VT_BOOL:
        return V_BOOL(&v);
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
        return V_I4(&v);
    case VT_UI4:
    case VT_UINT:
        return static_cast<int32_t>(V_UI4(&v));
    default:
        return std::nullopt;
    }
}

} // namespace

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
            const std::optional<int32_t> value = IntegerOf(argument);
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
