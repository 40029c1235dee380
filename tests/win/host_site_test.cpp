// The host's life with a control: creation, activation, the site's answers, teardown.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/win/host_test_support.h"

namespace {

class HostSite : public testing::Test {
protected:
    THostedForm hosted;
};

template <typename T> ComPtr<T> Face(TqelOleControl& host, REFIID iid) {
    ComPtr<T> face;
    EXPECT_EQ(host.QueryInterface(iid, reinterpret_cast<void**>(face.GetAddressOf())), S_OK);
    return face;
}

} // namespace

TEST(HostCreation, AControlThatCannotBeCreatedLeavesAnEmptyHarmlessComponent) {
    TApplication application;
    std::vector<std::string> errors;
    application.SetErrorRecorder([&](const std::string& m) { errors.push_back(m); });
    auto* form = new TForm(nullptr);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    TTestHost::TOptions options;
    options.classId = {
        0x6B1E5C1D, 0x0C4A, 0x4E38, {0x9D, 0x31, 0x7A, 0x52, 0x11, 0x90, 0xAB, 0x01}};
    auto* host = new TTestHost(form, options); // a class nobody registered
    host->SetParent(panel);
    EXPECT_TRUE(host->CreationFailed());
    EXPECT_EQ(host->HostedObject(), nullptr);
    form->Show();
    host->SetBounds(1, 1, 200, 100);
    host->PaintNow();
    host->WriteIntProperty(FlashProperty::kQuality, 2);
    host->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    host->Perform(WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(host->Width(), 200);
    EXPECT_EQ(host->InvalidateRect(nullptr, FALSE), S_OK);
    EXPECT_TRUE(errors.empty());
    delete form;
}

TEST_F(HostSite, ActivatesTheControlWindowlessInTheExpectedOrder) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    ASSERT_FALSE(host->CreationFailed());
    EXPECT_TRUE(
        InOrder(LogOf(*host), {
                                  "GetMiscStatus(1) -> S_OK",
                                  "SetClientSite(set) -> S_OK",
                                  "QueryInterface(IPersistStreamInit) -> S_OK",
                                  "InitNew() -> S_OK",
                                  "QueryInterface(IOleControl) -> S_OK",
                                  "QueryInterface(IDispatch) -> S_OK",
                                  "QueryInterface(IPerPropertyBrowsing)",
                                  "Advise(IPropertyNotifySink) -> S_OK",
                                  "Advise(ShockwaveFlashEvents) -> S_OK",
                                  "OnAmbientPropertyChange(-1) -> S_OK",
                                  "Invoke(133, PROPERTYPUT, BSTR \"Transparent\") -> S_OK",
                                  "site.CanWindowlessActivate() -> S_OK",
                                  "DoVerb(-5, msg=null, site=set, index=0, parent=null, rect=",
                                  "OnWindowMessage(0x0007, 0, 0) -> S_OK",
                              }));
    EXPECT_NE(host->InPlaceIntf(), nullptr);
    EXPECT_NE(host->WindowlessIntf(), nullptr);
    EXPECT_NE(host->ViewIntf(), nullptr);
    // The control sees itself at the origin of its own space.
    EXPECT_EQ(LineStarting(LogOf(*host), "SetObjectRects(pos=0,0,"),
              "SetObjectRects(pos=0,0," + std::to_string(host->Width()) + "," +
                  std::to_string(host->Height()) + ", clip=0,0," + std::to_string(host->Width()) +
                  "," + std::to_string(host->Height()) + ") -> S_OK");
}

TEST_F(HostSite, SetsTheClientSiteAtCreationOnlyWhenAsked) {
    TTestHost::TOptions options;
    options.siteOptions = SiteOption::kNeverClientSiteFirst;
    auto* never = new TTestHost(hosted.form, options);
    const auto lines = LogOf(*never);
    // Set only once initialisation finds the control without a site.
    EXPECT_TRUE(
        InOrder(lines, {"GetMiscStatus(1)", "QueryInterface(IPersistStreamInit)",
                        "GetClientSite() -> S_OK, null", "SetClientSite(set)", "InitNew()"}));
}

TEST_F(HostSite, ASecondInitialisationDoesNothing) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    const size_t before = LogOf(*host).size();
    host->InitializeControl();
    EXPECT_EQ(LogOf(*host).size(), before);
}

