#include "qel/player/qel_flash_resolver.h"

#include "base/platform.h"
#include "base/text_win.h"
#include "package/PackageLookup.h"
#include "qel/host/qel_flash_download_win.h"
#include "qel/host/qel_flash_requests.h"

namespace {

constexpr wchar_t kCallbackHolder[] = L"_BSCB_Holder_";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Reads through a stream somebody else owns for as long as it lives: once it is gone, reads
// fail instead of touching freed memory.
class TTokenStream final : public TStream {
public:
    explicit TTokenStream(uint32_t token) : token_(token) {}
    int64_t Read(void* buffer, int64_t count) override { return Source().Read(buffer, count); }
    int64_t Write(const void* buffer, int64_t count) override {
        return Source().Write(buffer, count);
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        return Source().Seek(offset, origin);
    }
    int64_t Size() override { return Source().Size(); }

private:
    TStream& Source() const {
        TStream* stream = StreamForToken(token_);
        if (!stream)
            throw TReadError();
        return *stream;
    }
    uint32_t token_;
};

// A fresh memory copy of all of source; source is left at its end.
std::shared_ptr<TStream> CopyOfStream(TStream& source) {
    auto copy = std::make_shared<TMemoryStream>();
    source.SetPosition(0);
    copy->CopyFrom(source, source.Size());
    copy->SetPosition(0);
    return copy;
}

// Hands the whole stream to the control at once, as first and last notification together.
void Deliver(IBindStatusCallback& callback, std::shared_ptr<TStream> data,
             std::wstring& pendingTarget) {
    const ULONG size = static_cast<ULONG>(data->Size());
    ComPtr<IStream> adapter = MakeStreamAdapter(std::move(data));
    STGMEDIUM medium{};
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = adapter.Get();
    medium.pUnkForRelease = nullptr;
    pendingTarget.clear();
    wchar_t empty[] = L"";
    callback.OnStartBinding(0, nullptr);
    callback.OnProgress(100, 100, BINDSTATUS_ENDDOWNLOADDATA, empty);
    callback.OnDataAvailable(BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION, size, nullptr,
                             &medium);
    callback.OnStopBinding(S_OK, empty);
}

std::optional<uint32_t> TokenAfter(std::string_view target, std::string_view tag) {
    return ParseStreamToken(target.substr(tag.size(), 8));
}

} // namespace

bool HasMovieResource(const std::string& name) {
    return FindResourceA(GetModuleHandleA(nullptr), name.c_str(), RT_RCDATA) != nullptr;
}

std::shared_ptr<TStream> OpenMovieResource(const std::string& name) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(module, name.c_str(), RT_RCDATA);
    const HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        throw TError("Resource " + name + " not found");
    // Resources stay mapped for as long as the program runs.
    return std::make_shared<TBorrowedMemoryStream>(bytes, SizeofResource(module, resource));
}

bool TqelResolver::Choose(const std::wstring& name) {
    TRequestSources sources;
    sources.hasListItem = [this](const std::string& fileName) {
        return listedStream_(fileName) != nullptr;
    };
    sources.hasResource = &HasMovieResource;
    sources.exeDir = OwnExecutableDirectory();
    sources.fileExists = &FileExists;
    const TRequestChoice choice = ChooseRequestTarget(WideToAnsi(name), sources);
    if (choice.verdict == TRequestVerdict::Target)
        pendingTarget_ = AnsiToWide(choice.target);
    return choice.verdict != TRequestVerdict::Declined;
}

HRESULT TqelResolver::BindToStorage(IBindCtx* context) {
    try {
        if (!context)
            return E_FAIL;
        ComPtr<IUnknown> holder;
        if (FAILED(context->GetObjectParam(const_cast<LPOLESTR>(kCallbackHolder), &holder)) ||
            !holder)
            return E_FAIL;
        ComPtr<IBindStatusCallback> pullCallback, callback;
        if (FAILED(holder.As(&pullCallback)) || !pullCallback)
            return E_FAIL;
        holder.As(&callback);
        if (!callback)
            callback = pullCallback;

        auto deliver = [&](std::shared_ptr<TStream> data) {
            Deliver(*callback.Get(), std::move(data), pendingTarget_);
        };
        const std::string target = WideToAnsi(pendingTarget_);
        if (StartsWith(target, kResourceTag)) {
            pendingTarget_.erase(0, kResourceTag.size());
            const std::string name = StripExtension(target.substr(kResourceTag.size()));
            if (!HasMovieResource(name))
                return E_FAIL;
            deliver(OpenMovieResource(name));
            return S_OK;
        }
        if (StartsWith(target, kListTag)) {
            pendingTarget_.erase(0, kListTag.size());
            TStream* item = listedStream_(target.substr(kListTag.size()));
            if (!item)
                return E_FAIL;
            deliver(CopyOfStream(*item));
            return S_OK;
        }
        if (StartsWith(target, kStreamTag)) {
            const std::optional<uint32_t> token = TokenAfter(target, kStreamTag);
            TStream* source = token ? StreamForToken(*token) : nullptr;
            if (!source)
                return E_FAIL;
            deliver(CopyOfStream(*source));
            return S_OK;
        }
        if (StartsWith(target, kAliasedStreamTag)) {
            const std::optional<uint32_t> token = TokenAfter(target, kAliasedStreamTag);
            TStream* source = token ? StreamForToken(*token) : nullptr;
            if (!source)
                return E_FAIL;
            source->SetPosition(0);
            deliver(std::make_shared<TTokenStream>(*token));
            return S_OK;
        }
        if (StartsWith(target, kPackageTag)) {
            pendingTarget_.erase(0, kPackageTag.size());
            std::string name = target.substr(kPackageTag.size());
            if (StartsWith(name, "./"))
                name.erase(0, 2);
            std::shared_ptr<TStream> entry = GetPackageStream(name, packagePath_);
            if (!entry)
                return E_FAIL;
            entry->SetPosition(0);
            deliver(std::move(entry));
            return S_OK;
        }
        // Anything else is for the system's download service.
        pendingTarget_.clear();
        if (const TURLOpenPullStreamA pull = PullStreamEntry())
            return pull(nullptr, target.c_str(), 0, pullCallback.Get()) == S_OK ? S_OK : E_FAIL;
        // Without it (Wine has none that works) a local file is read and handed over like a
        // package entry; nothing else can be fetched.
        const std::string local = LocalFilePath(target);
        if (!FileExists(local))
            return E_FAIL;
        auto file = TFileStream::OpenShared(local);
        auto bytes = std::make_shared<TMemoryStream>();
        bytes->CopyFrom(*file, file->Size());
        bytes->SetPosition(0);
        deliver(std::move(bytes));
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}
