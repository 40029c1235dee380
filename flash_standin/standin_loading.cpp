// Movies and the files they load: every byte comes through the host's binding host and the
// moniker it returns. Also the playback movie's requests and the scene's pages.

#include "flash_standin/standin_object.h"

#include <cstring>
#include <cwctype>
#include <string_view>

#include "base/text_win.h"

namespace {

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
    const ComPtr<IBindStatusCallback> callback = AdoptComPtr<IBindStatusCallback>(
        new TBindCallback<TStandinControl, TRequest>(*this, request));
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

void TStandinControl::BindingStopped(const std::shared_ptr<TRequest>& request, HRESULT result) {
    if (request->state != TRequest::TState::Pending)
        return;
    request->state = SUCCEEDED(result) ? TRequest::TState::Received : TRequest::TState::Failed;
    request->failure = result;
    RequestDone(request);
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

// The player interface's movies and variables.

HRESULT TStandinControl::OpenMovie(int layer, BSTR url) {
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
}

HRESULT TStandinControl::VariableSet(const std::wstring& key, const std::wstring& text) {
    if (playbackLayer_ < 0)
        return S_OK;
    // The playback movie starts once the host has set its last variable; afterwards a new skin
    // or video is fetched as soon as it is named.
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
