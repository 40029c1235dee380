// In place: placing the book, input, and the hidden window whose timer runs the animations and
// whose posted messages run the loading, all on the user-interface thread.

#include <chrono>
#include <windowsx.h>

#include "pageturn/pageturn_object_win.h"

namespace {

// Posted to the control's own hidden window: work is waiting (a delivery, a page to load).
constexpr UINT kWorkMessage = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;
// The animation's timer period, in milliseconds: as often as the system's timers run.
constexpr UINT kFramePeriod = USER_TIMER_MINIMUM;

bool IsMouseMessage(UINT message) {
    return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
}

} // namespace

double TPageTurnControl::Now() const {
    if (clock_)
        return clock_();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TPageTurnControl::Activated(IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    if (!timerWindow_)
        timerWindow_ =
            std::make_unique<THiddenWindow>([this](UINT message, WPARAM wParam, LPARAM lParam) {
                return HandleTimerWindow(message, wParam, lParam);
            });
    view_.SetArea({0, 0, position_.right - position_.left, position_.bottom - position_.top});
    view_.ShowBar(Now());
    // The host draws the control once it is placed and shown.
    Settle(false);
}

void TPageTurnControl::Deactivated() {
    if (timerWindow_ && timerRunning_)
        KillTimer(timerWindow_->Handle(), kTimerId);
    timerRunning_ = false;
}

void TPageTurnControl::Placed() {
    view_.SetArea({0, 0, position_.right - position_.left, position_.bottom - position_.top});
    // Pictures are made anew for the new size. Until the host has drawn the control once there
    // is nothing on screen to repaint: its first paint draws everything anyway.
    Settle(drawn_);
}

HRESULT TPageTurnControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                        LRESULT* result) {
    const bool handled = HandleInput(message, wParam, lParam);
    if (handled && result)
        *result = message == WM_SETCURSOR ? TRUE : 0;
    return handled ? S_OK : S_FALSE;
}

bool TPageTurnControl::HandleInput(UINT message, WPARAM wParam, LPARAM lParam) {
    const double now = Now();
    // Mouse positions are in the host's space, where the control lies at its position.
    const int32_t x = GET_X_LPARAM(lParam) - position_.left;
    const int32_t y = GET_Y_LPARAM(lParam) - position_.top;
    switch (message) {
    case WM_MOUSEMOVE:
        view_.MouseMove(x, y, (wParam & MK_LBUTTON) != 0, now);
        break;
    case WM_LBUTTONDOWN:
        view_.MouseDown(x, y, now);
        // Dragging goes on outside the control.
        if (windowless_)
            windowless_->SetCapture(TRUE);
        break;
    case WM_LBUTTONUP:
        view_.MouseUp(x, y, now);
        if (windowless_)
            windowless_->SetCapture(FALSE);
        break;
    case WM_LBUTTONDBLCLK:
        view_.DoubleClick(x, y, now);
        break;
    case WM_MOUSEWHEEL: {
        // The wheel's position is the screen's; the view only needs it relative to itself when
        // zooming, and the host passes it on relative to the control.
        view_.Wheel(GET_WHEEL_DELTA_WPARAM(wParam), (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0,
                    x, y, now);
        break;
    }
    case WM_SETCURSOR:
        SetCursorFor(lastMouse_.x, lastMouse_.y);
        return true;
    case WM_KEYDOWN:
        view_.KeyDown(static_cast<uint32_t>(wParam), now);
        break;
    case WM_CHAR:
        view_.Character(static_cast<uint32_t>(wParam), now);
        break;
    case WM_KEYUP:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        break;
    default:
        return false;
    }
    if (IsMouseMessage(message) && message != WM_MOUSEWHEEL)
        lastMouse_ = {x, y};
    Settle();
    return true;
}

void TPageTurnControl::SetCursorFor(int32_t x, int32_t y) {
    // A hand where a click acts, a mover over a zoomed page, the arrow elsewhere.
    LPCSTR cursor = IDC_ARROW;
    const TBarLayout bar = view_.Bar();
    const auto inside = [&](const TRect& r) { return RectContains(r, x, y); };
    if (bar.fits && view_.BarOpacity() > 0 && inside(bar.bar)) {
        for (const auto& button : bar.buttons)
            if (inside(button.rect) && view_.ButtonEnabled(button.kind))
                cursor = IDC_HAND;
    } else if (view_.Zoom()) {
        cursor = IDC_SIZEALL;
    } else {
        const TBookLayout& layout = view_.Layout();
        const TSpread spread = layout.Spread(view_.Spread());
        if ((spread.right >= 0 && inside(layout.Slot(TPageSide::Right))) ||
            (layout.TwoPages() && spread.left >= 0 && inside(layout.Slot(TPageSide::Left))))
            cursor = IDC_HAND;
    }
    SetCursor(LoadCursorA(nullptr, cursor));
}

// ---- the timer and the work queue

std::optional<LRESULT> TPageTurnControl::HandleTimerWindow(UINT message, WPARAM wParam, LPARAM) {
    const bool timer = message == WM_TIMER && wParam == kTimerId;
    if (!timer && message != kWorkMessage)
        return std::nullopt; // the window's own messages, also while the control goes away
    try {
        // The host may let go of the control from inside what runs here.
        const ComPtr<IOleObject> keep(this);
        if (timer) {
            Tick();
        } else {
            workPosted_ = false;
            // One piece of work per message, so that painting and input come between.
            if (RunPendingWork())
                ScheduleWork();
        }
    } catch (...) {
        // Nothing may unwind through the system's frames; the next message tries again.
    }
    return 0;
}

void TPageTurnControl::Tick() {
    view_.Advance(Now());
    Settle();
}

void TPageTurnControl::RedrawAll() {
    view_.Invalidate(view_.Layout().Area());
    Settle();
}

void TPageTurnControl::ScheduleWork() {
    if (!workPosted_ && timerWindow_)
        workPosted_ = PostMessageA(timerWindow_->Handle(), kWorkMessage, 0, 0) != FALSE;
}

void TPageTurnControl::Settle(bool repaint) {
    for (bool on : view_.TakeFullScreenRequests())
        FireCommand(L"fullscreen", on ? L"true" : L"false");
    // A large picture is kept only while its page is zoomed.
    if (largePage_ >= 0 && (!view_.Zoom() || view_.Zoom()->page != largePage_)) {
        large_.reset();
        largePage_ = -1;
    }
    for (const TRect& r : view_.TakeDirty())
        repaint ? Repaint(r) : MarkStale(r);
    if (timerWindow_ && inPlaceActive_) {
        const double now = Now();
        const double wake = view_.NextWake(now);
        if (wake < 0) {
            if (timerRunning_)
                KillTimer(timerWindow_->Handle(), kTimerId);
            timerRunning_ = false;
        } else {
            const double wait = wake == 0 ? 0 : (wake - now) * 1000;
            SetTimer(timerWindow_->Handle(), kTimerId,
                     std::max<UINT>(kFramePeriod, static_cast<UINT>(std::min(wait, 60000.0))),
                     nullptr);
            timerRunning_ = true;
        }
    }
    if (!arrived_.empty() || WantsWork())
        ScheduleWork();
}
