#include "tools/movies/movies.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

namespace {

// Tag codes and action codes of the movie format used here.
enum : uint16_t { kTagEnd = 0, kTagShowFrame = 1, kTagSetBackgroundColor = 9, kTagDoAction = 12 };
enum : uint8_t {
    kActionEnd = 0x00,
    kActionPop = 0x17,
    kActionGetVariable = 0x1C,
    kActionSetVariable = 0x1D,
    kActionDefineLocal = 0x3C,
    kActionNewObject = 0x40,
    kActionSetMember = 0x4F,
    kActionCallMethod = 0x52,
    kActionConstantPool = 0x88,
    kActionPush = 0x96,
};
// Value types inside a push.
enum : uint8_t { kPushString = 0, kPushDouble = 6, kPushInteger = 7, kPushConstant8 = 8 };

void PutU16(std::string& out, uint16_t v) {
    out += static_cast<char>(v);
    out += static_cast<char>(v >> 8);
}
void PutU32(std::string& out, uint32_t v) {
    PutU16(out, static_cast<uint16_t>(v));
    PutU16(out, static_cast<uint16_t>(v >> 16));
}

// The stage rectangle in twips with 15-bit fields: 5 bits of field width, then xmin, xmax,
// ymin, ymax, padded to whole bytes.
std::string StageRectangle(uint32_t widthTwips, uint32_t heightTwips) {
    constexpr int kBits = 15;
    const uint32_t fields[4] = {0, widthTwips, 0, heightTwips};
    std::string out;
    uint32_t accumulator = 0;
    int used = 0;
    auto putBits = [&](uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            accumulator = accumulator << 1 | ((value >> i) & 1);
            if (++used == 8) {
                out += static_cast<char>(accumulator);
                accumulator = 0;
                used = 0;
            }
        }
    };
    putBits(kBits, 5);
    for (uint32_t field : fields)
        putBits(field, kBits);
    if (used > 0)
        out += static_cast<char>(accumulator << (8 - used));
    return out;
}

// A tag header: short form (code and a length below 63 in one word) or long form (length 63
// in the word, the real length in 32 bits after it).
std::string Tag(uint16_t code, const std::string& body, bool longForm = false) {
    std::string out;
    if (!longForm && body.size() < 63) {
        PutU16(out, static_cast<uint16_t>(code << 6 | body.size()));
    } else {
        PutU16(out, static_cast<uint16_t>(code << 6 | 0x3F));
        PutU32(out, static_cast<uint32_t>(body.size()));
    }
    return out + body;
}

// An action with a payload: code, 16-bit payload length, payload.
std::string Action(uint8_t code, const std::string& payload) {
    std::string out(1, static_cast<char>(code));
    PutU16(out, static_cast<uint16_t>(payload.size()));
    return out + payload;
}
std::string Action(uint8_t code) {
    return std::string(1, static_cast<char>(code));
}

std::string ConstantPool(std::initializer_list<const char*> strings) {
    std::string payload;
    PutU16(payload, static_cast<uint16_t>(strings.size()));
    for (const char* s : strings)
        payload += std::string(s) + '\0';
    return Action(kActionConstantPool, payload);
}

std::string PushConstant(uint8_t index) {
    return std::string{static_cast<char>(kPushConstant8), static_cast<char>(index)};
}
std::string PushInteger(uint32_t value) {
    std::string out(1, static_cast<char>(kPushInteger));
    PutU32(out, value);
    return out;
}
std::string PushDoubleZero() {
    return std::string(1, static_cast<char>(kPushDouble)) + std::string(8, '\0');
}
std::string PushString(const std::string& s) {
    return std::string(1, static_cast<char>(kPushString)) + s + '\0';
}

// Header fields after the signature, version and length: stage, frame rate 12.0 (8.8 fixed
// point), frame count 2.
std::string MovieHeaderBody() {
    std::string out = StageRectangle(550 * 20, 400 * 20);
    PutU16(out, 12 << 8);
    PutU16(out, 2);
    return out;
}

std::string WhiteBackground() {
    return Tag(kTagSetBackgroundColor, "\xFF\xFF\xFF");
}

std::string TwoFramesAndEnd() {
    return Tag(kTagShowFrame, "") + Tag(kTagShowFrame, "") + Tag(kTagEnd, "");
}

uint32_t Adler32(const std::string& data) {
    uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

// A zlib stream of stored (uncompressed) deflate blocks: valid for every inflater and needs no
// compressor.
std::string ZlibStored(const std::string& data) {
    std::string out = "\x78\x01";
    size_t done = 0;
    do {
        const size_t n = std::min<size_t>(data.size() - done, 65535);
        const bool last = done + n == data.size();
        out += static_cast<char>(last ? 1 : 0);
        PutU16(out, static_cast<uint16_t>(n));
        PutU16(out, static_cast<uint16_t>(~n));
        out += data.substr(done, n);
        done += n;
    } while (done < data.size());
    const uint32_t adler = Adler32(data);
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(adler >> shift);
    return out;
}

} // namespace

std::string SetVolumeMovie() {
    std::string actions;
    actions +=
        ConstantPool({"soundvolume", "globalsound", "Sound", "setVolume", "mytext", "text", "aaa"});
    // soundvolume = 85 (the player overwrites the integer's first byte)
    actions += Action(kActionPush, PushConstant(0) + PushInteger(85));
    actions += Action(kActionSetVariable);
    // var globalsound = new Sound() — no target: the sound of the whole movie
    actions += Action(kActionPush, PushConstant(1) + PushDoubleZero() + PushConstant(2));
    actions += Action(kActionNewObject);
    actions += Action(kActionDefineLocal);
    // globalsound.setVolume(soundvolume), result discarded
    actions += Action(kActionPush, PushConstant(0));
    actions += Action(kActionGetVariable);
    actions += Action(kActionPush, PushInteger(1) + PushConstant(1));
    actions += Action(kActionGetVariable);
    actions += Action(kActionPush, PushConstant(3));
    actions += Action(kActionCallMethod);
    actions += Action(kActionPop);
    // mytext.text = "aaa" — the movie has no such field; kept for the layout's sake
    actions += Action(kActionPush, PushConstant(4));
    actions += Action(kActionGetVariable);
    actions += Action(kActionPush, PushConstant(5) + PushConstant(6));
    actions += Action(kActionSetMember);
    actions += Action(kActionEnd);

    const std::string body = MovieHeaderBody() + WhiteBackground() +
                             Tag(kTagDoAction, actions, true) + TwoFramesAndEnd();
    std::string movie = "FWS\x06";
    PutU32(movie, static_cast<uint32_t>(8 + body.size()));
    movie += body;
    if (movie.size() != kSetVolumeSize ||
        movie.compare(kSetVolumeValueOffset, 4, std::string("\x55\0\0\0", 4)) != 0)
        throw std::logic_error("the volume movie lost its layout");
    return movie;
}

std::string PlaceholderMovie(const std::string& role) {
    const std::string actions = Action(kActionPush, PushString("role") + PushString(role)) +
                                Action(kActionSetVariable) + Action(kActionEnd);
    const std::string body =
        MovieHeaderBody() + WhiteBackground() + Tag(kTagDoAction, actions) + TwoFramesAndEnd();
    std::string movie = "CWS\x08";
    // The length is that of the uncompressed movie; everything after these 8 bytes is deflated.
    PutU32(movie, static_cast<uint32_t>(8 + body.size()));
    return movie + ZlibStored(body);
}