TEST_F(HostSite, ActivationWithoutAnInPlaceObjectFails) {
    TTestHost::TOptions options;
    options.activate = false;
    auto* host = new TTestHost(hosted.form, options);
    StandinBehind(*host)->FailCall(L"DoVerb", E_FAIL);
    try {
        host->ActivateControl();
        FAIL() << "activated";
    } catch (const TOleError& error) {
        EXPECT_STREQ(error.what(), "OLE control activation failed");
    }
}

TEST_F(HostSite, EveryWindowAnswerButTheFramesIsNone) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(Face<IOleInPlaceSite>(*host, IID_IOleInPlaceSite)->GetWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(Face<IOleInPlaceUIWindow>(*host, IID_IOleInPlaceUIWindow)->GetWindow(&window),
              E_FAIL);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(Face<IOleWindow>(*host, IID_IOleWindow)->GetWindow(&window), E_FAIL);
    EXPECT_EQ(
        Face<IOleInPlaceSiteWindowless>(*host, IID_IOleInPlaceSiteWindowless)->GetWindow(&window),
        E_FAIL);
    EXPECT_EQ(Face<IOleInPlaceFrame>(*host, IID_IOleInPlaceFrame)->GetWindow(&window), S_OK);
    EXPECT_EQ(window, hosted.form->Handle());
}

TEST_F(HostSite, QueryServiceIgnoresTheServiceAndAnswersDerivedInterfaces) {
    auto* player = hosted.Place(new TqelFlashPlayer(hosted.form));
    auto* plain = hosted.Place(new TTestHost(hosted.form));
    const GUID anyService = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    ComPtr<IBindHost> bindHost;
    EXPECT_EQ(player->QueryService(anyService, IID_IBindHost,
                                   reinterpret_cast<void**>(bindHost.GetAddressOf())),
              S_OK);
    EXPECT_TRUE(bindHost);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(plain->QueryService(anyService, IID_IBindHost, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    // One identity for every interface.
    ComPtr<IUnknown> a, b;
    player->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.GetAddressOf()));
    bindHost.As(&b);
    EXPECT_EQ(a.Get(), b.Get());
}

TEST_F(HostSite, ReferenceCountsNeverFreeTheComponent) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    // Told when the component goes, whoever frees it.
    struct TWatcher : TComponent {
        using TComponent::TComponent;
        void Notification(TComponent* component, TOperation operation) override {
            if (operation == TOperation::Remove)
                gone = component;
        }
        TComponent* gone = nullptr;
    } watcher(nullptr);
    host->FreeNotification(&watcher);
    const ULONG before = host->RefCount();
    {
        ComPtr<IOleClientSite> site = Face<IOleClientSite>(*host, IID_IOleClientSite);
        EXPECT_EQ(host->RefCount(), before + 1);
    }
    EXPECT_EQ(host->RefCount(), before);
    // More releases than references: the count stops at 0, the component stays.
    for (ULONG i = 0; i <= before + 2; ++i) {
        host->Release();
        ASSERT_EQ(watcher.gone, nullptr) << "freed at release " << i;
    }
    EXPECT_EQ(host->RefCount(), 0u);
}

