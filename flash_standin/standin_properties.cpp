// The player properties by dispatch identifier, and the stored state that carries them.

#include "flash_standin/standin_object.h"

void TStandinControl::ResetProperties() {
    properties_.Reset();
}

std::vector<uint8_t> TStandinControl::SavedState() const {
    return properties_.Save(kStandinStateMagic, extent_);
}

HRESULT TStandinControl::LoadState(IStream* stream) {
    std::wstring problem;
    if (!properties_.Load(stream, kStandinStateMagic, extent_, problem)) {
        Note(L"stored state refused: " + problem);
        return E_FAIL;
    }
    initialized_ = true;
    dirty_ = false;
    return S_OK;
}

// IDispatch

HRESULT TStandinControl::GetTypeInfoCount(UINT* count) {
    return Call(
        L"GetTypeInfoCount", [] { return std::wstring(); },
        [&](std::wstring&) {
            if (!count)
                return E_POINTER;
            *count = 0;
            return S_OK;
        });
}

HRESULT TStandinControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return Call(
        L"GetTypeInfo", [&] { return std::to_wstring(index); },
        [&](std::wstring&) {
            if (info)
                *info = nullptr;
            return E_NOTIMPL;
        });
}

HRESULT TStandinControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return Call(
        L"GetIDsOfNames",
        [&] {
            std::wstring text;
            for (UINT i = 0; names && i < count; ++i)
                text += (i ? L", " : L"") + LogText::QuotedOrNull(names[i]);
            return text;
        },
        [&](std::wstring& outputs) {
            if (iid != IID_NULL)
                return DISP_E_UNKNOWNINTERFACE;
            if (!names || !ids || count == 0)
                return E_INVALIDARG;
            // Only property names are known; names of arguments never are.
            HRESULT result = S_OK;
            for (UINT i = 0; i < count; ++i)
                ids[i] = DISPID_UNKNOWN;
            ids[0] = TPlayerProperties::IdOfName(names[0]);
            for (UINT i = 0; i < count; ++i) {
                if (ids[i] == DISPID_UNKNOWN)
                    result = DISP_E_UNKNOWNNAME;
                outputs += (i ? L", " : L"") + std::to_wstring(ids[i]);
            }
            return result;
        });
}

HRESULT TStandinControl::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return Call(
        L"Invoke",
        [&] {
            std::wstring text = std::to_wstring(dispid) + L", " + LogText::InvokeFlags(flags);
            // Arguments in the order of the call: the array holds them last first.
            for (UINT i = params ? params->cArgs : 0; params && params->rgvarg && i > 0; --i)
                text += L", " + LogText::Variant(params->rgvarg[i - 1]);
            return text;
        },
        [&](std::wstring& outputs) {
            if (iid != IID_NULL)
                return DISP_E_UNKNOWNINTERFACE;
            return InvokeProperty(dispid, flags, params, result, exception, argumentError, outputs);
        });
}

HRESULT TStandinControl::InvokeProperty(DISPID dispid, WORD flags, DISPPARAMS* params,
                                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError,
                                        std::wstring& outputs) {
    if (!TPlayerProperties::Known(dispid))
        return DISP_E_MEMBERNOTFOUND;
    const auto fault = propertyFaults_.find(dispid);
    if (fault != propertyFaults_.end()) {
        const auto& [code, description] = fault->second;
        outputs = LogText::Result(code) + L" " + LogText::Quoted(description);
        if (!exception)
            return code;
        *exception = EXCEPINFO{};
        exception->bstrSource = SysAllocString(L"Leafturn stand-in");
        exception->bstrDescription = SysAllocString(description.c_str());
        exception->scode = code;
        return DISP_E_EXCEPTION;
    }
    const HRESULT answer = properties_.Invoke(dispid, flags, params, result, argumentError);
    if (answer == S_OK) {
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
            dirty_ = true;
        else
            outputs = LogText::Variant(*result);
    }
    return answer;
}

// The private view of the same table.

HRESULT TStandinControl::GetProperty(DISPID dispid, VARIANT* value) {
    return Private([&] { return properties_.Get(dispid, value); });
}

HRESULT TStandinControl::FailProperty(DISPID dispid, HRESULT code, LPCWSTR description) {
    return Private([&] {
        if (code == S_OK)
            propertyFaults_.erase(dispid);
        else
            propertyFaults_[dispid] = {code, description ? description : L""};
        return S_OK;
    });
}
