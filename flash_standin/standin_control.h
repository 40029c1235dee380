#pragma once
// The stand-in player control's private test interface, and the constants of what it draws.
// None of this belongs to the hosted control's contract: a test asks the control object for
// IStandinControl to drive the stand-in and to read what it recorded (flash_standin/README.md).
// The interface lives in the caller's apartment and is never marshalled; strings passed in are
// plain wide strings, strings passed out are BSTRs the caller frees.

#include <ocidl.h>
#include <windows.h>

// {3FDD010E-9928-4DB1-AA15-5E05C40E16CF}
inline constexpr IID IID_IStandinControl = {
    0x3FDD010E, 0x9928, 0x4DB1, {0xAA, 0x15, 0x5E, 0x05, 0xC4, 0x0E, 0x16, 0xCF}};

// What FlashVersion reports until a test sets another value: 10.0.
inline constexpr LONG kStandinDefaultVersion = 0x000A0000;

// The picture for anything that is not a scene: a solid frame along the edges of the drawing
// rectangle and, inside it, a white veil blended over what the device context already held;
// text only in the upper half of the area inside the frame.
namespace StandinPicture {
constexpr int kFrameWidth = 4;
constexpr COLORREF kFrameColor = RGB(0x1E, 0x5A, 0xB4);
constexpr COLORREF kVeilColor = RGB(0xFF, 0xFF, 0xFF);
constexpr BYTE kVeilAlpha = 128; // result = (veil * alpha + old * (255 - alpha)) / 255, +-1
constexpr COLORREF kTextColor = RGB(0, 0, 0);
} // namespace StandinPicture

// A call nested this deep inside calls of the same name runs none of the actions asked for it.
inline constexpr int kStandinActionDepthLimit = 8;

// A call the stand-in makes into its host when a test asks: at once (IStandinControl::Act) or
// during a call the host makes into the stand-in (ActDuring). Each is logged as a call of the
// stand-in's own, with the host's answer.
enum TStandinActionKind : LONG {
    // Invoke(dispid, DISPATCH_METHOD) on every event sink with count args, first argument first.
    kActRaiseEvent = 1,
    // The windowless site's InvalidateRect(rect or null, FALSE), InvalidateRgn(a region of rect
    // or null, FALSE), ScrollRect(dx, dy, rect, clip), AdjustRect(a copy of rect) and
    // OnDefWindowMessage(message, wParam, lParam).
    kActInvalidateRect,
    kActInvalidateRgn,
    kActScrollRect,
    kActAdjustRect,
    kActDefWindowMessage,
    // The windowless site's GetDC(rect, flags); the picture is drawn through the context at the
    // in-place rectangle, and ReleaseDC gives it back.
    kActGetDC,
    // The in-place site's OnPosRectChange(rect).
    kActPosRectChange,
    // The in-place frame's SetActiveObject(the control's active object, or null when flags is
    // 1, name null).
    kActSetActiveObject,
    // The client site's RequestNewObjectLayout().
    kActRequestNewObjectLayout,
};

// One action; members a kind does not name are ignored. Zero-initialise and fill in.
struct TStandinAction {
    LONG kind;
    DISPID dispid;
    ULONG count;
    const VARIANT* args; // copied when the action is kept
    const RECT* rect;    // null: none
    const RECT* clip;
    LONG dx, dy;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD flags;
    // ActDuring: before the call's own work rather than after it.
    BOOL before;
};

struct IStandinControl : public IUnknown {
    // The value FlashVersion reports from now on.
    virtual HRESULT STDMETHODCALLTYPE SetFlashVersion(LONG version) = 0;

    // Raises an event on every sink connected to the event connection point: Invoke(dispid,
    // DISPATCH_METHOD) with the count arguments, given here first argument first (the sink gets
    // them last first, as dispatch calls carry them). S_FALSE when no sink got it.
    virtual HRESULT STDMETHODCALLTYPE RaiseEvent(DISPID dispid, ULONG count,
                                                 const VARIANT* args) = 0;
    // IPropertyNotifySink::OnChanged(dispid) on every connected property sink.
    virtual HRESULT STDMETHODCALLTYPE NotifyChanged(DISPID dispid) = 0;

    // The windowless site's InvalidateRect(rect, FALSE); rect null: the whole object. Returns the
    // site's answer, E_UNEXPECTED while not in place active.
    virtual HRESULT STDMETHODCALLTYPE Invalidate(const RECT* rect) = 0;
    // The windowless site's InvalidateRgn(a region of rect or null, FALSE).
    virtual HRESULT STDMETHODCALLTYPE InvalidateRegion(const RECT* rect) = 0;

