#pragma once
// Stored descriptions: an object's properties written to a byte stream and read back through
// the same declarations (TPersistent::DefineProperties), so that writing and reading cannot
// drift apart.
//
// Layout (integers little-endian): "TPF0", then the object: class name and object name (each a
// 1-byte length and the bytes), its properties, a 0 byte. A property is its name (1-byte length
// and bytes), a kind byte and the value: 4 (a 32-bit integer), 6 (text: 32-bit length and the
// bytes), 10 (raw bytes: 32-bit length and the bytes), 14 (a collection: per item a 1 byte and
// the item's properties ended by a 0 byte, then a 0 byte).

#include <cstdint>
#include <functional>
#include <string>

#include "base/streams.h"
#include "ui/persistent.h"

class TCollection;
class TComponent;

class TFiler {
public:
    virtual ~TFiler() = default;
    virtual void DefineInteger(const std::string& name, std::function<int32_t()> get,
                               std::function<void(int32_t)> set) = 0;
    virtual void DefineText(const std::string& name, std::function<std::string()> get,
                            std::function<void(const std::string&)> set) = 0;
    // Raw bytes the object writes and reads itself; written only while hasData.
    virtual void DefineBinaryProperty(const std::string& name,
                                      std::function<void(TStream& reader)> read,
                                      std::function<void(TStream& writer)> write, bool hasData) = 0;
    virtual void DefineCollection(const std::string& name, TCollection& collection) = 0;
};

// Writes the stored description of object, named name.
void WriteStoredDescription(TStream& stream, TPersistent& object, const std::string& name);

// Reads a stored description into object. The whole description is read and checked (collection
// items' raw bytes too, read into probe items) before anything of it reaches the object: a
// description that ends early raises "Stream read error" and leaves the object as it was; one
// that names a property the object does not declare raises TError. A component is marked as loading
// meanwhile and told Loaded afterwards. Returns the stored object name.
std::string ReadStoredDescription(TStream& stream, TPersistent& object);