TEST_F(HostSite, AmbientPropertiesNeedTheGetFlag) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    host->SetName("qelflshplyr1");
    host->SetColor(0x123456);
    ComPtr<IDispatch> ambient = Face<IDispatch>(*host, IID_IDispatch);
    auto get = [&](DISPID dispid, WORD flags, VARIANT& result) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        VariantInit(&result);
        return ambient->Invoke(dispid, IID_NULL, 0, flags, &none, &result, nullptr, nullptr);
    };
    VARIANT v;
    ASSERT_EQ(get(DISPID_AMBIENT_BACKCOLOR, DISPATCH_PROPERTYGET, v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_I4);
    EXPECT_EQ(V_I4(&v), 0x123456);
    ASSERT_EQ(get(DISPID_AMBIENT_DISPLAYNAME, DISPATCH_PROPERTYGET, v), S_OK);
    EXPECT_EQ(BstrText(V_BSTR(&v)), L"qelflshplyr1");
    VariantClear(&v);
    for (DISPID truthy : {DISPID_AMBIENT_MESSAGEREFLECT, DISPID_AMBIENT_USERMODE,
                          DISPID_AMBIENT_AUTOCLIP, DISPID_AMBIENT_SUPPORTSMNEMONICS}) {
        ASSERT_EQ(get(truthy, DISPATCH_PROPERTYGET, v), S_OK) << truthy;
        EXPECT_EQ(V_BOOL(&v), VARIANT_TRUE) << truthy;
    }
    for (DISPID falsy :
         {DISPID_AMBIENT_UIDEAD, DISPID_AMBIENT_SHOWGRABHANDLES, DISPID_AMBIENT_SHOWHATCHING}) {
        ASSERT_EQ(get(falsy, DISPATCH_PROPERTYGET, v), S_OK) << falsy;
        EXPECT_EQ(V_BOOL(&v), VARIANT_FALSE) << falsy;
    }
    ASSERT_EQ(get(DISPID_AMBIENT_LOCALEID, DISPATCH_PROPERTYGET, v), S_OK);
    EXPECT_EQ(static_cast<LCID>(V_I4(&v)), GetUserDefaultLCID());
    host->SetDesigning(true);
    ASSERT_EQ(get(DISPID_AMBIENT_USERMODE, DISPATCH_PROPERTYGET, v), S_OK);
    EXPECT_EQ(V_BOOL(&v), VARIANT_FALSE);
    ASSERT_EQ(get(DISPID_AMBIENT_UIDEAD, DISPATCH_PROPERTYGET, v), S_OK);
    EXPECT_EQ(V_BOOL(&v), VARIANT_TRUE);
    host->SetDesigning(false);

    EXPECT_EQ(get(DISPID_AMBIENT_BACKCOLOR, DISPATCH_METHOD, v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(get(DISPID_AMBIENT_BACKCOLOR, DISPATCH_PROPERTYPUT, v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(get(-9999, DISPATCH_PROPERTYGET, v), DISP_E_MEMBERNOTFOUND);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(ambient->Invoke(DISPID_AMBIENT_BACKCOLOR, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                              nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(HostSite, TheAmbientFontIsTheParentsOnlyWhileTakenFromIt) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    hosted.panel->Font().SetSize(20);
    ComPtr<IDispatch> ambient = Face<IDispatch>(*host, IID_IDispatch);
    auto fontPoints = [&] {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(ambient->Invoke(DISPID_AMBIENT_FONT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v,
                                  nullptr, nullptr),
                  S_OK);
        ComPtr<IFont> font;
        EXPECT_EQ(V_DISPATCH(&v)->QueryInterface(IID_IFont, &font), S_OK);
        CY size{};
        font->get_Size(&size);
        VariantClear(&v);
        return static_cast<int>(size.int64 / 10000);
    };
    EXPECT_EQ(fontPoints(), 20);
    host->Font().SetSize(9); // its own font from now on
    EXPECT_EQ(fontPoints(), 9);
}

TEST_F(HostSite, ContextAndLayoutAnswers) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    auto site = Face<IOleInPlaceSite>(*host, IID_IOleInPlaceSite);
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT position, clip;
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    ASSERT_EQ(site->GetWindowContext(&frame, &document, &position, &clip, &info), S_OK);
    EXPECT_TRUE(frame);
    EXPECT_FALSE(document);
    const RECT bounds = host->BoundsRect();
    EXPECT_TRUE(EqualRect(&position, &bounds));
    EXPECT_EQ(clip.right, 32767);
    EXPECT_EQ(clip.bottom, 32767);
    EXPECT_FALSE(info.fMDIApp);
    EXPECT_EQ(info.cAccelEntries, 0u);

    auto controlSite = Face<IOleControlSite>(*host, IID_IOleControlSite);
    POINTL himetric{2540, 5080};
    POINTF container{};
    ASSERT_EQ(controlSite->TransformCoords(&himetric, &container, XFORMCOORDS_HIMETRICTOCONTAINER),
              S_OK);
    const int ppi = ScreenPixelsPerInch();
    EXPECT_FLOAT_EQ(container.x, static_cast<float>(ppi));
    EXPECT_FLOAT_EQ(container.y, static_cast<float>(2 * ppi));
    container = {static_cast<float>(ppi) / 2, 1.0f};
    ASSERT_EQ(controlSite->TransformCoords(&himetric, &container, XFORMCOORDS_CONTAINERTOHIMETRIC),
              S_OK);
    EXPECT_EQ(himetric.x, 1270);
    EXPECT_EQ(himetric.y, static_cast<LONG>(std::lround(2540.0 / ppi)));

    auto client = Face<IOleClientSite>(*host, IID_IOleClientSite);
    ComPtr<IOleContainer> container2;
    EXPECT_EQ(client->GetContainer(&container2), E_NOINTERFACE);
    ComPtr<IMoniker> moniker;
    EXPECT_EQ(client->GetMoniker(0, 0, &moniker), E_NOTIMPL);
    EXPECT_EQ(frame->TranslateAccelerator(nullptr, 0), S_FALSE);
    RECT border;
    EXPECT_EQ(frame->GetBorder(&border), INPLACE_E_NOTOOLSPACE);
}

TEST_F(HostSite, AnswersTheControlsActiveObjectPositionAndLayoutRequests) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    ComPtr<IStandinControl> standin = StandinBehind(*host);
    ComPtr<IOleInPlaceActiveObject> active;
    ASSERT_EQ(host->HostedObject()->QueryInterface(IID_PPV_ARGS(&active)), S_OK);
    TStandinAction setActive = StandinAction(kActSetActiveObject);
    setActive.flags = 1; // none
    EXPECT_EQ(standin->Act(&setActive), S_OK);
    EXPECT_EQ(host->ActiveIntf(), nullptr);
    setActive.flags = 0;
    EXPECT_EQ(standin->Act(&setActive), S_OK);
    EXPECT_EQ(host->ActiveIntf(), active.Get());

    // A new position is handed back to the control, unclipped.
    standin->ClearLog();
    const RECT position{0, 0, 100, 80};
    const TStandinAction moved = StandinAction(kActPosRectChange, &position);
    EXPECT_EQ(standin->Act(&moved), S_OK);
    EXPECT_TRUE(
        InOrder(LogOf(*host), {"SetObjectRects(pos=0,0,100,80, clip=0,0,32767,32767) -> S_OK",
                               "site.OnPosRectChange(0,0,100,80) -> S_OK"}));

    // A new extent becomes the component's size, at the screen's pixels per inch.
    SIZEL extent{2 * 2540, 2540};
    ASSERT_EQ(host->HostedObject()->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
    const TStandinAction layout = StandinAction(kActRequestNewObjectLayout);
    EXPECT_EQ(standin->Act(&layout), S_OK);
    const int ppi = ScreenPixelsPerInch();
    EXPECT_EQ(host->Width(), 2 * ppi);
    EXPECT_EQ(host->Height(), ppi);
}

TEST_F(HostSite, TheSitesMonikerDeclinesAllButBinding) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    auto moniker = Face<IMoniker>(*host, IID_IMoniker);
    IMoniker* out = reinterpret_cast<IMoniker*>(1);
    EXPECT_EQ(moniker->Inverse(&out), E_NOTIMPL);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<IMoniker*>(1);
    EXPECT_EQ(moniker->ComposeWith(nullptr, FALSE, &out), E_NOTIMPL);
    EXPECT_EQ(out, nullptr);
    IEnumMoniker* monikers = reinterpret_cast<IEnumMoniker*>(1);
    EXPECT_EQ(moniker->Enum(TRUE, &monikers), E_NOTIMPL);
    EXPECT_EQ(monikers, nullptr);
    EXPECT_EQ(moniker->IsDirty(), E_NOTIMPL);
    auto parse = Face<IParseDisplayName>(*host, IID_IParseDisplayName);
    out = reinterpret_cast<IMoniker*>(1);
    ULONG eaten = 0;
    wchar_t name[] = L"x";
    EXPECT_EQ(parse->ParseDisplayName(nullptr, name, &eaten, &out), E_NOTIMPL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(HostSite, RenamingTellsTheControlItsNewDisplayName) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    StandinBehind(*host)->ClearLog();
    host->SetName("renamed");
    EXPECT_TRUE(InOrder(LogOf(*host), {"site.Invoke(-702, PROPERTYGET) -> S_OK, BSTR \"renamed\"",
                                       "OnAmbientPropertyChange(-702) -> S_OK"}));
}

TEST_F(HostSite, TearsTheControlDownInOrder) {
    auto* host = hosted.Place(new TTestHost(hosted.form));
    ComPtr<IStandinControl> standin = StandinBehind(*host); // keeps the log readable
    standin->ClearLog();
    delete host;
    const auto lines = StandinLog(standin.Get());
    EXPECT_TRUE(InOrder(lines, {"Close(1)", "Close(1)", "Unadvise(ShockwaveFlashEvents",
                                "Unadvise(IPropertyNotifySink", "SetClientSite(null)"}))
        << StandinLogText(standin.Get());
}
