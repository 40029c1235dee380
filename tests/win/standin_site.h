#pragma once
// The least container that drives the stand-in as the viewer's host does: a windowless site that
// answers files from a table through its binding host and moniker, an event sink, and the
// host's creation, activation and teardown sequence. Objects here are owned by the test: their
// counts are checked, never used to free them.

#include <map>
#include <string>
#include <vector>

#include <ocidl.h>
#include <olectl.h>
#include <urlmon.h>

#include "base/com_object_win.h"
#include "base/com_win.h"
#include "qel/host/shockwave_flash.h"
#include "tests/support/standin_win.h"

// The moniker of one request: BindToStorage pushes the file's bytes into the callback registered
// in the bind context, as one complete notification sequence.
class TTestMoniker final : public TOwnedComObject<TTestMoniker, IMoniker> {
public:
    explicit TTestMoniker(std::string bytes) : bytes_(std::move(bytes)) {}

    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IMoniker>(IID_IMoniker)};
        return faces;
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* context, IMoniker*, REFIID, void**) override;
    HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IsEqual(IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Inverse(IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*,
                                               IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }

private:
    std::string bytes_;
};

// The event sink: records each event as "dispid: arg, arg" with the arguments in call order.
class TTestSink final : public TOwnedComObject<TTestSink, IDispatch> {
public:
    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IDispatch>(IID_IDispatch),
                                      TFace::As<IDispatch>(DIID_ShockwaveFlashEvents)};
        return faces;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<std::string> events;
};

class TTestSite final
    : public TOwnedComObject<TTestSite, IOleClientSite, IOleInPlaceSiteWindowless, IServiceProvider,
                             IBindHost, IDispatch, IPropertyNotifySink> {
public:
    // What the site offers and answers.
    std::map<std::wstring, std::string> files; // URL -> bytes; other URLs are declined
    bool offerBindHost = true;
    HRESULT canWindowlessActivate = S_OK;
    RECT position = {0, 0, 747, 501};
    HWND window = nullptr; // what GetWindow gives; null: E_FAIL
    // When set, InvalidateRect and InvalidateRgn repaint at once into paintDc, as the host does.
    ComPtr<IViewObject> paintView;
    HDC paintDc = nullptr;

    // What the site saw.
    std::vector<DISPID> changed;
    std::vector<std::string> invalidations; // "rect l,t,r,b", "rect null", "region"
    BOOL captured = FALSE;
    IOleObject* control = nullptr;  // not owned; asked for its in-place interface at activation
    ComPtr<IUnknown> inPlaceObject; // taken at activation, released at deactivation

    static const auto& Faces() {
        static const TFace faces[] = {
            TFace::As<IOleClientSite>(IID_IOleClientSite),
            TFace::As<IOleInPlaceSiteWindowless>(IID_IOleWindow),
            TFace::As<IOleInPlaceSiteWindowless>(IID_IOleInPlaceSite),
            TFace::As<IOleInPlaceSiteWindowless>(IID_IOleInPlaceSiteEx),
            TFace::As<IOleInPlaceSiteWindowless>(IID_IOleInPlaceSiteWindowless),
            TFace::As<IServiceProvider>(IID_IServiceProvider),
            TFace::As<IBindHost>(IID_IBindHost),
            TFace::As<IDispatch>(IID_IDispatch),
            TFace::As<IPropertyNotifySink>(IID_IPropertyNotifySink)};
        return faces;
    }
    // The table's answer, without the binding host unless it is offered.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        *out = window;
        return window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL*, DWORD) override {
        return OnInPlaceActivate();
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override { return canWindowlessActivate; }
    HRESULT STDMETHODCALLTYPE GetCapture() override { return captured ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetCapture(BOOL capture) override {
        captured = capture;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFocus() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD, HDC* out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL) override;
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN, BOOL) override;
    HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT* out) override {
        *out = 0;
        return S_OK;
    }

    // IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID, REFIID iid, void** out) override;

    // IBindHost
    HRESULT STDMETHODCALLTYPE CreateMoniker(LPOLESTR name, IBindCtx*, IMoniker** out,
                                            DWORD) override;
    HRESULT STDMETHODCALLTYPE MonikerBindToStorage(IMoniker*, IBindCtx*, IBindStatusCallback*,
                                                   REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE MonikerBindToObject(IMoniker*, IBindCtx*, IBindStatusCallback*,
                                                  REFIID, void**) override {
        return E_NOTIMPL;
    }

    // IDispatch: the ambient properties USERMODE (true) and DISPLAYNAME ("test site")
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override;

    // IPropertyNotifySink
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispid) override {
        changed.push_back(dispid);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

private:
    std::vector<std::unique_ptr<TTestMoniker>> monikers_;
};

// The stand-in created and activated the way the viewer's host does it, torn down the same way.
class TTestContainer {
public:
    ~TTestContainer();

    // Creation, client site, InitNew, connections, ambient change, windowless activation.
    void Activate();
    // Close, disconnection, SetClientSite(null) and the release of every reference.
    void TearDown();

    TTestSite site;
    TTestSink sink;
    ComPtr<IOleObject> object;
    ComPtr<IStandinControl> standin;

private:
    DWORD propertyCookie_ = 0, eventCookie_ = 0;
};

// Sets a property by dispatch identifier as the host does (one named argument).
HRESULT PutProperty(IUnknown* control, DISPID dispid, VARIANT value);
// Reads it; the variant is the caller's to clear.
HRESULT GetPropertyValue(IUnknown* control, DISPID dispid, VARIANT& value);

// True when the lines of expected appear in log in this order, others allowed in between.
testing::AssertionResult InOrder(const std::vector<std::string>& log,
                                 const std::vector<std::string>& expected);
