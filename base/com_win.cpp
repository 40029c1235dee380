#include "base/com_win.h"

#include <algorithm>

#include "base/com_object_win.h"

namespace {

std::string SystemTextFor(HRESULT code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (n && text)
        result.assign(text, n);
    LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    if (result.empty()) {
        char buffer[32];
        wsprintfA(buffer, "OLE error %08X", static_cast<unsigned>(code));
        result = buffer;
    }
    return result;
}

class TStreamAdapter final : public TComObject<TStreamAdapter, IStream> {
public:
    explicit TStreamAdapter(std::shared_ptr<TStream> stream) : stream_(std::move(stream)) {}

    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IStream>(IID_IStream),
                                      TFace::As<IStream>(IID_ISequentialStream)};
        return faces;
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* done) override {
        try {
            const int64_t n = stream_->Read(buffer, count);
            if (done)
                *done = static_cast<ULONG>(n);
            return S_OK;
        } catch (...) {
            return STG_E_READFAULT;
        }
    }
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG count, ULONG* done) override {
        try {
            const int64_t n = stream_->Write(buffer, count);
            if (done)
                *done = static_cast<ULONG>(n);
            return n == count ? S_OK : STG_E_CANTSAVE;
        } catch (...) {
            return STG_E_CANTSAVE;
        }
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override {
        if (origin > STREAM_SEEK_END)
            return STG_E_INVALIDFUNCTION;
        try {
            const int64_t p = stream_->Seek(move.QuadPart, static_cast<TSeekOrigin>(origin));
            if (position)
                position->QuadPart = static_cast<ULONGLONG>(p);
            return S_OK;
        } catch (...) {
            return STG_E_INVALIDPOINTER;
        }
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        auto* memory = dynamic_cast<TMemoryStream*>(stream_.get());
        if (!memory)
            return E_NOTIMPL;
        try {
            memory->SetSize(static_cast<int64_t>(size.QuadPart));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (!target)
            return STG_E_INVALIDPOINTER;
        uint64_t doneRead = 0, doneWritten = 0;
        char chunk[16384];
        HRESULT result = S_OK;
        while (doneRead < count.QuadPart) {
            const ULONG want =
                static_cast<ULONG>(std::min<uint64_t>(sizeof chunk, count.QuadPart - doneRead));
            ULONG got = 0;
            if (FAILED(Read(chunk, want, &got)) || got == 0)
                break;
            doneRead += got;
            ULONG put = 0;
            result = target->Write(chunk, got, &put);
            doneWritten += put;
            if (FAILED(result) || put != got)
                break;
        }
        if (read)
            read->QuadPart = doneRead;
        if (written)
            written->QuadPart = doneWritten;
        return FAILED(result) ? result : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return STG_E_REVERTED; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat)
            return STG_E_INVALIDPOINTER;
        try {
            *stat = STATSTG{};
            stat->type = STGTY_STREAM;
            stat->cbSize.QuadPart = static_cast<ULONGLONG>(stream_->Size());
            return S_OK;
        } catch (...) {
            return STG_E_ACCESSDENIED;
        }
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

private:
    std::shared_ptr<TStream> stream_;
};

} // namespace

TOleError::TOleError(HRESULT code) : TError(SystemTextFor(code)), code_(code) {}

TOleError::TOleError(HRESULT code, const std::string& description)
    : TError(description.empty() ? SystemTextFor(code) : description), code_(code) {}

HRESULT OleCheck(HRESULT code) {
    if (FAILED(code))
        throw TOleError(code);
    return code;
}

TBstr::TBstr(std::wstring_view text)
    : bstr_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (!bstr_)
        throw TOutOfMemory();
}

void TBstr::Reset(BSTR bstr) {
    if (bstr_ && bstr_ != bstr)
        SysFreeString(bstr_);
    bstr_ = bstr;
}

std::wstring TBstr::Text() const {
    return BstrText(bstr_);
}

namespace {

std::optional<int32_t> ExactInteger(const VARIANT& v) {
    switch (V_VT(&v)) {
    case VT_I1:
        return V_I1(&v);
    case VT_UI1:
        return V_UI1(&v);
    case VT_I2:
        return V_I2(&v);
    case VT_UI2:
        return V_UI2(&v);
    case VT_BOOL:
        return V_BOOL(&v);
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
        return V_I4(&v);
    case VT_UI4:
    case VT_UINT:
        return static_cast<int32_t>(V_UI4(&v));
    default:
        return std::nullopt;
    }
}

std::optional<int32_t> RoundedInteger(const VARIANT& v) {
    switch (V_VT(&v) & ~VT_BYREF) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
        break;
    default:
        return std::nullopt;
    }
    // A reference to nothing is never read.
    if ((V_VT(&v) & VT_BYREF) && !V_BYREF(&v))
        return std::nullopt;
    TVariant converted;
    if (FAILED(VariantChangeType(&converted.value, const_cast<VARIANT*>(&v), 0, VT_I4)))
        return std::nullopt;
    return V_I4(&converted.value);
}

} // namespace

std::optional<int32_t> VariantInteger(const VARIANT& value, TIntegerRule rule) {
    return rule == TIntegerRule::Exact ? ExactInteger(value) : RoundedInteger(value);
}

TExcepInfo::~TExcepInfo() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
}

const EXCEPINFO& TExcepInfo::Filled() {
    if (const auto fill = std::exchange(info_.pfnDeferredFillIn, nullptr))
        fill(&info_);
    return info_;
}

std::wstring BstrText(BSTR bstr) {
    return bstr ? std::wstring(bstr, SysStringLen(bstr)) : std::wstring();
}

ComPtr<IStream> MakeStreamAdapter(std::shared_ptr<TStream> stream) {
    return AdoptComPtr<IStream>(new TStreamAdapter(std::move(stream)));
}

TComApartment::TComApartment() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(result))
        throw TOleError(result);
}

TComApartment::~TComApartment() {
    CoUninitialize();
}
