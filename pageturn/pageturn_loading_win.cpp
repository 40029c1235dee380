// The book's files: every one asked of the host through its binding host and the moniker it
// returns, never read from disk. The page list, then the pages wanted most, each decoded and
// scaled once into its face, kept in a bounded cache.

#include <algorithm>
#include <cstring>

#include "base/text_win.h"
#include "pages/page_list.h"
#include "pages/picture_win.h"
#include "pageturn/pageturn_object_win.h"

namespace {

// The colour of paper where a page shows no picture.
constexpr uint32_t kPaper = Rgb(250, 248, 243);

// A decoded picture as pixels of our own.
TImage ToImage(const TPagePicture& picture) {
    TImage image;
    image.Resize(picture.width, picture.height);
    std::memcpy(image.pixels.data(), picture.bits, image.pixels.size() * 4);
    return image;
}

} // namespace

std::shared_ptr<TFetch> TPageTurnControl::Fetch(std::wstring url, TFetch::TPurpose purpose,
                                                int32_t page) {
    auto fetch = std::make_shared<TFetch>();
    fetch->url = std::move(url);
    fetch->purpose = purpose;
    fetch->page = page;
    const auto fail = [&](HRESULT code) {
        if (!fetch->done) {
            fetch->done = true;
            fetch->result = FAILED(code) ? code : E_FAIL;
        }
        return fetch;
    };
    // Everything comes through the host, whichever source it serves it from.
    ComPtr<IServiceProvider> provider;
    ComPtr<IBindHost> bindHost;
    ComPtr<IMoniker> moniker;
    HRESULT result = E_FAIL;
    if (!site_ || FAILED(result = site_->QueryInterface(IID_PPV_ARGS(&provider))) ||
        FAILED(result = provider->QueryService(SID_SBindHost, IID_PPV_ARGS(&bindHost))) ||
        !bindHost ||
        FAILED(result = bindHost->CreateMoniker(const_cast<LPOLESTR>(fetch->url.c_str()), nullptr,
                                                &moniker, 0)) ||
        !moniker)
        return fail(result);
    ComPtr<IBindCtx> context;
    if (FAILED(result = CreateBindCtx(0, &context)))
        return fail(result);
    const ComPtr<IBindStatusCallback> callback =
        AdoptComPtr<IBindStatusCallback>(new TBindCallback<TPageTurnControl, TFetch>(*this, fetch));
    // The bind context's callback holder, where a binding looks for its callback: what
    // RegisterBindStatusCallback does, without loading urlmon into every book's process.
    if (FAILED(result = context->RegisterObjectParam(const_cast<LPOLESTR>(L"_BSCB_Holder_"),
                                                     callback.Get())))
        return fail(result);
    // Deliveries made inside the bind are acted on by the caller, not queued.
    ++fetching_;
    ComPtr<IStream> direct;
    result = moniker->BindToStorage(context.Get(), nullptr, IID_IStream,
                                    reinterpret_cast<void**>(direct.GetAddressOf()));
    --fetching_;
    context->RevokeObjectParam(const_cast<LPOLESTR>(L"_BSCB_Holder_"));
    if (FAILED(result))
        return fail(result);
    return fetch;
}

void TPageTurnControl::BindingStopped(const std::shared_ptr<TFetch>& fetch, HRESULT result) {
    if (fetch->done)
        return;
    fetch->done = true;
    if (fetch->tooLarge) {
        fetch->bytes = {};
        fetch->result = E_OUTOFMEMORY;
    } else {
        fetch->result = result;
    }
    // Acted on from the message loop, never inside the host's delivery.
    if (fetching_ > 0)
        return;
    arrived_.push_back(fetch);
    ScheduleWork();
}

bool TPageTurnControl::RunPendingWork() {
    if (!arrived_.empty()) {
        const std::shared_ptr<TFetch> fetch = arrived_.front();
        arrived_.erase(arrived_.begin());
        Arrived(*fetch);
        Settle();
        return true;
    }
    const bool loaded = LoadWantedPage();
    Settle();
    return loaded;
}

