// The control site: creation, initialisation and activation of the hosted control, teardown,
// and the site interfaces' answers.

#include <cmath>

#include "base/text_win.h"
#include "qel/host/qel_flash_olehost.h"
#include "ui/application_win.h"
#include "ui/forms_win.h"

namespace {

constexpr RECT kUnclipped{0, 0, 32767, 32767};

} // namespace

// ---- construction and teardown

TqelOleControl::TqelOleControl(TComponent* owner) : TControl(owner) {}

void TqelOleControl::SetDescriptor(TControlDescriptor& descriptor, TEventSlot* firstEventSlot) {
    descriptor_ = &descriptor;
    firstEventSlot_ = firstEventSlot;
}

void TqelOleControl::ConstructHostedControl() {
    DescribeControl();
    if (!descriptor_)
        throw TError("The control has no descriptor");
    ++descriptor_->instanceCount;
    for (size_t i = 0; i < descriptor_->fontProperties.size(); ++i)
        fonts_.push_back(std::make_unique<TFont>());
    pictures_.resize(descriptor_->pictureProperties.size());
    eventSink_ = std::make_unique<TEventDispatch>(*this);

    InstantiateControl();
    if (creationFailed_)
        return;
    BindControlInterface(hostedObject_.Get());
    OleCheck(hostedObject_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus_));
    const uint32_t options = descriptor_->siteOptions;
    if (!(options & SiteOption::kNeverClientSiteFirst) &&
        ((miscStatus_ & OLEMISC_SETCLIENTSITEFIRST) || (options & SiteOption::kClientSiteFirst)))
        OleCheck(hostedObject_->SetClientSite(ClientSite()));
    OleCheck(QueryFor(hostedObject_.Get(), persistIntf_));
    if (miscStatus_ & OLEMISC_INVISIBLEATRUNTIME)
        SetVisible(false);
    OleCheck(ApplyNewLayout());
}

HRESULT TqelOleControl::CreateControlObject(IOleObject_Flash** object) {
    return CoCreateInstance(descriptor_->classId, nullptr,
                            CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                            reinterpret_cast<void**>(object));
}

void TqelOleControl::InstantiateControl() {
    // A control that cannot be had leaves an empty component, never an error.
    try {
        if (FAILED(CreateControlObject(hostedObject_.ReleaseAndGetAddressOf())))
            hostedObject_.Reset();
    } catch (...) {
        hostedObject_.Reset();
    }
    creationFailed_ = !hostedObject_;
}

TqelOleControl::~TqelOleControl() {
    ReleaseControl();
    eventSink_.reset();
    fonts_.clear();
    pictures_.clear();
    if (descriptor_ && --descriptor_->instanceCount == 0)
        descriptor_->propertyDescriptionCache.reset();
}

void TqelOleControl::ReleaseControl() {
    if (hostedObject_)
        hostedObject_->Close(OLECLOSE_NOSAVE);
    DisconnectControl();
    storedState_.Reset();
    persistIntf_.Reset();
    if (hostedObject_) {
        hostedObject_->SetClientSite(nullptr);
        hostedObject_.Reset();
    }
}

void TqelOleControl::AbandonControl() {
    ReleaseControl();
    creationFailed_ = true;
}

void TqelOleControl::Connect(REFIID iid, IUnknown* sink, DWORD& cookie) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(QueryFor(hostedObject_.Get(), container)) &&
        SUCCEEDED(container->FindConnectionPoint(iid, &point)) && point &&
        FAILED(point->Advise(sink, &cookie)))
        cookie = 0;
}

void TqelOleControl::Disconnect(REFIID iid, DWORD& cookie) {
    if (cookie == 0 || !hostedObject_)
        return;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(QueryFor(hostedObject_.Get(), container)) &&
        SUCCEEDED(container->FindConnectionPoint(iid, &point)) && point)
        point->Unadvise(cookie);
    cookie = 0;
}

void TqelOleControl::DisconnectControl() {
    if (!hostedObject_)
        return;
    if (!(miscStatus_ & OLEMISC_INVISIBLEATRUNTIME))
        hostedObject_->Close(OLECLOSE_NOSAVE);
    Disconnect(descriptor_->eventInterface, eventCookie_);
    Disconnect(IID_IPropertyNotifySink, propertyCookie_);
    browsingIntf_.Reset();
    dispatchIntf_.Reset();
    controlIntf_.Reset();
}

// ---- initialisation and activation

