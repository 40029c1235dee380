// The viewer's window with a hosted control that fails or misbehaves in every call the host makes
// into it, one fault per row, driven as a reader drives it: the book shows and turns, keys reach
// the control, the movie's command switches to full screen and Esc back. Whatever the control
// does, the viewer starts, shows at most the one message the fault deserves, stays usable and
// closes; a watchdog ends the program when a row hangs.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/main_form_win.h"
#include "tests/support/package_bytes.h"
#include "tests/support/standin_win.h"
#include "tests/support/temp_dir.h"
#include "ui/application_win.h"

namespace {

// Ends the program when a row has not finished in time: a row that hangs fails instead of
// stalling the run.
class TWatchdog {
public:
    TWatchdog() {
        std::thread([this] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                std::lock_guard lock(mutex_);
                if (armed_ && std::chrono::steady_clock::now() > deadline_) {
                    std::fprintf(stderr, "watchdog: %s did not finish\n", row_.c_str());
                    std::fflush(stderr);
                    TerminateProcess(GetCurrentProcess(), 3);
                }
            }
        }).detach();
    }
    void Arm(const std::string& row, std::chrono::seconds limit) {
        std::lock_guard lock(mutex_);
        row_ = row;
        deadline_ = std::chrono::steady_clock::now() + limit;
        armed_ = true;
    }
    void Disarm() {
        std::lock_guard lock(mutex_);
        armed_ = false;
    }

private:
    std::mutex mutex_;
    bool armed_ = false;
    std::string row_;
    std::chrono::steady_clock::time_point deadline_;
};

TWatchdog& Watchdog() {
    static TWatchdog* watchdog = new TWatchdog;
    return *watchdog;
}

// What the reader can still do once the fault has happened; Esc always leaves full screen, and
// the window always closes.
enum TWorks : unsigned {
    kNothing = 0,
    kBook = 1,     // the book's first page shows
    kTurns = 2,    // its pages turn by key
    kKeys = 4,     // keys reach the control
    kCommands = 8, // the movie's command switches to full screen
    kEverything = kBook | kTurns | kKeys | kCommands,
};

// A misbehaviour the stand-in is given once the viewer's window exists, before it starts.
using TMisbehaviour = void (*)(IStandinControl& standin);

struct TFault {
    std::string name;
    std::string fail; // LEAFTURN_STANDIN_FAIL while the viewer starts
    TMisbehaviour misbehave;
    int messages;
    unsigned works;
};

void PrintTo(const TFault& fault, std::ostream* out) {
    *out << fault.name;
}

// A call of the host's that fails with each of these codes in turn.
struct TFailingCall {
    const char* call; // as the stand-in logs it
    std::vector<HRESULT> codes;
    int messages;
    unsigned works;
};

