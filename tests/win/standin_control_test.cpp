// The stand-in as the host sees it: creation, activation, properties, stored state, events.

#include <gtest/gtest.h>

#include "base/text_win.h"
#include "qel/host/shockwave_flash.h"
#include "tests/support/temp_dir.h"
#include "tests/win/standin_site.h"

namespace {

class StandinControl : public testing::Test {
protected:
    TComApartment apartment;
    TStandinServer server;
};

VARIANT Int(int32_t value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Bool(bool value) {
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// A text variant that lends the string, as the host sends it (null for the empty text).
VARIANT Text(BSTR text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}

ComPtr<IOleObject> CreateControl() {
    ComPtr<IOleObject> object;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_PPV_ARGS(&object)));
    return object;
}

std::string SavedBytes(IOleObject* object) {
    ComPtr<IPersistStreamInit> persist;
    EXPECT_HRESULT_SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&persist)));
    ComPtr<IStream> stream;
    EXPECT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    EXPECT_HRESULT_SUCCEEDED(persist->Save(stream.Get(), TRUE));
    HGLOBAL memory = nullptr;
    GetHGlobalFromStream(stream.Get(), &memory);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    const char* bytes = static_cast<const char*>(GlobalLock(memory));
    std::string saved(bytes, static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return saved;
}

HRESULT LoadBytes(IOleObject* object, const std::string& bytes) {
    ComPtr<IPersistStreamInit> persist;
    EXPECT_HRESULT_SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&persist)));
    ComPtr<IStream> stream;
    EXPECT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    return persist->Load(stream.Get());
}

} // namespace

TEST_F(StandinControl, ActivatesWindowlessInTheHostsOrderAndLogsEveryStep) {
    TTestContainer container;
    container.Activate();
    EXPECT_TRUE(InOrder(
        StandinLog(container.standin.Get()),
        {
            "QueryInterface(IOleObject) -> S_OK",
            "GetMiscStatus(1) -> S_OK, 0x00020191",
            "site.QueryInterface(IDispatch) -> S_OK",
            "SetClientSite(set) -> S_OK",
            "QueryInterface(IPersistStreamInit) -> S_OK",
            "InitNew() -> S_OK",
            "QueryInterface(IOleControl) -> S_OK",
            "QueryInterface(IConnectionPointContainer) -> S_OK",
            "FindConnectionPoint(IPropertyNotifySink) -> S_OK",
            "Advise(IPropertyNotifySink) -> S_OK, cookie 1",
            "FindConnectionPoint(ShockwaveFlashEvents) -> S_OK",
            "Advise(ShockwaveFlashEvents) -> S_OK, cookie 1",
            "site.Invoke(-709, PROPERTYGET) -> S_OK, BOOL -1",
            "site.Invoke(-702, PROPERTYGET) -> S_OK, BSTR \"test site\"",
            "OnAmbientPropertyChange(-1) -> S_OK",
            "site.QueryInterface(IOleInPlaceSiteWindowless) -> S_OK",
            "site.CanInPlaceActivate() -> S_OK",
            "site.CanWindowlessActivate() -> S_OK",
            "QueryInterface(IOleInPlaceObjectWindowless) -> S_OK",
            "site.OnInPlaceActivateEx(ACTIVATE_WINDOWLESS) -> S_OK",
            "site.GetWindowContext() -> S_OK, frame=null, doc=null, pos=0,0,747,501, "
            "clip=0,0,32767,32767, mdi=0, window=null, accel=null, entries=0",
            "DoVerb(-5, msg=null, site=set, index=0, parent=null, rect=0,0,747,501) -> S_OK",
        }));

    // Teardown: the site hears of the deactivation inside Close and gets every reference back.
    const ComPtr<IStandinControl> standin = container.standin;
    container.standin->ClearLog();
    container.TearDown();
    EXPECT_EQ(StandinLog(standin.Get()), (std::vector<std::string>{
                                             "site.OnInPlaceDeactivate() -> S_OK",
                                             "Close(1) -> S_OK",
                                             "QueryInterface(IConnectionPointContainer) -> S_OK",
                                             "FindConnectionPoint(ShockwaveFlashEvents) -> S_OK",
                                             "Unadvise(ShockwaveFlashEvents, 1) -> S_OK",
                                             "FindConnectionPoint(IPropertyNotifySink) -> S_OK",
                                             "Unadvise(IPropertyNotifySink, 1) -> S_OK",
                                             "SetClientSite(null) -> S_OK",
                                         }));
}

