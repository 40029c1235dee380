// The control's identity and lifetime, its class object, the movie it is given and its events.

#include "pageturn/pageturn_object_win.h"

#include "pages/page_list.h"

// {0D6E3A55-2B7C-4E1F-8A90-3C5D7E9F1B24}
const IID TPageTurnControl::kSelf = {
    0x0D6E3A55, 0x2B7C, 0x4E1F, {0x8A, 0x90, 0x3C, 0x5D, 0x7E, 0x9F, 0x1B, 0x24}};

IClassFactory* PageTurnClassObject() {
    static TControlFactory<TPageTurnControl> classObject;
    return &classObject;
}

TPageTurnControl::TPageTurnControl()
    : TWindowlessControl(CLSID_LeafturnPageTurn, kPageTurnStateMagic) {}

TPageTurnControl::~TPageTurnControl() {
    // Its window first: no message may reach a control that is going.
    timerWindow_.reset();
    for (const auto& [key, font] : fonts_)
        DeleteObject(font);
}

HRESULT TPageTurnControl::OpenMovie(int layer, BSTR url) {
    // Only the base movie names a book; other layers hold nothing it shows.
    if (layer != 0)
        return S_OK;
    movieUrl_ = BstrText(url);
    listUrl_.clear();
    message_.clear();
    pages_.clear();
    arrived_.clear();
    large_.reset();
    largePage_ = -1;
    shapeKnown_ = false;
    view_.SetPageCount(0);
    if (!movieUrl_.empty()) {
        // The book's pages are listed beside its movie, whatever the movie is.
        listUrl_ = ResolveRelative(movieUrl_, L"files/book.xml");
        std::shared_ptr<TFetch> list = Fetch(listUrl_, TFetch::TPurpose::PageList);
        // The list and the cover at once, when they come at once: the first picture the host
        // paints is then the book's, not a placeholder. The rest loads later.
        if (list->done) {
            Arrived(*list);
            LoadWantedPage();
        }
    }
    Settle();
    return S_OK;
}
