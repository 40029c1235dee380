#pragma once
// A windowless control in the movie player's place, written once: every interface the host
// uses, and everything the built-in page-turning control and the stand-in player control answer
// alike (the extent, the verbs, the stored state, the player's properties, activation through
// the windowless site, the connection points and events, the class object and the binding
// callback of a file request). A control derives from TWindowlessControl<Control> and gives
// what is its own through members the skeleton calls on it.
//
// Every call reaches the control through three members whose defaults record nothing:
// - Boundary(name, args, body): runs each call the host makes into the control; body(out) does
//   its work, and the answer comes back without an exception ever crossing.
// - Peer(name, args, result[, outputs]): sees each call the control makes into its host and
//   returns the host's answer.
// - Note(text): sees what the control does on its own.
// A control that keeps a record of its calls is handed them described: args, each
// out(describer), and Peer's and Note's texts where they are not plain text, are generic
// lambdas over the control's words for values (Pointer, Rect, Quoted, ...). A control that
// records nothing never calls them, so never instantiates them.

#include <algorithm>
#include <cstring>
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
#include "pages/player_properties_win.h"
#include "qel/host/shockwave_flash.h"

// The arguments of a call that has none, described.
inline constexpr auto kNoArgs = [](const auto&) { return std::wstring(); };

// The interfaces a player control answers for, each by every name the host asks it by.
template <typename Object> const auto& PlayerControlFaces() {
    using TFace = TComFace<Object>;
    static const TFace faces[] = {
        TFace::template As<IOleObject>(IID_IOleObject),
        TFace::template As<IPersistStreamInit>(IID_IPersist),
        TFace::template As<IPersistStreamInit>(IID_IPersistStreamInit),
        TFace::template As<IOleControl>(IID_IOleControl),
        TFace::template As<IShockwaveFlash>(IID_IDispatch),
        TFace::template As<IShockwaveFlash>(IID_IShockwaveFlash),
        TFace::template As<IConnectionPointContainer>(IID_IConnectionPointContainer),
        TFace::template As<IOleInPlaceObjectWindowless>(IID_IOleWindow),
        TFace::template As<IOleInPlaceObjectWindowless>(IID_IOleInPlaceObject),
        TFace::template As<IOleInPlaceObjectWindowless>(IID_IOleInPlaceObjectWindowless),
        TFace::template As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject),
        TFace::template As<IViewObject>(IID_IViewObject)};
    return faces;
}

