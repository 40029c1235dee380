#include <gtest/gtest.h>

#include "tests/win/standin_site.h"

#include "base/streams.h"
#include "base/text_win.h"
#include "qel/host/shockwave_flash.h"

namespace {

std::string VariantText(const VARIANT& value) {
    switch (V_VT(&value)) {
    case VT_I4:
        return std::to_string(V_I4(&value));
    case VT_BOOL:
        return V_BOOL(&value) ? "true" : "false";
    case VT_BSTR: {
        if (!V_BSTR(&value))
            return "null";
        std::string text = "\"";
        text += WideToAnsi(BstrText(V_BSTR(&value)));
        text += '"';
        return text;
    }
    default:
        return "vt" + std::to_string(V_VT(&value));
    }
}

} // namespace

HRESULT TTestMoniker::BindToStorage(IBindCtx* context, IMoniker*, REFIID, void**) {
    if (!context)
        return E_FAIL;
    ComPtr<IUnknown> holder;
    if (FAILED(context->GetObjectParam(const_cast<LPOLESTR>(L"_BSCB_Holder_"), &holder)))
        return E_FAIL;
    ComPtr<IBindStatusCallback> callback;
    if (FAILED(holder.As(&callback)))
        return E_FAIL;
    auto data = std::make_shared<TStringStream>(bytes_);
    ComPtr<IStream> stream = MakeStreamAdapter(data);
    STGMEDIUM medium{};
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = stream.Get();
    callback->OnStartBinding(0, nullptr);
    callback->OnProgress(100, 100, BINDSTATUS_ENDDOWNLOADDATA, L"");
    callback->OnDataAvailable(BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION,
                              static_cast<DWORD>(bytes_.size()), nullptr, &medium);
    callback->OnStopBinding(S_OK, L"");
    return S_OK;
}

HRESULT TTestSink::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                          EXCEPINFO*, UINT*) {
    std::string event =
        std::to_string(dispid) + (flags == DISPATCH_METHOD ? ":" : " (not a call):");
    for (UINT i = params ? params->cArgs : 0; i > 0; --i)
        event += (i == params->cArgs ? " " : ", ") + VariantText(params->rgvarg[i - 1]);
    events.push_back(event);
    return S_OK;
}

HRESULT TTestSite::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IBindHost && !offerBindHost) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    return TComObjectOf::QueryInterface(iid, out);
}

HRESULT TTestSite::OnInPlaceActivate() {
    // As the host does: take the in-place interface now.
    if (control)
        control->QueryInterface(IID_IOleInPlaceObjectWindowless,
                                reinterpret_cast<void**>(inPlaceObject.ReleaseAndGetAddressOf()));
    return S_OK;
}

HRESULT TTestSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                    LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    *frame = nullptr;
    *doc = nullptr;
    *pos = position;
    *clip = {0, 0, 32767, 32767};
    info->fMDIApp = FALSE;
    info->hwndFrame = nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT TTestSite::OnInPlaceDeactivate() {
    inPlaceObject.Reset();
    return S_OK;
}

HRESULT TTestSite::InvalidateRect(LPCRECT rect, BOOL) {
    invalidations.push_back(
        rect ? "rect " + std::to_string(rect->left) + "," + std::to_string(rect->top) + "," +
                   std::to_string(rect->right) + "," + std::to_string(rect->bottom)
             : "rect null");
    if (paintView && paintDc)
        paintView->Draw(DVASPECT_TRANSPARENT, -1, nullptr, nullptr, nullptr, paintDc, nullptr,
                        nullptr, nullptr, 0);
    return S_OK;
}

HRESULT TTestSite::InvalidateRgn(HRGN, BOOL) {
    invalidations.push_back("region");
    if (paintView && paintDc)
        paintView->Draw(DVASPECT_TRANSPARENT, -1, nullptr, nullptr, nullptr, paintDc, nullptr,
                        nullptr, nullptr, 0);
    return S_OK;
}

HRESULT TTestSite::QueryService(REFGUID, REFIID iid, void** out) {
    return QueryInterface(iid, out);
}

