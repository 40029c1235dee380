#pragma once
// The windowless OLE control host.
//
// TqelOleControl sites one ActiveX control inside an area of its parent window without a window
// of its own: it creates the control from the class a ControlDescriptor names, acts as its
// container through the site interfaces below, activates it in place as a windowless object,
// draws it through off-screen bitmaps, forwards messages to it and routes its events.

#include <array>
#include <functional>
#include <memory>
#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>
#include <optional>
#include <servprov.h>
#include <string>
#include <urlmon.h>
#include <vector>
#include <windows.h>

#include "base/com_object_win.h"
#include "base/com_win.h"
#include "qel/host/qel_bitmap_win.h"
#include "qel/host/qel_drawing_surface_win.h"
#include "qel/host/qel_flash_events_win.h"
#include "qel/host/shockwave_flash.h"
#include "ui/controls_win.h"
#include "ui/stored_description.h"

// The platform's IOleObject, the type the host keeps its control as.
using IOleObject_Flash = IOleObject;

class TqelOleControl;
class TqelFlashList;

// What serves the files the hosted control binds to through the site's moniker: the site only
// forwards, the choice of where a file comes from is made above the host.
class TqelFileSource {
public:
    // Hands the file chosen for the control's last request to the binding callback the context
    // holds.
    virtual HRESULT BindToStorage(IBindCtx* context) = 0;

protected:
    ~TqelFileSource() = default;
};

// What the host needs to know of one control class; shared by all its instances.
struct TControlDescriptor {
    CLSID classId;
    IID eventInterface;
    std::vector<DISPID> events; // in handler-slot order
    uint32_t stockFlags = 0; // 1 back colour, 2 fore colour, 4 font, 8 enabled, 16 caption, 32 text
    int32_t version = 401;   // above 400 the handler slots start at FirstEventSlot
    std::vector<DISPID> fontProperties;
    std::vector<DISPID> pictureProperties;
    uint32_t siteOptions = 0; // 1: set the client site at creation; 2: never at creation
    // Run time: live components using the descriptor, and what they learnt of the control's
    // properties (dropped when the last one goes).
    int32_t instanceCount = 0;
    std::shared_ptr<void> propertyDescriptionCache;
};

namespace StockFlag {
constexpr uint32_t kBackColor = 1, kForeColor = 2, kFont = 4, kEnabled = 8, kCaption = 16,
                   kText = 32;
}
namespace SiteOption {
constexpr uint32_t kClientSiteFirst = 1, kNeverClientSiteFirst = 2;
}

// The stock events the control may raise, which the host turns into the framework's own.
namespace StockEvent {
constexpr DISPID kClick = -600, kDblClick = -601, kKeyDown = -602, kKeyPress = -603, kKeyUp = -604,
                 kMouseDown = -605, kMouseMove = -606, kMouseUp = -607;
}

// One handler slot: what the handler takes after the sender, and the handler.
struct TEventSlot {
    std::vector<TEventParameter> parameters;
    std::function<void(const std::vector<TEventValue>& arguments)> handler;
};

// The sink the control's events arrive at. Its reference count is the component's.
class TEventDispatch final : public TComPart<TEventDispatch, TUntypedDispatch> {
public:
    explicit TEventDispatch(TqelOleControl& control);

    // IDispatch, also by the name of the control's event interface; invoked by identifier only.
    std::array<TFace, 2> Faces() const;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    TqelOleControl& Control() const { return control_; }

private:
    TqelOleControl& control_;
};

// IOleWindow::GetWindow answers differently depending on the interface it is reached through;
// each face says which one it is.
enum class TWindowFace { UIWindow, Frame, WindowlessSite, InPlaceSite };
template <typename Interface, TWindowFace Face> struct TWindowFaceOf : public Interface {
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) final { return WindowOf(Face, window); }
    virtual HRESULT WindowOf(TWindowFace face, HWND* window) = 0;
};
using TUIWindowFace = TWindowFaceOf<IOleInPlaceUIWindow, TWindowFace::UIWindow>;
using TFrameFace = TWindowFaceOf<IOleInPlaceFrame, TWindowFace::Frame>;
using TWindowlessSiteFace = TWindowFaceOf<IOleInPlaceSiteWindowless, TWindowFace::WindowlessSite>;
using TInPlaceSiteFace = TWindowFaceOf<IOleInPlaceSite, TWindowFace::InPlaceSite>;