TEST_F(StandinControl, StaysInactiveWhenTheSiteRefusesWindowlessActivation) {
    TTestSite site;
    site.canWindowlessActivate = S_FALSE;
    {
        ComPtr<IOleObject> object = CreateControl();
        ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(&site));
        EXPECT_EQ(
            object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, nullptr, &site.position),
            E_FAIL);
        const auto log = StandinLog(StandinOf(object.Get()).Get());
        EXPECT_TRUE(InOrder(log, {"site.CanWindowlessActivate() -> S_FALSE",
                                  "* the site refuses windowless activation: not activated"}));
        for (const std::string& line : log)
            EXPECT_EQ(line.find("OnInPlaceActivateEx"), std::string::npos);
        ComPtr<IOleInPlaceObjectWindowless> windowless;
        ASSERT_HRESULT_SUCCEEDED(object.As(&windowless));
        LRESULT result = 0;
        EXPECT_EQ(windowless->OnWindowMessage(WM_KEYDOWN, 'A', 0, &result), S_FALSE);
        object->SetClientSite(nullptr);
    }
    EXPECT_EQ(site.References(), 0);
}

TEST_F(StandinControl, PropertiesRoundTripByDispatchIdentifierWithTheirTypes) {
    ComPtr<IOleObject> object = CreateControl();
    VARIANT value;
    // Booleans, integers and texts, each read back as the type the host relies on.
    ASSERT_HRESULT_SUCCEEDED(PutProperty(object.Get(), FlashProperty::kLoop, Bool(false)));
    ASSERT_HRESULT_SUCCEEDED(GetPropertyValue(object.Get(), FlashProperty::kLoop, value));
    EXPECT_EQ(V_VT(&value), VT_BOOL);
    EXPECT_EQ(V_BOOL(&value), VARIANT_FALSE);
    ASSERT_HRESULT_SUCCEEDED(PutProperty(object.Get(), FlashProperty::kMenu, Int(7)));
    ASSERT_HRESULT_SUCCEEDED(GetPropertyValue(object.Get(), FlashProperty::kMenu, value));
    EXPECT_EQ(V_BOOL(&value), VARIANT_TRUE); // any non-zero value is true, read as -1
    ASSERT_HRESULT_SUCCEEDED(PutProperty(object.Get(), FlashProperty::kQuality, Int(-3)));
    ASSERT_HRESULT_SUCCEEDED(GetPropertyValue(object.Get(), FlashProperty::kQuality, value));
    EXPECT_EQ(V_VT(&value), VT_I4);
    EXPECT_EQ(V_I4(&value), -3);
    TBstr transparent(L"Transparent");
    ASSERT_HRESULT_SUCCEEDED(
        PutProperty(object.Get(), FlashProperty::kWMode, Text(transparent.Get())));
    ASSERT_HRESULT_SUCCEEDED(GetPropertyValue(object.Get(), FlashProperty::kWMode, value));
    ASSERT_EQ(V_VT(&value), VT_BSTR);
    EXPECT_EQ(BstrText(V_BSTR(&value)), L"Transparent");
    VariantClear(&value);
    // The host sends an empty text as a null string; it reads back empty.
    ASSERT_HRESULT_SUCCEEDED(PutProperty(object.Get(), FlashProperty::kScale, Text(nullptr)));
    ASSERT_HRESULT_SUCCEEDED(GetPropertyValue(object.Get(), FlashProperty::kScale, value));
    ASSERT_EQ(V_VT(&value), VT_BSTR);
    EXPECT_EQ(BstrText(V_BSTR(&value)), L"");
    VariantClear(&value);
    // A value of another type is converted to the property's.
    ASSERT_HRESULT_SUCCEEDED(PutProperty(object.Get(), FlashProperty::kBase, Int(42)));
    ASSERT_HRESULT_SUCCEEDED(StandinOf(object.Get())->GetProperty(FlashProperty::kBase, &value));
    EXPECT_EQ(BstrText(V_BSTR(&value)), L"42");
    VariantClear(&value);

    EXPECT_TRUE(InOrder(StandinLog(StandinOf(object.Get()).Get()),
                        {"Invoke(106, PROPERTYPUT, BOOL 0) -> S_OK",
                         "Invoke(106, PROPERTYGET) -> S_OK, BOOL 0",
                         "Invoke(133, PROPERTYPUT, BSTR \"Transparent\") -> S_OK",
                         "Invoke(137, PROPERTYPUT, BSTR null) -> S_OK",
                         "Invoke(137, PROPERTYGET) -> S_OK, BSTR \"\""}));
}