HRESULT TTestSite::CreateMoniker(LPOLESTR name, IBindCtx*, IMoniker** out, DWORD) {
    *out = nullptr;
    const auto file = files.find(name ? name : L"");
    if (file == files.end())
        return E_NOTIMPL;
    monikers_.push_back(std::make_unique<TTestMoniker>(file->second));
    *out = monikers_.back().get();
    (*out)->AddRef();
    return S_OK;
}

HRESULT TTestSite::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                          EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
    if (dispid == DISPID_AMBIENT_USERMODE) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_TRUE;
        return S_OK;
    }
    if (dispid == DISPID_AMBIENT_DISPLAYNAME) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(L"test site");
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

TTestContainer::~TTestContainer() {
    TearDown();
}

void TTestContainer::Activate() {
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_PPV_ARGS(&object)));
    standin = StandinOf(object.Get());
    ASSERT_TRUE(standin);
    DWORD misc = 0;
    ASSERT_HRESULT_SUCCEEDED(object->GetMiscStatus(DVASPECT_CONTENT, &misc));
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(&site));
    ComPtr<IPersistStreamInit> persist;
    ASSERT_HRESULT_SUCCEEDED(object.As(&persist));
    ASSERT_HRESULT_SUCCEEDED(persist->InitNew());
    ComPtr<IOleControl> control;
    ASSERT_HRESULT_SUCCEEDED(object.As(&control));
    ComPtr<IConnectionPointContainer> points;
    ASSERT_HRESULT_SUCCEEDED(object.As(&points));
    ComPtr<IConnectionPoint> point;
    ASSERT_HRESULT_SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, &point));
    ASSERT_HRESULT_SUCCEEDED(
        point->Advise(static_cast<IPropertyNotifySink*>(&site), &propertyCookie_));
    ASSERT_HRESULT_SUCCEEDED(points->FindConnectionPoint(DIID_ShockwaveFlashEvents, &point));
    ASSERT_HRESULT_SUCCEEDED(point->Advise(&sink, &eventCookie_));
    ASSERT_HRESULT_SUCCEEDED(control->OnAmbientPropertyChange(DISPID_UNKNOWN));
    site.control = object.Get();
    ASSERT_HRESULT_SUCCEEDED(
        object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, nullptr, &site.position));
    ASSERT_TRUE(site.inPlaceObject);
}

void TTestContainer::TearDown() {
    if (!object)
        return;
    site.paintView.Reset();
    object->Close(OLECLOSE_NOSAVE);
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(object.As(&points))) {
        if (eventCookie_ &&
            SUCCEEDED(points->FindConnectionPoint(DIID_ShockwaveFlashEvents, &point)))
            point->Unadvise(eventCookie_);
        if (propertyCookie_ &&
            SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, &point)))
            point->Unadvise(propertyCookie_);
    }
    object->SetClientSite(nullptr);
    point.Reset();
    points.Reset();
    site.inPlaceObject.Reset();
    site.control = nullptr;
    standin.Reset();
    object.Reset();
    EXPECT_EQ(site.References(), 0) << "the stand-in kept references to its site";
    EXPECT_EQ(sink.References(), 0) << "the stand-in kept references to its event sink";
}

HRESULT PutProperty(IUnknown* control, DISPID dispid, VARIANT value) {
    ComPtr<IDispatch> dispatch;
    const HRESULT found =
        control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(found))
        return found;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return dispatch->Invoke(dispid, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                            nullptr);
}

HRESULT GetPropertyValue(IUnknown* control, DISPID dispid, VARIANT& value) {
    ComPtr<IDispatch> dispatch;
    const HRESULT found =
        control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(found))
        return found;
    VariantInit(&value);
    DISPPARAMS none{};
    return dispatch->Invoke(dispid, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                            nullptr);
}

testing::AssertionResult InOrder(const std::vector<std::string>& log,
                                 const std::vector<std::string>& expected) {
    size_t next = 0;
    for (const std::string& line : log)
        if (next < expected.size() && line == expected[next])
            ++next;
    if (next == expected.size())
        return testing::AssertionSuccess();
    std::string text;
    for (const std::string& line : log)
        text += "  " + line + "\n";
    return testing::AssertionFailure()
           << "missing, in order: \"" << expected[next] << "\" in the log:\n"
           << text;
}
