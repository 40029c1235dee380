// The control's properties by dispatch identifier, its stored state, and its events.

#include <gtest/gtest.h>

#include <cstdio>

#include "base/text_win.h"
#include "tests/win/host_test_support.h"

namespace {

class HostProperties : public testing::Test {
protected:
    THostedForm hosted;
    TTestHost* host = hosted.Place(new TTestHost(hosted.form));
    ComPtr<IStandinControl> standin = StandinBehind(*host);

    VARIANT Held(DISPID dispid) {
        VARIANT v;
        VariantInit(&v);
        standin->GetProperty(dispid, &v);
        return v;
    }
};

} // namespace

TEST_F(HostProperties, TypedAccessorsRoundTrip) {
    host->WriteIntProperty(FlashProperty::kQuality, 3);
    EXPECT_EQ(host->ReadIntProperty(FlashProperty::kQuality), 3);
    host->WriteBoolProperty(FlashProperty::kLoop, false);
    EXPECT_FALSE(host->ReadBoolProperty(FlashProperty::kLoop));
    host->WriteBoolProperty(FlashProperty::kLoop, true);
    VARIANT stored = Held(FlashProperty::kLoop);
    EXPECT_EQ(V_BOOL(&stored), VARIANT_TRUE); // -1, read back as true
    EXPECT_TRUE(host->ReadBoolProperty(FlashProperty::kLoop));
    host->WriteWideProperty(FlashProperty::kScale, L"NoScale");
    EXPECT_EQ(host->ReadWideProperty(FlashProperty::kScale), L"NoScale");
    host->WriteTextProperty(FlashProperty::kBase, "files/");
    EXPECT_EQ(host->ReadTextProperty(FlashProperty::kBase), "files/");
    EXPECT_EQ(host->ReadTextProperty(FlashProperty::kQuality), "3"); // converted to text
}

TEST_F(HostProperties, AnEmptyWideStringTravelsAsANullString) {
    standin->ClearLog();
    host->WriteWideProperty(FlashProperty::kSAlign, L"");
    EXPECT_EQ(LineStarting(LogOf(*host), "Invoke(134, PROPERTYPUT"),
              "Invoke(134, PROPERTYPUT, BSTR null) -> S_OK");
    // A text written as 8-bit text is always a string of its own.
    host->WriteTextProperty(FlashProperty::kSAlign, "");
    EXPECT_EQ(LogOf(*host).back(), "Invoke(134, PROPERTYPUT, BSTR \"\") -> S_OK");
}

TEST_F(HostProperties, PutsAndRefPutsAreChosenByTheValuesType) {
    standin->ClearLog();
    VARIANT value = IntegerVariant(7);
    host->WriteProperty(FlashProperty::kFrameNum, value);
    EXPECT_EQ(LogOf(*host).back(), "Invoke(107, PROPERTYPUT, I4 7) -> S_OK");
    ComPtr<IDispatch> dispatch = host->ControlDispatchObject();
    VARIANT object;
    V_VT(&object) = VT_DISPATCH;
    V_DISPATCH(&object) = dispatch.Get();
    try {
        host->WriteProperty(FlashProperty::kMovieData, object);
    } catch (const TOleError&) {
        // The control cannot take an object there; what matters is how it was sent.
    }
    EXPECT_FALSE(LineStarting(LogOf(*host), "Invoke(190, PROPERTYPUTREF").empty());
}

TEST_F(HostProperties, TheControlsDescriptionBecomesTheErrorsMessage) {
    standin->FailProperty(FlashProperty::kQuality, E_ACCESSDENIED, L"quality is locked");
    try {
        host->ReadIntProperty(FlashProperty::kQuality);
        FAIL() << "no error";
    } catch (const TOleError& error) {
        EXPECT_STREQ(error.what(), "quality is locked");
        EXPECT_EQ(error.Code(), E_ACCESSDENIED);
    }
    EXPECT_THROW(host->WriteIntProperty(FlashProperty::kQuality, 1), TOleError);
    standin->FailProperty(FlashProperty::kQuality, S_OK, nullptr);
    EXPECT_NO_THROW(host->WriteIntProperty(FlashProperty::kQuality, 1));
    // An identifier the control does not know is an error too.
    EXPECT_THROW(host->ReadIntProperty(9999), TOleError);
}

