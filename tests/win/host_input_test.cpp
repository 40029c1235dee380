// Input for the windowless control: which messages it is offered, the window it may own a menu
// with, the cursor after its mouse messages, and its stock events as the framework's own.

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/counting_win.h"
#include "tests/win/host_test_support.h"

namespace {

struct TMouseRecord {
    TMouseButton button;
    TShiftState shift;
    int x, y;
};

std::string HandleText(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

std::string Offered(UINT message, WPARAM wParam, LPARAM lParam) {
    char text[64];
    std::snprintf(text, sizeof text, "OnWindowMessage(0x%04X, %llu, %lld)", message,
                  static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
    return text;
}

VARIANT Short(SHORT value) {
    VARIANT v;
    V_VT(&v) = VT_I2;
    V_I2(&v) = value;
    return v;
}

VARIANT Long(LONG value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

class HostInput : public testing::Test {
protected:
    HostInput() {
        host->OnMouseDown = [this](TControl&, TMouseButton button, TShiftState shift, int x,
                                   int y) {
            downs.push_back({button, shift, x, y});
        };
        host->OnMouseUp = [this](TControl&, TMouseButton button, TShiftState shift, int x, int y) {
            ups.push_back({button, shift, x, y});
        };
        host->OnMouseMove = [this](TControl&, TShiftState shift, int x, int y) {
            moves.push_back({TMouseButton::Left, shift, x, y});
        };
        host->OnClick = [this](TControl&) { ++clicks; };
        standin->ClearLog();
    }

    // A mouse message as the panel's window gets it, at a point of the component.
    void Mouse(UINT message, WPARAM keys, int x, int y) {
        SendMessageA(hosted.panel->Handle(), message, keys,
                     MAKELPARAM(host->Left() + x, host->Top() + y));
    }

    THostedForm hosted;
    TTestHost* host = hosted.Place(new TTestHost(hosted.form));
    ComPtr<IStandinControl> standin = StandinBehind(*host);
    std::vector<TMouseRecord> downs, ups, moves;
    int clicks = 0;
};

} // namespace

TEST_F(HostInput, ADisabledPopupKeepsTheRightPressAndEveryWindowFromTheControl) {
    host->SetDisableFlashPopup(true);
    Mouse(WM_RBUTTONDOWN, MK_RBUTTON, 40, 30);
    Mouse(WM_RBUTTONUP, 0, 40, 30);
    const auto lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "OnWindowMessage(0x0204"), 0);
    EXPECT_EQ(CountStarting(lines, "site.GetWindow"), 0);
    EXPECT_EQ(LineStarting(lines, "OnWindowMessage(0x0205"),
              Offered(WM_RBUTTONUP, 0, MAKELPARAM(40, 30)) + " -> S_OK");
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(standin->RequestWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    // The framework still sees both.
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].button, TMouseButton::Right);
    EXPECT_EQ(downs[0].x, 40);
    EXPECT_EQ(downs[0].y, 30);
    ASSERT_EQ(ups.size(), 1u);
}

TEST_F(HostInput, AnAllowedRightPressLendsTheParentsWindowOnce) {
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(standin->RequestWindow(&window), E_FAIL); // no press yet
    EXPECT_EQ(window, nullptr);
    Mouse(WM_RBUTTONDOWN, MK_RBUTTON, 40, 30);
    // The stand-in asks for a window as it takes the press, as a control opening its menu does.
    const auto lines = LogOf(*host);
    EXPECT_TRUE(InOrder(lines, {"site.GetWindow() -> S_OK, " + HandleText(hosted.panel->Handle()),
                                Offered(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 30))}));
    window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(standin->RequestWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    Mouse(WM_RBUTTONUP, 0, 40, 30);
    EXPECT_EQ(standin->RequestWindow(&window), E_FAIL);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].button, TMouseButton::Right);
}

