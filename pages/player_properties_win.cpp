#include "pages/player_properties_win.h"

#include <cwchar>

#include "base/com_win.h"

namespace {

// Reads exactly count bytes; false when the stream ends or fails first.
bool ReadExact(IStream* stream, void* buffer, ULONG count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        ULONG got = 0;
        if (FAILED(stream->Read(bytes, count, &got)) || got == 0)
            return false;
        bytes += got;
        count -= got;
    }
    return true;
}

} // namespace

void TPlayerProperties::Reset() {
    values_ = InitialPlayerValues();
}

bool TPlayerProperties::Known(DISPID dispid) {
    return FindPlayerProperty(dispid) != nullptr;
}

DISPID TPlayerProperties::IdOfName(const wchar_t* name) {
    for (const TPlayerProperty& property : PlayerProperties())
        if (name && _wcsicmp(name, property.name) == 0)
            return property.dispid;
    return DISPID_UNKNOWN;
}

HRESULT TPlayerProperties::Invoke(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  UINT* argumentError) {
    const TPlayerProperty* property = FindPlayerProperty(dispid);
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    const UINT argumentCount = params ? params->cArgs : 0;
    TStoredValue& value = values_[dispid];
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        // A put carries its value as the one argument named DISPID_PROPERTYPUT.
        if (argumentCount != 1 || !params->rgvarg)
            return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
        TVariant converted;
        if (FAILED(VariantChangeType(&converted.value, &params->rgvarg[0], 0,
                                     static_cast<VARTYPE>(property->type)))) {
            if (argumentError)
                *argumentError = 0;
            return DISP_E_TYPEMISMATCH;
        }
        if (property->type == TStoredType::Integer)
            value.number = V_I4(&converted.value);
        else if (property->type == TStoredType::Flag)
            value.number = V_BOOL(&converted.value) ? VARIANT_TRUE : VARIANT_FALSE;
        else
            value.text = BstrText(V_BSTR(&converted.value));
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (argumentCount != 0)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return E_POINTER;
        VariantInit(result);
        return Get(dispid, result);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT TPlayerProperties::Get(DISPID dispid, VARIANT* value) const {
    if (!value)
        return E_POINTER;
    VariantInit(value);
    const TPlayerProperty* property = FindPlayerProperty(dispid);
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    const TStoredValue& stored = values_.at(dispid);
    if (property->type == TStoredType::Integer) {
        V_VT(value) = VT_I4;
        V_I4(value) = stored.number;
    } else if (property->type == TStoredType::Flag) {
        V_VT(value) = VT_BOOL;
        V_BOOL(value) = static_cast<VARIANT_BOOL>(stored.number);
    } else {
        BSTR text = SysAllocStringLen(stored.text.data(), static_cast<UINT>(stored.text.size()));
        if (!text)
            return E_OUTOFMEMORY;
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = text;
    }
    return S_OK;
}

std::vector<uint8_t> TPlayerProperties::Save(const char (&magic)[4], const SIZEL& extent) const {
    return EncodePlayerState(magic, extent.cx, extent.cy, values_);
}

bool TPlayerProperties::Load(IStream* stream, const char (&magic)[4], SIZEL& extent,
                             std::wstring& problem) {
    // Everything is read before anything is taken over: damaged state changes nothing.
    std::string why;
    std::optional<TPlayerState> state = DecodePlayerState(
        [stream](void* buffer, uint32_t count) { return ReadExact(stream, buffer, count); }, magic,
        why);
    if (!state) {
        problem.assign(why.begin(), why.end());
        return false;
    }
    values_ = std::move(state->values);
    extent = {state->cx, state->cy};
    return true;
}