// Control faults the reader sees: a control that cannot be made is no error, one that fails to
// be initialised or activated is one message and an empty viewer, a movie that cannot be loaded
// one message. Success codes without what they promise are failures too.
const TFailingCall kFailingCalls[] = {
    {"CreateInstance",
     {REGDB_E_CLASSNOTREG, CLASS_E_NOAGGREGATION, E_NOINTERFACE, E_OUTOFMEMORY, S_FALSE},
     0,
     kNothing},
    {"QueryInterface(IOleObject)", {E_NOINTERFACE}, 0, kNothing},
    {"GetMiscStatus", {REGDB_E_CLASSNOTREG, REGDB_E_READREGDB}, 1, kNothing},
    {"GetMiscStatus", {OLE_S_USEREG}, 0, kEverything},
    {"SetClientSite", {E_FAIL, E_UNEXPECTED}, 1, kNothing},
    {"QueryInterface(IPersistStreamInit)", {E_NOINTERFACE, S_FALSE}, 1, kNothing},
    {"GetExtent", {E_INVALIDARG, OLE_E_BLANK}, 1, kNothing},
    {"GetClientSite", {E_FAIL}, 0, kEverything},
    {"InitNew", {E_OUTOFMEMORY, E_UNEXPECTED, E_FAIL}, 1, kNothing},
    {"QueryInterface(IOleControl)", {E_NOINTERFACE, S_FALSE}, 1, kNothing},
    {"QueryInterface(IDispatch)", {E_NOINTERFACE, S_FALSE}, 1, kNothing},
    {"QueryInterface(IConnectionPointContainer)",
     {E_NOINTERFACE, S_FALSE},
     0,
     kBook | kTurns | kKeys},
    {"FindConnectionPoint", {CONNECT_E_NOCONNECTION, S_FALSE}, 0, kBook | kTurns | kKeys},
    {"Advise",
     {CONNECT_E_ADVISELIMIT, CONNECT_E_CANNOTCONNECT, S_FALSE},
     0,
     kBook | kTurns | kKeys},
    {"OnAmbientPropertyChange", {E_FAIL}, 0, kEverything},
    {"Invoke",
     {DISP_E_MEMBERNOTFOUND, DISP_E_TYPEMISMATCH, DISP_E_EXCEPTION, DISP_E_BADPARAMCOUNT},
     1,
     kNothing},
    {"DoVerb",
     {OLE_E_NOT_INPLACEACTIVE, E_NOTIMPL, E_UNEXPECTED, OLEOBJ_S_CANNOT_DOVERB_NOW},
     1,
     kNothing},
    {"QueryInterface(IOleInPlaceObject)", {E_NOINTERFACE, S_FALSE}, 1, kNothing},
    {"QueryInterface(IOleInPlaceActiveObject)", {E_NOINTERFACE, S_FALSE}, 0, kEverything},
    {"QueryInterface(IOleInPlaceObjectWindowless)", {E_NOINTERFACE, S_FALSE}, 0, kBook | kCommands},
    {"QueryInterface(IViewObject)", {E_NOINTERFACE, S_FALSE}, 0, kEverything},
    {"SetObjectRects", {E_INVALIDARG, E_OUTOFMEMORY, E_UNEXPECTED}, 0, kEverything},
    {"Draw", {VIEW_E_DRAW, OLE_E_BLANK, E_INVALIDARG, DV_E_DVASPECT}, 0, kEverything},
    {"OnWindowMessage", {E_FAIL, E_NOTIMPL, S_FALSE}, 0, kBook | kKeys | kCommands},
    {"QueryInterface(IShockwaveFlash)", {E_NOINTERFACE, S_FALSE}, 1, kKeys | kCommands},
    {"FlashVersion", {E_FAIL, E_POINTER}, 1, kKeys | kCommands},
    {"LoadMovie", {E_FAIL, E_INVALIDARG, E_OUTOFMEMORY}, 1, kKeys | kCommands},
    {"OnStartBinding", {E_FAIL, E_INVALIDARG}, 0, kEverything},
    {"OnProgress", {E_ABORT}, 0, kEverything},
    {"OnDataAvailable", {E_FAIL, E_OUTOFMEMORY}, 0, kKeys | kCommands},
    {"OnStopBinding", {E_FAIL}, 0, kKeys | kCommands},
    {"Close", {E_FAIL, OLE_E_PROMPTSAVECANCELLED}, 0, kEverything},
    {"Unadvise", {CONNECT_E_NOCONNECTION}, 0, kEverything},
};

// The stand-in raises the event with these arguments during call (times calls; -1: every one),
// or at once when call is null. The arguments are the stand-in's copies afterwards.
void RaiseDuring(IStandinControl& standin, const wchar_t* call, LONG times, DISPID dispid,
                 std::vector<VARIANT> args) {
    TStandinAction action{};
    action.kind = kActRaiseEvent;
    action.dispid = dispid;
    action.count = static_cast<ULONG>(args.size());
    action.args = args.data();
    if (call)
        standin.ActDuring(call, times, &action);
    else
        standin.Act(&action);
    for (VARIANT& arg : args)
        VariantClear(&arg);
}

void Raise(IStandinControl& standin, DISPID dispid, std::vector<VARIANT> args) {
    RaiseDuring(standin, nullptr, 0, dispid, std::move(args));
}