void TPageTurnControl::Arrived(const TFetch& fetch) {
    switch (fetch.purpose) {
    case TFetch::TPurpose::PageList:
        PageListArrived(fetch);
        break;
    case TFetch::TPurpose::Movie:
        ShowMessageFor(fetch);
        break;
    case TFetch::TPurpose::Page:
        if (fetch.page >= 0 && fetch.page < int32_t(pages_.size()) &&
            pages_[size_t(fetch.page)].url == fetch.url)
            MakeFace(fetch.page, SUCCEEDED(fetch.result) ? &fetch.bytes : nullptr);
        break;
    case TFetch::TPurpose::Large:
        LargeArrived(fetch);
        break;
    }
}

void TPageTurnControl::PageListArrived(const TFetch& fetch) {
    if (fetch.url != listUrl_ || !pages_.empty())
        return;
    TPageList list;
    if (SUCCEEDED(fetch.result))
        list =
            ParsePageList({reinterpret_cast<const char*>(fetch.bytes.data()), fetch.bytes.size()});
    if (list.pages.empty()) {
        // No pages to show: the movie tells whether a player control would have had a book.
        const std::shared_ptr<TFetch> movie = Fetch(movieUrl_, TFetch::TPurpose::Movie);
        if (movie->done)
            ShowMessageFor(*movie);
        return;
    }
    pages_.resize(list.pages.size());
    for (size_t i = 0; i < list.pages.size(); ++i) {
        TPageState& page = pages_[i];
        page.url = ResolveRelative(listUrl_, Utf8ToWide(list.pages[i].src));
        if (!list.pages[i].large.empty())
            page.largeUrl = ResolveRelative(listUrl_, Utf8ToWide(list.pages[i].large));
        page.name = Utf8ToWide(list.pages[i].src);
    }
    view_.SetPageCount(int32_t(pages_.size()));
    view_.ShowBar(Now());
    FireReady();
}

void TPageTurnControl::ShowMessageFor(const TFetch& movie) {
    if (movie.url != movieUrl_ || !pages_.empty())
        return;
    message_ = SUCCEEDED(movie.result) && !movie.bytes.empty()
                   ? L"This book needs the movie player control.\n"
                     L"The movie player control is not installed on this computer."
                   : L"This book has no pages.\nIts page list is missing or lists no page.";
    view_.Invalidate(view_.Layout().Area());
    FireReady();
}

void TPageTurnControl::FireReady() {
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 100;
    FireEvent(FlashEvent::kOnProgress, 1, &value);
    V_I4(&value) = 4; // complete
    FireEvent(FlashEvent::kReadyStateChange, 1, &value);
}

TRect TPageTurnControl::FaceSize() const {
    const TRect slot = view_.Layout().Slot(TPageSide::Right);
    return {0, 0, RectWidth(slot), RectHeight(slot)};
}

bool TPageTurnControl::FaceFits(const TPageState& page) const {
    const TRect size = FaceSize();
    return page.face && page.sharp && page.face->width == size.right &&
           page.face->height == size.bottom;
}

std::optional<std::pair<std::wstring, int32_t>> TPageTurnControl::WantedLarge() const {
    const std::optional<TZoomView> zoom = view_.Zoom();
    // Asked for once per zoom: it arrives, or fails, or is on its way.
    if (!zoom || zoom->page >= int32_t(pages_.size()) || largePage_ == zoom->page)
        return std::nullopt;
    const TPageState& page = pages_[size_t(zoom->page)];
    return std::make_pair(page.largeUrl.empty() ? page.url : page.largeUrl, zoom->page);
}

bool TPageTurnControl::WantsWork() const {
    if (WantedLarge())
        return true;
    for (int32_t index : view_.WantedPages())
        if (index < int32_t(pages_.size())) {
            const TPageState& page = pages_[size_t(index)];
            if (!FaceFits(page) && page.status != TPageState::TStatus::Fetching)
                return true;
        }
    return false;
}

