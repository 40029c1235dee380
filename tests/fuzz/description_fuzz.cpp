// Stored descriptions read from arbitrary bytes into a component that declares every kind of
// property: an integer, a text, raw bytes ("ControlData", read as the hosted control's stored
// state is) and a collection of stored movies. A read that fails leaves the component as it
// was; one that succeeds writes a description that reads back to the same component.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/streams.h"
#include "qel/player/qel_flash_collections.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/component.h"
#include "ui/stored_description.h"

namespace {

class TStoredHost : public TComponent {
public:
    TStoredHost() : TComponent(nullptr), list_(nullptr) {
        TqelFlashStream& item = list_.Flashs().AddItem();
        item.Name = "intro.swf";
        item.Stream->WriteBuffer("FWS", 3);
    }
    std::string ClassName() const override { return "TStoredHost"; }
    void DefineProperties(TFiler& filer) override {
        filer.DefineInteger(
            "Tag", [this] { return tag_; }, [this](int32_t value) { tag_ = value; });
        filer.DefineText(
            "Hint", [this] { return hint_; }, [this](const std::string& text) { hint_ = text; });
        filer.DefineBinaryProperty(
            "ControlData",
            [this](TStream& reader) {
                std::vector<uint8_t> bytes(static_cast<size_t>(reader.Size()));
                reader.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
                state_ = std::move(bytes);
            },
            [this](TStream& writer) {
                writer.WriteBuffer(state_.data(), static_cast<int64_t>(state_.size()));
            },
            true); // as the control writes its state while it exists, empty or not
        filer.DefineCollection("Flashs", list_.Flashs());
    }

private:
    int32_t tag_ = 5;
    std::string hint_ = "hint";
    std::vector<uint8_t> state_ = {'g', 'U', 'f', 'U'};
    TqelFlashList list_;
};

std::string Described(TStoredHost& host) {
    TStringStream out;
    WriteStoredDescription(out, host, "host");
    return out.DataString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TStoredHost host;
    const std::string before = Described(host);
    TStringStream in(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string name;
    try {
        // A stored property takes four bytes at least and a hundred or so once parsed.
        fuzz::TAllocationBound bound(size * 64);
        name = ReadStoredDescription(in, host);
    } catch (const TError&) {
        FUZZ_CHECK(!host.Loading());
        FUZZ_CHECK(Described(host) == before);
        return 0;
    }
    FUZZ_CHECK(!host.Loading() && name.size() <= 255);
    const std::string written = Described(host);
    TStoredHost copy;
    TStringStream again(written);
    FUZZ_CHECK(ReadStoredDescription(again, copy) == "host");
    FUZZ_CHECK(Described(copy) == written);
    return 0;
}
