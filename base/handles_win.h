#pragma once
// Small owners for the system's handles: each closes its handle exactly once.

#include <utility>
#include <windows.h>

template <typename Traits> class TOwnedHandle {
public:
    using Handle = typename Traits::Handle;

    TOwnedHandle() = default;
    explicit TOwnedHandle(Handle handle) : handle_(handle) {}
    TOwnedHandle(TOwnedHandle&& other) noexcept : handle_(other.Release()) {}
    TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;
    ~TOwnedHandle() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }
    Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(Handle handle = Traits::Invalid()) {
        if (handle_ != Traits::Invalid())
            Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct TFileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct TGdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};
struct TMemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteDC(h); }
};
struct TModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};
struct TGlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { GlobalFree(h); }
};
struct TWindowTraits {
    using Handle = HWND;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyWindow(h); }
};

using TFileHandle = TOwnedHandle<TFileHandleTraits>;
using TGdiObject = TOwnedHandle<TGdiObjectTraits>;
using TMemoryDc = TOwnedHandle<TMemoryDcTraits>;
using TLibrary = TOwnedHandle<TModuleTraits>;
using TGlobalMemory = TOwnedHandle<TGlobalMemoryTraits>;
using TWindowHandle = TOwnedHandle<TWindowTraits>;

// Selects an object into a device context for the lifetime of a block and puts back what was
// selected before, on every exit.
class TSelectedObject {
public:
    TSelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~TSelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }
    TSelectedObject(const TSelectedObject&) = delete;
    TSelectedObject& operator=(const TSelectedObject&) = delete;

    // Another object of the same kind; the one selected before this owner is still what returns.
    void Select(HGDIOBJ object) const { SelectObject(dc_, object); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Locks a block of global memory for the lifetime of a block; Data() is null when it cannot.
class TGlobalLock {
public:
    explicit TGlobalLock(HGLOBAL memory)
        : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    ~TGlobalLock() {
        if (data_)
            GlobalUnlock(memory_);
    }
    TGlobalLock(const TGlobalLock&) = delete;
    TGlobalLock& operator=(const TGlobalLock&) = delete;

    void* Data() const { return data_; }

private:
    HGLOBAL memory_;
    void* data_;
};