bool TPageTurnControl::LoadWantedPage() {
    if (!inPlaceActive_ || RectIsEmpty(FaceSize()))
        return false;
    // The zoomed page at its best first: the reader is looking at it.
    if (const auto large = WantedLarge()) {
        largePage_ = large->second;
        large_.reset();
        const std::shared_ptr<TFetch> fetch =
            Fetch(large->first, TFetch::TPurpose::Large, large->second);
        if (fetch->done)
            LargeArrived(*fetch);
        return true;
    }
    for (int32_t index : view_.WantedPages()) {
        if (index >= int32_t(pages_.size()))
            continue;
        TPageState& page = pages_[size_t(index)];
        page.used = ++useCounter_;
        if (FaceFits(page) || page.status == TPageState::TStatus::Fetching)
            continue;
        if (page.status == TPageState::TStatus::Broken) {
            MakeFace(index, nullptr); // remade at the new size, not fetched again
            return true;
        }
        page.status = TPageState::TStatus::Fetching;
        const std::shared_ptr<TFetch> fetch = Fetch(page.url, TFetch::TPurpose::Page, index);
        if (fetch->done)
            MakeFace(index, SUCCEEDED(fetch->result) ? &fetch->bytes : nullptr);
        return true;
    }
    return false;
}

void TPageTurnControl::MakeFace(int32_t index, const std::vector<uint8_t>* bytes) {
    TPageState& page = pages_[size_t(index)];
    std::unique_ptr<TPagePicture> picture;
    HRESULT problem = E_FAIL;
    if (bytes)
        picture = DecodePicture(*bytes, problem);
    if (picture && !shapeKnown_) {
        // Every page's place takes the proportions of the first picture that arrives (the
        // cover's, as the cover is wanted first).
        shapeKnown_ = true;
        view_.SetPageShape(picture->width, picture->height);
    }
    const TRect size = FaceSize();
    auto face = std::make_shared<TImage>();
    face->Resize(size.right, size.bottom, kPaper);
    if (picture) {
        page.status = TPageState::TStatus::Ready;
        const TRect fit = FitRect(picture->width, picture->height, size);
        DrawScaled(face->View(), size, {picture->bits, picture->width, picture->height},
                   {double(fit.left), double(fit.top), double(fit.right), double(fit.bottom)});
        FlattenOnto(*face, kPaper);
    } else {
        page.status = TPageState::TStatus::Broken;
        DrawBrokenPage(*face, page.name);
    }
    ShadeGutter(*face, index);
    page.face = std::move(face);
    page.sharp = true;
    RepaintPage(index);
    TrimFaces();
}

void TPageTurnControl::LargeArrived(const TFetch& fetch) {
    if (fetch.page != largePage_)
        return;
    HRESULT problem = E_FAIL;
    std::unique_ptr<TPagePicture> picture;
    if (SUCCEEDED(fetch.result))
        picture = DecodePicture(fetch.bytes, problem);
    if (!picture)
        return; // the page's face, enlarged, stays
    large_ = std::make_unique<TImage>(ToImage(*picture));
    FlattenOnto(*large_, kPaper);
    view_.Invalidate(view_.Layout().Area());
}

std::shared_ptr<TImage> TPageTurnControl::PaperFace(int32_t width, int32_t height) {
    if (!paper_ || paper_->width != width || paper_->height != height) {
        paper_ = std::make_shared<TImage>();
        paper_->Resize(width, height, kPaper);
    }
    return paper_;
}

void TPageTurnControl::TrimFaces() {
    // The wanted pages stay; of the others, those used longest ago go first.
    const std::vector<int32_t> wanted = view_.WantedPages();
    std::vector<TPageState*> kept;
    for (size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i].face && std::find(wanted.begin(), wanted.end(), int32_t(i)) == wanted.end())
            kept.push_back(&pages_[i]);
    const size_t faces = kept.size() + wanted.size();
    if (faces <= kMaxFaces)
        return;
    std::sort(kept.begin(), kept.end(),
              [](const TPageState* a, const TPageState* b) { return a->used < b->used; });
    for (size_t i = 0; i < std::min(kept.size(), faces - kMaxFaces); ++i)
        kept[i]->face.reset();
}
