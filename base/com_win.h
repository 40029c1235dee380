#pragma once
// COM helpers: counted references, BSTR ownership, failures as TOleError, a thread's apartment,
// and an IStream over the program's byte streams.

#include <cstdint>
#include <memory>
#include <objidl.h>
#include <oleauto.h>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <windows.h>
#include <wrl/client.h>

#include "base/errors.h"
#include "base/streams.h"

using Microsoft::WRL::ComPtr;

// Takes over a reference the caller already owns, such as the first one of a new object.
// mingw-w64's ComPtr::Attach adds a reference of its own, so it must not be used for that.
template <typename T> ComPtr<T> AdoptComPtr(T* owned) {
    ComPtr<T> pointer;
    *pointer.GetAddressOf() = owned;
    return pointer;
}

// A COM call that had to succeed failed. The text is the callee's own description when it gave
// one, else the system's text for the code.
class TOleError : public TError {
public:
    explicit TOleError(HRESULT code);
    TOleError(HRESULT code, const std::string& description);
    HRESULT Code() const noexcept { return code_; }

private:
    HRESULT code_;
};

// Raises TOleError for a failure code; returns the code otherwise.
HRESULT OleCheck(HRESULT code);

// For a call that hands out nothing: clears the caller's out pointer, if any, and returns result.
template <typename T> HRESULT NullOut(T** out, HRESULT result) {
    if (out)
        *out = nullptr;
    return result;
}

// A single-threaded apartment for the current thread, as long as the object lives; raises
// TOleError when the thread cannot enter one.
class TComApartment {
public:
    TComApartment();
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;
};

// IDispatch without type information or names, for objects that are only ever invoked by
// dispatch identifier: only Invoke is left to write.
struct TUntypedDispatch : public IDispatch {
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        return NullOut(info, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
};

// Asks object for the interface of target. An answer of success that hands out nothing is
// E_NOINTERFACE: a component may give it, and nothing may then go on to use the null.
template <typename T> HRESULT QueryFor(IUnknown* object, ComPtr<T>& target) {
    const HRESULT result = object->QueryInterface(IID_PPV_ARGS(target.ReleaseAndGetAddressOf()));
    return SUCCEEDED(result) && !target ? E_NOINTERFACE : result;
}

// Owns one BSTR.
class TBstr {
public:
    TBstr() = default;
    explicit TBstr(std::wstring_view text);
    TBstr(TBstr&& other) noexcept : bstr_(other.Release()) {}
    TBstr& operator=(TBstr&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    ~TBstr() { Reset(); }

    BSTR Get() const { return bstr_; }
    BSTR Release() { return std::exchange(bstr_, nullptr); }
    void Reset(BSTR bstr = nullptr);
    // For out parameters: frees the current string first.
    BSTR* Out() {
        Reset();
        return &bstr_;
    }
    std::wstring Text() const;

private:
    BSTR bstr_ = nullptr;
};

// Owns a VARIANT: empty when made, cleared on every exit.
struct TVariant {
    VARIANT value;
    TVariant() { VariantInit(&value); }
    ~TVariant() { VariantClear(&value); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
};

// How VariantInteger reads a value.
enum class TIntegerRule {
    // Integer kinds by value, their bits as they are (true is -1, an unsigned or error value
    // keeps its bits); a text or floating-point value is no integer.
    Exact,
    // Any number, by value or by reference, fractions rounded; nothing beyond 32 bits.
    Rounded,
};

// A VARIANT's value as a 32-bit integer, or nothing when the rule does not take it.
std::optional<int32_t> VariantInteger(const VARIANT& value, TIntegerRule rule);

// Owns what a dispatch call reports in its EXCEPINFO: the three strings are freed on every exit.
class TExcepInfo {
public:
    TExcepInfo() = default;
    ~TExcepInfo();
    TExcepInfo(const TExcepInfo&) = delete;
    TExcepInfo& operator=(const TExcepInfo&) = delete;

    EXCEPINFO* Out() { return &info_; }
    // After a deferred fill-in, when the callee asked for one.
    const EXCEPINFO& Filled();

private:
    EXCEPINFO info_{};
};

// Copies a BSTR (which may be null) into a wide string.
std::wstring BstrText(BSTR bstr);

// IStream over a TStream. The adapter keeps the stream alive for as long as anybody holds the
// interface; pass a stream with a no-op deleter to lend one that outlives the adapter.
ComPtr<IStream> MakeStreamAdapter(std::shared_ptr<TStream> stream);

// Lends a stream the caller keeps alive for as long as the adapter is used.
inline std::shared_ptr<TStream> BorrowStream(TStream& stream) {
    return std::shared_ptr<TStream>(&stream, [](TStream*) {});
}
