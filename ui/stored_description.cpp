#include "ui/stored_description.h"

#include <map>
#include <memory>
#include <vector>

#include "base/errors.h"
#include "ui/component.h"

namespace {

constexpr char kSignature[] = "TPF0";
enum TKind : uint8_t {
    kEnd = 0,
    kItem = 1,
    kInteger = 4,
    kText = 6,
    kBinary = 10,
    kCollection = 14
};

// ---- writing

void PutByte(TStream& out, uint8_t value) {
    out.WriteBuffer(&value, 1);
}

void PutU32(TStream& out, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    out.WriteBuffer(bytes, 4);
}

void PutShortText(TStream& out, const std::string& text) {
    if (text.size() > 255)
        throw TError("A stored name is longer than 255 characters: " + text.substr(0, 40));
    PutByte(out, static_cast<uint8_t>(text.size()));
    out.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void PutLongBytes(TStream& out, const std::string& bytes) {
    PutU32(out, static_cast<uint32_t>(bytes.size()));
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

class TWriter final : public TFiler {
public:
    explicit TWriter(TStream& out) : out_(out) {}

    void WriteProperties(TPersistent& object) {
        object.DefineProperties(*this);
        PutByte(out_, kEnd);
    }

    void DefineInteger(const std::string& name, std::function<int32_t()> get,
                       std::function<void(int32_t)>) override {
        PutShortText(out_, name);
        PutByte(out_, kInteger);
        PutU32(out_, static_cast<uint32_t>(get()));
    }
    void DefineText(const std::string& name, std::function<std::string()> get,
                    std::function<void(const std::string&)>) override {
        PutShortText(out_, name);
        PutByte(out_, kText);
        PutLongBytes(out_, get());
    }
    void DefineBinaryProperty(const std::string& name, std::function<void(TStream&)>,
                              std::function<void(TStream&)> write, bool hasData) override {
        if (!hasData)
            return;
        TStringStream bytes;
        write(bytes);
        PutShortText(out_, name);
        PutByte(out_, kBinary);
        PutLongBytes(out_, bytes.DataString());
    }
    void DefineCollection(const std::string& name, TCollection& collection) override {
        PutShortText(out_, name);
        PutByte(out_, kCollection);
        for (int i = 0; i < collection.Count(); ++i) {
            PutByte(out_, kItem);
            WriteProperties(collection.Item(i));
        }
        PutByte(out_, kEnd);
    }

private:
    TStream& out_;
};

// ---- reading: first the whole description, then the object

struct TStoredProperty;
using TStoredProperties = std::vector<TStoredProperty>;
struct TStoredProperty {
    std::string name;
    uint8_t kind = kEnd;
    int32_t integer = 0;
    std::string bytes;
    std::vector<TStoredProperties> items;
};

class TParser {
public:
    explicit TParser(TStream& in) : in_(in) {}

    uint8_t Byte() {
        uint8_t value;
        Exact(&value, 1);
        return value;
    }
    uint32_t U32() {
        uint8_t b[4];
        Exact(b, 4);
        return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    }
    std::string Bytes(uint64_t count) {
        // Never more than the stream still holds: a damaged length cannot make us allocate.
        if (count > static_cast<uint64_t>(std::max<int64_t>(in_.Size() - in_.Position(), 0)))
            throw TReadError();
        std::string bytes(static_cast<size_t>(count), '\0');
        Exact(bytes.data(), static_cast<int64_t>(count));
        return bytes;
    }
    std::string ShortText() { return Bytes(Byte()); }

    TStoredProperties Properties(int depth) {
        if (depth > 16)
            throw TError("A stored description is nested too deeply");
        TStoredProperties properties;
        for (std::string name = ShortText(); !name.empty(); name = ShortText()) {
            TStoredProperty property;
            property.name = std::move(name);
            property.kind = Byte();
            switch (property.kind) {
            case kInteger:
                property.integer = static_cast<int32_t>(U32());
                break;
            case kText:
            case kBinary:
                property.bytes = Bytes(U32());
                break;
            case kCollection:
                for (uint8_t marker = Byte(); marker != kEnd; marker = Byte()) {
                    if (marker != kItem)
                        throw TError("A stored collection is damaged");
                    property.items.push_back(Properties(depth + 1));
                }
                break;
            default:
                throw TError("A stored property of an unknown kind: " + property.name);
            }
            properties.push_back(std::move(property));
        }
        return properties;
    }

private:
    void Exact(void* buffer, int64_t count) { in_.ReadBuffer(buffer, count); }
    TStream& in_;
};

// Checks that the object declares every stored property with the stored kind.
class TChecker final : public TFiler {
public:
    explicit TChecker(const TStoredProperties& stored) : stored_(stored) {}

    void Check(TPersistent& object) {
        object.DefineProperties(*this);
        for (const TStoredProperty& property : stored_) {
            const auto found = declared_.find(property.name);
            if (found == declared_.end())
                throw TError("Error reading " + object.ClassName() + ": property " + property.name +
                             " does not exist");
            if (found->second != property.kind)
                throw TError("Error reading " + object.ClassName() + "." + property.name +
                             ": invalid property value");
        }
    }

    void DefineInteger(const std::string& name, std::function<int32_t()>,
                       std::function<void(int32_t)>) override {
        declared_[name] = kInteger;
    }
    void DefineText(const std::string& name, std::function<std::string()>,
                    std::function<void(const std::string&)>) override {
        declared_[name] = kText;
    }
    void DefineBinaryProperty(const std::string& name, std::function<void(TStream&)>,
                              std::function<void(TStream&)>, bool) override {
        declared_[name] = kBinary;
    }
    void DefineCollection(const std::string& name, TCollection& collection) override;

private:
    const TStoredProperties& stored_;
    std::map<std::string, uint8_t> declared_;
};

// Hands the checked values to the object.
class TApplier final : public TFiler {
public:
    explicit TApplier(const TStoredProperties& stored) : stored_(stored) {}

    void Apply(TPersistent& object) { object.DefineProperties(*this); }

    void DefineInteger(const std::string& name, std::function<int32_t()>,
                       std::function<void(int32_t)> set) override {
        if (const TStoredProperty* property = Find(name))
            set(property->integer);
    }
    void DefineText(const std::string& name, std::function<std::string()>,
                    std::function<void(const std::string&)> set) override {
        if (const TStoredProperty* property = Find(name))
            set(property->bytes);
    }
    void DefineBinaryProperty(const std::string& name, std::function<void(TStream&)> read,
                              std::function<void(TStream&)>, bool) override {
        if (const TStoredProperty* property = Find(name)) {
            TStringStream bytes(property->bytes);
            read(bytes);
        }
    }
    void DefineCollection(const std::string& name, TCollection& collection) override {
        const TStoredProperty* property = Find(name);
        if (!property)
            return;
        collection.Clear();
        for (const TStoredProperties& stored : property->items) {
            std::unique_ptr<TCollectionItem> item = collection.NewItem();
            TApplier(stored).Apply(*item);
            collection.Append(std::move(item));
        }
    }

private:
    const TStoredProperty* Find(const std::string& name) const {
        for (const TStoredProperty& property : stored_)
            if (property.name == name)
                return &property;
        return nullptr;
    }
    const TStoredProperties& stored_;
};

// Each stored item is read into a probe first: raw bytes that only the item itself can judge
// (a stored movie that ends early) fail here, before anything reaches the object.
void TChecker::DefineCollection(const std::string& name, TCollection& collection) {
    declared_[name] = kCollection;
    for (const TStoredProperty& property : stored_)
        if (property.name == name && property.kind == kCollection)
            for (const TStoredProperties& item : property.items) {
                const std::unique_ptr<TCollectionItem> probe = collection.NewItem();
                TChecker(item).Check(*probe);
                TApplier(item).Apply(*probe);
            }
}

} // namespace

void WriteStoredDescription(TStream& stream, TPersistent& object, const std::string& name) {
    stream.WriteBuffer(kSignature, 4);
    PutShortText(stream, object.ClassName());
    PutShortText(stream, name);
    TWriter(stream).WriteProperties(object);
}

std::string ReadStoredDescription(TStream& stream, TPersistent& object) {
    TParser parser(stream);
    if (parser.Bytes(4) != kSignature)
        throw TError("Invalid stream format");
    const std::string className = parser.ShortText();
    const std::string name = parser.ShortText();
    const TStoredProperties stored = parser.Properties(0);
    if (className != object.ClassName())
        throw TError("A stored " + className + " cannot be read into a " + object.ClassName());
    TChecker(stored).Check(object);

    auto* component = dynamic_cast<TComponent*>(&object);
    if (component)
        component->BeginLoading();
    try {
        TApplier(stored).Apply(object);
    } catch (...) {
        if (component)
            component->Loaded();
        throw;
    }
    if (component)
        component->Loaded();
    return name;
}