void TqelOleControl::EnsureClientSite() {
    ComPtr<IOleClientSite> site;
    HRESULT result = E_FAIL;
    try {
        result = hostedObject_->GetClientSite(&site);
    } catch (...) {
    }
    if (FAILED(result) || !site)
        OleCheck(hostedObject_->SetClientSite(ClientSite()));
}

void TqelOleControl::InitializeControl() {
    if (!hostedObject_ || controlIntf_)
        return;
    try {
        EnsureClientSite();
        if (storedState_) {
            ComPtr<IStream> stream;
            OleCheck(CreateStreamOnHGlobal(storedState_.Get(), FALSE, &stream));
            OleCheck(persistIntf_->Load(stream.Get()));
            storedState_.Reset();
        } else {
            OleCheck(persistIntf_->InitNew());
        }
        OleCheck(QueryFor(hostedObject_.Get(), controlIntf_));
        OleCheck(QueryFor(hostedObject_.Get(), dispatchIntf_));
        hostedObject_.As(&browsingIntf_);
        Connect(IID_IPropertyNotifySink, Identity(), propertyCookie_);
        Connect(descriptor_->eventInterface, eventSink_.get(), eventCookie_);
        const uint32_t flags = descriptor_->stockFlags;
        if (flags & StockFlag::kBackColor)
            OnChangedProperty(DISPID_BACKCOLOR);
        if (flags & StockFlag::kEnabled)
            OnChangedProperty(DISPID_ENABLED);
        if (flags & StockFlag::kFont)
            OnChangedProperty(DISPID_FONT);
        if (flags & StockFlag::kForeColor)
            OnChangedProperty(DISPID_FORECOLOR);
        controlIntf_->OnAmbientPropertyChange(DISPID_UNKNOWN);
        ApplyNewLayout();
    } catch (...) {
        DisconnectControl();
        throw;
    }
}

void TqelOleControl::ActivateControl() {
    if (creationFailed_)
        return;
    InitializeControl();
    if (miscStatus_ & OLEMISC_INVISIBLEATRUNTIME)
        return;
    RECT position = BoundsRect();
    hostedObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, ClientSite(), 0, nullptr, &position);
    if (!inPlaceIntf_)
        throw TOleError(E_FAIL, "OLE control activation failed");
    if (windowlessIntf_) {
        LRESULT ignored = 0;
        windowlessIntf_->OnWindowMessage(WM_SETFOCUS, 0, 0, &ignored);
    }
}

ComPtr<IDispatch> TqelOleControl::ControlDispatchObject() {
    InitializeControl();
    return dispatchIntf_;
}

HRESULT TqelOleControl::ApplyNewLayout() {
    SIZEL extent{};
    const HRESULT result = hostedObject_->GetExtent(DVASPECT_CONTENT, &extent);
    if (FAILED(result))
        return result;
    const int ppi = ScreenPixelsPerInch();
    int width = MulDiv(extent.cx, ppi, 2540);
    int height = MulDiv(extent.cy, ppi, 2540);
    if ((miscStatus_ & OLEMISC_INVISIBLEATRUNTIME) && !controlIntf_) {
        width = std::min(width, 32);
        height = std::min(height, 32);
    }
    SetBounds(Left(), Top(), width, height);
    return S_OK;
}

void TqelOleControl::SetParent(TWinControl* parent) {
    TControl::SetParent(parent);
    if (creationFailed_ || !parent || !hostedObject_)
        return;
    EnsureClientSite();
    if (controlIntf_)
        controlIntf_->OnAmbientPropertyChange(DISPID_UNKNOWN);
}

bool TqelOleControl::FilterDesignError(const std::exception& error) {
    return Designing() && dynamic_cast<const TOleError*>(&error) != nullptr;
}

TEventSlot& TqelOleControl::EventSlot(size_t i) {
    if (!firstEventSlot_ || i >= descriptor_->events.size())
        throw TRangeError();
    return firstEventSlot_[i];
}

// ---- IUnknown, IServiceProvider

