// Stored movies and length-prefixed strings read from arbitrary bytes: a read either fails and
// changes nothing, or takes no more than the bytes hold and writes back what it read.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/streams.h"
#include "qel/player/qel_flash_collections.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Content(TMemoryStream& stream) {
    return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

int32_t LittleEndian32(std::string_view bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < bytes.size(); ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
    return static_cast<int32_t>(value);
}

void CheckLengthPrefixedString(std::string_view bytes) {
    TStringStream in(bytes);
    std::string text = "old";
    const int32_t got = ReadLengthPrefixedString(in, text);
    const int64_t held = std::max<int64_t>(static_cast<int64_t>(bytes.size()) - 4, 0);
    const int32_t stored = LittleEndian32(bytes);
    FUZZ_CHECK(got == static_cast<int32_t>(text.size()));
    FUZZ_CHECK(got == std::clamp<int64_t>(stored, 0, held));
    FUZZ_CHECK(text == bytes.substr(std::min<size_t>(4, bytes.size()), text.size()));
    if (bytes.size() >= 4 && stored >= 0 && stored <= held) {
        TStringStream out;
        WriteLengthPrefixedString(out, text);
        FUZZ_CHECK(out.DataString() == bytes.substr(0, 4 + text.size()));
    }
}

void CheckFlashStream(std::string_view bytes) {
    TqelFlashList list(nullptr);
    TqelFlashStream& item = list.Flashs().AddItem();
    item.Name = "before";
    item.Stream->WriteBuffer("old", 3);
    TStringStream in(bytes);
    try {
        item.ReadFlashStream(in);
    } catch (const TReadError&) {
        FUZZ_CHECK(item.Name == "before" && Content(*item.Stream) == "old");
        return;
    }
    const uint8_t kind = static_cast<uint8_t>(bytes[0]);
    if (kind != 2 && kind != 3) {
        FUZZ_CHECK(in.Position() == 1 && item.Name == "before" && Content(*item.Stream) == "old");
        return;
    }
    FUZZ_CHECK(item.Stream->Position() == 0);
    const std::string_view read = bytes.substr(0, static_cast<size_t>(in.Position()));
    TStringStream out;
    item.WriteFlashStream(out);
    const std::string written = out.DataString();
    if (item.Stream->Size() == 0) {
        FUZZ_CHECK(written == std::string(1, '\0'));
    } else if (kind == 3) {
        FUZZ_CHECK(written == read); // the current form reads and writes alike
    } else {
        // The older form's 8-byte size shrinks to 4 bytes.
        const size_t sizeAt = 5 + item.Name.size();
        FUZZ_CHECK(written.substr(1, sizeAt - 1 + 4) == read.substr(1, sizeAt - 1 + 4));
        FUZZ_CHECK(written.substr(sizeAt + 4) == read.substr(sizeAt + 8));
    }
    // What was written reads back the same.
    TqelFlashStream& copy = list.Flashs().AddItem();
    TStringStream again(written);
    copy.ReadFlashStream(again);
    FUZZ_CHECK(again.Position() == again.Size());
    if (item.Stream->Size() > 0)
        FUZZ_CHECK(copy.Name == item.Name && Content(*copy.Stream) == Content(*item.Stream));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Each read copies the input once into its stream and once into what it keeps.
    fuzz::TAllocationBound bound(size);
    CheckLengthPrefixedString(bytes);
    CheckFlashStream(bytes);
    return 0;
}
