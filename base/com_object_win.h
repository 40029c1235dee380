#pragma once
// IUnknown written once: an object lists the interfaces it answers for in one table and gets
// QueryInterface, an atomic count and its deletion from TComObject. A part of a larger object
// (a connection point, an event sink) answers from its own table and counts with its owner.

#include <atomic>
#include <concepts>
#include <unknwn.h>
#include <windows.h>

// One row of an object's interface table: an identifier and the object's face for it. Rows may
// share a face: an interface is also asked for by the names of the ones it derives from.
template <typename Object> struct TComFace {
    const IID* iid;
    IUnknown* (*face)(Object& object);

    // The row answering iid with the object seen as Face.
    template <typename Face> static constexpr TComFace As(const IID& iid) {
        return {&iid, [](Object& object) -> IUnknown* { return static_cast<Face*>(&object); }};
    }
};

// The face of object for iid from its table, or null. IUnknown is the first row's face, whatever
// interface it is asked through: the object's one identity.
template <typename Object, typename Faces>
IUnknown* FindComFace(Object& object, const Faces& faces, REFIID iid) {
    for (const TComFace<Object>& row : faces)
        if (iid == IID_IUnknown || *row.iid == iid)
            return row.face(object);
    return nullptr;
}

// QueryInterface over a table: E_POINTER for a null out, E_NOINTERFACE with a null out for an
// interface it lacks, else the face with a reference added.
template <typename Object, typename Faces>
HRESULT QueryComFace(Object& object, const Faces& faces, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    IUnknown* face = FindComFace(object, faces, iid);
    *out = face;
    if (!face)
        return E_NOINTERFACE;
    face->AddRef();
    return S_OK;
}

// An object that answers a private identifier of its own (Object::kSelf) with itself, uncounted,
// so that it can be found again behind any of its interfaces.
template <typename Object>
concept ComSelfKnown = requires {
    { Object::kSelf } -> std::convertible_to<const IID&>;
};

// The object behind one of its interfaces, or null when the interface is another object's.
template <ComSelfKnown Object> Object* ComObjectOf(IUnknown* face) {
    void* object = nullptr;
    return face && SUCCEEDED(face->QueryInterface(Object::kSelf, &object))
               ? static_cast<Object*>(object)
               : nullptr;
}

// Whether the last release deletes the object, or its owner frees it (a static class object, a
// test's object whose count is checked).
enum class TComLifetime { Deleted, Owned };

// Object lists its interfaces in Faces(), a member returning a range of TComFace<Object>.
template <typename Object, TComLifetime Lifetime, typename... Interfaces>
class TComObjectOf : public Interfaces... {
public:
    using TFace = TComFace<Object>;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        Object& self = static_cast<Object&>(*this);
        if constexpr (ComSelfKnown<Object>) {
            if (out && iid == Object::kSelf) {
                *out = &self;
                return S_OK;
            }
        }
        return QueryComFace(self, self.Faces(), iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if constexpr (Lifetime == TComLifetime::Deleted)
            if (n == 0)
                delete static_cast<Object*>(this);
        return n;
    }

    // The count, signed so that a release too many shows as less than none.
    long References() const { return static_cast<LONG>(refs_.load()); }

protected:
    TComObjectOf() = default;
    ~TComObjectOf() = default;
    // The face the table gives for iid, or null; for objects that answer QueryInterface with
    // more than the table (a log, a fault).
    IUnknown* Face(REFIID iid) {
        Object& self = static_cast<Object&>(*this);
        return FindComFace(self, self.Faces(), iid);
    }

private:
    // A new object starts with the reference its creator holds; one its owner keeps, with none.
    std::atomic<ULONG> refs_{Lifetime == TComLifetime::Deleted ? 1u : 0u};
};

// Made on the heap, held by references, deleted at the last release. Adopt the first reference
// (AdoptComPtr).
template <typename Object, typename... Interfaces>
using TComObject = TComObjectOf<Object, TComLifetime::Deleted, Interfaces...>;

// Counted, never freed by its count.
template <typename Object, typename... Interfaces>
using TOwnedComObject = TComObjectOf<Object, TComLifetime::Owned, Interfaces...>;

// A part of a larger object, with interfaces of its own and the owner's count: a reference to the
// part keeps the whole alive.
template <typename Part, typename... Interfaces> class TComPart : public Interfaces... {
public:
    using TFace = TComFace<Part>;

    explicit TComPart(IUnknown& owner) : owner_(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        Part& self = static_cast<Part&>(*this);
        return QueryComFace(self, self.Faces(), iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

protected:
    ~TComPart() = default;
    IUnknown& Owner() const { return owner_; }

private:
    IUnknown& owner_;
};