class TqelOleControl : public TControl,
                       public IServiceProvider,
                       public IMoniker,
                       public IParseDisplayName,
                       public IPropertyNotifySink,
                       public TUIWindowFace,
                       public TUntypedDispatch,
                       public TFrameFace,
                       public TWindowlessSiteFace,
                       public TInPlaceSiteFace,
                       public IOleControlSite,
                       public IOleClientSite,
                       private TqelDrawingSurface::TClient {
public:
    explicit TqelOleControl(TComponent* owner);
    ~TqelOleControl() override;

    // ---- state (read access for derived classes and tests)
    bool CreationFailed() const { return creationFailed_; }
    IOleObject_Flash* HostedObject() const { return hostedObject_.Get(); }
    IOleInPlaceObject* InPlaceIntf() const { return inPlaceIntf_.Get(); }
    IOleInPlaceActiveObject* ActiveIntf() const { return activeIntf_.Get(); }
    IOleInPlaceObjectWindowless* WindowlessIntf() const { return windowlessIntf_.Get(); }
    IViewObject* ViewIntf() const { return viewIntf_.Get(); }
    IOleControl* ControlIntf() const { return controlIntf_.Get(); }
    IDispatch* DispatchIntf() const { return dispatchIntf_.Get(); }
    DWORD MiscStatus() const { return miscStatus_; }
    ULONG RefCount() const { return refCount_; }
    const TControlDescriptor& Descriptor() const { return *descriptor_; }
    TEventDispatch& EventSink() { return *eventSink_; }

    // ---- activation
    // Initialises the control once: stored state or a new one, its interfaces, both
    // connection points, the ambient properties.
    void InitializeControl();
    // Initialises the control and activates it in place, windowless.
    void ActivateControl();
    // The control's IDispatch, after initialising it.
    ComPtr<IDispatch> ControlDispatchObject();

    // ---- properties by dispatch identifier
    void ReadProperty(DISPID dispid, VARIANT& value);
    void WriteProperty(DISPID dispid, const VARIANT& value);
    int32_t ReadIntProperty(DISPID dispid);
    bool ReadBoolProperty(DISPID dispid);
    std::wstring ReadWideProperty(DISPID dispid);
    std::string ReadTextProperty(DISPID dispid);
    void ReadVariantProperty(DISPID dispid, VARIANT& value);
    void WriteIntProperty(DISPID dispid, int32_t value);
    void WriteBoolProperty(DISPID dispid, bool value);
    void WriteWideProperty(DISPID dispid, const std::wstring& value);
    void WriteTextProperty(DISPID dispid, const std::string& value);
    void WritePictureProperty(DISPID dispid, IPictureDisp* picture);

    // The control's saved state ("ControlData"): written from the control while it exists;
    // read back into StoredState, which only an initialisation still to come loads.
    bool HasStoredData() const { return hostedObject_ != nullptr; }
    std::vector<uint8_t> SaveStoredData();
    void LoadStoredData(const std::vector<uint8_t>& bytes);
    bool HasStoredState() const { return static_cast<bool>(storedState_); }
    // Declares "ControlData" in the component's stored description.
    void DefineProperties(TFiler& filer) override;
    std::string ClassName() const override { return "TqelOleControl"; }

    void SetName(const std::string& name) override;
    void SetParent(TWinControl* parent) override;

    // ---- drawing: the control is drawn over the captured image of the parent
    void SetBounds(int left, int top, int width, int height) override;
    void Paint() override;
    void Loaded() override;
    // Paints the parent under the component into BackgroundBitmap (or fills it with Color).
    void UpdateBackground();
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    TNotifyEvent OnPaint;
    TqelBitmap* BackgroundBitmap() const { return surface_.Background(); }
    TqelBitmap* WorkBitmap() const { return surface_.Work(); }
    TqelBitmap* OutputBitmap() const { return surface_.Output(); }
    const std::optional<RECT>& DirtyRect() const { return surface_.DirtyRect(); }
    bool FullRepaintPending() const { return surface_.FullRepaintPending(); }
    bool CapturingBackground() const { return surface_.CapturingBackground(); }

    // ---- input: every message is offered to the control before the framework handles it
    void WndProc(TMessage& message) override;
    bool DisableFlashPopup() const { return disableFlashPopup_; }
    void SetDisableFlashPopup(bool disable) { disableFlashPopup_ = disable; }
    bool DisableFlashCursor() const { return disableFlashCursor_; }
    void SetDisableFlashCursor(bool disable) { disableFlashCursor_ = disable; }
    bool PopupOwnerPending() const { return popupOwnerPending_; }
    bool MouseCaptured() const { return mouseCaptured_; }

    // ---- handlers and hooks
    // The handler slot of the descriptor's event i.
    TEventSlot& EventSlot(size_t i);
    virtual void DispatchStockEvent(DISPID dispid, DISPPARAMS* params);
    virtual void DispatchControlEvent(DISPID dispid, DISPPARAMS* params);

    // ---- IUnknown (one for all interfaces)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ---- IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override;

    // ---- IPersist, IPersistStream, IMoniker
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid,
                                            void** out) override;
    HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** reduced) override {
        return NullOut(reduced, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker** composite) override {
        return NullOut(composite, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker** monikers) override {
        return NullOut(monikers, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE IsEqual(IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Inverse(IMoniker** inverse) override {
        return NullOut(inverse, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker** prefix) override {
        return NullOut(prefix, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker** relative) override {
        return NullOut(relative, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* context, IMoniker* left,
                                               LPOLESTR displayName, ULONG* eaten,
                                               IMoniker** out) override;
    HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }

    // ---- IParseDisplayName
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* context, LPOLESTR displayName,
                                               ULONG* eaten, IMoniker** out) override;

    // ---- IPropertyNotifySink
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispid) override;
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID dispid) override;

    // ---- IOleWindow (by each face), IOleInPlaceUIWindow, IOleInPlaceFrame
    HRESULT WindowOf(TWindowFace face, HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object,
                                              LPCOLESTR name) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor,
                                      HWND activeObject) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, WORD id) override;

    // ---- IDispatch: the ambient properties, by identifier only
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // ---- IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCapture() override;
    HRESULT STDMETHODCALLTYPE SetCapture(BOOL capture) override;
    HRESULT STDMETHODCALLTYPE GetFocus() override;
    HRESULT STDMETHODCALLTYPE SetFocus(BOOL focus) override;
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT rect, DWORD flags, HDC* dc) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL erase) override;
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN region, BOOL erase) override;
    HRESULT STDMETHODCALLTYPE ScrollRect(INT dx, INT dy, LPCRECT scroll, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT rect) override;
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                                 LRESULT* result) override;

    // ---- IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) override {
        return NullOut(control, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container,
                                              DWORD flags) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message, DWORD modifiers) override;
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

    // ---- IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        return NullOut(moniker, E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        return NullOut(container, E_NOINTERFACE);
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

