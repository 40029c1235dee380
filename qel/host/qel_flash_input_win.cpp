// Input: messages offered to the windowless control before the framework handles them, the
// site's capture, focus and default-processing answers, and the control's stock events.

#include <algorithm>
#include <cstring>

#include "base/scoped_flag.h"
#include "qel/host/qel_flash_olehost.h"
#include "ui/application_win.h"

namespace {

bool IsMouseInput(UINT message) {
    return message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL;
}

// Writes a key back through a by-reference integer argument, unchanged: the low `bytes` bytes of
// the value (the width the handler takes), never more than the argument holds.
void WriteBack(VARIANT& v, int32_t value, size_t bytes) {
    if (!(V_VT(&v) & VT_BYREF) || !V_BYREF(&v))
        return;
    size_t width = 0;
    switch (V_VT(&v) & ~VT_BYREF) {
    case VT_I1:
    case VT_UI1:
        width = 1;
        break;
    case VT_I2:
    case VT_UI2:
        width = 2;
        break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        width = 4;
        break;
    case VT_I8:
    case VT_UI8:
        width = 8;
        break;
    default:
        return; // a key is no fraction
    }
    const uint32_t bits = static_cast<uint32_t>(value); // little-endian: low bytes first
    std::memcpy(V_BYREF(&v), &bits, std::min({width, bytes, sizeof bits}));
}

TMouseButton StockButton(int32_t button) {
    button %= 8;
    if (button == 2 || button == 6)
        return TMouseButton::Right;
    return button == 4 ? TMouseButton::Middle : TMouseButton::Left;
}

TShiftState StockShift(int32_t button, int32_t shift) {
    button %= 8;
    shift %= 8;
    TShiftState state = 0;
    if (button & 1)
        state |= ssLeft;
    if (button & 2)
        state |= ssRight;
    if (button & 4)
        state |= ssMiddle;
    if (shift & 1)
        state |= ssShift;
    if (shift & 2)
        state |= ssCtrl;
    if (shift & 4)
        state |= ssAlt;
    return state;
}

} // namespace

void TqelOleControl::FrameworkHandling(TMessage& message) {
    // The framework's own handling never lets an error escape into the control's call.
    try {
        TControl::WndProc(message);
    } catch (...) {
    }
}

void TqelOleControl::WndProc(TMessage& message) {
    const UINT m = message.Msg;
    // A message that came back through OnDefWindowMessage twice is the framework's alone.
    if (creationFailed_ || Designing() || m == WM_PAINT || defaultMessageDepth_ >= 2) {
        FrameworkHandling(message);
        return;
    }
    switch (m) {
    case CM_DIALOGKEY:
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
        FrameworkHandling(message);
        return;
    case CM_UIACTIVATE:
    case CM_UIDEACTIVATE:
    case CM_DOCWINDOWACTIVATE: // forms here are never MDI children
        return;
    case WM_RBUTTONDOWN:
        // The control's context menu is kept away by never showing it the press.
        if (disableFlashPopup_) {
            FrameworkHandling(message);
            return;
        }
        popupOwnerPending_ = true;
        break;
    default:
        break;
    }
    if (!windowlessIntf_) {
        FrameworkHandling(message);
        return;
    }
    const HRESULT handled =
        windowlessIntf_->OnWindowMessage(m, message.WParam, message.LParam, &message.Result);
    if (handled == S_OK && IsMouseInput(m) && windowlessIntf_) {
        if (disableFlashCursor_) {
            ::SetCursor(ScreenCursor(Cursor()));
        } else {
            LRESULT ignored = 0;
            windowlessIntf_->OnWindowMessage(WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE),
                                             &ignored);
        }
    }
    // The result the control set stays unless the framework overwrites it.
    const LRESULT controlResult = message.Result;
    FrameworkHandling(message);
    if (message.Result == 0)
        message.Result = controlResult;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::GetCapture() {
    return mouseCaptured_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::SetCapture(BOOL capture) {
    if (Parent() && Parent()->HandleAllocated())
        mouseCaptured_ = capture != FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::GetFocus() {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE TqelOleControl::SetFocus(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelOleControl::OnDefWindowMessage(UINT message, WPARAM wParam,
                                                             LPARAM lParam, LRESULT* result) {
    try {
        const TScopedDepth nested(defaultMessageDepth_);
        const LRESULT answer = Perform(message, wParam, lParam);
        if (result)
            *result = answer;
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

void TqelOleControl::DispatchStockEvent(DISPID dispid, DISPPARAMS* params) {
    if (dispid < StockEvent::kMouseUp || dispid > StockEvent::kClick)
        return;
    const UINT count = params && params->rgvarg ? params->cArgs : 0;
    // Arguments arrive last first: argument k of the event is element count - 1 - k.
    auto argument = [&](UINT k) -> VARIANT& { return params->rgvarg[count - 1 - k]; };
    try {
        switch (dispid) {
        case StockEvent::kClick:
            Click();
            break;
        case StockEvent::kDblClick:
            DblClick();
            break;
        case StockEvent::kKeyDown:
        case StockEvent::kKeyUp:
            if (count >= 2)
                if (const auto key = VariantInteger(argument(0), TIntegerRule::Rounded))
                    WriteBack(argument(0), *key, sizeof(uint16_t));
            break;
        case StockEvent::kKeyPress:
            if (count >= 1)
                if (const auto key = VariantInteger(argument(0), TIntegerRule::Rounded))
                    WriteBack(argument(0), *key, sizeof(char));
            break;
        default: {
            if (count < 4)
                break;
            const auto button = VariantInteger(argument(0), TIntegerRule::Rounded);
            const auto shift = VariantInteger(argument(1), TIntegerRule::Rounded);
            const auto x = VariantInteger(argument(2), TIntegerRule::Rounded);
            const auto y = VariantInteger(argument(3), TIntegerRule::Rounded);
            if (!button || !shift || !x || !y)
                break;
            const TShiftState state = StockShift(*button, *shift);
            if (dispid == StockEvent::kMouseDown)
                MouseDown(StockButton(*button), state, *x, *y);
            else if (dispid == StockEvent::kMouseMove)
                MouseMove(state, *x, *y);
            else
                MouseUp(StockButton(*button), state, *x, *y);
            break;
        }
        }
    } catch (...) {
        if (TApplication* application = TApplication::Instance())
            application->HandleCurrentException();
    }
}