TEST_F(HostInput, TheCursorIsRefreshedOnlyAfterAMouseMessageTheControlTook) {
    const std::string refresh = Offered(WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    host->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
    auto lines = LogOf(*host);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], Offered(WM_MOUSEMOVE, 0, MAKELPARAM(5, 6)) + " -> S_OK");
    EXPECT_EQ(lines[1].rfind(refresh, 0), 0u) << lines[1];

    standin->ClearLog();
    host->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(5, 6)); // not taken
    host->Perform(WM_KEYDOWN, 'A', 0);                                          // no mouse message
    lines = LogOf(*host);
    EXPECT_EQ(LineStarting(lines, "OnWindowMessage(0x020A"),
              Offered(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(5, 6)) + " -> S_FALSE");
    EXPECT_EQ(CountStarting(lines, "OnWindowMessage(0x0020"), 0);

    // With the control's cursor disabled the component's own stays on screen.
    host->SetCursor(crHandPoint);
    host->SetDisableFlashCursor(true);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    standin->ClearLog();
    host->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
    EXPECT_EQ(CountStarting(LogOf(*host), "OnWindowMessage(0x0020"), 0);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    host->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(5, 6));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(HostInput, OffersEveryMessageButPaintAndLetsTheFrameworkHandleThemAfterwards) {
    host->Perform(WM_PAINT, 0, 0);
    host->Perform(WM_KEYDOWN, 'A', 0);
    host->Perform(WM_CHAR, 'a', 0);
    host->Perform(WM_KEYUP, 'A', 0);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10, 12);
    Mouse(WM_LBUTTONUP, 0, 10, 12);
    const auto lines = LogOf(*host);
    EXPECT_EQ(CountStarting(lines, "OnWindowMessage(0x000F"), 0);
    EXPECT_TRUE(InOrder(lines, {Offered(WM_KEYDOWN, 'A', 0) + " -> S_OK",
                                Offered(WM_CHAR, 'a', 0) + " -> S_OK",
                                Offered(WM_KEYUP, 'A', 0) + " -> S_OK",
                                Offered(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 12)),
                                Offered(WM_LBUTTONUP, 0, MAKELPARAM(10, 12))}));
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].button, TMouseButton::Left);
    EXPECT_EQ(clicks, 1);
}

TEST_F(HostInput, WhileNotInPlaceActiveEverythingGoesToTheFrameworkOnly) {
    host->InPlaceIntf()->InPlaceDeactivate();
    ASSERT_EQ(host->WindowlessIntf(), nullptr);
    TTestHost::TOptions inactive;
    inactive.activate = false;
    auto* never = hosted.Place(new TTestHost(hosted.form, inactive));
    int neverDowns = 0;
    never->OnMouseDown = [&](TControl&, TMouseButton, TShiftState, int, int) { ++neverDowns; };
    StandinBehind(*never)->ClearLog();
    standin->ClearLog();
    for (TqelOleControl* control : std::vector<TqelOleControl*>{host, never}) {
        control->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        control->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        control->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
        control->Perform(WM_KEYDOWN, 'A', 0);
        EXPECT_EQ(CountStarting(LogOf(*control), "OnWindowMessage"), 0);
    }
    EXPECT_EQ(downs.size(), 2u);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(neverDowns, 2);
}

