#include "pages/player_state.h"

#include <cstring>

#include "qel/host/flash_properties.h"

namespace {

using namespace FlashProperty;
using enum TStoredType;

constexpr int32_t kTrue = -1; // VARIANT_TRUE

constexpr TPlayerProperty kProperties[] = {
    {kQuality, L"Quality", Integer, 1, L""},
    {kLoop, L"Loop", Flag, kTrue, L""},
    {kFrameNum, L"FrameNum", Integer, -1, L""},
    {kScaleMode, L"ScaleMode", Integer, 0, L""},
    {kAlignMode, L"AlignMode", Integer, 0, L""},
    {kBackgroundColor, L"BackgroundColor", Integer, -1, L""},
    {kPlaying, L"Playing", Flag, kTrue, L""},
    {kWMode, L"WMode", Text, 0, L"Window"},
    {kSAlign, L"SAlign", Text, 0, L""},
    {kMenu, L"Menu", Flag, kTrue, L""},
    {kBase, L"Base", Text, 0, L""},
    {kScale, L"Scale", Text, 0, L"ShowAll"},
    {kDeviceFont, L"DeviceFont", Flag, 0, L""},
    {kEmbedMovie, L"EmbedMovie", Flag, 0, L""},
    {kBGColor, L"BGColor", Text, 0, L""},
    {kQuality2, L"Quality2", Text, 0, L"High"},
    {kSWRemote, L"SWRemote", Text, 0, L""},
    {kFlashVars, L"FlashVars", Text, 0, L""},
    {kAllowScriptAccess, L"AllowScriptAccess", Text, 0, L"sameDomain"},
    {kMovieData, L"MovieData", Text, 0, L""},
    {kSeamlessTabbing, L"SeamlessTabbing", Flag, kTrue, L""},
};

constexpr uint32_t kStateFormat = 1;

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

bool Read32(const TReadExact& read, uint32_t& value) {
    uint8_t b[4];
    if (!read(b, 4))
        return false;
    value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool Read16(const TReadExact& read, uint16_t& value) {
    uint8_t b[2];
    if (!read(b, 2))
        return false;
    value = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

// A stored text, taken in pieces so that a damaged length costs no more memory than the bytes
// that really follow it.
bool ReadText(const TReadExact& read, uint32_t length, std::wstring& text) {
    text.clear();
    wchar_t piece[2048];
    while (length > 0) {
        const uint32_t n = length < 2048 ? length : 2048;
        uint8_t raw[4096];
        if (!read(raw, n * 2))
            return false;
        for (uint32_t i = 0; i < n; ++i)
            piece[i] = static_cast<wchar_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
        text.append(piece, n);
        length -= n;
    }
    return true;
}

} // namespace

std::span<const TPlayerProperty> PlayerProperties() {
    return kProperties;
}

const TPlayerProperty* FindPlayerProperty(int32_t dispid) {
    for (const TPlayerProperty& property : kProperties)
        if (property.dispid == dispid)
            return &property;
    return nullptr;
}

TStoredValues InitialPlayerValues() {
    TStoredValues values;
    for (const TPlayerProperty& property : kProperties)
        values[property.dispid] = {property.number, property.text};
    return values;
}

std::vector<uint8_t> EncodePlayerState(const char (&magic)[4], int32_t cx, int32_t cy,
                                       const TStoredValues& values) {
    std::vector<uint8_t> out(std::begin(magic), std::end(magic));
    Put32(out, kStateFormat);
    Put32(out, static_cast<uint32_t>(cx));
    Put32(out, static_cast<uint32_t>(cy));
    Put32(out, static_cast<uint32_t>(std::size(kProperties)));
    for (const TPlayerProperty& property : kProperties) {
        const TStoredValue& value = values.at(property.dispid);
        Put32(out, static_cast<uint32_t>(property.dispid));
        Put16(out, static_cast<uint16_t>(property.type));
        if (property.type == Integer)
            Put32(out, static_cast<uint32_t>(value.number));
        else if (property.type == Flag)
            Put16(out, static_cast<uint16_t>(value.number));
        else {
            Put32(out, static_cast<uint32_t>(value.text.size()));
            for (wchar_t c : value.text)
                Put16(out, static_cast<uint16_t>(c));
        }
    }
    return out;
}

std::optional<TPlayerState> DecodePlayerState(const TReadExact& read, const char (&magic)[4],
                                              std::string& problem) {
    const auto refuse = [&](const char* why) {
        problem = why;
        return std::nullopt;
    };
    char mark[4];
    uint32_t format = 0, cx = 0, cy = 0, count = 0;
    if (!read(mark, 4) || !Read32(read, format) || !Read32(read, cx) || !Read32(read, cy) ||
        !Read32(read, count))
        return refuse("truncated header");
    if (std::memcmp(mark, magic, 4) != 0 || format != kStateFormat)
        return refuse("not this control's state");
    if (count > std::size(kProperties))
        return refuse("too many properties");
    TPlayerState state{static_cast<int32_t>(cx), static_cast<int32_t>(cy), InitialPlayerValues()};
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t dispid = 0;
        uint16_t type = 0;
        if (!Read32(read, dispid) || !Read16(read, type))
            return refuse("truncated property");
        const TPlayerProperty* property = FindPlayerProperty(static_cast<int32_t>(dispid));
        if (!property || static_cast<uint16_t>(property->type) != type)
            return refuse("unknown property");
        TStoredValue& value = state.values[property->dispid];
        if (property->type == Integer) {
            uint32_t number = 0;
            if (!Read32(read, number))
                return refuse("truncated property");
            value.number = static_cast<int32_t>(number);
        } else if (property->type == Flag) {
            uint16_t flag = 0;
            if (!Read16(read, flag))
                return refuse("truncated property");
            value.number = flag ? kTrue : 0;
        } else {
            uint32_t length = 0;
            if (!Read32(read, length) || length > kMaxStoredText ||
                !ReadText(read, length, value.text))
                return refuse("truncated or oversized text");
        }
    }
    return state;
}