TEST_F(HostProperties, StoredStateIsLoadedOnlyByAnInitialisationStillToCome) {
    host->WriteIntProperty(FlashProperty::kQuality, 5);
    host->WriteWideProperty(FlashProperty::kBGColor, L"#102030");
    const std::vector<uint8_t> state = host->SaveStoredData();
    ASSERT_GE(state.size(), 4u);
    EXPECT_EQ(std::string(state.begin(), state.begin() + 4), "LTSC");

    // Given before initialisation: the control starts from it, instead of a new state.
    TTestHost::TOptions options;
    options.storedState = state;
    auto* restored = new TTestHost(hosted.form, options);
    const auto lines = LogOf(*restored);
    EXPECT_FALSE(LineStarting(lines, "Load(set) -> S_OK").empty());
    EXPECT_TRUE(LineStarting(lines, "InitNew(").empty());
    EXPECT_FALSE(restored->HasStoredState()); // released once loaded
    EXPECT_EQ(restored->ReadIntProperty(FlashProperty::kQuality), 5);
    EXPECT_EQ(restored->ReadWideProperty(FlashProperty::kBGColor), L"#102030");
    // A control that cannot load it: the initialisation raises its code.
    for (const HRESULT code : {E_OUTOFMEMORY, E_FAIL}) {
        char fault[32];
        std::snprintf(fault, sizeof fault, "Load=0x%08lX", static_cast<unsigned long>(code));
        SetEnvironmentVariableA("LEAFTURN_STANDIN_FAIL", fault);
        try {
            new TTestHost(hosted.form, options);
            ADD_FAILURE() << "initialised";
        } catch (const TOleError& error) {
            EXPECT_EQ(error.Code(), code);
        }
        SetEnvironmentVariableA("LEAFTURN_STANDIN_FAIL", nullptr);
    }

    // Given after: kept, never loaded, and saved again unchanged.
    host->LoadStoredData({'L', 'T', 'S', 'C', 9, 9});
    EXPECT_TRUE(host->HasStoredState());
    EXPECT_EQ(host->ReadIntProperty(FlashProperty::kQuality), 5);
    EXPECT_EQ(host->SaveStoredData(), (std::vector<uint8_t>{'L', 'T', 'S', 'C', 9, 9}));
}

TEST_F(HostProperties, ControlDataTravelsInTheStoredDescription) {
    host->WriteIntProperty(FlashProperty::kQuality, 4);
    TMemoryStream description;
    WriteStoredDescription(description, *host, "qelflshplyr1");
    description.SetPosition(0);
    // Read into an initialised control: kept as stored state, never loaded into the control.
    auto* other = hosted.Place(new TTestHost(hosted.form));
    other->WriteIntProperty(FlashProperty::kQuality, 1);
    StandinBehind(*other)->ClearLog();
    EXPECT_EQ(ReadStoredDescription(description, *other), "qelflshplyr1");
    EXPECT_TRUE(other->HasStoredState());
    EXPECT_EQ(other->ReadIntProperty(FlashProperty::kQuality), 1);
    EXPECT_TRUE(LineStarting(LogOf(*other), "Load(").empty());
    // Written again, it is the same state.
    EXPECT_EQ(other->SaveStoredData(), host->SaveStoredData());
}

TEST_F(HostProperties, PropertyChangeNotificationsAreAnsweredWithoutLooping) {
    standin->ClearLog();
    // Stock properties the control does not have: the reading error is swallowed.
    for (DISPID dispid : {DISPID_BACKCOLOR, DISPID_ENABLED, DISPID_FONT, DISPID_FORECOLOR, 133})
        EXPECT_EQ(standin->NotifyChanged(dispid), S_OK);
    EXPECT_TRUE(hosted.errors.empty());
}

// ---- events

class HostEvents : public HostProperties {
protected:
    HRESULT Raise(DISPID dispid, std::vector<VARIANT> args) {
        const HRESULT result =
            standin->RaiseEvent(dispid, static_cast<ULONG>(args.size()), args.data());
        for (VARIANT& v : args)
            VariantClear(&v);
        return result;
    }
};

