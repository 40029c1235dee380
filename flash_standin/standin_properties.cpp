// The player properties by dispatch identifier, and the stored state that carries them.

#include "flash_standin/standin_object.h"

#include <cstring>
#include <cwchar>

namespace {

struct TPropertyInfo {
    DISPID dispid;
    const wchar_t* name;
    VARTYPE type;
    int32_t number;      // initial VT_I4 or VT_BOOL value
    const wchar_t* text; // initial VT_BSTR value
};

using namespace FlashProperty;

constexpr TPropertyInfo kProperties[] = {
    {kQuality, L"Quality", VT_I4, 1, L""},
    {kLoop, L"Loop", VT_BOOL, VARIANT_TRUE, L""},
    {kFrameNum, L"FrameNum", VT_I4, -1, L""},
    {kScaleMode, L"ScaleMode", VT_I4, 0, L""},
    {kAlignMode, L"AlignMode", VT_I4, 0, L""},
    {kBackgroundColor, L"BackgroundColor", VT_I4, -1, L""},
    {kPlaying, L"Playing", VT_BOOL, VARIANT_TRUE, L""},
    {kWMode, L"WMode", VT_BSTR, 0, L"Window"},
    {kSAlign, L"SAlign", VT_BSTR, 0, L""},
    {kMenu, L"Menu", VT_BOOL, VARIANT_TRUE, L""},
    {kBase, L"Base", VT_BSTR, 0, L""},
    {kScale, L"Scale", VT_BSTR, 0, L"ShowAll"},
    {kDeviceFont, L"DeviceFont", VT_BOOL, VARIANT_FALSE, L""},
    {kEmbedMovie, L"EmbedMovie", VT_BOOL, VARIANT_FALSE, L""},
    {kBGColor, L"BGColor", VT_BSTR, 0, L""},
    {kQuality2, L"Quality2", VT_BSTR, 0, L"High"},
    {kSWRemote, L"SWRemote", VT_BSTR, 0, L""},
    {kFlashVars, L"FlashVars", VT_BSTR, 0, L""},
    {kAllowScriptAccess, L"AllowScriptAccess", VT_BSTR, 0, L"sameDomain"},
    {kMovieData, L"MovieData", VT_BSTR, 0, L""},
    {kSeamlessTabbing, L"SeamlessTabbing", VT_BOOL, VARIANT_TRUE, L""},
};

const TPropertyInfo* FindProperty(DISPID dispid) {
    for (const TPropertyInfo& property : kProperties)
        if (property.dispid == dispid)
            return &property;
    return nullptr;
}

// Stored state: "LTSC", format 1, the extent, then one record per property.
constexpr char kStateMagic[4] = {'L', 'T', 'S', 'C'};
constexpr uint32_t kStateFormat = 1;
// No property text of a movie comes near this; a longer one marks the state as damaged.
constexpr uint32_t kMaxStoredText = 1u << 20;

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

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

bool Read32(IStream* stream, uint32_t& value) {
    uint8_t b[4];
    if (!ReadExact(stream, b, 4))
        return false;
    value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool Read16(IStream* stream, uint16_t& value) {
    uint8_t b[2];
    if (!ReadExact(stream, b, 2))
        return false;
    value = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

// A stored text, taken in pieces so that a damaged length costs no more memory than the bytes
// that really follow it.
bool ReadText(IStream* stream, uint32_t length, std::wstring& text) {
    text.clear();
    wchar_t piece[2048];
    while (length > 0) {
        const uint32_t n = length < 2048 ? length : 2048;
        uint8_t raw[4096];
        if (!ReadExact(stream, raw, n * 2))
            return false;
        for (uint32_t i = 0; i < n; ++i)
            piece[i] = static_cast<wchar_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
        text.append(piece, n);
        length -= n;
    }
    return true;
}

} // namespace

void TStandinControl::ResetProperties() {
    properties_.clear();
    for (const TPropertyInfo& property : kProperties)
        properties_[property.dispid] = {property.number, property.text};
}

std::vector<uint8_t> TStandinControl::SavedState() const {
    std::vector<uint8_t> out(std::begin(kStateMagic), std::end(kStateMagic));
    Put32(out, kStateFormat);
    Put32(out, static_cast<uint32_t>(extent_.cx));
    Put32(out, static_cast<uint32_t>(extent_.cy));
    Put32(out, static_cast<uint32_t>(std::size(kProperties)));
    for (const TPropertyInfo& property : kProperties) {
        const TPropertyValue& value = properties_.at(property.dispid);
        Put32(out, static_cast<uint32_t>(property.dispid));
        Put16(out, property.type);
        if (property.type == VT_I4)
            Put32(out, static_cast<uint32_t>(value.number));
        else if (property.type == VT_BOOL)
            Put16(out, static_cast<uint16_t>(value.number));
        else {
            Put32(out, static_cast<uint32_t>(value.text.size()));
            for (wchar_t c : value.text)
                Put16(out, static_cast<uint16_t>(c));
        }
    }
    return out;
}

HRESULT TStandinControl::LoadState(IStream* stream) {
    // Everything is read before anything is taken over: damaged state changes nothing.
    const auto refuse = [&](const wchar_t* why) {
        Note(std::wstring(L"stored state refused: ") + why);
        return E_FAIL;
    };
    char magic[4];
    uint32_t format = 0, cx = 0, cy = 0, count = 0;
    if (!ReadExact(stream, magic, 4) || !Read32(stream, format) || !Read32(stream, cx) ||
        !Read32(stream, cy) || !Read32(stream, count))
        return refuse(L"truncated header");
    if (std::memcmp(magic, kStateMagic, 4) != 0 || format != kStateFormat)
        return refuse(L"not this control's state");
    if (count > std::size(kProperties))
        return refuse(L"too many properties");
    std::map<DISPID, TPropertyValue> properties;
    for (const TPropertyInfo& property : kProperties)
        properties[property.dispid] = {property.number, property.text};
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t dispid = 0;
        uint16_t type = 0;
        if (!Read32(stream, dispid) || !Read16(stream, type))
            return refuse(L"truncated property");
        const TPropertyInfo* property = FindProperty(static_cast<DISPID>(dispid));
        if (!property || property->type != type)
            return refuse(L"unknown property");
        TPropertyValue& value = properties[property->dispid];
        if (type == VT_I4) {
            uint32_t number = 0;
            if (!Read32(stream, number))
                return refuse(L"truncated property");
            value.number = static_cast<int32_t>(number);
        } else if (type == VT_BOOL) {
            uint16_t flag = 0;
            if (!Read16(stream, flag))
                return refuse(L"truncated property");
            value.number = flag ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
            uint32_t length = 0;
            if (!Read32(stream, length) || length > kMaxStoredText ||
                !ReadText(stream, length, value.text))
                return refuse(L"truncated or oversized text");
        }
    }
    properties_ = std::move(properties);
    extent_ = {static_cast<LONG>(cx), static_cast<LONG>(cy)};
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
            for (const TPropertyInfo& property : kProperties)
                if (names[0] && _wcsicmp(names[0], property.name) == 0)
                    ids[0] = property.dispid;
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
    const TPropertyInfo* property = FindProperty(dispid);
    if (!property)
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
    const UINT argumentCount = params ? params->cArgs : 0;
    TPropertyValue& value = properties_[dispid];
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        // A put carries its value as the one argument named DISPID_PROPERTYPUT.
        if (argumentCount != 1 || !params->rgvarg)
            return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
        VARIANT converted;
        VariantInit(&converted);
        if (FAILED(VariantChangeType(&converted, &params->rgvarg[0], 0, property->type))) {
            if (argumentError)
                *argumentError = 0;
            return DISP_E_TYPEMISMATCH;
        }
        if (property->type == VT_I4)
            value.number = V_I4(&converted);
        else if (property->type == VT_BOOL)
            value.number = V_BOOL(&converted) ? VARIANT_TRUE : VARIANT_FALSE;
        else
            value.text = BstrText(V_BSTR(&converted));
        VariantClear(&converted);
        dirty_ = true;
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (argumentCount != 0)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return E_POINTER;
        VariantInit(result);
        if (property->type == VT_I4) {
            V_VT(result) = VT_I4;
            V_I4(result) = value.number;
        } else if (property->type == VT_BOOL) {
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = static_cast<VARIANT_BOOL>(value.number);
        } else {
            BSTR text = SysAllocStringLen(value.text.data(), static_cast<UINT>(value.text.size()));
            if (!text)
                return E_OUTOFMEMORY;
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = text;
        }
        outputs = LogText::Variant(*result);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

// The private view of the same table.

HRESULT TStandinControl::GetProperty(DISPID dispid, VARIANT* value) {
    return Private([&] {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        const TPropertyInfo* property = FindProperty(dispid);
        if (!property)
            return DISP_E_MEMBERNOTFOUND;
        const TPropertyValue& stored = properties_[dispid];
        V_VT(value) = property->type;
        if (property->type == VT_I4)
            V_I4(value) = stored.number;
        else if (property->type == VT_BOOL)
            V_BOOL(value) = static_cast<VARIANT_BOOL>(stored.number);
        else
            V_BSTR(value) =
                SysAllocStringLen(stored.text.data(), static_cast<UINT>(stored.text.size()));
        return S_OK;
    });
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
