// The control's identity and lifetime, its class object, IOleObject, IPersistStreamInit,
// IOleControl, the player interface with its properties, the connection points and events.

#include "pageturn/pageturn_object_win.h"

#include <algorithm>

#include "pages/page_list.h"

namespace {

// Sited before loading; activated in place as soon as it is visible; its own picture rather than
// a document's; never linked to; redrawn on every resize.
constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_RECOMPOSEONRESIZE;

// 550 x 400 pixels at 96 pixels per inch, in HIMETRIC, until the host sizes it.
constexpr SIZEL kDefaultExtent = {14552, 10583};

// The version reported: the host passes every name under its own base from 10 on.
constexpr long kVersion = 0x000A0000;

// The process's class object: static, so its reference count never frees it.
class TClassObject final : public TOwnedComObject<TClassObject, IClassFactory> {
public:
    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IClassFactory>(IID_IClassFactory)};
        return faces;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            auto* control = new TPageTurnControl;
            const HRESULT result = control->QueryInterface(iid, out);
            control->Release();
            return result;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// A COM method's body: exceptions become failure codes, never cross the boundary.
template <typename Body> HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace

// {0D6E3A55-2B7C-4E1F-8A90-3C5D7E9F1B24}
const IID TPageTurnControl::kSelf = {
    0x0D6E3A55, 0x2B7C, 0x4E1F, {0x8A, 0x90, 0x3C, 0x5D, 0x7E, 0x9F, 0x1B, 0x24}};

IClassFactory* PageTurnClassObject() {
    static TClassObject classObject;
    return &classObject;
}

TPageTurnControl::TPageTurnControl()
    : extent_(kDefaultExtent), propertyPoint_(*this, IID_IPropertyNotifySink),
      eventPoint_(*this, DIID_ShockwaveFlashEvents) {}

TPageTurnControl::~TPageTurnControl() {
    // Its window first: no message may reach a control that is going.
    timerWindow_.reset();
    for (const auto& [key, font] : fonts_)
        DeleteObject(font);
}

// ---- IOleObject

HRESULT TPageTurnControl::SetClientSite(IOleClientSite* site) {
    return Guarded([&] {
        if (!site)
            Deactivate();
        site_ = site;
        return S_OK;
    });
}

HRESULT TPageTurnControl::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    *site = nullptr;
    return site_.CopyTo(site);
}

HRESULT TPageTurnControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT TPageTurnControl::Close(DWORD) {
    return Guarded([&] {
        Deactivate();
        return S_OK;
    });
}

HRESULT TPageTurnControl::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                                 LPCRECT position) {
    return Guarded([&] {
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
            return ActivateInPlace(site, position, false);
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(site, position, true);
        case OLEIVERB_HIDE:
            Deactivate();
            return S_OK;
        default:
            return E_NOTIMPL;
        }
    });
}

HRESULT TPageTurnControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs)
        *verbs = nullptr;
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::Update() {
    return S_OK;
}

HRESULT TPageTurnControl::IsUpToDate() {
    return S_OK;
}

HRESULT TPageTurnControl::GetUserClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_LeafturnPageTurn;
    return S_OK;
}

HRESULT TPageTurnControl::GetUserType(DWORD, LPOLESTR* type) {
    if (!type)
        return E_POINTER;
    *type = nullptr;
    return OLE_S_USEREG;
}

HRESULT TPageTurnControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    extent_ = *size;
    dirty_ = true;
    return S_OK;
}

HRESULT TPageTurnControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = extent_;
    return S_OK;
}

HRESULT TPageTurnControl::Advise(IAdviseSink*, DWORD* connection) {
    if (connection)
        *connection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TPageTurnControl::Unadvise(DWORD) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TPageTurnControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise)
        *advise = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TPageTurnControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

HRESULT TPageTurnControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// ---- IPersistStreamInit: the extent and the properties

HRESULT TPageTurnControl::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_LeafturnPageTurn;
    return S_OK;
}

HRESULT TPageTurnControl::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT TPageTurnControl::Load(LPSTREAM stream) {
    return Guarded([&] {
        if (!stream)
            return E_POINTER;
        if (initialized_)
            return E_UNEXPECTED;
        std::wstring problem;
        if (!properties_.Load(stream, kPageTurnStateMagic, extent_, problem))
            return E_FAIL;
        initialized_ = true;
        dirty_ = false;
        return S_OK;
    });
}