TEST_F(HostEvents, RouteByDispatchIdentifierToTheirHandlerSlots) {
    std::vector<std::string> seen;
    host->slots[0] = {{TEventParameter::Integer}, [&](const std::vector<TEventValue>& a) {
                          seen.push_back("ready " + std::to_string(std::get<int32_t>(a[0])));
                      }};
    host->slots[3] = {{TEventParameter::Text}, [&](const std::vector<TEventValue>& a) {
                          seen.push_back("call " + WideToAnsi(std::get<std::wstring>(a[0])));
                      }};
    EXPECT_EQ(Raise(FlashEvent::kReadyStateChange, {IntegerVariant(4)}), S_OK);
    EXPECT_EQ(Raise(FlashEvent::kFlashCall, {TextVariant(L"<invoke/>")}), S_OK);
    EXPECT_EQ(Raise(FlashEvent::kOnProgress, {IntegerVariant(50)}), S_OK); // no handler: nothing
    EXPECT_EQ(Raise(FlashEvent::kFlashCall, {IntegerVariant(5)}),
              S_OK);                                           // wrong kind: not delivered
    EXPECT_EQ(Raise(FlashEvent::kReadyStateChange, {}), S_OK); // missing: not delivered
    EXPECT_EQ(seen, (std::vector<std::string>{"ready 4", "call <invoke/>"}));
}

TEST_F(HostEvents, StockIdentifiersBecomeTheFrameworksEvents) {
    int clicks = 0;
    std::vector<std::string> mouse;
    host->OnClick = [&](TControl&) { ++clicks; };
    host->OnMouseDown = [&](TControl&, TMouseButton button, TShiftState shift, int x, int y) {
        mouse.push_back("down " + std::to_string(static_cast<int>(button)) + " " +
                        std::to_string(shift) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    host->OnMouseUp = [&](TControl&, TMouseButton button, TShiftState shift, int, int) {
        mouse.push_back("up " + std::to_string(static_cast<int>(button)) + " " +
                        std::to_string(shift));
    };
    EXPECT_EQ(Raise(StockEvent::kClick, {}), S_OK);
    EXPECT_EQ(clicks, 1);
    // Right button (2) with shift and control (1 | 2).
    Raise(StockEvent::kMouseDown,
          {IntegerVariant(2), IntegerVariant(3), IntegerVariant(10), IntegerVariant(20)});
    // Button values are taken modulo 8: 6 is the right button, 12 the middle one.
    Raise(StockEvent::kMouseUp,
          {IntegerVariant(12), IntegerVariant(4), IntegerVariant(0), IntegerVariant(0)});
    Raise(StockEvent::kMouseDown, {IntegerVariant(1), IntegerVariant(0)}); // too few: nothing
    EXPECT_EQ(mouse, (std::vector<std::string>{
                         "down 1 " + std::to_string(ssRight | ssShift | ssCtrl) + " 10,20",
                         "up 2 " + std::to_string(ssMiddle | ssAlt)}));
    // One past each end of the stock range is no stock event, and not the player's either.
    EXPECT_EQ(Raise(-599, {}), S_OK);
    EXPECT_EQ(Raise(-608, {}), S_OK);
    EXPECT_EQ(clicks, 1);
}

TEST_F(HostEvents, AHandlersErrorIsShownOnceAndTheControlStillHearsSOk) {
    host->slots[1] = {{TEventParameter::Integer},
                      [](const std::vector<TEventValue>&) { throw TError("progress failed"); }};
    standin->ClearLog();
    EXPECT_EQ(Raise(FlashEvent::kOnProgress, {IntegerVariant(50)}), S_OK);
    EXPECT_EQ(hosted.errors, (std::vector<std::string>{"progress failed"}));
    EXPECT_EQ(LineStarting(LogOf(*host), "event.Invoke(1958"), "event.Invoke(1958, I4 50) -> S_OK");
}

TEST_F(HostEvents, TheSinkAnswersItsOwnInterfacesAndCountsOnTheComponent) {
    TEventDispatch& sink = host->EventSink();
    ComPtr<IDispatch> a, b;
    EXPECT_EQ(
        sink.QueryInterface(DIID_ShockwaveFlashEvents, reinterpret_cast<void**>(a.GetAddressOf())),
        S_OK);
    EXPECT_EQ(sink.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(b.GetAddressOf())), S_OK);
    EXPECT_EQ(a.Get(), b.Get());
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(sink.QueryInterface(IID_IOleClientSite, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    const ULONG before = host->RefCount();
    sink.AddRef();
    EXPECT_EQ(host->RefCount(), before + 1);
    sink.Release();
    UINT count = 7;
    EXPECT_EQ(sink.GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(sink.GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);
}