void During(IStandinControl& standin, const wchar_t* call, LONG kind, BOOL before = FALSE) {
    static const RECT kSmall{10, 10, 40, 30};
    TStandinAction action = StandinAction(kind, kind == kActInvalidateRect ? nullptr : &kSmall);
    action.before = before;
    standin.ActDuring(call, -1, &action);
}

struct TMisbehavingRow {
    const char* name;
    TMisbehaviour misbehave;
    unsigned works;
};

const VARIANT kByRefNothing = [] {
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_I2;
    V_BYREF(&v) = nullptr;
    return v;
}();

// Events with arguments the handlers do not take, events and repaint requests from inside the
// host's calls: none of it is an error the reader is told of.
const TMisbehavingRow kMisbehaviours[] = {
    {"ScriptCommandWithoutArguments", [](IStandinControl& s) { Raise(s, 150, {}); }, kEverything},
    {"ScriptCommandWithOneArgument",
     [](IStandinControl& s) { Raise(s, 150, {TextVariant(L"fullscreen")}); }, kEverything},
    {"ScriptCommandWithNumbers",
     [](IStandinControl& s) {
         Raise(s, 150, {IntegerVariant(1), IntegerVariant(2)});
     },
     kEverything},
    {"ScriptCommandWithTextsByReference",
     [](IStandinControl& s) {
         BSTR command = SysAllocString(L"fullscreen"), args = SysAllocString(L"true");
         VARIANT v[2];
         V_VT(&v[0]) = V_VT(&v[1]) = VT_BYREF | VT_BSTR;
         V_BSTRREF(&v[0]) = &command;
         V_BSTRREF(&v[1]) = &args;
         Raise(s, 150, {v[0], v[1]});
         SysFreeString(command);
         SysFreeString(args);
     },
     kEverything},
    {"ScriptCommandWithEmptyAndNullTexts",
     [](IStandinControl& s) {
         VARIANT empty;
         VariantInit(&empty);
         VARIANT null;
         V_VT(&null) = VT_BSTR;
         V_BSTR(&null) = nullptr;
         Raise(s, 150, {empty, null, TextVariant(L"true")});
     },
     kEverything},
    {"ReadyStateAsText", [](IStandinControl& s) { Raise(s, -609, {TextVariant(L"4")}); },
     kEverything},
    {"ProgressWithoutArguments", [](IStandinControl& s) { Raise(s, 1958, {}); }, kEverything},
    {"ExternalCallWithANumber", [](IStandinControl& s) { Raise(s, 197, {IntegerVariant(7)}); },
     kEverything},
    {"MouseDownWithTwoArguments",
     [](IStandinControl& s) {
         Raise(s, -605, {IntegerVariant(1), IntegerVariant(0)});
     },
     kEverything},
    {"MouseDownWithTexts",
     [](IStandinControl& s) {
         Raise(s, -605,
               {TextVariant(L"1"), TextVariant(L"0"), TextVariant(L"x"), TextVariant(L"y")});
     },
     kEverything},
    {"KeyDownByReferenceToNothing",
     [](IStandinControl& s) {
         Raise(s, -602, {kByRefNothing, IntegerVariant(0)});
     },
     kEverything},
    {"AnUnknownEvent",
     [](IStandinControl& s) {
         Raise(s, 4242, {IntegerVariant(1), TextVariant(L"x")});
     },
     kEverything},
    {"ScriptCommandDuringTheFirstDraw",
     [](IStandinControl& s) {
         RaiseDuring(s, L"Draw", 1, 150, {TextVariant(L"fullscreen"), TextVariant(L"true")});
     },
     kEverything},
    {"EventsDuringEveryDraw",
     [](IStandinControl& s) {
         RaiseDuring(s, L"Draw", -1, 150, {TextVariant(L"allowscale"), TextVariant(L"false")});
         RaiseDuring(s, L"Draw", -1, -606,
                     {IntegerVariant(0), IntegerVariant(0), IntegerVariant(5), IntegerVariant(5)});
         RaiseDuring(s, L"Draw", -1, 150, {IntegerVariant(1)});
     },
     kEverything},
    {"ScriptCommandDuringTheFirstMessage",
     [](IStandinControl& s) {
         RaiseDuring(s, L"OnWindowMessage", 1, 150,
                     {TextVariant(L"fullscreen"), TextVariant(L"true")});
     },
     kEverything},
    {"EventsDuringEveryMessage",
     [](IStandinControl& s) {
         RaiseDuring(s, L"OnWindowMessage", -1, -600, {});
         RaiseDuring(s, L"OnWindowMessage", -1, -605,
                     {IntegerVariant(2), IntegerVariant(0), IntegerVariant(1), IntegerVariant(1)});
         RaiseDuring(s, L"OnWindowMessage", -1, -603, {kByRefNothing});
         RaiseDuring(s, L"OnWindowMessage", -1, 150, {});
     },
     kEverything},
    {"EventsWhileClosing",
     [](IStandinControl& s) {
         RaiseDuring(s, L"Close", -1, 150, {TextVariant(L"fullscreen"), TextVariant(L"true")});
         RaiseDuring(s, L"Close", -1, -600, {});
         RaiseDuring(s, L"Close", -1, -605,
                     {IntegerVariant(1), IntegerVariant(0), IntegerVariant(3), IntegerVariant(3)});
         RaiseDuring(s, L"Close", -1, -609, {TextVariant(L"x")});
     },
     kEverything},
    {"LeavingDuringEveryDraw",
     [](IStandinControl& s) {
         RaiseDuring(s, L"Draw", -1, 150, {TextVariant(L"fullscreen"), TextVariant(L"false")});
     },
     kBook | kTurns | kKeys},
    {"LayoutRequestDuringEverySetObjectRects",
     [](IStandinControl& s) { During(s, L"SetObjectRects", kActRequestNewObjectLayout); },
     kEverything},
    {"PositionChangeDuringEverySetObjectRects",
     [](IStandinControl& s) { During(s, L"SetObjectRects", kActPosRectChange); }, kEverything},
    {"ContextDuringEveryDraw", [](IStandinControl& s) { During(s, L"Draw", kActGetDC); },
     kEverything},
    {"InvalidatingFromInsideDraw",
     [](IStandinControl& s) {
         During(s, L"Draw", kActInvalidateRect);
         During(s, L"Draw", kActInvalidateRect, TRUE);
     },
     kEverything},
    {"InvalidatingARegionFromInsideDraw",
     [](IStandinControl& s) { During(s, L"Draw", kActInvalidateRgn); }, kEverything},
    {"InvalidatingFromInsideSetObjectRects",
     [](IStandinControl& s) {
         During(s, L"SetObjectRects", kActInvalidateRect);
         During(s, L"SetObjectRects", kActInvalidateRgn, TRUE);
     },
     kEverything},
};