HRESULT TPageTurnControl::Save(LPSTREAM stream, BOOL clearDirty) {
    return Guarded([&] {
        if (!stream)
            return E_POINTER;
        const std::vector<uint8_t> state = properties_.Save(kPageTurnStateMagic, extent_);
        ULONG written = 0;
        const HRESULT result =
            stream->Write(state.data(), static_cast<ULONG>(state.size()), &written);
        if (FAILED(result))
            return result;
        if (written != state.size())
            return STG_E_MEDIUMFULL;
        if (clearDirty)
            dirty_ = false;
        return S_OK;
    });
}

HRESULT TPageTurnControl::GetSizeMax(ULARGE_INTEGER* size) {
    return Guarded([&] {
        if (!size)
            return E_POINTER;
        size->QuadPart = properties_.Save(kPageTurnStateMagic, extent_).size();
        return S_OK;
    });
}

HRESULT TPageTurnControl::InitNew() {
    if (initialized_)
        return E_UNEXPECTED;
    properties_.Reset();
    extent_ = kDefaultExtent;
    initialized_ = true;
    dirty_ = false;
    return S_OK;
}

// ---- IOleControl

HRESULT TPageTurnControl::GetControlInfo(CONTROLINFO* info) {
    if (!info)
        return E_POINTER;
    info->cb = sizeof *info;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT TPageTurnControl::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

HRESULT TPageTurnControl::FreezeEvents(BOOL freeze) {
    if (freeze)
        ++freezeCount_;
    else if (freezeCount_ > 0)
        --freezeCount_;
    return S_OK;
}

// ---- IDispatch: the player's properties

HRESULT TPageTurnControl::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT TPageTurnControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    // Only property names are known; names of arguments never are.
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    ids[0] = TPlayerProperties::IdOfName(names[0]);
    return std::find(ids, ids + count, DISPID_UNKNOWN) == ids + count ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT TPageTurnControl::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, UINT* argumentError) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return Guarded([&] {
        const HRESULT answer = properties_.Invoke(dispid, flags, params, result, argumentError);
        if (answer == S_OK && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)))
            dirty_ = true;
        return answer;
    });
}

// ---- IShockwaveFlash

HRESULT TPageTurnControl::FlashVersion(long* version) {
    if (!version)
        return E_POINTER;
    *version = kVersion;
    return S_OK;
}

HRESULT TPageTurnControl::LoadMovie(int layer, BSTR url) {
    return Guarded([&] {
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
            // The list and the cover at once, when they come at once: the first picture the
            // host paints is then the book's, not a placeholder. The rest loads later.
            if (list->done) {
                Arrived(*list);
                LoadWantedPage();
            }
        }
        Settle();
        return S_OK;
    });
}

HRESULT TPageTurnControl::SetVariable(BSTR name, BSTR value) {
    return Guarded([&] {
        variables_[BstrText(name)] = BstrText(value);
        return S_OK;
    });
}

// ---- connection points and events

TPageTurnPoint::TPageTurnPoint(TPageTurnControl& owner, const IID& iid)
    : TComPart(static_cast<IOleObject&>(owner)), iid_(iid) {}

HRESULT TPageTurnPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT TPageTurnPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out)
        return E_POINTER;
    return Owner().QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

HRESULT TPageTurnPoint::Advise(IUnknown* sink, DWORD* cookie) {
    return Guarded([&] { return sinks_.Advise(iid_, sink, cookie); });
}

HRESULT TPageTurnPoint::Unadvise(DWORD cookie) {
    return sinks_.Unadvise(cookie);
}

HRESULT TPageTurnPoint::EnumConnections(IEnumConnections** out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT TPageTurnControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    TPageTurnPoint* found = iid == IID_IPropertyNotifySink     ? &propertyPoint_
                            : iid == DIID_ShockwaveFlashEvents ? &eventPoint_
                                                               : nullptr;
    if (!found)
        return CONNECT_E_NOCONNECTION;
    found->AddRef();
    *point = found;
    return S_OK;
}

void TPageTurnControl::FireEvent(DISPID dispid, std::vector<VARIANT> args) {
    if (freezeCount_ > 0)
        return;
    // A dispatch call carries its arguments last first.
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    // The host may let go of the control from a handler.
    const ComPtr<IOleObject> keep(this);
    for (const ComPtr<IUnknown>& sink : eventPoint_.Sinks()) {
        TVariant result;
        TExcepInfo exception;
        UINT argumentError = 0;
        static_cast<IDispatch*>(sink.Get())
            ->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result.value,
                     exception.Out(), &argumentError);
    }
}

void TPageTurnControl::FireFullScreen(bool on) {
    TBstr command(L"fullscreen"), state(on ? L"true" : L"false");
    VARIANT args[2];
    V_VT(&args[0]) = VT_BSTR;
    V_BSTR(&args[0]) = command.Get();
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = state.Get();
    FireEvent(FlashEvent::kFSCommand, {args[0], args[1]});
}