protected:
    // The concrete class runs this first in its constructor: the descriptor, the control and
    // its first interfaces. Failing to create the control is not an error: the component
    // then stays empty (CreationFailed).
    void ConstructHostedControl();
    // The concrete class names its descriptor and where its handler slots begin.
    virtual void DescribeControl() = 0;
    virtual void BindControlInterface(IUnknown* object) { (void)object; }
    virtual bool FilterDesignError(const std::exception& error);
    virtual void OnChangedProperty(DISPID dispid);
    virtual void OnRequestEditProperty(DISPID dispid) { (void)dispid; }
    // Answers interfaces a derived class adds; null when it has none for iid.
    virtual void* QueryDerivedInterface(REFIID iid) {
        (void)iid;
        return nullptr;
    }

    void SetDescriptor(TControlDescriptor& descriptor, TEventSlot* firstEventSlot);
    HRESULT ApplyNewLayout();
    // Creates the control object; by default the system's object of the descriptor's class.
    virtual HRESULT CreateControlObject(IOleObject_Flash** object);
    // Closes the control, disconnects it and lets it go (once). The control may call back while
    // it closes: a derived class runs this first in its destructor, and when its constructor
    // fails, while everything the control can reach is still whole.
    void ReleaseControl();
    // Lets go of a control that could not be initialised or activated: the component is then as
    // empty as one whose control could not be made.
    void AbandonControl();

    // Where the site's moniker gets the files the control binds to (null: nowhere).
    void SetFileSource(TqelFileSource* source) { fileSource_ = source; }

