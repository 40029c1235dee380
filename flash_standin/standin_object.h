#pragma once
// The stand-in player control: the windowless control's skeleton with a record of every call in
// and out, the faults and actions a test asks for, the movies and scenes it loads and what it
// draws.

#include <concepts>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <windows.h>

#include "base/text_win.h"
#include "flash_standin/scene.h"
#include "flash_standin/standin_control.h"
#include "flash_standin/standin_log.h"
#include "pages/picture_win.h"
#include "pages/windowless_control_win.h"

// The module's count of live objects and locks (standin_server.cpp).
void StandinModuleLock();
void StandinModuleUnlock();

// The faults LEAFTURN_STANDIN_FAIL names: call name and the code it answers with.
std::map<std::wstring, HRESULT> FaultsOfEnvironment();

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

class TStandinControl final : public TWindowlessControl<TStandinControl, IStandinControl> {
public:
    TStandinControl();
    ~TStandinControl();
    TStandinControl(const TStandinControl&) = delete;
    TStandinControl& operator=(const TStandinControl&) = delete;

    // The table's answer, logged and subject to the faults asked for.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

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

    // What the skeleton asks of the control.

    // Every call it passes is one of the stand-in's logged calls (Call below), described in the
    // log's words.
    template <typename Args, typename Body>
    HRESULT Boundary(const wchar_t* name, const Args& args, Body&& body) noexcept {
        return Call(
            name, [&] { return args(LogText()); },
            [&](std::wstring& outputs) {
                return body([&](const auto& describe) { outputs = describe(LogText()); });
            });
    }
    template <typename Args, typename... Outputs>
    HRESULT Peer(const wchar_t* name, const Args& args, HRESULT result, const Outputs&... outputs) {
        return Out(name, Text(args), result, Text(outputs)...);
    }
    template <std::invocable<LogText> Describer> void Note(const Describer& describe) {
        Note(describe(LogText()));
    }
    static void LockModule(bool lock);
    static std::optional<HRESULT> CreationFault();
    void BindingStopped(const std::shared_ptr<TRequest>& request, HRESULT result);

    // Used by the actions and the binding callbacks.

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
    void Note(std::wstring_view text) { log_.Add(LogText::Note(text)); }
    // Runs once the outermost call into the stand-in is about to return.
    void Later(std::function<void()> work) { work_.push_back(std::move(work)); }
    // A delivery finished (the request's state says how).
    void RequestDone(const std::shared_ptr<TRequest>& request);

private:
    friend class TWindowlessControl<TStandinControl, IStandinControl>;

    // A text as it stands, or what a describer says of it.
    template <typename T> static std::wstring Text(const T& text) {
        if constexpr (std::is_invocable_v<const T&, LogText>)
            return text(LogText());
        else
            return std::wstring(text);
    }

    // What the skeleton leaves to the control.
    void SiteChanged(IOleClientSite* site);
    void AmbientChanged(DISPID dispid);
    void Activated(IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document);
    void Deactivated();
    HRESULT OpenMovie(int layer, BSTR url);
    HRESULT VariableSet(const std::wstring& name, const std::wstring& value);
    HRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    HRESULT DrawIn(HDC dc, LPCRECTL bounds);
    // The failure FailProperty set for dispid, or S_OK.
    template <typename Output>
    HRESULT PropertyFault(DISPID dispid, EXCEPINFO* exception, const Output& out);

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

    // Activation (standin_inplace.cpp).
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

    TStandinLog log_;
    int depth_ = 0;
    std::deque<std::function<void()>> work_;
    bool pictureChanged_ = false;
    std::map<std::wstring, HRESULT> callFaults_;
    std::map<std::wstring, TCallActions> actions_; // entries stay once made: calls point at them

    // Object state.
    ComPtr<IDispatch> ambient_;
    std::map<DISPID, std::pair<HRESULT, std::wstring>> propertyFaults_;

    // In place.
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> document_;

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

template <typename Output>
HRESULT TStandinControl::PropertyFault(DISPID dispid, EXCEPINFO* exception, const Output& out) {
    const auto fault = propertyFaults_.find(dispid);
    if (fault == propertyFaults_.end())
        return S_OK;
    const HRESULT code = fault->second.first;
    const std::wstring& description = fault->second.second;
    out([&](const auto& t) { return t.Result(code) + L" " + t.Quoted(description); });
    if (!exception)
        return code;
    *exception = EXCEPINFO{};
    exception->bstrSource = SysAllocString(L"Leafturn stand-in");
    exception->bstrDescription = SysAllocString(description.c_str());
    exception->scode = code;
    return DISP_E_EXCEPTION;
}