HRESULT STDMETHODCALLTYPE TqelOleControl::QueryInterface(REFIID iid, void** out) {
    using TFace = TComFace<TqelOleControl>;
    // The first row is the component's identity, its IUnknown.
    static const TFace faces[] = {
        TFace::As<IServiceProvider>(IID_IServiceProvider),
        TFace::As<IMoniker>(IID_IMoniker),
        TFace::As<IParseDisplayName>(IID_IParseDisplayName),
        TFace::As<IPropertyNotifySink>(IID_IPropertyNotifySink),
        TFace::As<TUIWindowFace>(IID_IOleInPlaceUIWindow),
        TFace::As<IDispatch>(IID_IDispatch),
        TFace::As<TFrameFace>(IID_IOleInPlaceFrame),
        TFace::As<TWindowlessSiteFace>(IID_IOleInPlaceSiteWindowless),
        TFace::As<TInPlaceSiteFace>(IID_IOleInPlaceSite),
        TFace::As<TUIWindowFace>(IID_IOleWindow),
        TFace::As<IOleControlSite>(IID_IOleControlSite),
        TFace::As<IOleClientSite>(IID_IOleClientSite),
    };
    if (!out)
        return E_POINTER;
    void* face = FindComFace(*this, faces, iid);
    *out = face ? face : QueryDerivedInterface(iid);
    if (!*out)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// The count never frees the component: its owner does.
ULONG STDMETHODCALLTYPE TqelOleControl::AddRef() {
    return ++refCount_;
}

ULONG STDMETHODCALLTYPE TqelOleControl::Release() {
    if (refCount_ > 0)
        --refCount_;
    return refCount_;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::QueryService(REFGUID, REFIID iid, void** out) {
    return QueryInterface(iid, out);
}

// ---- IPersist, IPersistStream, IMoniker: the site's moniker only binds to storage

HRESULT STDMETHODCALLTYPE TqelOleControl::BindToStorage(IBindCtx* context, IMoniker*, REFIID,
                                                        void**) {
    return fileSource_ ? fileSource_->BindToStorage(context) : E_FAIL;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*,
                                                           IMoniker** out) {
    return NullOut(out, E_NOTIMPL);
}
// ---- IParseDisplayName

HRESULT STDMETHODCALLTYPE TqelOleControl::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*,
                                                           IMoniker** out) {
    return NullOut(out, E_NOTIMPL);
}

// ---- IPropertyNotifySink

HRESULT STDMETHODCALLTYPE TqelOleControl::OnChanged(DISPID dispid) {
    try {
        OnChangedProperty(dispid);
    } catch (...) {
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::OnRequestEdit(DISPID dispid) {
    try {
        OnRequestEditProperty(dispid);
    } catch (...) {
    }
    return S_OK;
}

// ---- IOleWindow, IOleInPlaceUIWindow, IOleInPlaceFrame

HRESULT TqelOleControl::WindowOf(TWindowFace face, HWND* window) {
    switch (face) {
    case TWindowFace::Frame:
        // The frame is the form the component sits on.
        if (window) {
            const HWND parent = WindowHandle();
            *window = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
        }
        return S_OK;
    case TWindowFace::WindowlessSite:
        if (!window)
            return E_POINTER;
        *window = nullptr;
        // A window for the control's context menu, once, right after a press it was allowed
        // to see.
        if (popupOwnerPending_) {
            popupOwnerPending_ = false;
            *window = WindowHandle();
        }
        return *window ? S_OK : E_FAIL;
    default:
        return NullOut(window, E_FAIL);
    }
}

HRESULT STDMETHODCALLTYPE TqelOleControl::SetActiveObject(IOleInPlaceActiveObject* object,
                                                          LPCOLESTR) {
    activeIntf_ = object;
    return S_OK;
}

HMENU TqelOleControl::FindMergeMenu() const {
    for (TWinControl* parent = Parent(); parent; parent = parent->Parent())
        if (auto* form = dynamic_cast<TForm*>(parent); form && !form->IsMdiChild())
            return form->Menu();
    TApplication* application = TApplication::Instance();
    return application && application->MainForm() ? application->MainForm()->Menu() : nullptr;
}

// The framework's forms carry no main menu, so there is nothing to merge: the control gets the
// answers it gets from a frame without menus.
HRESULT STDMETHODCALLTYPE TqelOleControl::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) {
    if (!FindMergeMenu() && widths)
        widths->width[0] = widths->width[2] = widths->width[4] = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::SetMenu(HMENU, HOLEMENU descriptor, HWND activeObject) {
    const HMENU menu = FindMergeMenu();
    if (!menu)
        return S_OK;
    return OleSetMenuDescriptor(descriptor, WindowHandle(), activeObject, nullptr, nullptr);
}

HRESULT STDMETHODCALLTYPE TqelOleControl::RemoveMenus(HMENU shared) {
    while (shared && GetMenuItemCount(shared) > 0)
        RemoveMenu(shared, 0, MF_BYPOSITION);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

// ---- IDispatch: the ambient properties

HRESULT STDMETHODCALLTYPE TqelOleControl::Invoke(DISPID dispid, REFIID, LCID, WORD flags,
                                                 DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
    auto boolean = [result](bool value) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    };
    auto integer = [result](int32_t value) {
        V_VT(result) = VT_I4;
        V_I4(result) = value;
        return S_OK;
    };
    try {
        VariantInit(result);
        switch (dispid) {
        case DISPID_AMBIENT_BACKCOLOR:
            return integer(Color());
        case DISPID_AMBIENT_DISPLAYNAME:
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = TBstr(AnsiToWide(Name())).Release();
            return S_OK;
        case DISPID_AMBIENT_FONT: {
            TFont& font = Parent() && ParentFont() ? Parent()->Font() : Font();
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = FontToFontDisp(font).Detach();
            return S_OK;
        }
        case DISPID_AMBIENT_FORECOLOR:
            return integer(Font().Color());
        case DISPID_AMBIENT_LOCALEID:
            return integer(static_cast<int32_t>(GetUserDefaultLCID()));
        case DISPID_AMBIENT_MESSAGEREFLECT:
            return boolean(true);
        case DISPID_AMBIENT_USERMODE:
            return boolean(!Designing());
        case DISPID_AMBIENT_UIDEAD:
            return boolean(Designing());
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_SHOWHATCHING:
            return boolean(false);
        case DISPID_AMBIENT_AUTOCLIP:
        case DISPID_AMBIENT_SUPPORTSMNEMONICS:
            return boolean(true);
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    } catch (...) {
        return E_FAIL;
    }
}

// ---- IOleInPlaceSite, IOleInPlaceSiteEx

HRESULT STDMETHODCALLTYPE TqelOleControl::OnInPlaceActivate() {
    if (hostedObject_) {
        hostedObject_.As(&inPlaceIntf_);
        hostedObject_.As(&activeIntf_);
        hostedObject_.As(&windowlessIntf_);
        hostedObject_.As(&viewIntf_);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::OnInPlaceActivateEx(BOOL*, DWORD) {
    return OnInPlaceActivate();
}

HRESULT STDMETHODCALLTYPE TqelOleControl::GetWindowContext(IOleInPlaceFrame** frame,
                                                           IOleInPlaceUIWindow** document,
                                                           LPRECT position, LPRECT clip,
                                                           LPOLEINPLACEFRAMEINFO info) {
    if (frame) {
        *frame = static_cast<TFrameFace*>(this);
        AddRef();
    }
    if (document)
        *document = nullptr;
    if (position)
        *position = BoundsRect();
    if (clip)
        *clip = kUnclipped;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::OnUIDeactivate(BOOL) {
    SetMenu(nullptr, nullptr, nullptr);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::OnInPlaceDeactivate() {
    activeIntf_.Reset();
    inPlaceIntf_.Reset();
    windowlessIntf_.Reset();
    viewIntf_.Reset();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::DeactivateAndUndo() {
    if (inPlaceIntf_)
        inPlaceIntf_->UIDeactivate();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::OnPosRectChange(LPCRECT position) {
    if (inPlaceIntf_ && position)
        inPlaceIntf_->SetObjectRects(position, &kUnclipped);
    return S_OK;
}

// ---- IOleControlSite

HRESULT STDMETHODCALLTYPE TqelOleControl::TransformCoords(POINTL* himetric, POINTF* container,
                                                          DWORD flags) {
    if (!himetric || !container)
        return E_POINTER;
    const int ppi = ScreenPixelsPerInch();
    if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
        container->x = static_cast<float>(MulDiv(himetric->x, ppi, 2540));
        container->y = static_cast<float>(MulDiv(himetric->y, ppi, 2540));
    } else {
        himetric->x = static_cast<LONG>(std::lround(container->x * 2540.0 / ppi));
        himetric->y = static_cast<LONG>(std::lround(container->y * 2540.0 / ppi));
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::TranslateAccelerator(MSG*, DWORD) {
    return E_NOTIMPL;
}
// ---- IOleClientSite

HRESULT STDMETHODCALLTYPE TqelOleControl::RequestNewObjectLayout() {
    try {
        return hostedObject_ ? ApplyNewLayout() : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}
