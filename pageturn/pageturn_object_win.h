#pragma once
// The page-turning control's object: the windowless control's skeleton with the book it shows
// and the pictures of its pages.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "pages/windowless_control_win.h"
#include "pageturn/book_view.h"
#include "pageturn/pageturn_control_win.h"
#include "pageturn/raster.h"
#include "qel/host/qel_bitmap_win.h"
#include "ui/hidden_window_win.h"

// One file asked of the host.
struct TFetch {
    enum class TPurpose { PageList, Movie, Page, Large };
    std::wstring url;
    TPurpose purpose = TPurpose::Page;
    int32_t page = -1;
    bool done = false;
    HRESULT result = S_OK;
    std::vector<uint8_t> bytes;
    bool tooLarge = false; // more than a book's file can be: refused
};

// What the control knows of one page of the book.
struct TPageState {
    std::wstring url, largeUrl;
    std::wstring name; // shown on a page that cannot be shown
    enum class TStatus { Waiting, Fetching, Ready, Broken } status = TStatus::Waiting;
    // The face: the page as drawn in its place, at the size of the place it was made for.
    std::shared_ptr<TImage> face;
    bool sharp = false; // false: scaled from a face of another size, to be made anew
    uint64_t used = 0;  // when it was last wanted, for the cache
};

class TPageTurnControl final : public TWindowlessControl<TPageTurnControl> {
public:
    TPageTurnControl();
    ~TPageTurnControl();
    TPageTurnControl(const TPageTurnControl&) = delete;
    TPageTurnControl& operator=(const TPageTurnControl&) = delete;

    // Asked for by tests and benchmarks to reach the object itself.
    static const IID kSelf;
    // The control behind an object, or null when it is none (for tests and benchmarks).
    static TPageTurnControl* Of(IUnknown* object) { return ComObjectOf<TPageTurnControl>(object); }
    const TBookView& View() const { return view_; }
    // Seconds, for the animations; the system's steady clock unless replaced.
    void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }
    // What the timer does: animations advanced, repaints asked for.
    void Tick();
    // Draws everything anew and asks the host to show it (as after a change of every page).
    void RedrawAll();
    // Runs the work the message loop would run next (a delivery to act on, a page to load);
    // false when there is none.
    bool RunPendingWork();
    const std::vector<TPageState>& Pages() const { return pages_; }
    // The text shown instead of a book, or empty.
    const std::wstring& Message() const { return message_; }
    // Faces kept at most (the cache's bound).
    static constexpr size_t kMaxFaces = 12;

    // A delivery ended (the binding callback's OnStopBinding).
    void BindingStopped(const std::shared_ptr<TFetch>& fetch, HRESULT result);

private:
    friend class TWindowlessControl<TPageTurnControl>;

    // What the skeleton leaves to the control.
    HRESULT OpenMovie(int layer, BSTR url);
    HRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    HRESULT DrawIn(HDC dc, LPCRECTL bounds);
    void Activated(IOleInPlaceFrame*, IOleInPlaceUIWindow*);
    void Deactivated();
    void Placed();

    // Activation and input (pageturn_inplace_win.cpp).
    bool HandleInput(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> HandleTimerWindow(UINT message, WPARAM wParam, LPARAM lParam);
    double Now() const;
    // After any change: script commands sent, repaints asked for (or only noted, for the
    // host's next paint), the timer set, loading started.
    void Settle(bool repaint = true);
    void ScheduleWork();
    // Whether a wanted page still lacks its face (or the zoomed page its large picture).
    bool WantsWork() const;
    void SetCursorFor(int32_t x, int32_t y);

    // Loading (pageturn_loading_win.cpp).
    std::shared_ptr<TFetch> Fetch(std::wstring url, TFetch::TPurpose purpose, int32_t page = -1);
    void Arrived(const TFetch& fetch);
    void PageListArrived(const TFetch& fetch);
    void ShowMessageFor(const TFetch& movie);
    void LargeArrived(const TFetch& fetch);
    void FireReady();
    // The zoomed page's picture to fetch at full size, when it is not there yet.
    std::optional<std::pair<std::wstring, int32_t>> WantedLarge() const;
    // Loads the most wanted page that has no face at the current size; false when none lacks one.
    bool LoadWantedPage();
    // Makes the page's face from its file's bytes; without them (or when they do not decode) the
    // face says the page cannot be shown.
    void MakeFace(int32_t page, const std::vector<uint8_t>* bytes);
    bool FaceFits(const TPageState& page) const;
    TRect FaceSize() const;
    std::shared_ptr<TImage> PaperFace(int32_t width, int32_t height);
    void TrimFaces();

    // Drawing (pageturn_view_win.cpp).
    void Compose(const TRect& clip);
    void ComposeBook(const TPixelBuffer& target, const TRect& clip);
    // A spread at rest: background, the book's shadow, its pages.
    // Its pages are not copied where the holes cover pixels whole (something else goes there).
    void ComposeSpread(const TPixelBuffer& target, const TRect& clip, int32_t spread,
                       const std::vector<TPolygon>& holes = {});
    void ComposeTurn(const TPixelBuffer& target, const TRect& clip, const TTurnView& turn);
    void ComposeZoom(const TPixelBuffer& target, const TRect& clip, const TZoomView& zoom);
    void ComposeBar(const TPixelBuffer& target, const TRect& clip);
    void DrawBrokenPage(TImage& face, const std::wstring& name);
    void ShadeGutter(TImage& face, int32_t page) const;
    void DrawTextIn(const TPixelBuffer& target, const TRect& clip, const TRect& rect,
                    const std::wstring& text, int32_t height, uint32_t color, UINT format,
                    bool bold = false, double opacity = 1);
    // The page's face for a place of that size (blank paper while it loads).
    TSourcePixels FaceOf(int32_t page, const TRect& slot);
    void MarkStale(const TRect& r);
    // Asks the host to repaint r (the host draws inside the call).
    void Repaint(const TRect& r);
    void RepaintPage(int32_t page);

    // In place.
    std::unique_ptr<THiddenWindow> timerWindow_;
    bool timerRunning_ = false;
    bool workPosted_ = false;
    std::function<double()> clock_;
    POINT lastMouse_{};

    // The book.
    std::wstring movieUrl_;
    std::wstring listUrl_;
    std::wstring message_;
    std::vector<TPageState> pages_;
    std::vector<std::shared_ptr<TFetch>> arrived_; // deliveries not yet acted on
    TBookView view_;
    uint64_t useCounter_ = 0;
    bool shapeKnown_ = false;
    std::shared_ptr<TImage> paper_;
    // The zoomed page's large picture, decoded, while that page is zoomed.
    int32_t largePage_ = -1;
    std::unique_ptr<TImage> large_;

    // The picture: composed here and copied to the host's device context in Draw.
    TqelBitmap frame_;
    TRect stale_{};      // the part of frame_ that no longer shows the book as it is
    bool drawn_ = false; // the host has drawn the control: changes are to be repainted
    TqelBitmap scratch_; // where text is drawn before it is blended into the picture
    std::map<int32_t, HFONT> fonts_;
    int fetching_ = 0; // inside Fetch: deliveries are acted on by its caller
};
