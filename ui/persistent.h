#pragma once
// Objects with a stored description, and collections of them.

#include <memory>
#include <string>
#include <vector>

#include "ui/assign_error.h"

class TFiler;

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string ClassName() const { return "TPersistent"; }
    // Declares the properties of the object's stored description.
    virtual void DefineProperties(TFiler& filer) { (void)filer; }
    // Takes the contents of source; raises TAssignError where that is not supported.
    virtual void Assign(const TPersistent& source) {
        throw TAssignError(source.ClassName(), ClassName());
    }
};

class TCollection;

// An item of a collection; it belongs to the collection.
class TCollectionItem : public TPersistent {
public:
    explicit TCollectionItem(TCollection& collection) : collection_(collection) {}
    TCollection& Collection() const { return collection_; }
    virtual std::string DisplayName() const { return ClassName(); }

private:
    TCollection& collection_;
};

// Items of one class, created by the collection and owned by it.
class TCollection : public TPersistent {
public:
    explicit TCollection(TPersistent* owner) : owner_(owner) {}
    TPersistent* Owner() const { return owner_; }

    int Count() const { return static_cast<int>(items_.size()); }
    TCollectionItem& Item(int index) const { return *items_.at(static_cast<size_t>(index)); }
    TCollectionItem& Add() {
        items_.push_back(CreateItem());
        return *items_.back();
    }
    // An item of the collection's class that is not (yet) in it.
    std::unique_ptr<TCollectionItem> NewItem() { return CreateItem(); }
    void Append(std::unique_ptr<TCollectionItem> item) { items_.push_back(std::move(item)); }
    void Delete(int index) { items_.erase(items_.begin() + index); }
    void Clear() { items_.clear(); }

protected:
    virtual std::unique_ptr<TCollectionItem> CreateItem() = 0;

private:
    TPersistent* owner_;
    std::vector<std::unique_ptr<TCollectionItem>> items_;
};