private:
    void InstantiateControl();
    void EnsureClientSite();
    void DisconnectControl();
    void Connect(REFIID iid, IUnknown* sink, DWORD& cookie);
    void Disconnect(REFIID iid, DWORD& cookie);
    IOleClientSite* ClientSite() { return static_cast<IOleClientSite*>(this); }
    IUnknown* Identity() { return static_cast<IServiceProvider*>(this); }
    void FrameworkHandling(TMessage& message);
    // ---- what the drawing surface asks of the component
    void DrawControl(HDC dc, const RECTL* bounds) override;
    void CaptureBackground(TqelBitmap& background) override;
    HDC WindowContext() override;
    void RepaintWindow() override { PaintNow(); }
    void PaintAgain() override { Paint(); }
    HMENU FindMergeMenu() const;
    void InvokeProperty(DISPID dispid, WORD flags, DISPPARAMS& params, VARIANT* result);

    TControlDescriptor* descriptor_ = nullptr;
    TEventSlot* firstEventSlot_ = nullptr;
    std::unique_ptr<TEventDispatch> eventSink_;
    std::vector<std::unique_ptr<TFont>> fonts_;
    std::vector<ComPtr<IPictureDisp>> pictures_;
    TGlobalMemory storedState_;

    ComPtr<IOleObject_Flash> hostedObject_;
    ComPtr<IPersistStreamInit> persistIntf_;
    ComPtr<IDispatch> dispatchIntf_;
    ComPtr<IPerPropertyBrowsing> browsingIntf_;
    ComPtr<IOleControl> controlIntf_;
    ComPtr<IOleInPlaceObject> inPlaceIntf_;
    ComPtr<IOleInPlaceActiveObject> activeIntf_;
    ComPtr<IOleInPlaceObjectWindowless> windowlessIntf_;
    ComPtr<IViewObject> viewIntf_;
    DWORD propertyCookie_ = 0;
    DWORD eventCookie_ = 0;
    DWORD miscStatus_ = 0;
    ULONG refCount_ = 0;
    bool creationFailed_ = false;

    // Re-entry guards of OnChanged: back colour, enabled and font. The fore colour is the font's
    // colour and shares the font's guard; writingPicture_ guards WritePictureProperty.
    bool changingColor_ = false;
    bool changingEnabled_ = false;
    bool changingFont_ = false;
    bool writingPicture_ = false;

    // Drawing.
    TqelDrawingSurface surface_{*this};
    bool recaptureOnPaint_ = false;
    bool transparent_ = true;
    // The context GetDC lends the control outside a paint, until its ReleaseDC.
    TControlCanvas controlCanvas_{*this};

    // Input.
    bool disableFlashPopup_ = false;
    bool disableFlashCursor_ = false;
    bool popupOwnerPending_ = false;
    bool mouseCaptured_ = false;
    int defaultMessageDepth_ = 0; // OnDefWindowMessage calls in progress

    TqelFileSource* fileSource_ = nullptr;
};

// The font as an OLE font object, and back.
ComPtr<IFontDisp> FontToFontDisp(TFont& font);
void FontFromVariant(const VARIANT& value, TFont& font);