TEST_F(StandinControl, RefusesUnknownIdentifiersBadCallsAndValuesThatDoNotConvert) {
    ComPtr<IOleObject> object = CreateControl();
    VARIANT value;
    EXPECT_EQ(GetPropertyValue(object.Get(), 999, value), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(PutProperty(object.Get(), -1000, Int(1)), DISP_E_MEMBERNOTFOUND);
    TBstr letters(L"abc");
    EXPECT_EQ(PutProperty(object.Get(), FlashProperty::kQuality, Text(letters.Get())),
              DISP_E_TYPEMISMATCH);

    ComPtr<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(object.As(&dispatch));
    VARIANT argument = Int(1);
    DISPPARAMS unnamed{&argument, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(FlashProperty::kQuality, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed,
                               nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(dispatch->Invoke(FlashProperty::kQuality, IID_NULL, 0, DISPATCH_METHOD, &unnamed,
                               nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    DISPPARAMS none{};
    EXPECT_EQ(dispatch->Invoke(FlashProperty::kQuality, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                               nullptr, nullptr, nullptr),
              E_POINTER);
    // The property kept its value through all of it.
    ASSERT_HRESULT_SUCCEEDED(GetPropertyValue(object.Get(), FlashProperty::kQuality, value));
    EXPECT_EQ(V_I4(&value), 1);

    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"wmode");
    EXPECT_HRESULT_SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
    EXPECT_EQ(id, FlashProperty::kWMode);
    name = const_cast<LPOLESTR>(L"LoadMovie");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(StandinControl, APropertyMadeToFailReportsItsDescriptionAndRecovers) {
    ComPtr<IOleObject> object = CreateControl();
    ComPtr<IStandinControl> standin = StandinOf(object.Get());
    ASSERT_HRESULT_SUCCEEDED(
        standin->FailProperty(FlashProperty::kWMode, E_ACCESSDENIED, L"Window mode is locked"));
    ComPtr<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(object.As(&dispatch));
    TBstr transparent(L"Transparent");
    VARIANT argument = Text(transparent.Get());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    EXCEPINFO exception{};
    EXPECT_EQ(dispatch->Invoke(FlashProperty::kWMode, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params,
                               nullptr, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_ACCESSDENIED);
    EXPECT_EQ(BstrText(exception.bstrDescription), L"Window mode is locked");
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    // Without exception information the code itself comes back.
    EXPECT_EQ(dispatch->Invoke(FlashProperty::kWMode, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params,
                               nullptr, nullptr, nullptr),
              E_ACCESSDENIED);
    ASSERT_HRESULT_SUCCEEDED(standin->FailProperty(FlashProperty::kWMode, S_OK, nullptr));
    EXPECT_HRESULT_SUCCEEDED(dispatch->Invoke(FlashProperty::kWMode, IID_NULL, 0,
                                              DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                              nullptr));
    EXPECT_TRUE(InOrder(StandinLog(standin.Get()),
                        {"Invoke(133, PROPERTYPUT, BSTR \"Transparent\") -> DISP_E_EXCEPTION, "
                         "E_ACCESSDENIED \"Window mode is locked\"",
                         "Invoke(133, PROPERTYPUT, BSTR \"Transparent\") -> S_OK"}));
}

TEST_F(StandinControl, CallsMadeToFailAnswerTheirCodeAndStillAppearInTheLog) {
    ComPtr<IOleObject> object = CreateControl();
    ComPtr<IStandinControl> standin = StandinOf(object.Get());
    ASSERT_HRESULT_SUCCEEDED(
        standin->FailCall(L"QueryInterface(IPersistStreamInit)", E_NOINTERFACE));
    ASSERT_HRESULT_SUCCEEDED(standin->FailCall(L"GetMiscStatus", E_UNEXPECTED));
    ComPtr<IPersistStreamInit> persist;
    EXPECT_EQ(object.As(&persist), E_NOINTERFACE);
    EXPECT_FALSE(persist);
    DWORD status = 0x1234;
    EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), E_UNEXPECTED);
    EXPECT_EQ(status, 0x1234u);
    ASSERT_HRESULT_SUCCEEDED(standin->FailCall(L"GetMiscStatus", S_OK));
    EXPECT_HRESULT_SUCCEEDED(object->GetMiscStatus(DVASPECT_CONTENT, &status));
    EXPECT_TRUE(
        InOrder(StandinLog(standin.Get()),
                {"QueryInterface(IPersistStreamInit) -> E_NOINTERFACE",
                 "GetMiscStatus(1) -> E_UNEXPECTED", "GetMiscStatus(1) -> S_OK, 0x00020191"}));

    // Faults a control starts with, for a process that cannot reach it before it is created.
    SetEnvironmentVariableW(L"LEAFTURN_STANDIN_FAIL",
                            L"GetMiscStatus=0x8000FFFF;broken;=1;DoVerb=0x80004005");
    ComPtr<IOleObject> faulty = CreateControl();
    SetEnvironmentVariableW(L"LEAFTURN_STANDIN_FAIL", nullptr);
    EXPECT_EQ(faulty->GetMiscStatus(DVASPECT_CONTENT, &status), E_UNEXPECTED);
    EXPECT_EQ(faulty->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr),
              E_FAIL);
    EXPECT_HRESULT_SUCCEEDED(CreateControl()->GetMiscStatus(DVASPECT_CONTENT, &status));
}

TEST_F(StandinControl, StoredStateRoundTripsAndDamagedStateChangesNothing) {
    std::string saved;
    {
        ComPtr<IOleObject> object = CreateControl();
        ComPtr<IPersistStreamInit> persist;
        ASSERT_HRESULT_SUCCEEDED(object.As(&persist));
        ASSERT_HRESULT_SUCCEEDED(persist->InitNew());
        EXPECT_EQ(persist->InitNew(), E_UNEXPECTED);
        EXPECT_EQ(persist->IsDirty(), S_FALSE);
        TBstr vars(L"page=3&lang=\x00E9");
        ASSERT_HRESULT_SUCCEEDED(
            PutProperty(object.Get(), FlashProperty::kFlashVars, Text(vars.Get())));
        ASSERT_HRESULT_SUCCEEDED(PutProperty(object.Get(), FlashProperty::kLoop, Bool(false)));
        ASSERT_HRESULT_SUCCEEDED(PutProperty(object.Get(), FlashProperty::kFrameNum, Int(12)));
        SIZEL extent{1000, 2000};
        ASSERT_HRESULT_SUCCEEDED(object->SetExtent(DVASPECT_CONTENT, &extent));
        EXPECT_EQ(persist->IsDirty(), S_OK);
        saved = SavedBytes(object.Get());
        EXPECT_EQ(persist->IsDirty(), S_FALSE);
        ULARGE_INTEGER size{};
        ASSERT_HRESULT_SUCCEEDED(persist->GetSizeMax(&size));
        EXPECT_EQ(size.QuadPart, saved.size());
    }
    ASSERT_EQ(saved.substr(0, 4), "LTSC");

    ComPtr<IOleObject> copy = CreateControl();
    ASSERT_HRESULT_SUCCEEDED(LoadBytes(copy.Get(), saved));
    ComPtr<IStandinControl> standin = StandinOf(copy.Get());
    VARIANT value;
    ASSERT_HRESULT_SUCCEEDED(standin->GetProperty(FlashProperty::kFlashVars, &value));
    EXPECT_EQ(BstrText(V_BSTR(&value)), L"page=3&lang=\x00E9");
    VariantClear(&value);
    ASSERT_HRESULT_SUCCEEDED(standin->GetProperty(FlashProperty::kLoop, &value));
    EXPECT_EQ(V_BOOL(&value), VARIANT_FALSE);
    ASSERT_HRESULT_SUCCEEDED(standin->GetProperty(FlashProperty::kFrameNum, &value));
    EXPECT_EQ(V_I4(&value), 12);
    SIZEL extent{};
    ASSERT_HRESULT_SUCCEEDED(copy->GetExtent(DVASPECT_CONTENT, &extent));
    EXPECT_EQ(extent.cx, 1000);
    EXPECT_EQ(extent.cy, 2000);

    // Every shortened copy, and another control's state, is refused and leaves the defaults.
    for (size_t length = 0; length < saved.size(); ++length) {
        ComPtr<IOleObject> damaged = CreateControl();
        ASSERT_EQ(LoadBytes(damaged.Get(), saved.substr(0, length)), E_FAIL) << length;
        ASSERT_HRESULT_SUCCEEDED(
            StandinOf(damaged.Get())->GetProperty(FlashProperty::kLoop, &value));
        ASSERT_EQ(V_BOOL(&value), VARIANT_TRUE) << length;
        ComPtr<IPersistStreamInit> persist;
        ASSERT_HRESULT_SUCCEEDED(damaged.As(&persist));
        ASSERT_HRESULT_SUCCEEDED(persist->InitNew()) << "still uninitialised after " << length;
    }
    ComPtr<IOleObject> foreign = CreateControl();
    EXPECT_EQ(LoadBytes(foreign.Get(), "gUfU" + saved.substr(4)), E_FAIL);
    std::string oversized = saved;
    oversized[16] = 99; // more properties than there are
    EXPECT_EQ(LoadBytes(CreateControl().Get(), oversized), E_FAIL);
    EXPECT_TRUE(
        InOrder(StandinLog(StandinOf(foreign.Get()).Get()),
                {"* stored state refused: not this control's state", "Load(set) -> E_FAIL"}));
}

TEST_F(StandinControl, EventsReachTheConnectedSinkWithTheirArgumentsInOrder) {
    TTestContainer container;
    container.Activate();
    IStandinControl* standin = container.standin.Get();
    TBstr command(L"fullscreen"), args(L"true");
    const VARIANT script[2] = {Text(command.Get()), Text(args.Get())};
    EXPECT_EQ(standin->RaiseEvent(FlashEvent::kFSCommand, 2, script), S_OK);
    const VARIANT state = Int(4);
    EXPECT_EQ(standin->RaiseEvent(FlashEvent::kReadyStateChange, 1, &state), S_OK);
    EXPECT_EQ(standin->RaiseEvent(FlashEvent::kOnProgress, 0, nullptr), S_OK);
    EXPECT_EQ(container.sink.events,
              (std::vector<std::string>{"150: \"fullscreen\", \"true\"", "-609: 4", "1958:"}));
    EXPECT_TRUE(InOrder(StandinLog(standin),
                        {"event.Invoke(150, BSTR \"fullscreen\", BSTR \"true\") -> S_OK",
                         "event.Invoke(-609, I4 4) -> S_OK"}));

    // Frozen events are held back; property changes reach the property sink.
    ComPtr<IOleControl> control;
    ASSERT_HRESULT_SUCCEEDED(container.object.As(&control));
    control->FreezeEvents(TRUE);
    EXPECT_EQ(standin->RaiseEvent(FlashEvent::kReadyStateChange, 1, &state), S_FALSE);
    control->FreezeEvents(FALSE);
    EXPECT_EQ(container.sink.events.size(), 3u);
    EXPECT_EQ(standin->NotifyChanged(-501), S_OK);
    EXPECT_EQ(container.site.changed, std::vector<DISPID>{-501});
}

TEST_F(StandinControl, ConnectionPointsHandOutCookiesAndRefuseWhatTheyCannotConnect) {
    ComPtr<IOleObject> object = CreateControl();
    ComPtr<IConnectionPointContainer> points;
    ASSERT_HRESULT_SUCCEEDED(object.As(&points));
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(points->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    ASSERT_HRESULT_SUCCEEDED(points->FindConnectionPoint(DIID_ShockwaveFlashEvents, &point));
    IID iid{};
    ASSERT_HRESULT_SUCCEEDED(point->GetConnectionInterface(&iid));
    EXPECT_EQ(iid, DIID_ShockwaveFlashEvents);
    TTestSink first, second;
    TTestSite notSink; // answers IDispatch but not the event interface
    DWORD cookie1 = 0, cookie2 = 0, cookie3 = 7;
    ASSERT_HRESULT_SUCCEEDED(point->Advise(&first, &cookie1));
    ASSERT_HRESULT_SUCCEEDED(point->Advise(&second, &cookie2));
    EXPECT_EQ(point->Advise(static_cast<IOleClientSite*>(&notSink), &cookie3),
              CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie3, 0u);
    EXPECT_EQ(cookie1, 1u);
    EXPECT_EQ(cookie2, 2u);
    ComPtr<IStandinControl> standin = StandinOf(object.Get());
    const VARIANT state = Int(3);
    standin->RaiseEvent(FlashEvent::kReadyStateChange, 1, &state);
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_EQ(second.events.size(), 1u);
    EXPECT_HRESULT_SUCCEEDED(point->Unadvise(cookie1));
    EXPECT_EQ(point->Unadvise(cookie1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(first.References(), 0);
    EXPECT_HRESULT_SUCCEEDED(point->Unadvise(cookie2));
    EXPECT_EQ(standin->RaiseEvent(FlashEvent::kReadyStateChange, 1, &state), S_FALSE);
    EXPECT_TRUE(InOrder(StandinLog(standin.Get()), {"* event -609, I4 3 not sent: no sink"}));
    EXPECT_EQ(second.References(), 0);
    EXPECT_EQ(notSink.References(), 0);
}

TEST_F(StandinControl, ReportsTheVersionItIsGiven) {
    ComPtr<IOleObject> object = CreateControl();
    ComPtr<IShockwaveFlash> flash;
    ASSERT_HRESULT_SUCCEEDED(object.As(&flash));
    long version = 0;
    ASSERT_HRESULT_SUCCEEDED(flash->FlashVersion(&version));
    EXPECT_EQ(version, kStandinDefaultVersion);
    ASSERT_HRESULT_SUCCEEDED(StandinOf(object.Get())->SetFlashVersion(0x00090073));
    ASSERT_HRESULT_SUCCEEDED(flash->FlashVersion(&version));
    EXPECT_EQ(version >> 16, 9);
    EXPECT_EQ(flash->UnusedSlot40(), E_NOTIMPL);
    EXPECT_TRUE(InOrder(StandinLog(StandinOf(object.Get()).Get()),
                        {"FlashVersion() -> S_OK, 0x000A0000", "FlashVersion() -> S_OK, 0x00090073",
                         "UnusedSlot40() -> E_NOTIMPL"}));
}

TEST_F(StandinControl, AppendsEveryLineToTheFileNamedInTheEnvironment) {
    TTempDir dir;
    const std::string path = dir.File("standin.log");
    SetEnvironmentVariableA("LEAFTURN_STANDIN_LOG", path.c_str());
    ComPtr<IOleObject> object = CreateControl();
    DWORD status = 0;
    object->GetMiscStatus(DVASPECT_CONTENT, &status);
    TBstr name(L"quote \" and \\ and \x00E9");
    ComPtr<IShockwaveFlash> flash;
    ASSERT_HRESULT_SUCCEEDED(object.As(&flash));
    flash->SetVariable(name.Get(), nullptr);
    // Each line is in the file as soon as it is logged.
    const std::string file = ReadWholeFile(path);
    SetEnvironmentVariableA("LEAFTURN_STANDIN_LOG", nullptr);
    EXPECT_EQ(file, StandinLogText(StandinOf(object.Get()).Get()));
    EXPECT_NE(file.find("SetVariable(\"quote \\\" and \\\\ and \\xE9\", null) -> S_OK\n"),
              std::string::npos)
        << file;
}
