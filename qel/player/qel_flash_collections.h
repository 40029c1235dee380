#pragma once
// Movies a form carries inside itself: a list component holding named movie streams, stored in
// the form's description as the binary property "FlashStream" of each item.

#include <cstdint>
#include <memory>
#include <string>

#include "base/streams.h"
#include "ui/component.h"
#include "ui/stored_description.h"

class TqelFlashList;

class TqelFlashStream : public TCollectionItem {
public:
    explicit TqelFlashStream(TCollection& collection) : TCollectionItem(collection) {}

    std::string ClassName() const override { return "TqelFlashStream"; }
    std::string DisplayName() const override { return Name; }
    void DefineProperties(TFiler& filer) override;

    // "(empty)" while the stream holds nothing, else the name. Writing it changes nothing.
    std::string FlashStore() const { return Stream->Size() == 0 ? "(empty)" : Name; }
    void SetFlashStore(const std::string&) {}

    // Kind 3 (name, 4-byte size, the bytes) when the stream holds bytes, else kind 0.
    void WriteFlashStream(TStream& writer);
    // Kinds 3 and 2 (8-byte size, low 32 bits used); any other kind reads nothing more.
    // A form that ends early raises the read error and changes nothing.
    void ReadFlashStream(TStream& reader);

    std::unique_ptr<TMemoryStream> Stream = std::make_unique<TMemoryStream>();
    int32_t Tag = 0;
    std::string Name = "(empty)";
};

class TqelFlashCollection : public TCollection {
public:
    explicit TqelFlashCollection(TqelFlashList& owner);
    TqelFlashStream& Items(int index) const { return static_cast<TqelFlashStream&>(Item(index)); }
    TqelFlashStream& AddItem() { return static_cast<TqelFlashStream&>(Add()); }
    std::string ClassName() const override { return "TqelFlashCollection"; }

protected:
    std::unique_ptr<TCollectionItem> CreateItem() override {
        return std::make_unique<TqelFlashStream>(*this);
    }
};

class TqelFlashList : public TComponent {
public:
    explicit TqelFlashList(TComponent* owner) : TComponent(owner), flashs_(*this) {}

    std::string ClassName() const override { return "TqelFlashList"; }
    void DefineProperties(TFiler& filer) override { filer.DefineCollection("Flashs", flashs_); }

    TqelFlashCollection& Flashs() { return flashs_; }
    // The first item whose FlashStore equals name, ASCII letter case ignored; null if none.
    TqelFlashStream* FindStream(const std::string& name);

private:
    TqelFlashCollection flashs_;
};