// A control's own part. OpenMovie, WindowMessage and DrawIn it must declare; the others have
// defaults that do nothing. It declares them privately, with the skeleton as its friend, but
// for the public ones.
//   HRESULT OpenMovie(int layer, BSTR url)                    LoadMovie's work
//   HRESULT WindowMessage(UINT, WPARAM, LPARAM, LRESULT*)     a message while in place
//   HRESULT DrawIn(HDC dc, LPCRECTL bounds)                   Draw, its arguments checked
//   void Activated(IOleInPlaceFrame*, IOleInPlaceUIWindow*)   in place, its rectangles read
//   void SiteChanged(IOleClientSite*), AmbientChanged(DISPID)
//   void Placed(), Deactivated()                              SetObjectRects kept; out of place
//   HRESULT VariableSet(name, value)                          after the variable is kept
//   HRESULT PropertyFault(DISPID, EXCEPINFO*, out)            S_OK, or a made-up failure
//   public: static LockModule(bool), CreationFault()          for the class object
//   public: BindingStopped(request, result)                   a file request ended; no default
template <typename Control, typename... Extra>
class TWindowlessControl
    : public TComObject<Control, IOleObject, IPersistStreamInit, IOleControl, IShockwaveFlash,
                        IConnectionPointContainer, IOleInPlaceObjectWindowless,
                        IOleInPlaceActiveObject, IViewObject, Extra...> {
public:
    // One of the control's two connection points. It counts with the control.
    class TPoint final : public TComPart<TPoint, IConnectionPoint> {
    public:
        TPoint(TWindowlessControl& owner, const IID& iid)
            : TComPart<TPoint, IConnectionPoint>(static_cast<IOleObject&>(owner)), owner_(owner),
              iid_(iid) {}

        static const auto& Faces() {
            static const TComFace<TPoint> faces[] = {
                TComFace<TPoint>::template As<IConnectionPoint>(IID_IConnectionPoint)};
            return faces;
        }
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
        HRESULT STDMETHODCALLTYPE
        GetConnectionPointContainer(IConnectionPointContainer** out) override;
        HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

        // The connected sinks, each already the point's interface; a copy, so that a sink may
        // disconnect while it is being called.
        std::vector<ComPtr<IUnknown>> Sinks() const { return sinks_.Sinks(); }

    private:
        TWindowlessControl& owner_;
        const IID iid_;
        TSinkTable sinks_;
    };

    static const auto& Faces() { return PlayerControlFaces<Control>(); }

    // The defaults of a control that records nothing.
    template <typename Args, typename Body>
    HRESULT Boundary(const wchar_t*, const Args&, Body&& body) noexcept {
        try {
            // The host may let go of the control inside the call.
            const ComPtr<IOleObject> keep(this);
            return body([](auto&&) {});
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
    template <typename Args, typename... Outputs>
    HRESULT Peer(const wchar_t*, const Args&, HRESULT result, const Outputs&...) {
        return result;
    }
    void Note(const auto&) {}
    static void LockModule(bool) {}
    // A code every creation answers with (no object made), or none.
    static std::optional<HRESULT> CreationFault() { return std::nullopt; }

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

    // IPersistStreamInit: the extent and the properties
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

    // IDispatch (the player interface's): the player's properties
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // IShockwaveFlash: the three methods the host calls; the other slots decline, present so
    // that the three sit where the host calls them.
    HRESULT STDMETHODCALLTYPE FlashVersion(long* version) override;
    HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) override;
    HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) override;
#define WINDOWLESS_UNUSED_SLOT(n)                                                                  \
    HRESULT STDMETHODCALLTYPE UnusedSlot##n() override {                                           \
        return Self().Boundary(L"UnusedSlot" #n, kNoArgs, [](const auto&) { return E_NOTIMPL; });  \
    }
    WINDOWLESS_UNUSED_SLOT(7)
    WINDOWLESS_UNUSED_SLOT(8)
    WINDOWLESS_UNUSED_SLOT(9)
    WINDOWLESS_UNUSED_SLOT(10)
    WINDOWLESS_UNUSED_SLOT(11)
    WINDOWLESS_UNUSED_SLOT(12)
    WINDOWLESS_UNUSED_SLOT(13)
    WINDOWLESS_UNUSED_SLOT(14)
    WINDOWLESS_UNUSED_SLOT(15)
    WINDOWLESS_UNUSED_SLOT(16)
    WINDOWLESS_UNUSED_SLOT(17)
    WINDOWLESS_UNUSED_SLOT(18)
    WINDOWLESS_UNUSED_SLOT(19)
    WINDOWLESS_UNUSED_SLOT(20)
    WINDOWLESS_UNUSED_SLOT(21)
    WINDOWLESS_UNUSED_SLOT(22)
    WINDOWLESS_UNUSED_SLOT(23)
    WINDOWLESS_UNUSED_SLOT(24)
    WINDOWLESS_UNUSED_SLOT(25)
    WINDOWLESS_UNUSED_SLOT(26)
    WINDOWLESS_UNUSED_SLOT(27)
    WINDOWLESS_UNUSED_SLOT(28)
    WINDOWLESS_UNUSED_SLOT(29)
    WINDOWLESS_UNUSED_SLOT(30)
    WINDOWLESS_UNUSED_SLOT(31)
    WINDOWLESS_UNUSED_SLOT(32)
    WINDOWLESS_UNUSED_SLOT(33)
    WINDOWLESS_UNUSED_SLOT(34)
    WINDOWLESS_UNUSED_SLOT(35)
    WINDOWLESS_UNUSED_SLOT(36)
    WINDOWLESS_UNUSED_SLOT(37)
    WINDOWLESS_UNUSED_SLOT(38)
    WINDOWLESS_UNUSED_SLOT(40)
    WINDOWLESS_UNUSED_SLOT(41)
    WINDOWLESS_UNUSED_SLOT(42)
    WINDOWLESS_UNUSED_SLOT(43)
    WINDOWLESS_UNUSED_SLOT(44)
    WINDOWLESS_UNUSED_SLOT(45)
    WINDOWLESS_UNUSED_SLOT(46)
    WINDOWLESS_UNUSED_SLOT(47)
    WINDOWLESS_UNUSED_SLOT(48)
    WINDOWLESS_UNUSED_SLOT(49)
    WINDOWLESS_UNUSED_SLOT(50)
    WINDOWLESS_UNUSED_SLOT(51)
    WINDOWLESS_UNUSED_SLOT(52)
    WINDOWLESS_UNUSED_SLOT(53)
    WINDOWLESS_UNUSED_SLOT(54)
    WINDOWLESS_UNUSED_SLOT(55)
    WINDOWLESS_UNUSED_SLOT(56)
    WINDOWLESS_UNUSED_SLOT(57)
    WINDOWLESS_UNUSED_SLOT(59)
    WINDOWLESS_UNUSED_SLOT(60)
    WINDOWLESS_UNUSED_SLOT(61)
    WINDOWLESS_UNUSED_SLOT(62)
    WINDOWLESS_UNUSED_SLOT(63)
    WINDOWLESS_UNUSED_SLOT(64)
#undef WINDOWLESS_UNUSED_SLOT

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

protected:
    // classId: what the control says it is; stateMagic: the mark of its stored state.
    TWindowlessControl(const CLSID& classId, const char (&stateMagic)[4])
        : classId_(classId), stateMagic_(stateMagic),
          propertyPoint_(*this, IID_IPropertyNotifySink),
          eventPoint_(*this, DIID_ShockwaveFlashEvents) {}
    ~TWindowlessControl() = default;

    Control& Self() {
        return static_cast<Control&>(*this);
    }

    // Verbs that show the control activate it in place through the site's windowless interface;
    // without one it stays inactive, having no window of its own.
    HRESULT ActivateInPlace(IOleClientSite* site, LPCRECT position, bool uiActivate);
    void Deactivate();
    // Invoke(dispid, DISPATCH_METHOD) on every event sink with count args, given first argument
    // first. S_FALSE when none got it.
    HRESULT FireEvent(DISPID dispid, ULONG count, const VARIANT* args);
    // The player's script command: command and its argument, two strings.
    HRESULT FireCommand(std::wstring_view command, std::wstring_view argument);

    // The hooks' defaults.
    void SiteChanged(IOleClientSite*) {}
    void AmbientChanged(DISPID) {}
    void Activated(IOleInPlaceFrame*, IOleInPlaceUIWindow*) {}
    void Deactivated() {}
    void Placed() {}
    HRESULT VariableSet(const std::wstring&, const std::wstring&) {
        return S_OK;
    }
    template <typename Out> HRESULT PropertyFault(DISPID, EXCEPINFO*, const Out&) {
        return S_OK;
    }

    const CLSID& classId_;
    const char (&stateMagic_)[4];

    // Object state.
    ComPtr<IOleClientSite> site_;
    SIZEL extent_ = kDefaultExtent;
    bool initialized_ = false;
    bool dirty_ = false;
    LONG version_ = kVersion;
    TPlayerProperties properties_;
    std::map<std::wstring, std::wstring> variables_;
    int freezeCount_ = 0;
    TPoint propertyPoint_;
    TPoint eventPoint_;

    // In place.
    ComPtr<IOleInPlaceSiteWindowless> windowless_;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    RECT position_{};

private:
    // Sited before loading; activated in place as soon as it is visible; its own picture rather
    // than a document's; never linked to; redrawn on every resize. Not invisible at run time.
    static constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                                         OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                                         OLEMISC_RECOMPOSEONRESIZE;
    // 550 x 400 pixels at 96 pixels per inch, in HIMETRIC, until the host sizes it.
    static constexpr SIZEL kDefaultExtent = {14552, 10583};
    // The version reported: 10.0, from which on the host passes every name under its own base.
    static constexpr LONG kVersion = 0x000A0000;
};

