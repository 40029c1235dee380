#pragma once
// The page-turning control's object: every interface the host uses, its two connection points,
// the book it shows and the pictures of its pages.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <ocidl.h>
#include <olectl.h>
#include <urlmon.h>
#include <windows.h>

#include "base/com_object_win.h"
#include "base/com_win.h"
#include "base/sink_table_win.h"
#include "pages/player_properties_win.h"
#include "pageturn/book_view.h"
#include "pageturn/pageturn_control_win.h"
#include "pageturn/raster.h"
#include "qel/host/qel_bitmap_win.h"
#include "qel/host/shockwave_flash.h"
#include "ui/hidden_window_win.h"

class TPageTurnControl;

class TPageTurnPoint final : public TComPart<TPageTurnPoint, IConnectionPoint> {
public:
    TPageTurnPoint(TPageTurnControl& owner, const IID& iid);

    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IConnectionPoint>(IID_IConnectionPoint)};
        return faces;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

    // A copy, so that a sink may disconnect while it is being called.
    std::vector<ComPtr<IUnknown>> Sinks() const { return sinks_.Sinks(); }
    void DisconnectAll() { sinks_.Clear(); }

private:
    const IID iid_;
    TSinkTable sinks_;
};

// One file asked of the host.
struct TFetch {
    enum class TPurpose { PageList, Movie, Page, Large };
    std::wstring url;
    TPurpose purpose = TPurpose::Page;
    int32_t page = -1;
    bool done = false;
    HRESULT result = S_OK;
    std::vector<uint8_t> bytes;
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

class TPageTurnControl final
    : public TComObject<TPageTurnControl, IOleObject, IPersistStreamInit, IOleControl,
                        IShockwaveFlash, IConnectionPointContainer, IOleInPlaceObjectWindowless,
                        IOleInPlaceActiveObject, IViewObject> {
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

    static const auto& Faces() { return PlayerControlFaces<TPageTurnControl>(); }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation,
                                           DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index,
                                     HWND parent, LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispid) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // IDispatch (the player interface's)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // IShockwaveFlash: the three methods the host calls; the other slots decline.
    HRESULT STDMETHODCALLTYPE FlashVersion(long* version) override;
    HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) override;
    HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) override;
#define PAGETURN_UNUSED_SLOT(n)                                                                    \
    HRESULT STDMETHODCALLTYPE UnusedSlot##n() override {                                           \
        return E_NOTIMPL;                                                                          \
    }
    PAGETURN_UNUSED_SLOT(7)
    PAGETURN_UNUSED_SLOT(8)
    PAGETURN_UNUSED_SLOT(9)
    PAGETURN_UNUSED_SLOT(10)
    PAGETURN_UNUSED_SLOT(11)
    PAGETURN_UNUSED_SLOT(12)
    PAGETURN_UNUSED_SLOT(13)
    PAGETURN_UNUSED_SLOT(14)
    PAGETURN_UNUSED_SLOT(15)
    PAGETURN_UNUSED_SLOT(16)
    PAGETURN_UNUSED_SLOT(17)
    PAGETURN_UNUSED_SLOT(18)
    PAGETURN_UNUSED_SLOT(19)
    PAGETURN_UNUSED_SLOT(20)
    PAGETURN_UNUSED_SLOT(21)
    PAGETURN_UNUSED_SLOT(22)
    PAGETURN_UNUSED_SLOT(23)
    PAGETURN_UNUSED_SLOT(24)
    PAGETURN_UNUSED_SLOT(25)
    PAGETURN_UNUSED_SLOT(26)
    PAGETURN_UNUSED_SLOT(27)
    PAGETURN_UNUSED_SLOT(28)
    PAGETURN_UNUSED_SLOT(29)
    PAGETURN_UNUSED_SLOT(30)
    PAGETURN_UNUSED_SLOT(31)
    PAGETURN_UNUSED_SLOT(32)
    PAGETURN_UNUSED_SLOT(33)
    PAGETURN_UNUSED_SLOT(34)
    PAGETURN_UNUSED_SLOT(35)
    PAGETURN_UNUSED_SLOT(36)
    PAGETURN_UNUSED_SLOT(37)
    PAGETURN_UNUSED_SLOT(38)
    PAGETURN_UNUSED_SLOT(40)
    PAGETURN_UNUSED_SLOT(41)
    PAGETURN_UNUSED_SLOT(42)
    PAGETURN_UNUSED_SLOT(43)
    PAGETURN_UNUSED_SLOT(44)
    PAGETURN_UNUSED_SLOT(45)
    PAGETURN_UNUSED_SLOT(46)
    PAGETURN_UNUSED_SLOT(47)
    PAGETURN_UNUSED_SLOT(48)
    PAGETURN_UNUSED_SLOT(49)
    PAGETURN_UNUSED_SLOT(50)
    PAGETURN_UNUSED_SLOT(51)
    PAGETURN_UNUSED_SLOT(52)
    PAGETURN_UNUSED_SLOT(53)
    PAGETURN_UNUSED_SLOT(54)
    PAGETURN_UNUSED_SLOT(55)
    PAGETURN_UNUSED_SLOT(56)
    PAGETURN_UNUSED_SLOT(57)
    PAGETURN_UNUSED_SLOT(59)
    PAGETURN_UNUSED_SLOT(60)
    PAGETURN_UNUSED_SLOT(61)
    PAGETURN_UNUSED_SLOT(62)
    PAGETURN_UNUSED_SLOT(63)
    PAGETURN_UNUSED_SLOT(64)
#undef PAGETURN_UNUSED_SLOT

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject, IOleInPlaceObjectWindowless
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                              LRESULT* result) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** target) override;

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // IViewObject
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectData,
                                   DVTARGETDEVICE* target, HDC targetDc, HDC dc, LPCRECTL bounds,
                                   LPCRECTL windowBounds,
                                   BOOL(STDMETHODCALLTYPE* proceed)(ULONG_PTR),
                                   ULONG_PTR proceedData) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectData,
                                          DVTARGETDEVICE* target, HDC targetDc,
                                          LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectData,
                                     DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;

    // A delivery ended (the binding callback's OnStopBinding).
    void FetchDone(const std::shared_ptr<TFetch>& fetch);

private:
    // Activation and input (pageturn_inplace_win.cpp).
    HRESULT ActivateInPlace(IOleClientSite* site, LPCRECT position, bool uiActivate);
    void Deactivate();
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

    // Events (pageturn_object_win.cpp).
    void FireEvent(DISPID dispid, std::vector<VARIANT> args);
    void FireFullScreen(bool on);

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

    // Object state.
    ComPtr<IOleClientSite> site_;
    SIZEL extent_;
    bool initialized_ = false;
    bool dirty_ = false;
    TPlayerProperties properties_;
    std::map<std::wstring, std::wstring> variables_;
    int freezeCount_ = 0;
    TPageTurnPoint propertyPoint_;
    TPageTurnPoint eventPoint_;

    // In place.
    ComPtr<IOleInPlaceSiteWindowless> windowless_;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    RECT position_{};
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
