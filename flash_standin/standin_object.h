#pragma once
// The stand-in player control: one COM object with every interface the host uses, its two
// connection points as sub-objects, and the binding callbacks of its file requests.

#include <atomic>
#include <deque>
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
#include "base/handles_win.h"
#include "base/sink_table_win.h"
#include "base/text_win.h"
#include "flash_standin/scene.h"
#include "flash_standin/standin_control.h"
#include "flash_standin/standin_log.h"
#include "pages/picture_win.h"
#include "pages/windowless_control_win.h"
#include "qel/host/shockwave_flash.h"

// The module's count of live objects and locks (standin_server.cpp).
void StandinModuleLock();
void StandinModuleUnlock();

// The faults LEAFTURN_STANDIN_FAIL names: call name and the code it answers with.
std::map<std::wstring, HRESULT> FaultsOfEnvironment();

class TStandinControl;

class TConnectionPoint final : public TComPart<TConnectionPoint, IConnectionPoint> {
public:
    TConnectionPoint(TStandinControl& owner, const IID& iid);

    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IConnectionPoint>(IID_IConnectionPoint)};
        return faces;
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

    // The connected sinks, each already the point's interface; a copy, so that a sink may
    // disconnect while it is being called.
    std::vector<ComPtr<IUnknown>> Sinks() const { return sinks_.Sinks(); }
    void DisconnectAll() { sinks_.Clear(); }

private:
    TStandinControl& owner_;
    const IID iid_;
    TSinkTable sinks_;
};

// One file request of the control and what became of it.
struct TRequest {
    enum class TPurpose { Movie, Skin, Video, PageList, Page, File };
    enum class TState { Pending, Received, Failed, Declined };

    std::wstring url;
    TPurpose purpose = TPurpose::File;
    int32_t layer = 0; // Movie: the layer it is loaded into
    int32_t page = 0;  // Page: its index in the page list
    TState state = TState::Pending;
    HRESULT failure = S_OK;
    std::vector<uint8_t> bytes;
    bool tooLarge = false;
};

// The scene loaded into layer 0.
struct TSceneState {
    TScene scene;
    std::wstring movieUrl;
    std::wstring pageListUrl;
    std::vector<std::wstring> pages; // resolved page URLs
    bool pageListArrived = false;
    int32_t current = 0;
    bool fullscreen = false;
    std::shared_ptr<TRequest> pageRequest; // of the current page
    std::unique_ptr<TPagePicture> picture; // of the current page, once decoded
    std::wstring problem;                  // why the current page shows no picture
};

class TStandinControl final
    : public TComObject<TStandinControl, IOleObject, IPersistStreamInit, IOleControl,
                        IShockwaveFlash, IConnectionPointContainer, IOleInPlaceObjectWindowless,
                        IOleInPlaceActiveObject, IViewObject, IStandinControl> {
public:
    TStandinControl();
    ~TStandinControl();
    TStandinControl(const TStandinControl&) = delete;
    TStandinControl& operator=(const TStandinControl&) = delete;

    static const auto& Faces() { return PlayerControlFaces<TStandinControl>(); }
    // The table's answer, logged and subject to the faults asked for.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

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

    // IDispatch (the dual player interface's)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // IShockwaveFlash: three methods for real, the other slots decline.
    HRESULT STDMETHODCALLTYPE FlashVersion(long* version) override;
    HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) override;
    HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) override;
#define STANDIN_UNUSED_SLOT(n) HRESULT STDMETHODCALLTYPE UnusedSlot##n() override
    STANDIN_UNUSED_SLOT(7);
    STANDIN_UNUSED_SLOT(8);
    STANDIN_UNUSED_SLOT(9);
    STANDIN_UNUSED_SLOT(10);
    STANDIN_UNUSED_SLOT(11);
    STANDIN_UNUSED_SLOT(12);
    STANDIN_UNUSED_SLOT(13);
    STANDIN_UNUSED_SLOT(14);
    STANDIN_UNUSED_SLOT(15);
    STANDIN_UNUSED_SLOT(16);
    STANDIN_UNUSED_SLOT(17);
    STANDIN_UNUSED_SLOT(18);
    STANDIN_UNUSED_SLOT(19);
    STANDIN_UNUSED_SLOT(20);
    STANDIN_UNUSED_SLOT(21);
    STANDIN_UNUSED_SLOT(22);
    STANDIN_UNUSED_SLOT(23);
    STANDIN_UNUSED_SLOT(24);
    STANDIN_UNUSED_SLOT(25);
    STANDIN_UNUSED_SLOT(26);
    STANDIN_UNUSED_SLOT(27);
    STANDIN_UNUSED_SLOT(28);
    STANDIN_UNUSED_SLOT(29);
    STANDIN_UNUSED_SLOT(30);
    STANDIN_UNUSED_SLOT(31);
    STANDIN_UNUSED_SLOT(32);
    STANDIN_UNUSED_SLOT(33);
    STANDIN_UNUSED_SLOT(34);
    STANDIN_UNUSED_SLOT(35);
    STANDIN_UNUSED_SLOT(36);
    STANDIN_UNUSED_SLOT(37);
    STANDIN_UNUSED_SLOT(38);
    STANDIN_UNUSED_SLOT(40);
    STANDIN_UNUSED_SLOT(41);
    STANDIN_UNUSED_SLOT(42);
    STANDIN_UNUSED_SLOT(43);
    STANDIN_UNUSED_SLOT(44);
    STANDIN_UNUSED_SLOT(45);
    STANDIN_UNUSED_SLOT(46);
    STANDIN_UNUSED_SLOT(47);
    STANDIN_UNUSED_SLOT(48);
    STANDIN_UNUSED_SLOT(49);
    STANDIN_UNUSED_SLOT(50);
    STANDIN_UNUSED_SLOT(51);
    STANDIN_UNUSED_SLOT(52);
    STANDIN_UNUSED_SLOT(53);
    STANDIN_UNUSED_SLOT(54);
    STANDIN_UNUSED_SLOT(55);
    STANDIN_UNUSED_SLOT(56);
    STANDIN_UNUSED_SLOT(57);
    STANDIN_UNUSED_SLOT(59);
    STANDIN_UNUSED_SLOT(60);
    STANDIN_UNUSED_SLOT(61);
    STANDIN_UNUSED_SLOT(62);
    STANDIN_UNUSED_SLOT(63);
    STANDIN_UNUSED_SLOT(64);