TEST_F(HostInput, StockEventsBecomeTheFrameworksMouseEvents) {
    // The stand-in passes arguments first first; the sink gets them last first.
    auto raise = [&](DISPID dispid, std::vector<VARIANT> args) {
        EXPECT_EQ(standin->RaiseEvent(dispid, static_cast<ULONG>(args.size()), args.data()), S_OK);
    };
    raise(StockEvent::kMouseDown, {Short(2), Short(3), Long(12), Long(34)});
    raise(StockEvent::kMouseDown, {Short(6), Short(4), Long(1), Long(2)});
    raise(StockEvent::kMouseDown, {Short(12), Short(9), Long(-5), Long(7)}); // taken modulo 8
    raise(StockEvent::kMouseMove, {Short(1), Short(2), Long(8), Long(9)});
    raise(StockEvent::kMouseUp, {Short(1), Short(0), Long(10), Long(11)});
    raise(StockEvent::kMouseUp, {Short(1), Short(0), Long(10)}); // too few: nothing
    raise(StockEvent::kClick, {});
    // Coordinates of other numeric types are converted, by value or by reference.
    SHORT shortY = -4;
    double doubleX = 7.0;
    VARIANT single, real, shortRef, realRef, text;
    V_VT(&single) = VT_R4;
    V_R4(&single) = 15.0f;
    V_VT(&real) = VT_R8;
    V_R8(&real) = 16.0;
    V_VT(&shortRef) = VT_BYREF | VT_I2;
    V_I2REF(&shortRef) = &shortY;
    V_VT(&realRef) = VT_BYREF | VT_R8;
    V_R8REF(&realRef) = &doubleX;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = nullptr;
    raise(StockEvent::kMouseMove, {Short(0), Short(0), single, real});
    raise(StockEvent::kMouseMove, {Short(0), Short(0), realRef, shortRef});
    raise(StockEvent::kMouseMove, {Short(0), Short(0), text, Long(1)}); // no number: nothing
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[0].button, TMouseButton::Right);
    EXPECT_EQ(downs[0].shift, ssRight | ssShift | ssCtrl);
    EXPECT_EQ(downs[0].x, 12);
    EXPECT_EQ(downs[0].y, 34);
    EXPECT_EQ(downs[1].button, TMouseButton::Right);
    EXPECT_EQ(downs[1].shift, ssRight | ssMiddle | ssAlt);
    EXPECT_EQ(downs[2].button, TMouseButton::Middle);
    EXPECT_EQ(downs[2].shift, ssMiddle | ssShift);
    EXPECT_EQ(downs[2].x, -5);
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].shift, ssLeft | ssCtrl);
    EXPECT_EQ(moves[0].x, 8);
    EXPECT_EQ(moves[1].x, 15);
    EXPECT_EQ(moves[1].y, 16);
    EXPECT_EQ(moves[2].x, 7);
    EXPECT_EQ(moves[2].y, -4);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].button, TMouseButton::Left);
    EXPECT_EQ(ups[0].shift, ssLeft);
    EXPECT_EQ(clicks, 1);

    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(HostInput, StockKeysPassedByReferenceAreWrittenBackUnchangedInTheHandlersWidth) {
    // A page that records being written to: a write of the same value shows too.
    auto* page = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT | MEM_WRITE_WATCH, PAGE_READWRITE));
    ASSERT_NE(page, nullptr);
    const auto written = [page] {
        void* addresses[1];
        ULONG_PTR count = 1;
        DWORD granularity = 0;
        GetWriteWatch(WRITE_WATCH_FLAG_RESET, page, 4096, addresses, &count, &granularity);
        return count == 1;
    };
    auto raise = [&](DISPID dispid, VARTYPE type, void* key, bool shift) {
        VARIANT args[2];
        V_VT(&args[0]) = VT_BYREF | type;
        V_BYREF(&args[0]) = key;
        args[1] = Short(0);
        written();
        EXPECT_EQ(standin->RaiseEvent(dispid, shift ? 2 : 1, args), S_OK);
        return written();
    };
    auto* key = reinterpret_cast<SHORT*>(page);
    *key = 0x141;
    EXPECT_TRUE(raise(StockEvent::kKeyDown, VT_I2, key, true));
    EXPECT_EQ(*key, 0x141);
    EXPECT_TRUE(raise(StockEvent::kKeyUp, VT_I2, key, true));
    EXPECT_EQ(*key, 0x141);
    // The character is 8 bits: the high byte of a wider argument is left alone.
    EXPECT_TRUE(raise(StockEvent::kKeyPress, VT_I2, key, false));
    EXPECT_EQ(*key, 0x141);
    // A key code (16 bits) in a byte: the byte after it is not the argument's.
    uint8_t* small = page + 8;
    small[0] = 0x41;
    small[1] = 0x77;
    EXPECT_TRUE(raise(StockEvent::kKeyDown, VT_UI1, small, true));
    EXPECT_EQ(small[0], 0x41);
    EXPECT_EQ(small[1], 0x77);
    // A key given as a fraction is read, never written into.
    auto* real = reinterpret_cast<double*>(page + 16);
    *real = 65.0;
    EXPECT_FALSE(raise(StockEvent::kKeyDown, VT_R8, real, true));
    VirtualFree(page, 0, MEM_RELEASE);
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(HostInput, DefaultProcessingIsTheComponentsOwnAndComesBackBounded) {
    TStandinAction asked = StandinAction(kActDefWindowMessage);
    asked.message = WM_LBUTTONDOWN;
    asked.wParam = MK_LBUTTON;
    asked.lParam = MAKELPARAM(3, 4);
    EXPECT_EQ(standin->Act(&asked), S_OK);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].x, 3);
    EXPECT_EQ(downs[0].y, 4);
    // The message procedure offers it to the control again, once.
    EXPECT_EQ(CountStarting(LogOf(*host), Offered(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4))),
              1);
    EXPECT_EQ(LineStarting(LogOf(*host), "site.OnDefWindowMessage("),
              "site.OnDefWindowMessage(0x0201, 1, 262147) -> S_OK, 0");

    // A control that hands every message it gets back for default processing: the host ends it.
    asked.message = WM_MOUSEMOVE;
    asked.wParam = 0;
    EXPECT_EQ(standin->ActDuring(L"OnWindowMessage", -1, &asked), S_OK);
    standin->ClearLog();
    host->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    standin->ActDuring(L"OnWindowMessage", 0, nullptr);
    EXPECT_FALSE(moves.empty());
    EXPECT_EQ(LineStarting(LogOf(*host), "* OnWindowMessage nested"), "");
    EXPECT_TRUE(hosted.errors.empty());
}