    // Makes the call action names now and returns the host's answer; E_UNEXPECTED when the peer
    // it needs is missing (the in-place interfaces while not in place active), E_INVALIDARG for
    // an unknown kind.
    virtual HRESULT STDMETHODCALLTYPE Act(const TStandinAction* action) = 0;
    // From now on, during each of the next `times` calls (-1: every one) logged under call (as
    // FailCall names them: L"Close", L"Draw", L"SetObjectRects", ...; QueryInterface has no
    // actions), the stand-in makes
    // action's call after the call's own work (before it, with action->before). Actions of one
    // call run in the order they were given. A null action forgets every action of call.
    virtual HRESULT STDMETHODCALLTYPE ActDuring(LPCWSTR call, LONG times,
                                                const TStandinAction* action) = 0;

    // The windowless site's SetCapture, GetCapture, SetFocus, GetFocus; each returns the site's
    // answer (E_UNEXPECTED while not in place active).
    virtual HRESULT STDMETHODCALLTYPE RequestCapture(BOOL capture) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryCapture() = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestFocus(BOOL focus) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryFocus() = 0;
    // GetWindow through IOleInPlaceSiteWindowless; window receives what the site gave.
    virtual HRESULT STDMETHODCALLTYPE RequestWindow(HWND* window) = 0;

    // Fetches url exactly as a movie fetches a file (through the site's binding host and its
    // moniker), without resolving it. S_OK when it was bound, S_FALSE when the host declined it,
    // the failure of BindToStorage otherwise.
    virtual HRESULT STDMETHODCALLTYPE RequestFile(LPCWSTR url) = 0;
    // The bytes of the last completed delivery of url, as a byte BSTR (SysStringByteLen); S_FALSE
    // and null when none arrived.
    virtual HRESULT STDMETHODCALLTYPE GetReceived(LPCWSTR url, BSTR* bytes) = 0;

    // Every line logged since creation or the last ClearLog, each followed by "\n".
    virtual HRESULT STDMETHODCALLTYPE GetLog(BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearLog() = 0;

    // A property as the stand-in holds it (no Invoke, nothing logged); DISP_E_MEMBERNOTFOUND for
    // identifiers it has no property for.
    virtual HRESULT STDMETHODCALLTYPE GetProperty(DISPID dispid, VARIANT* value) = 0;
    // A variable set by SetVariable; S_FALSE and null when it was never set.
    virtual HRESULT STDMETHODCALLTYPE GetVariable(LPCWSTR name, BSTR* value) = 0;

    // From now on Invoke of dispid answers DISP_E_EXCEPTION with an EXCEPINFO whose scode is code
    // and whose description is description (code itself when no EXCEPINFO was passed). S_OK as
    // code makes the property work again.
    virtual HRESULT STDMETHODCALLTYPE FailProperty(DISPID dispid, HRESULT code,
                                                   LPCWSTR description) = 0;
    // From now on the call logged under name (a method name as the log writes it, such as
    // L"LoadMovie" or L"DoVerb", or L"QueryInterface(IPersistStreamInit)") returns code at once
    // and does nothing else; it is still logged. S_OK as code makes it work again. A control
    // created while the environment variable LEAFTURN_STANDIN_FAIL holds "name=code" pairs
    // separated by ";" starts with those faults.
    virtual HRESULT STDMETHODCALLTYPE FailCall(LPCWSTR name, HRESULT code) = 0;

    // The scene shown: the current page (0-based), the number of pages, and whether the last
    // fullscreen command sent was "true". S_FALSE and zeros when no scene is loaded.
    virtual HRESULT STDMETHODCALLTYPE GetScene(LONG* page, LONG* pageCount, BOOL* fullscreen) = 0;

    // From now on (TRUE) the placeholder is its frame alone: nothing inside the frame is touched,
    // so that a host can be timed with a picture that costs next to nothing. FALSE brings the
    // veil and the text back.
    virtual HRESULT STDMETHODCALLTYPE SetFrameOnly(BOOL frameOnly) = 0;
};

__CRT_UUID_DECL(IStandinControl, 0x3FDD010E, 0x9928, 0x4DB1, 0xAA, 0x15, 0x5E, 0x05, 0xC4, 0x0E,
                0x16, 0xCF)
