#include "qel/player/qel_flash_collections.h"

#include "base/errors.h"
#include "base/streams.h"
#include "base/text.h"

namespace {

constexpr uint8_t kNoData = 0, kOlderForm = 2, kCurrentForm = 3;

uint64_t ReadLittleEndian(TStream& stream, int bytes) {
    uint8_t b[8] = {};
    stream.ReadBuffer(b, bytes);
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | b[i];
    return value;
}

int64_t Remaining(TStream& stream) {
    return std::max<int64_t>(stream.Size() - stream.Position(), 0);
}

} // namespace

void TqelFlashStream::DefineProperties(TFiler& filer) {
    filer.DefineText(
        "FlashStore", [this] { return FlashStore(); },
        [this](const std::string& text) { SetFlashStore(text); });
    filer.DefineInteger(
        "Tag", [this] { return Tag; }, [this](int32_t value) { Tag = value; });
    filer.DefineBinaryProperty(
        "FlashStream", [this](TStream& reader) { ReadFlashStream(reader); },
        [this](TStream& writer) { WriteFlashStream(writer); }, true);
}

void TqelFlashStream::WriteFlashStream(TStream& writer) {
    const int64_t size = Stream->Size();
    const uint8_t kind = size > 0 ? kCurrentForm : kNoData;
    writer.WriteBuffer(&kind, 1);
    if (kind == kNoData)
        return;
    WriteLengthPrefixedString(writer, Name);
    const uint32_t size32 = static_cast<uint32_t>(size);
    const uint8_t sizeBytes[4] = {static_cast<uint8_t>(size32), static_cast<uint8_t>(size32 >> 8),
                                  static_cast<uint8_t>(size32 >> 16),
                                  static_cast<uint8_t>(size32 >> 24)};
    writer.WriteBuffer(sizeBytes, 4);
    Stream->SetPosition(0);
    writer.CopyFrom(*Stream, size);
}

void TqelFlashStream::ReadFlashStream(TStream& reader) {
    uint8_t kind;
    reader.ReadBuffer(&kind, 1);
    if (kind != kOlderForm && kind != kCurrentForm)
        return;
    // Everything is read before anything changes, and no length is trusted beyond what the
    // form still holds.
    const int64_t at = reader.Position();
    // The name's length is unsigned: one past 2 GiB is a damaged form, not an empty name.
    const int64_t storedLength = static_cast<int64_t>(ReadLittleEndian(reader, 4));
    reader.SetPosition(at);
    std::string name;
    if (ReadLengthPrefixedString(reader, name) < storedLength)
        throw TReadError();
    const uint64_t size = ReadLittleEndian(reader, kind == kOlderForm ? 8 : 4) & 0xFFFFFFFFu;
    if (static_cast<int64_t>(size) > Remaining(reader))
        throw TReadError();
    auto data = std::make_unique<TMemoryStream>();
    data->CopyFrom(reader, static_cast<int64_t>(size));
    data->SetPosition(0);
    Name = std::move(name);
    Stream = std::move(data);
}

TqelFlashCollection::TqelFlashCollection(TqelFlashList& owner) : TCollection(&owner) {}

TqelFlashStream* TqelFlashList::FindStream(const std::string& name) {
    for (int i = 0; i < flashs_.Count(); ++i)
        if (SameTextAscii(flashs_.Items(i).FlashStore(), name))
            return &flashs_.Items(i);
    return nullptr;
}