#undef STANDIN_UNUSED_SLOT

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IOleWindow (shared by the in-place object and the active object)
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

    // IStandinControl
    HRESULT STDMETHODCALLTYPE SetFlashVersion(LONG version) override;
    HRESULT STDMETHODCALLTYPE RaiseEvent(DISPID dispid, ULONG count, const VARIANT* args) override;
    HRESULT STDMETHODCALLTYPE NotifyChanged(DISPID dispid) override;
    HRESULT STDMETHODCALLTYPE Invalidate(const RECT* rect) override;
    HRESULT STDMETHODCALLTYPE InvalidateRegion(const RECT* rect) override;
    HRESULT STDMETHODCALLTYPE Act(const TStandinAction* action) override;
    HRESULT STDMETHODCALLTYPE ActDuring(LPCWSTR call, LONG times,
                                        const TStandinAction* action) override;
    HRESULT STDMETHODCALLTYPE RequestCapture(BOOL capture) override;
    HRESULT STDMETHODCALLTYPE QueryCapture() override;
    HRESULT STDMETHODCALLTYPE RequestFocus(BOOL focus) override;
    HRESULT STDMETHODCALLTYPE QueryFocus() override;
    HRESULT STDMETHODCALLTYPE RequestWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE RequestFile(LPCWSTR url) override;
    HRESULT STDMETHODCALLTYPE GetReceived(LPCWSTR url, BSTR* bytes) override;
    HRESULT STDMETHODCALLTYPE GetLog(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE ClearLog() override;
    HRESULT STDMETHODCALLTYPE GetProperty(DISPID dispid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetVariable(LPCWSTR name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE FailProperty(DISPID dispid, HRESULT code,
                                           LPCWSTR description) override;
    HRESULT STDMETHODCALLTYPE FailCall(LPCWSTR name, HRESULT code) override;
    HRESULT STDMETHODCALLTYPE GetScene(LONG* page, LONG* pageCount, BOOL* fullscreen) override;
    HRESULT STDMETHODCALLTYPE SetFrameOnly(BOOL frameOnly) override;

    // Used by the sub-objects and binding callbacks.

    // Runs one call into the stand-in at the COM boundary: the call fault set for name, if any,
    // takes its place; the actions asked for during it run before and after body; exceptions
    // become failure codes; the work queued meanwhile runs when the outermost call ends; the
    // call's line is logged last. args gives the argument text, body the result and may append
    // output text.
    template <typename Args, typename Body>
    HRESULT Call(const wchar_t* name, Args&& args, Body&& body) noexcept;
    // The same for a private-interface call: not logged, no faults.
    template <typename Body> HRESULT Private(Body&& body) noexcept;

    // Logs a call the stand-in made to peer (site, bindhost, moniker, event, notify, api) and
    // returns its result.
    HRESULT Out(const wchar_t* name, std::wstring_view args, HRESULT result,
                std::wstring_view outputs = {});
    void Note(std::wstring_view text) {
        log_.Add(LogText::Note(text));
    }
    // Runs once the outermost call into the stand-in is about to return.
    void Later(std::function<void()> work) {
        work_.push_back(std::move(work));
    }
    // A delivery finished (the request's state says how).
    void RequestDone(const std::shared_ptr<TRequest>& request);

private:
    // The actions asked for during one call, and how deep that call is nested in itself now.
    struct TKeptAction;
    struct TCallActions {
        std::vector<std::shared_ptr<TKeptAction>> actions;
        int depth = 0;
    };

    HRESULT FaultFor(const std::wstring& name) const;
    void RunLater() noexcept;

    // Actions (standin_actions.cpp).
    // The actions asked for during calls of name, or null when there are none.
    TCallActions* ActionsDuring(const wchar_t* name);
    // Runs the due actions of one phase of a call; nothing escapes.
    void RunActions(const wchar_t* name, TCallActions* actions, bool before) noexcept;
    HRESULT Perform(const TKeptAction& action);

    // Properties and stored state (standin_properties.cpp).
    void ResetProperties();
    HRESULT InvokeProperty(DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError, std::wstring& outputs);
    std::vector<uint8_t> SavedState() const;
    HRESULT LoadState(IStream* stream);

    // Activation (standin_inplace.cpp).
    HRESULT ActivateInPlace(IOleClientSite* site, LPCRECT position, bool uiActivate);
    void Deactivate();
    void ReadAmbient(DISPID dispid);
    void HandleSceneInput(UINT message, WPARAM wParam, LPARAM lParam);

    // Pictures (standin_view.cpp).
    // The current picture over what dc holds, leaving the DC's state as it was.
    void DrawPicture(HDC dc, const RECT& area) const;
    void DrawPlaceholder(HDC dc, const RECT& area) const;
    std::vector<std::wstring> PlaceholderLines() const;
    // The picture changed: when the outermost call into the stand-in ends, the windowless site is
    // asked once to repaint everything.
    void PictureChanged();

    // Loading (standin_loading.cpp).
    // Fetches url through the host; S_OK bound, S_FALSE declined, else the bind's failure.
    HRESULT Fetch(const std::shared_ptr<TRequest>& request);
    std::shared_ptr<TRequest> NewRequest(std::wstring url, TRequest::TPurpose purpose);
    void MovieArrived(const TRequest& request);
    void StartPlayback();
    void PageListArrived(const TRequest& request);
    void ShowPage(int32_t page);
    void PageArrived(const TRequest& request);

    // Events (standin_events.cpp).
    HRESULT FireEvent(DISPID dispid, ULONG count, const VARIANT* args);

    TStandinLog log_;
    int depth_ = 0;
    std::deque<std::function<void()>> work_;
    bool pictureChanged_ = false;
    std::map<std::wstring, HRESULT> callFaults_;
    std::map<std::wstring, TCallActions> actions_; // entries stay once made: calls point at them
    std::map<DISPID, std::pair<HRESULT, std::wstring>> propertyFaults_;

    // Object state.
    ComPtr<IOleClientSite> site_;
    ComPtr<IDispatch> ambient_;
    SIZEL extent_;
    bool initialized_ = false;
    bool dirty_ = false;
    LONG version_ = kStandinDefaultVersion;
    TPlayerProperties properties_;
    std::map<std::wstring, std::wstring> variables_;
    int freezeCount_ = 0;

    TConnectionPoint propertyPoint_;
    TConnectionPoint eventPoint_;

    // In-place state.
    ComPtr<IOleInPlaceSiteWindowless> windowless_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> document_;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    RECT position_{};
    RECT clip_{};

    // Drawing.
    bool frameOnly_ = false; // the placeholder without its veil and text

    // Loading.
    std::deque<std::shared_ptr<TRequest>> requests_; // the latest, for the placeholder
    std::map<int32_t, std::shared_ptr<TRequest>> layers_;
    std::map<std::wstring, std::vector<uint8_t>> received_;
    int32_t playbackLayer_ = -1; // the layer the playback movie arrived in
    bool playbackStarted_ = false;
    std::optional<TSceneState> scene_;
};

template <typename Args, typename Body>
HRESULT TStandinControl::Call(const wchar_t* name, Args&& args, Body&& body) noexcept {
    struct TDepth {
        int& depth;
        explicit TDepth(int& d) : depth(d) { ++depth; }
        ~TDepth() { --depth; }
    };
    // A host may let go of the object inside the call; it lives until its line is written.
    const ComPtr<IOleObject> keep(this);
    try {
        const std::wstring text = args();
        HRESULT result = FaultFor(name);
        std::wstring outputs;
        {
            TDepth depth(depth_);
            if (result == S_OK) {
                TCallActions* actions = ActionsDuring(name);
                if (actions)
                    ++actions->depth;
                try {
                    RunActions(name, actions, true);
                    result = body(outputs);
                    RunActions(name, actions, false);
                } catch (const std::bad_alloc&) {
                    result = E_OUTOFMEMORY;
                } catch (...) {
                    result = E_FAIL;
                }
                if (actions)
                    --actions->depth;
            }
            if (depth_ == 1)
                RunLater();
        }
        log_.Add(LogText::Call(name, text, result, outputs));
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

template <typename Body> HRESULT TStandinControl::Private(Body&& body) noexcept {
    const ComPtr<IOleObject> keep(this);
    ++depth_;
    HRESULT result;
    try {
        result = body();
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    } catch (...) {
        result = E_FAIL;
    }
    if (depth_ == 1)
        RunLater();
    --depth_;
    return result;
}