std::string Identifier(const std::string& text) {
    std::string name;
    for (char c : text)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

std::vector<TFault> AllFaults() {
    std::vector<TFault> faults;
    for (const TFailingCall& call : kFailingCalls)
        for (const HRESULT code : call.codes) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
            faults.push_back({Identifier(std::string(call.call) + "_" + hex),
                              std::string(call.call) + "=" + hex, nullptr, call.messages,
                              call.works});
        }
    for (const TMisbehavingRow& row : kMisbehaviours)
        faults.push_back({row.name, "", row.misbehave, 0, row.works});
    return faults;
}

const char kScene[] = "LEAFTURN-SCENE 1\npages files/book.xml\nnext-keys Right\nprev-keys Left\n";
const char kPageList[] = "<book><page src=\"page/1.png\"/><page src=\"page/2.png\"/></book>";

class ControlFaults : public testing::TestWithParam<TFault> {
protected:
    static void SetUpTestSuite() {
        dir = new TTempDir;
        book = dir->Write("book.exe", "MZ" + PackageBytes({{"book.swf", kScene},
                                                           {"files/book.xml", kPageList},
                                                           {"files/page/1.png", "page 1"},
                                                           {"files/page/2.png", "page 2"}}));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    void SetUp() override {
        Watchdog().Arm(GetParam().name, std::chrono::seconds(20));
        application.SetErrorRecorder([this](const std::string& m) { messages.push_back(m); });
    }
    void TearDown() override { Watchdog().Disarm(); }

    // Starts the viewer as its entry point does; false when it could not.
    bool Start() {
        const TFault& fault = GetParam();
        SetEnvironmentVariableA("LEAFTURN_STANDIN_FAIL",
                                fault.fail.empty() ? nullptr : fault.fail.c_str());
        try {
            form.reset(new TfrmMain(nullptr, book));
        } catch (...) {
            application.HandleCurrentException();
        }
        SetEnvironmentVariableA("LEAFTURN_STANDIN_FAIL", nullptr);
        if (!form)
            return false;
        application.SetMainForm(form.get());
        standin = StandinOf(form->qelflshplyr1->HostedObject());
        if (fault.misbehave && standin)
            fault.misbehave(*standin.Get());
        form->DoCreate();
        form->Show();
        application.ProcessMessages();
        return true;
    }

    // The message loop makes the character of the key, as it does of typing.
    void Press(WPARAM key) {
        PostMessageA(form->Handle(), WM_KEYDOWN, key, 0);
        PostMessageA(form->Handle(), WM_KEYUP, key, 0);
        application.ProcessMessages();
    }

    std::string Log() { return standin ? StandinLogText(standin.Get()) : ""; }

    LONG Page() {
        LONG page = -1, count = 0;
        BOOL fullscreen = FALSE;
        if (!standin || standin->GetScene(&page, &count, &fullscreen) != S_OK || count != 2)
            return -1;
        return page;
    }

    bool FullScreen() {
        return form->InFullScreen() &&
               (GetWindowLongA(form->Handle(), GWL_STYLE) & 0x00FF0000) == kFullScreenStyle;
    }

    static TTempDir* dir;
    static std::string book;
    TApplication application;
    TStandinServer server;
    std::vector<std::string> messages;
    std::unique_ptr<TfrmMain> form;
    ComPtr<IStandinControl> standin;
};

TTempDir* ControlFaults::dir = nullptr;
std::string ControlFaults::book;

TEST_P(ControlFaults, TheViewerStartsShowsAtMostOneMessageStaysUsableAndCloses) {
    const TFault& fault = GetParam();
    ASSERT_TRUE(Start()) << "the viewer did not start: " << testing::PrintToString(messages);
    EXPECT_TRUE(IsWindowVisible(form->Handle()));

    EXPECT_EQ(Page() == 0, (fault.works & kBook) != 0) << Log();
    Press(VK_RIGHT);
    EXPECT_EQ(Page() == 1, (fault.works & kTurns) != 0) << Log();

    Press('A');
    EXPECT_EQ(Log().find("OnWindowMessage(0x0100, 65, 0)") != std::string::npos,
              (fault.works & kKeys) != 0)
        << Log();

    if (standin) {
        VARIANT command[2] = {TextVariant(L"fullscreen"), TextVariant(L"true")};
        standin->RaiseEvent(150, 2, command);
        VariantClear(&command[0]);
        VariantClear(&command[1]);
        application.ProcessMessages();
    }
    EXPECT_EQ(FullScreen(), (fault.works & kCommands) != 0);
    Press(VK_ESCAPE);
    EXPECT_FALSE(form->InFullScreen());
    EXPECT_TRUE(IsZoomed(form->Handle()));
    EXPECT_EQ(GetWindowLongA(form->Handle(), GWL_STYLE) & 0x00FF0000, kNormalStyle);

    // The control goes with the window, as nobody else holds it.
    standin.Reset();
    PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
    application.ProcessMessages();
    form.reset();
    application.ProcessMessages();
    EXPECT_EQ(static_cast<int>(messages.size()), fault.messages)
        << testing::PrintToString(messages);
}

INSTANTIATE_TEST_SUITE_P(Rows, ControlFaults, testing::ValuesIn(AllFaults()),
                         [](const testing::TestParamInfo<TFault>& row) { return row.param.name; });

} // namespace
