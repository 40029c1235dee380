#include "pages/player_properties_win.h"

#include <cstring>
#include <cwchar>

#include "base/com_win.h"
#include "qel/shockwave_flash.h"

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

void TPlayerProperties::Reset() {
    values_.clear();
    for (const TPropertyInfo& property : kProperties)
        values_[property.dispid] = {property.number, property.text};
}

bool TPlayerProperties::Known(DISPID dispid) {
    return FindProperty(dispid) != nullptr;
}

DISPID TPlayerProperties::IdOfName(const wchar_t* name) {
    for (const TPropertyInfo& property : kProperties)
        if (name && _wcsicmp(name, property.name) == 0)
            return property.dispid;
    return DISPID_UNKNOWN;
}

HRESULT TPlayerProperties::Invoke(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  UINT* argumentError) {
    const TPropertyInfo* property = FindProperty(dispid);
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    const UINT argumentCount = params ? params->cArgs : 0;
    TValue& value = values_[dispid];
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        // A put carries its value as the one argument named DISPID_PROPERTYPUT.
        if (argumentCount != 1 || !params->rgvarg)
            return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
        TVariant converted;
        if (FAILED(VariantChangeType(&converted.value, &params->rgvarg[0], 0, property->type))) {
            if (argumentError)
                *argumentError = 0;
            return DISP_E_TYPEMISMATCH;
        }
        if (property->type == VT_I4)
            value.number = V_I4(&converted.value);
        else if (property->type == VT_BOOL)
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
    const TPropertyInfo* property = FindProperty(dispid);
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    const TValue& stored = values_.at(dispid);
    if (property->type == VT_I4) {
        V_VT(value) = VT_I4;
        V_I4(value) = stored.number;
    } else if (property->type == VT_BOOL) {
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
    std::vector<uint8_t> out(std::begin(magic), std::end(magic));
    Put32(out, kStateFormat);
    Put32(out, static_cast<uint32_t>(extent.cx));
    Put32(out, static_cast<uint32_t>(extent.cy));
    Put32(out, static_cast<uint32_t>(std::size(kProperties)));
    for (const TPropertyInfo& property : kProperties) {
        const TValue& value = values_.at(property.dispid);
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

bool TPlayerProperties::Load(IStream* stream, const char (&magic)[4], SIZEL& extent,
                             std::wstring& problem) {
    // Everything is read before anything is taken over: damaged state changes nothing.
    const auto refuse = [&](const wchar_t* why) {
        problem = why;
        return false;
    };
    char read[4];
    uint32_t format = 0, cx = 0, cy = 0, count = 0;
    if (!ReadExact(stream, read, 4) || !Read32(stream, format) || !Read32(stream, cx) ||
        !Read32(stream, cy) || !Read32(stream, count))
        return refuse(L"truncated header");
    if (std::memcmp(read, magic, 4) != 0 || format != kStateFormat)
        return refuse(L"not this control's state");
    if (count > std::size(kProperties))
        return refuse(L"too many properties");
    std::map<DISPID, TValue> values;
    for (const TPropertyInfo& property : kProperties)
        values[property.dispid] = {property.number, property.text};
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t dispid = 0;
        uint16_t type = 0;
        if (!Read32(stream, dispid) || !Read16(stream, type))
            return refuse(L"truncated property");
        const TPropertyInfo* property = FindProperty(static_cast<DISPID>(dispid));
        if (!property || property->type != type)
            return refuse(L"unknown property");
        TValue& value = values[property->dispid];
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
    values_ = std::move(values);
    extent = {static_cast<LONG>(cx), static_cast<LONG>(cy)};
    return true;
}
