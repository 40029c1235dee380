// The stored state of the stand-in and of the built-in control read from arbitrary bytes, as
// their IPersistStreamInit::Load reads a stream: reading stops at the end of the state and never
// asks beyond the input, state is taken only under its own control's mark, every property has
// a value of its type in range, and the state written back reads the same, to its last byte.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "pages/player_state.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The input as a stream: count bytes at a time, none past its end.
struct TReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    TReadExact Read() {
        return [this](void* buffer, uint32_t count) {
            if (count > size - at)
                return false;
            std::memcpy(buffer, data + at, count);
            at += count;
            return true;
        };
    }
};

bool SameValues(const TStoredValues& a, const TStoredValues& b) {
    if (a.size() != b.size())
        return false;
    for (const auto& [dispid, value] : a) {
        const auto other = b.find(dispid);
        if (other == b.end() || other->second.number != value.number ||
            other->second.text != value.text)
            return false;
    }
    return true;
}

void CheckState(const uint8_t* data, size_t size, const char (&magic)[4],
                const char (&otherMagic)[4]) {
    TReader reader{data, size};
    std::string problem;
    std::optional<TPlayerState> state;
    {
        // A text of n units takes 2n bytes of input, and 8n at most as a growing wide string.
        fuzz::TAllocationBound bound(size * 4);
        state = DecodePlayerState(reader.Read(), magic, problem);
    }
    FUZZ_CHECK(reader.at <= size);
    if (!state) {
        FUZZ_CHECK(!problem.empty());
        return;
    }
    // The header, then at most one record per property.
    FUZZ_CHECK(reader.at >= 20 && std::memcmp(data, magic, 4) == 0);
    FUZZ_CHECK(state->values.size() == PlayerProperties().size());
    size_t units = 0;
    for (const TPlayerProperty& property : PlayerProperties()) {
        const auto found = state->values.find(property.dispid);
        FUZZ_CHECK(found != state->values.end());
        const TStoredValue& value = found->second;
        if (property.type == TStoredType::Flag)
            FUZZ_CHECK(value.number == -1 || value.number == 0);
        if (property.type == TStoredType::Text) {
            FUZZ_CHECK(value.text.size() <= kMaxStoredText);
            for (wchar_t c : value.text)
                FUZZ_CHECK(static_cast<uint32_t>(c) <= 0xFFFF);
        } else
            FUZZ_CHECK(value.text.empty());
        if (value.text != property.text)
            units += value.text.size();
    }
    // A text other than the initial one came from two bytes a unit.
    FUZZ_CHECK(units * 2 <= reader.at - 20);

    // Written back (with bytes after it that are not its own), it reads the same and to its end.
    std::vector<uint8_t> written = EncodePlayerState(magic, state->cx, state->cy, state->values);
    const size_t end = written.size();
    written.insert(written.end(), data, data + size);
    TReader again{written.data(), written.size()};
    const std::optional<TPlayerState> copy = DecodePlayerState(again.Read(), magic, problem);
    FUZZ_CHECK(copy && again.at == end);
    FUZZ_CHECK(copy->cx == state->cx && copy->cy == state->cy);
    FUZZ_CHECK(SameValues(copy->values, state->values));
    // The other control refuses it at its mark.
    TReader other{written.data(), written.size()};
    FUZZ_CHECK(!DecodePlayerState(other.Read(), otherMagic, problem) && other.at == 20);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckState(data, size, kStandinStateMagic, kPageTurnStateMagic);
    CheckState(data, size, kPageTurnStateMagic, kStandinStateMagic);
    return 0;
}