// The callback of one file request, holding what arrives in request's bytes (and tooLarge once
// there was more than a book's file can be). It holds the control, so that a late notification
// never reaches a destroyed object; the control hears of the end through
// BindingStopped(request, result).
template <typename Control, typename Request>
class TBindCallback final
    : public TComObject<TBindCallback<Control, Request>, IBindStatusCallback> {
public:
    // A delivery larger than this is too large: no book's file comes near it.
    static constexpr size_t kMaxDelivery = 64u << 20;

    TBindCallback(Control& owner, std::shared_ptr<Request> request)
        : owner_(owner), keep_(static_cast<IOleObject*>(&owner)), request_(std::move(request)) {
        Control::LockModule(true);
    }
    ~TBindCallback() { Control::LockModule(false); }

    static const auto& Faces() {
        static const TComFace<TBindCallback> faces[] = {
            TComFace<TBindCallback>::template As<IBindStatusCallback>(IID_IBindStatusCallback)};
        return faces;
    }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
        return owner_.Boundary(
            L"OnStartBinding", [&](const auto& t) { return L"binding=" + t.Pointer(binding); },
            [](const auto&) { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override {
        return owner_.Boundary(L"GetPriority", kNoArgs, [&](const auto& out) {
            if (!priority)
                return E_POINTER;
            *priority = THREAD_PRIORITY_NORMAL;
            out([&](const auto&) { return std::to_wstring(*priority); });
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override {
        return owner_.Boundary(L"OnLowResource", kNoArgs, [](const auto&) { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG maximum, ULONG status,
                                         LPCWSTR text) override {
        return owner_.Boundary(
            L"OnProgress",
            [&](const auto& t) {
                return std::to_wstring(progress) + L", " + std::to_wstring(maximum) + L", " +
                       std::to_wstring(status) + L", " + t.QuotedOrNull(text);
            },
            [](const auto&) { return S_OK; });
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR text) override {
        return owner_.Boundary(
            L"OnStopBinding",
            [&](const auto& t) { return t.Result(result) + L", " + t.QuotedOrNull(text); },
            [&](const auto&) {
                owner_.BindingStopped(request_, result);
                return S_OK;
            });
    }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
        return owner_.Boundary(L"GetBindInfo", kNoArgs, [&](const auto& out) {
            if (!flags || !info || info->cbSize < sizeof(ULONG))
                return E_INVALIDARG;
            // A plain get: whatever arrives is read at once.
            *flags = 0;
            const ULONG size = info->cbSize;
            std::memset(info, 0, size < sizeof *info ? size : sizeof *info);
            info->cbSize = size;
            info->dwBindVerb = BINDVERB_GET;
            out([&](const auto& t) { return t.Hex(*flags); });
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC*,
                                              STGMEDIUM* medium) override {
        return owner_.Boundary(
            L"OnDataAvailable",
            [&](const auto&) {
                return L"flags=" + std::to_wstring(flags) + L", size=" + std::to_wstring(size) +
                       L", tymed=" + (medium ? std::to_wstring(medium->tymed) : L"null");
            },
            [&](const auto& out) {
                if (medium) {
                    const size_t taken = Take(*medium, size);
                    out([&](const auto&) { return std::to_wstring(taken) + L" bytes read"; });
                }
                return S_OK;
            });
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID iid, IUnknown* object) override {
        return owner_.Boundary(
            L"OnObjectAvailable",
            [&](const auto& t) { return t.Interface(iid) + L", " + t.Pointer(object); },
            [](const auto&) { return S_OK; });
    }

private:
    // Appends what the medium holds (it stays the caller's) and returns the bytes taken. A
    // delivery that would grow past kMaxDelivery, or past the memory there is, is too large and
    // takes nothing more. Files on disk are never read: everything comes through the host.
    size_t Take(const STGMEDIUM& medium, DWORD size) {
        std::vector<uint8_t>& bytes = request_->bytes;
        const size_t before = bytes.size();
        if (request_->tooLarge)
            return 0;
        try {
            if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
                uint8_t piece[65536];
                for (;;) {
                    ULONG got = 0;
                    const HRESULT result = medium.pstm->Read(piece, sizeof piece, &got);
                    if (FAILED(result) || got == 0)
                        break;
                    if (bytes.size() + got > kMaxDelivery) {
                        request_->tooLarge = true;
                        break;
                    }
                    bytes.insert(bytes.end(), piece, piece + got);
                    if (result == S_FALSE)
                        break;
                }
            } else if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
                const SIZE_T n = std::min<SIZE_T>(size, GlobalSize(medium.hGlobal));
                if (bytes.size() + n > kMaxDelivery) {
                    request_->tooLarge = true;
                } else {
                    const TGlobalLock locked(medium.hGlobal);
                    if (const auto* memory = static_cast<const uint8_t*>(locked.Data()))
                        bytes.insert(bytes.end(), memory, memory + n);
                }
            }
        } catch (const std::bad_alloc&) {
            request_->tooLarge = true;
        }
        return bytes.size() - before;
    }

    Control& owner_;
    const ComPtr<IOleObject> keep_;
    const std::shared_ptr<Request> request_;
};

// The control's class object: creates a control with no outer object. Static, so that its count
// never frees it; a control in a module of its own holds the module with each reference.
template <typename Control>
class TControlFactory final : public TOwnedComObject<TControlFactory<Control>, IClassFactory> {
public:
    static const auto& Faces() {
        static const TComFace<TControlFactory> faces[] = {
            TComFace<TControlFactory>::template As<IClassFactory>(IID_IClassFactory)};
        return faces;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        Control::LockModule(true);
        return TOwnedComObject<TControlFactory<Control>, IClassFactory>::AddRef();
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Control::LockModule(false);
        return TOwnedComObject<TControlFactory<Control>, IClassFactory>::Release();
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            // A creation made to fail hands out no object, whatever the code says.
            if (const std::optional<HRESULT> fault = Control::CreationFault())
                return *fault;
            const ComPtr<IOleObject> control = AdoptComPtr<IOleObject>(new Control);
            return control->QueryInterface(iid, out);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        Control::LockModule(lock != FALSE);
        return S_OK;
    }
};

#include "pages/windowless_control_impl_win.h"
