#include "ui/controls_win.h"

#include <algorithm>
#include <windowsx.h>

#include "base/errors.h"
#include "base/handles_win.h"
#include "base/platform.h"
#include "ui/application_win.h"

void MoveWindowOrigin(HDC dc, int dx, int dy) {
    POINT origin;
    GetWindowOrgEx(dc, &origin);
    SetWindowOrgEx(dc, origin.x - dx, origin.y - dy, nullptr);
}

namespace {

constexpr char kWindowClass[] = "LeafturnWindow";

bool IsMouseMessage(UINT message) {
    return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
}
bool IsButtonDown(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
           message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK ||
           message == WM_MBUTTONDBLCLK;
}
bool IsButtonUp(UINT message) {
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
}

void FillWithColor(HDC dc, const RECT& rect, TColor color) {
    const TGdiObject brush(CreateSolidBrush(ColorToRGB(color)));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
}

} // namespace

TShiftState MouseShiftState(WPARAM keys) {
    TShiftState shift = 0;
    if (keys & MK_SHIFT)
        shift |= ssShift;
    if (keys & MK_CONTROL)
        shift |= ssCtrl;
    if (keys & MK_LBUTTON)
        shift |= ssLeft;
    if (keys & MK_RBUTTON)
        shift |= ssRight;
    if (keys & MK_MBUTTON)
        shift |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

TShiftState KeyboardShiftState() {
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

HCURSOR ScreenCursor(TCursor cursor) {
    LPCSTR id = IDC_ARROW;
    switch (cursor) {
    case crCross:
        id = IDC_CROSS;
        break;
    case crIBeam:
        id = IDC_IBEAM;
        break;
    case crHandPoint:
        id = IDC_HAND;
        break;
    default:
        break;
    }
    return LoadCursorA(nullptr, id);
}

// ---- TControlCanvas

HDC TControlCanvas::Handle() {
    if (dc_)
        return dc_;
    const HWND window = control_.WindowHandle();
    if (!window)
        return nullptr;
    dc_ = GetDCEx(window, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    ownedFrom_ = window;
    if (!control_.IsWindowed()) {
        MoveWindowOrigin(dc_, control_.Left(), control_.Top());
        IntersectClipRect(dc_, 0, 0, control_.Width(), control_.Height());
    }
    return dc_;
}

void TControlCanvas::Release() {
    if (dc_ && ownedFrom_)
        ReleaseDC(ownedFrom_, dc_);
    dc_ = nullptr;
    ownedFrom_ = nullptr;
}

// ---- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), canvas_(*this) {
    font_.OnChange = [this] {
        parentFont_ = false;
        Perform(CM_FONTCHANGED, 0, 0);
    };
}

TControl::~TControl() {
    canvas_.Release();
    if (parent_)
        parent_->RemoveControl(this);
}

HWND TControl::WindowHandle() const {
    return parent_ ? parent_->WindowHandle() : nullptr;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_)
        return;
    if (parent_)
        parent_->RemoveControl(this);
    if (parent)
        parent->InsertControl(this);
}

void TControl::SetBoundsFields(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    Invalidate();
    SetBoundsFields(left, top, width, height);
    Invalidate();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    if (!visible)
        Invalidate();
    visible_ = visible;
    Perform(CM_VISIBLECHANGED, visible, 0);
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor color) {
    if (color == color_ && !parentColor_)
        return;
    color_ = color;
    parentColor_ = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool parentColor) {
    parentColor_ = parentColor;
    if (parentColor && parent_)
        Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetParentFont(bool parentFont) {
    parentFont_ = parentFont;
    if (parentFont && parent_)
        Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::SetAlign(TAlign align) {
    align_ = align;
    if (parent_)
        parent_->Realign();
}

void TControl::PaintNow() {
    if (!WindowHandle())
        return;
    // A paint that runs inside another one keeps the outer paint's context.
    const bool ownContext = canvas_.dc_ == nullptr;
    struct TRelease {
        TControlCanvas& canvas;
        bool release;
        ~TRelease() {
            if (release)
                canvas.Release();
        }
    } release{canvas_, ownContext};
    Paint();
}

void TControl::PaintOn(HDC dc) {
    const HDC outerDc = canvas_.dc_;
    const HWND outerOwner = canvas_.ownedFrom_;
    canvas_.dc_ = dc;
    canvas_.ownedFrom_ = nullptr;
    struct TRestore {
        TControlCanvas& canvas;
        HDC dc;
        HWND owner;
        ~TRestore() {
            canvas.dc_ = dc;
            canvas.ownedFrom_ = owner;
        }
    } restore{canvas_, outerDc, outerOwner};
    Paint();
}

void TControl::Invalidate() {
    const HWND window = WindowHandle();
    if (!window)
        return;
    if (IsWindowed()) {
        InvalidateRect(window, nullptr, TRUE);
    } else if (visible_) {
        const RECT bounds = BoundsRect();
        InvalidateRect(window, &bounds, TRUE);
    }
}

LRESULT TControl::Perform(UINT message, WPARAM wParam, LPARAM lParam) {
    TMessage record{message, wParam, lParam, 0};
    WndProc(record);
    return record.Result;
}

void TControl::WndProc(TMessage& message) {
    if (IsMouseMessage(message.Msg) && message.Msg != WM_MOUSEWHEEL)
        HandleMouse(message);
    switch (message.Msg) {
    case CM_PARENTCOLORCHANGED:
        if (parentColor_ && parent_) {
            color_ = parent_->Color();
            Perform(CM_COLORCHANGED, 0, 0);
        }
        break;
    case CM_PARENTFONTCHANGED:
        if (parentFont_ && parent_) {
            font_.Assign(parent_->Font());
            parentFont_ = true; // taking the parent's font is not a font of its own
        }
        break;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_VISIBLECHANGED:
        Invalidate();
        break;
    default:
        break;
    }
    DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage& message) {
    message.Result = 0;
}

void TControl::HandleMouse(TMessage& message) {
    const int x = GET_X_LPARAM(message.LParam);
    const int y = GET_Y_LPARAM(message.LParam);
    const TShiftState shift = MouseShiftState(message.WParam);
    switch (message.Msg) {
    case WM_LBUTTONDOWN:
        clicked_ = true;
        MouseDown(TMouseButton::Left, shift, x, y);
        break;
    case WM_LBUTTONDBLCLK:
        DblClick();
        MouseDown(TMouseButton::Left, shift | ssDouble, x, y);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseDown(TMouseButton::Right, shift, x, y);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        MouseDown(TMouseButton::Middle, shift, x, y);
        break;
    case WM_LBUTTONUP: {
        const bool click = clicked_ && x >= 0 && y >= 0 && x < width_ && y < height_;
        clicked_ = false;
        MouseUp(TMouseButton::Left, shift, x, y);
        if (click)
            Click();
        break;
    }
    case WM_RBUTTONUP:
        MouseUp(TMouseButton::Right, shift, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(TMouseButton::Middle, shift, x, y);
        break;
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        break;
    default:
        break;
    }
}

void TControl::Click() {
    if (OnClick)
        OnClick(*this);
}

void TControl::DblClick() {
    if (OnDblClick)
        OnDblClick(*this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown)
        OnMouseDown(*this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove)
        OnMouseMove(*this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp)
        OnMouseUp(*this, button, shift, x, y);
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Children first: they may still talk to this window while they go.
    while (!controls_.empty())
        controls_.back()->SetParent(nullptr);
    DestroyHandle();
}

HWND TWinControl::Handle() {
    if (!window_)
        CreateHandle();
    return window_;
}

void TWinControl::CreateParams(TCreateParams& params) {
    if (Parent())
        params.parent = Parent()->Handle();
}

void TWinControl::CreateHandle() {
    TCreateParams params;
    CreateParams(params);
    if ((params.style & WS_CHILD) && !params.parent)
        return; // a child window needs its parent's
    const HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(module, kWindowClass, &windowClass)) {
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &TWinControl::Procedure;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassA(&windowClass);
    }
    const DWORD style = params.style | (Visible() ? WS_VISIBLE : 0);
    CreateWindowExA(params.exStyle, kWindowClass, params.caption.c_str(), style, Left(), Top(),
                    Width(), Height(), params.parent, nullptr, module, this);
    if (!window_)
        throw TError("Cannot create a window: " + LastSystemErrorText());
    for (TControl* control : controls_)
        if (auto* windowed = dynamic_cast<TWinControl*>(control))
            windowed->Handle();
}

void TWinControl::DestroyHandle() {
    if (window_) {
        const HWND window = window_;
        DestroyWindow(window);
        window_ = nullptr;
    }
}

void TWinControl::RecreateWindow() {
    if (!window_)
        return;
    DestroyHandle();
    CreateHandle();
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == Parent())
        return;
    DestroyHandle();
    TControl::SetParent(parent);
    if (parent && parent->HandleAllocated())
        Handle();
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
    control->parent_ = this;
    if (control->ParentColor())
        control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (control->ParentFont())
        control->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (control->Align() != TAlign::None)
        Realign();
    control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
    control->Invalidate();
    if (mouseControl_ == control) {
        mouseControl_ = nullptr;
        if (window_ && GetCapture() == window_)
            ReleaseCapture();
    }
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    control->canvas_.Release();
    control->parent_ = nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (left == Left() && top == Top() && width == Width() && height == Height())
        return;
    SetBoundsFields(left, top, width, height);
    if (window_)
        SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    Realign();
}

void TWinControl::UpdateBoundsFromWindow() {
    RECT r;
    GetWindowRect(window_, &r);
    const HWND parent = GetParent(window_);
    if (parent && (GetWindowLongA(window_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    SetBoundsFields(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TWinControl::Realign() {
    if (aligning_)
        return;
    aligning_ = true;
    RECT area{0, 0, Width(), Height()};
    if (window_)
        GetClientRect(window_, &area);
    AdjustClientRect(area);
    for (TControl* control : controls_)
        if (control->Align() == TAlign::Client && control->Visible())
            control->SetBounds(area.left, area.top, area.right - area.left, area.bottom - area.top);
    aligning_ = false;
}

TControl* TWinControl::GraphicControlAt(POINT point) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* control = *it;
        const RECT bounds = control->BoundsRect();
        if (!control->IsWindowed() && control->Visible() && control->Enabled() &&
            PtInRect(&bounds, point))
            return control;
    }
    return nullptr;
}

bool TWinControl::RouteMouse(TMessage& message) {
    POINT point{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
    if (message.Msg == WM_MOUSEWHEEL)
        ScreenToClient(window_, &point); // the wheel reports screen coordinates
    TControl* target = mouseControl_ ? mouseControl_ : GraphicControlAt(point);
    if (!target && message.Msg == WM_MOUSEWHEEL) {
        // The wheel comes to the window with the focus; it belongs to what lies under the
        // pointer, also inside a child window.
        const HWND child = ChildWindowFromPointEx(window_, point, CWP_SKIPINVISIBLE);
        if (!child || child == window_)
            return false;
        message.Result = SendMessageA(child, message.Msg, message.WParam, message.LParam);
        return true;
    }
    if (!target)
        return false;
    if (IsButtonDown(message.Msg) && !mouseControl_) {
        mouseControl_ = target;
        SetCapture(window_);
    }
    // The child sees coordinates relative to its own top-left corner.
    const LPARAM relative = MAKELPARAM(static_cast<int16_t>(point.x - target->Left()),
                                       static_cast<int16_t>(point.y - target->Top()));
    message.Result = target->Perform(message.Msg, message.WParam, relative);
    // The last button released ends the hold.
    if (IsButtonUp(message.Msg) && mouseControl_ &&
        !(message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
        mouseControl_ = nullptr;
        if (GetCapture() == window_)
            ReleaseCapture();
    }
    return true;
}

void TWinControl::PaintWindow(HDC dc) {
    RECT client{0, 0, Width(), Height()};
    if (window_)
        GetClientRect(window_, &client);
    FillWithColor(dc, client, Color());
}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* control : controls_) {
        if (control->IsWindowed() || !control->Visible())
            continue;
        const RECT bounds = control->BoundsRect();
        if (!RectVisible(dc, &bounds))
            continue;
        const int saved = SaveDC(dc);
        MoveWindowOrigin(dc, control->Left(), control->Top());
        IntersectClipRect(dc, 0, 0, control->Width(), control->Height());
        control->PaintOn(dc);
        RestoreDC(dc, saved);
    }
}

void TWinControl::PaintHandler(TMessage& message) {
    if (message.WParam) {
        // Painting into a context somebody else gave us (PaintTo).
        const HDC dc = reinterpret_cast<HDC>(message.WParam);
        PaintWindow(dc);
        PaintControls(dc);
        return;
    }
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window_, &paint);
    PaintWindow(dc);
    PaintControls(dc);
    EndPaint(window_, &paint);
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
    const int saved = SaveDC(dc);
    MoveWindowOrigin(dc, x, y);
    RECT frame{0, 0, Width(), Height()};
    IntersectClipRect(dc, 0, 0, Width(), Height());
    const LONG style = window_ ? GetWindowLongA(window_, GWL_STYLE) : 0;
    const LONG exStyle = window_ ? GetWindowLongA(window_, GWL_EXSTYLE) : 0;
    if (exStyle & WS_EX_CLIENTEDGE)
        DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    else if (style & WS_BORDER)
        DrawEdge(dc, &frame, BDR_RAISEDOUTER | BDR_SUNKENOUTER, BF_RECT | BF_ADJUST | BF_MONO);
    MoveWindowOrigin(dc, frame.left, frame.top);
    IntersectClipRect(dc, 0, 0, frame.right - frame.left, frame.bottom - frame.top);
    TMessage paint{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
    PaintHandler(paint);
    for (TControl* control : controls_)
        if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && windowed->Visible())
            windowed->PaintTo(dc, windowed->Left(), windowed->Top());
    RestoreDC(dc, saved);
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
    if (OnKeyDown)
        OnKeyDown(*this, key, shift);
}

void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
    if (OnKeyUp)
        OnKeyUp(*this, key, shift);
}

void TWinControl::KeyPress(char& key) {
    if (OnKeyPress)
        OnKeyPress(*this, key);
}

void TWinControl::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_PAINT:
        PaintHandler(message);
        return;
    case WM_ERASEBKGND: {
        // The whole client is painted by PaintWindow: nothing to erase first.
        message.Result = 1;
        return;
    }
    case WM_MOVE:
        UpdateBoundsFromWindow();
        break;
    case WM_SIZE:
        UpdateBoundsFromWindow();
        Realign();
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(message.WParam) == window_ &&
            LOWORD(message.LParam) == HTCLIENT) {
            POINT point;
            GetCursorPos(&point);
            ScreenToClient(window_, &point);
            const TControl* over = mouseControl_ ? mouseControl_ : GraphicControlAt(point);
            const TCursor cursor = over ? over->Cursor() : Cursor();
            if (cursor != crDefault) {
                ::SetCursor(ScreenCursor(cursor));
                message.Result = TRUE;
                return;
            }
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        uint16_t key = static_cast<uint16_t>(message.WParam);
        if (message.Msg == WM_KEYDOWN || message.Msg == WM_SYSKEYDOWN)
            KeyDown(key, KeyboardShiftState());
        else
            KeyUp(key, KeyboardShiftState());
        if (key == 0) {
            message.Result = 0;
            return;
        }
        message.WParam = key;
        break;
    }
    case WM_CHAR: {
        char key = static_cast<char>(message.WParam);
        KeyPress(key);
        if (key == 0) {
            message.Result = 0;
            return;
        }
        message.WParam = static_cast<uint8_t>(key);
        break;
    }
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
        if (message.Msg == WM_CANCELMODE || reinterpret_cast<HWND>(message.LParam) != window_)
            mouseControl_ = nullptr;
        break;
    case CM_COLORCHANGED:
        for (TControl* control : controls_)
            control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
        break;
    case CM_FONTCHANGED:
        for (TControl* control : controls_)
            control->Perform(CM_PARENTFONTCHANGED, 0, 0);
        break;
    default:
        if (IsMouseMessage(message.Msg) && window_ && RouteMouse(message))
            return;
        break;
    }
    TControl::WndProc(message);
}

void TWinControl::DefaultHandler(TMessage& message) {
    message.Result = window_ && message.Msg < CM_BASE
                         ? DefWindowProcA(window_, message.Msg, message.WParam, message.LParam)
                         : 0;
}

LRESULT CALLBACK TWinControl::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<TWinControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    TMessage record{message, wParam, lParam, 0};
    // Nothing may unwind through the system's frames: errors go to the application.
    try {
        self->WndProc(record);
    } catch (...) {
        if (TApplication* application = TApplication::Instance())
            application->HandleCurrentException();
    }
    return record.Result;
}
