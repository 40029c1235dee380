// Movies and the files they load: every byte comes through the host's binding host and the
// moniker it returns. Also the playback movie's requests and the scene's pages.

#include "flash_standin/standin_object.h"

#include <cstring>
#include <cwctype>
#include <string_view>

#include "base/text_win.h"

namespace {

// A delivery larger than this is cut off: no book's file comes near it.
constexpr size_t kMaxDelivery = 64u << 20;
// How many requests the placeholder remembers.
constexpr size_t kRememberedRequests = 32;

constexpr std::wstring_view kPlaybackMovie = L"flvplayback.swf";

std::string_view BytesText(const std::vector<uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The name after the last separator, compared without regard to ASCII letter case.
bool NamesFile(std::wstring_view url, std::wstring_view file) {
    const size_t slash = url.find_last_of(L"/\\");
    const std::wstring_view name = slash == std::wstring_view::npos ? url : url.substr(slash + 1);
    if (name.size() != file.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (towlower(name[i]) != towlower(file[i]))
            return false;
    return true;
}

// The callback of one request. It holds the control, so that a late notification never reaches
// a destroyed object.
class TRequestCallback final : public TComObject<TRequestCallback, IBindStatusCallback> {
public:
    TRequestCallback(TStandinControl& owner, std::shared_ptr<TRequest> request)
        : owner_(owner), keep_(static_cast<IOleObject*>(&owner)), request_(std::move(request)) {
        StandinModuleLock();
    }
    ~TRequestCallback() { StandinModuleUnlock(); }

    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IBindStatusCallback>(IID_IBindStatusCallback)};
        return faces;
    }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
        return owner_.Call(
            L"OnStartBinding", [&] { return L"binding=" + LogText::Pointer(binding); },
            [](std::wstring&) { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override {
        return owner_.Call(
            L"GetPriority", [] { return std::wstring(); },
            [&](std::wstring& outputs) {
                if (!priority)
                    return E_POINTER;
                *priority = THREAD_PRIORITY_NORMAL;
                outputs = std::to_wstring(*priority);
                return S_OK;
            });
    }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override {
        return owner_.Call(
            L"OnLowResource", [] { return std::wstring(); }, [](std::wstring&) { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG maximum, ULONG status,
                                         LPCWSTR text) override {
        return owner_.Call(
            L"OnProgress",
            [&] {
                return std::to_wstring(progress) + L", " + std::to_wstring(maximum) + L", " +
                       std::to_wstring(status) + L", " + LogText::QuotedOrNull(text);
            },
            [](std::wstring&) { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR text) override {
        return owner_.Call(
            L"OnStopBinding",
            [&] { return LogText::Result(result) + L", " + LogText::QuotedOrNull(text); },
            [&](std::wstring&) {
                if (request_->state == TRequest::TState::Pending) {
                    request_->state =
                        SUCCEEDED(result) ? TRequest::TState::Received : TRequest::TState::Failed;
                    request_->failure = result;
                    owner_.RequestDone(request_);
                }
                return S_OK;
            });
    }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
        return owner_.Call(
            L"GetBindInfo", [] { return std::wstring(); },
            [&](std::wstring& outputs) {
                if (!flags || !info)
                    return E_INVALIDARG;
                // A plain synchronous get: the stand-in reads whatever it is handed at once.
                *flags = 0;
                const ULONG size = info->cbSize;
                if (size < sizeof(ULONG))
                    return E_INVALIDARG;
                std::memset(info, 0, size < sizeof *info ? size : sizeof *info);
                info->cbSize = size;
                info->dwBindVerb = BINDVERB_GET;
                outputs = LogText::Hex(*flags);
                return S_OK;
            });
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC*,
                                              STGMEDIUM* medium) override {
        return owner_.Call(
            L"OnDataAvailable",
            [&] {
                return L"flags=" + std::to_wstring(flags) + L", size=" + std::to_wstring(size) +
                       L", tymed=" + (medium ? std::to_wstring(medium->tymed) : L"null");
            },
            [&](std::wstring& outputs) {
                if (medium)
                    outputs = std::to_wstring(Take(*medium, size)) + L" bytes read";
                return S_OK;
            });
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID iid, IUnknown* object) override {
        return owner_.Call(
            L"OnObjectAvailable",
            [&] { return LogText::Interface(iid) + L", " + LogText::Pointer(object); },
            [](std::wstring&) { return S_OK; });
    }

private:
    // Appends what the medium holds; the medium stays the caller's. Returns the bytes taken.
    size_t Take(const STGMEDIUM& medium, DWORD size) {
        std::vector<uint8_t>& bytes = request_->bytes;
        const size_t before = bytes.size();
        if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
            uint8_t piece[65536];
            for (;;) {
                ULONG got = 0;
                const HRESULT result = medium.pstm->Read(piece, sizeof piece, &got);
                if (FAILED(result) || got == 0)
                    break;
                if (bytes.size() + got > kMaxDelivery) {
                    request_->tooLarge = true;
                    break;
                }
                bytes.insert(bytes.end(), piece, piece + got);
                if (result == S_FALSE)
                    break;
            }
        } else if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
            const SIZE_T available = GlobalSize(medium.hGlobal);
            const SIZE_T n = size < available ? size : available;
            const TGlobalLock locked(medium.hGlobal);
            if (const auto* memory = static_cast<const uint8_t*>(locked.Data())) {
                if (bytes.size() + n <= kMaxDelivery)
                    bytes.insert(bytes.end(), memory, memory + n);
                else
                    request_->tooLarge = true;
            }
        }
        // Files on disk are never read: everything must come through the host.
        return bytes.size() - before;
    }

    TStandinControl& owner_;
    const ComPtr<IOleObject> keep_;
    const std::shared_ptr<TRequest> request_;
};

} // namespace

std::shared_ptr<TRequest> TStandinControl::NewRequest(std::wstring url,
                                                      TRequest::TPurpose purpose) {
    auto request = std::make_shared<TRequest>();
    request->url = std::move(url);
    request->purpose = purpose;
    requests_.push_back(request);
    if (requests_.size() > kRememberedRequests)
        requests_.pop_front();
    return request;
}

HRESULT TStandinControl::Fetch(const std::shared_ptr<TRequest>& request) {
    const std::wstring& url = request->url;
    const auto declined = [&](const wchar_t* why) {
        request->state = TRequest::TState::Declined;
        Note(L"declined " + LogText::Quoted(url) + L": " + why + L"; would fetch it itself");
        PictureChanged();
        return S_FALSE;
    };
    const auto failed = [&](HRESULT code) {
        if (request->state == TRequest::TState::Pending) {
            request->state = TRequest::TState::Failed;
            request->failure = code;
            RequestDone(request);
        }
        return code;
    };
    if (!site_)
        return declined(L"no client site");
    ComPtr<IServiceProvider> provider;
    if (FAILED(Out(L"site.QueryInterface", L"IServiceProvider",
                   site_->QueryInterface(IID_PPV_ARGS(&provider)))))
        return declined(L"no service provider");
    ComPtr<IBindHost> bindHost;
    if (FAILED(Out(L"site.QueryService", L"SID_SBindHost, IBindHost",
                   provider->QueryService(SID_SBindHost, IID_PPV_ARGS(&bindHost)))) ||
        !bindHost)
        return declined(L"no binding host");
    ComPtr<IMoniker> moniker;
    const HRESULT created =
        bindHost->CreateMoniker(const_cast<LPOLESTR>(url.c_str()), nullptr, &moniker, 0);
    Out(L"bindhost.CreateMoniker", LogText::Quoted(url), created,
        L"moniker=" + LogText::Pointer(moniker.Get()));
    if (FAILED(created) || !moniker)
        return declined(L"no moniker");

    ComPtr<IBindCtx> context;
    HRESULT result = Out(L"api.CreateBindCtx", L"", CreateBindCtx(0, &context));
    if (FAILED(result))
        return failed(result);
    const ComPtr<IBindStatusCallback> callback =
        AdoptComPtr<IBindStatusCallback>(new TRequestCallback(*this, request));
    ComPtr<IBindStatusCallback> previous;
    result = Out(L"api.RegisterBindStatusCallback", L"",
                 RegisterBindStatusCallback(context.Get(), callback.Get(), &previous, 0));
    if (FAILED(result))
        return failed(result);
    // The data is expected through the callback; a stream handed back directly is let go.
    ComPtr<IStream> direct;
    result = moniker->BindToStorage(context.Get(), nullptr, IID_IStream,
                                    reinterpret_cast<void**>(direct.GetAddressOf()));
    Out(L"moniker.BindToStorage", L"IStream", result,
        direct ? std::wstring(L"stream=set") : std::wstring());
    Out(L"api.RevokeBindStatusCallback", L"",
        RevokeBindStatusCallback(context.Get(), callback.Get()));
    return FAILED(result) ? failed(result) : S_OK;
}

void TStandinControl::RequestDone(const std::shared_ptr<TRequest>& request) {
    // Acted on once the host's call into the stand-in has returned, never inside its delivery.
    Later([this, request] {
        const TRequest& done = *request;
        if (done.state == TRequest::TState::Failed) {
            Note(L"failed " + LogText::Quoted(done.url) + L": " + LogText::Result(done.failure));
            if (scene_ && scene_->pageRequest == request)
                scene_->problem = L"failed (" + LogText::Result(done.failure) + L")";
        } else {
            received_[done.url] = done.bytes;
            Note(L"received " + std::to_wstring(done.bytes.size()) + L" bytes of " +
                 LogText::Quoted(done.url) + (done.tooLarge ? L", cut off" : L""));
            switch (done.purpose) {
            case TRequest::TPurpose::Movie:
                MovieArrived(done);
                break;
            case TRequest::TPurpose::PageList:
                PageListArrived(done);
                break;
            case TRequest::TPurpose::Page:
                PageArrived(done);
                break;
            default:
                break;
            }
        }
        // PageArrived repaints for a page that arrived, when it is still the page shown.
        if (done.purpose != TRequest::TPurpose::Page || done.state != TRequest::TState::Received)
            PictureChanged();
    });
}

// IShockwaveFlash

HRESULT TStandinControl::FlashVersion(long* version) {
    return Call(
        L"FlashVersion", [] { return std::wstring(); },
        [&](std::wstring& outputs) {
            if (!version)
                return E_POINTER;
            *version = version_;
            outputs = LogText::Hex(static_cast<DWORD>(version_));
            return S_OK;
        });
}

HRESULT TStandinControl::LoadMovie(int layer, BSTR url) {
    return Call(
        L"LoadMovie", [&] { return std::to_wstring(layer) + L", " + LogText::Quoted(url); },
        [&](std::wstring&) {
            const std::wstring name = BstrText(url);
            if (layer == playbackLayer_) {
                playbackLayer_ = -1;
                playbackStarted_ = false;
            }
            if (layer == 0)
                scene_.reset();
            PictureChanged();
            if (name.empty()) {
                layers_.erase(layer);
                Note(L"layer " + std::to_wstring(layer) + L" unloaded");
                return S_OK;
            }
            auto request = NewRequest(name, TRequest::TPurpose::Movie);
            request->layer = layer;
            layers_[layer] = request;
            // A movie that cannot be fetched simply never arrives, as with any player.
            Fetch(request);
            return S_OK;
        });
}

HRESULT TStandinControl::SetVariable(BSTR name, BSTR value) {
    return Call(
        L"SetVariable", [&] { return LogText::Quoted(name) + L", " + LogText::Quoted(value); },
        [&](std::wstring&) {
            const std::wstring key = BstrText(name), text = BstrText(value);
            variables_[key] = text;
            if (playbackLayer_ < 0)
                return S_OK;
            // The playback movie starts once the host has set its last variable; afterwards a
            // new skin or video is fetched as soon as it is named.
            const std::wstring& base = layers_.at(playbackLayer_)->url;
            if (!playbackStarted_) {
                if (key == L"flv.volume")
                    StartPlayback();
            } else if (key == L"flv.skin" && !text.empty()) {
                Fetch(NewRequest(ResolveRelative(base, text), TRequest::TPurpose::Skin));
            } else if (key == L"flv.contentPath" && !text.empty()) {
                Fetch(NewRequest(ResolveRelative(base, text), TRequest::TPurpose::Video));
            }
            return S_OK;
        });
}

void TStandinControl::StartPlayback() {
    const auto path = variables_.find(L"flv.contentPath");
    if (path == variables_.end() || path->second.empty()) {
        Note(L"playback movie without flv.contentPath: nothing to play");
        return;
    }
    playbackStarted_ = true;
    const std::wstring base = layers_.at(playbackLayer_)->url;
    const auto skin = variables_.find(L"flv.skin");
    if (skin != variables_.end() && !skin->second.empty())
        Fetch(NewRequest(ResolveRelative(base, skin->second), TRequest::TPurpose::Skin));
    Fetch(NewRequest(ResolveRelative(base, path->second), TRequest::TPurpose::Video));
}

void TStandinControl::MovieArrived(const TRequest& request) {
    const auto layer = layers_.find(request.layer);
    if (layer == layers_.end() || layer->second.get() != &request)
        return; // the layer has been loaded again since
    if (NamesFile(request.url, kPlaybackMovie)) {
        playbackLayer_ = request.layer;
        playbackStarted_ = false;
        if (variables_.count(L"flv.volume"))
            StartPlayback();
        return;
    }
    if (request.layer != 0)
        return;
    std::optional<TScene> scene = ParseScene(BytesText(request.bytes));
    if (!scene)
        return;
    for (const std::string& note : scene->notes)
        Note(L"scene: " + Utf8ToWide(note));
    scene_.emplace();
    scene_->movieUrl = request.url;
    scene_->scene = std::move(*scene);
    if (scene_->scene.pages.empty()) {
        Note(L"scene without a page list");
        return;
    }
    scene_->pageListUrl = ResolveRelative(request.url, Utf8ToWide(scene_->scene.pages));
    Fetch(NewRequest(scene_->pageListUrl, TRequest::TPurpose::PageList));
}

void TStandinControl::PageListArrived(const TRequest& request) {
    if (!scene_ || scene_->pageListArrived || scene_->pageListUrl != request.url)
        return;
    const TPageList list = ParsePageList(BytesText(request.bytes));
    scene_->pageListArrived = true;
    for (const TPageEntry& page : list.pages)
        scene_->pages.push_back(ResolveRelative(request.url, Utf8ToWide(page.src)));
    Note(L"page list " + LogText::Quoted(request.url) + L": " +
         std::to_wstring(scene_->pages.size()) + L" pages" +
         (list.complete ? L"" : L", the rest not understood"));
    if (!scene_->pages.empty())
        ShowPage(0);
}

void TStandinControl::ShowPage(int32_t page) {
    TSceneState& scene = *scene_;
    scene.current = page;
    scene.picture.reset();
    scene.problem = L"loading";
    Note(L"page " + std::to_wstring(page + 1) + L" of " + std::to_wstring(scene.pages.size()));
    PictureChanged();
    scene.pageRequest = NewRequest(scene.pages[page], TRequest::TPurpose::Page);
    scene.pageRequest->page = page;
    // Keep the request: a late answer must find out whether it is still the page shown.
    const std::shared_ptr<TRequest> request = scene.pageRequest;
    if (Fetch(request) == S_FALSE)
        scene.problem = L"declined";
}

void TStandinControl::PageArrived(const TRequest& request) {
    if (!scene_ || scene_->pageRequest.get() != &request)
        return;
    HRESULT problem = S_OK;
    scene_->picture = DecodePicture(request.bytes, problem);
    const std::wstring page = L"page " + std::to_wstring(request.page + 1);
    if (scene_->picture) {
        scene_->problem.clear();
        Note(page + L": " + std::to_wstring(scene_->picture->width) + L"x" +
             std::to_wstring(scene_->picture->height));
    } else {
        scene_->problem = L"not decoded (" + LogText::Result(problem) + L")";
        Note(page + L": " + LogText::Quoted(request.url) + L" " + scene_->problem);
    }
    PictureChanged();
}

// The private interface's file requests.

HRESULT TStandinControl::RequestFile(LPCWSTR url) {
    return Private([&] {
        if (!url)
            return E_POINTER;
        return Fetch(NewRequest(url, TRequest::TPurpose::File));
    });
}

HRESULT TStandinControl::GetReceived(LPCWSTR url, BSTR* bytes) {
    return Private([&] {
        if (!url || !bytes)
            return E_POINTER;
        *bytes = nullptr;
        const auto found = received_.find(url);
        if (found == received_.end())
            return S_FALSE;
        const std::vector<uint8_t>& data = found->second;
        *bytes = SysAllocStringByteLen(reinterpret_cast<const char*>(data.data()),
                                       static_cast<UINT>(data.size()));
        return *bytes ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT TStandinControl::SetFlashVersion(LONG version) {
    return Private([&] {
        version_ = version;
        return S_OK;
    });
}

HRESULT TStandinControl::GetVariable(LPCWSTR name, BSTR* value) {
    return Private([&] {
        if (!name || !value)
            return E_POINTER;
        *value = nullptr;
        const auto found = variables_.find(name);
        if (found == variables_.end())
            return S_FALSE;
        *value = SysAllocStringLen(found->second.data(), static_cast<UINT>(found->second.size()));
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT TStandinControl::GetScene(LONG* page, LONG* pageCount, BOOL* fullscreen) {
    return Private([&] {
        if (!page || !pageCount || !fullscreen)
            return E_POINTER;
        *page = scene_ ? scene_->current : 0;
        *pageCount = scene_ ? static_cast<LONG>(scene_->pages.size()) : 0;
        *fullscreen = scene_ && scene_->fullscreen;
        return scene_ ? S_OK : S_FALSE;
    });
}

HRESULT TStandinControl::GetLog(BSTR* text) {
    return Private([&] {
        if (!text)
            return E_POINTER;
        const std::wstring all = log_.Text();
        *text = SysAllocStringLen(all.data(), static_cast<UINT>(all.size()));
        return *text ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT TStandinControl::ClearLog() {
    return Private([&] {
        log_.Clear();
        return S_OK;
    });
}

HRESULT TStandinControl::FailCall(LPCWSTR name, HRESULT code) {
    return Private([&] {
        if (!name)
            return E_POINTER;
        if (code == S_OK)
            callFaults_.erase(name);
        else
            callFaults_[name] = code;
        return S_OK;
    });
}

// The player interface's other slots: present so that the three above sit where the host
// calls them, and declined.
#define STANDIN_UNUSED_SLOT(n)                                                                     \
    HRESULT TStandinControl::UnusedSlot##n() {                                                     \
        return Call(                                                                               \
            L"UnusedSlot" #n, [] { return std::wstring(); },                                       \
            [](std::wstring&) { return E_NOTIMPL; });                                              \
    }
STANDIN_UNUSED_SLOT(7)
STANDIN_UNUSED_SLOT(8)
STANDIN_UNUSED_SLOT(9)
STANDIN_UNUSED_SLOT(10)
STANDIN_UNUSED_SLOT(11)
STANDIN_UNUSED_SLOT(12)
STANDIN_UNUSED_SLOT(13)
STANDIN_UNUSED_SLOT(14)
STANDIN_UNUSED_SLOT(15)
STANDIN_UNUSED_SLOT(16)
STANDIN_UNUSED_SLOT(17)
STANDIN_UNUSED_SLOT(18)
STANDIN_UNUSED_SLOT(19)
STANDIN_UNUSED_SLOT(20)
STANDIN_UNUSED_SLOT(21)
STANDIN_UNUSED_SLOT(22)
STANDIN_UNUSED_SLOT(23)
STANDIN_UNUSED_SLOT(24)
STANDIN_UNUSED_SLOT(25)
STANDIN_UNUSED_SLOT(26)
STANDIN_UNUSED_SLOT(27)
STANDIN_UNUSED_SLOT(28)
STANDIN_UNUSED_SLOT(29)
STANDIN_UNUSED_SLOT(30)
STANDIN_UNUSED_SLOT(31)
STANDIN_UNUSED_SLOT(32)
STANDIN_UNUSED_SLOT(33)
STANDIN_UNUSED_SLOT(34)
STANDIN_UNUSED_SLOT(35)
STANDIN_UNUSED_SLOT(36)
STANDIN_UNUSED_SLOT(37)
STANDIN_UNUSED_SLOT(38)
STANDIN_UNUSED_SLOT(40)
STANDIN_UNUSED_SLOT(41)
STANDIN_UNUSED_SLOT(42)
STANDIN_UNUSED_SLOT(43)
STANDIN_UNUSED_SLOT(44)
STANDIN_UNUSED_SLOT(45)
STANDIN_UNUSED_SLOT(46)
STANDIN_UNUSED_SLOT(47)
STANDIN_UNUSED_SLOT(48)
STANDIN_UNUSED_SLOT(49)
STANDIN_UNUSED_SLOT(50)
STANDIN_UNUSED_SLOT(51)
STANDIN_UNUSED_SLOT(52)
STANDIN_UNUSED_SLOT(53)
STANDIN_UNUSED_SLOT(54)
STANDIN_UNUSED_SLOT(55)
STANDIN_UNUSED_SLOT(56)
STANDIN_UNUSED_SLOT(57)
STANDIN_UNUSED_SLOT(59)
STANDIN_UNUSED_SLOT(60)
STANDIN_UNUSED_SLOT(61)
STANDIN_UNUSED_SLOT(62)
STANDIN_UNUSED_SLOT(63)
STANDIN_UNUSED_SLOT(64)
#undef STANDIN_UNUSED_SLOT
