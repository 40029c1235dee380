#include "ui/forms_win.h"

#include <utility>

#include "base/handles_win.h"
#include "ui/application_win.h"

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    SetColor(clBtnFace);
    SetVisible(false);
}

TForm::~TForm() {
    if (TApplication* application = TApplication::Instance();
        application && application->MainForm() == this)
        application->SetMainForm(nullptr);
}

void TForm::CreateParams(TCreateParams& params) {
    params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    // Owned by the application's window, which stands for the program on the taskbar.
    params.parent = TApplication::Instance() ? TApplication::Instance()->Handle() : nullptr;
    params.caption = caption_;
}

void TForm::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (HandleAllocated())
        SetWindowTextA(Handle(), caption.c_str());
}

int TForm::ClientWidth() {
    RECT client;
    GetClientRect(Handle(), &client);
    return client.right;
}

int TForm::ClientHeight() {
    RECT client;
    GetClientRect(Handle(), &client);
    return client.bottom;
}

TWindowState TForm::WindowState() {
    if (!HandleAllocated() || !shown_)
        return pendingState_;
    if (IsZoomed(Handle()))
        return TWindowState::Maximized;
    if (IsIconic(Handle()))
        return TWindowState::Minimized;
    return TWindowState::Normal;
}

void TForm::SetWindowState(TWindowState state) {
    pendingState_ = state;
    if (!shown_) {
        if (state != TWindowState::Maximized)
            pendingMaximizedBounds_.reset();
        return;
    }
    ShowWindow(Handle(), state == TWindowState::Maximized   ? SW_MAXIMIZE
                         : state == TWindowState::Minimized ? SW_MINIMIZE
                                                            : SW_RESTORE);
}

void TForm::SetBounds(int left, int top, int width, int height) {
    if (!shown_ && pendingState_ == TWindowState::Maximized) {
        pendingMaximizedBounds_ = RECT{left, top, left + width, top + height};
        return;
    }
    TWinControl::SetBounds(left, top, width, height);
}

void TForm::Show() {
    const HWND window = Handle();
    // Centred while still normal: a window that opens maximized restores to the centre too.
    if (!shown_ && position_ == TPosition::ScreenCenter) {
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const int left = work.left + (work.right - work.left - Width()) / 2;
        const int top = work.top + (work.bottom - work.top - Height()) / 2;
        TWinControl::SetBounds(left, top, Width(), Height());
    }
    shown_ = true;
    SetVisible(true);
    ShowWindow(window, pendingState_ == TWindowState::Maximized   ? SW_SHOWMAXIMIZED
                       : pendingState_ == TWindowState::Minimized ? SW_SHOWMINIMIZED
                                                                  : SW_SHOWNORMAL);
    if (const std::optional<RECT> maximized = std::exchange(pendingMaximizedBounds_, std::nullopt))
        SetBounds(maximized->left, maximized->top, maximized->right - maximized->left,
                  maximized->bottom - maximized->top);
    UpdateWindow(window);
}

void TForm::Close() {
    if (HandleAllocated())
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TForm::DoCreate() {
    if (!OnCreate)
        return;
    // An error of the creation handler is shown, and the form goes on to be shown and used.
    try {
        OnCreate(*this);
    } catch (...) {
        TApplication* application = TApplication::Instance();
        if (!application)
            throw;
        application->HandleCurrentException();
    }
}

void TForm::WndProc(TMessage& message) {
    // The main form's minimize box minimizes the program to its taskbar entry.
    if (message.Msg == WM_SYSCOMMAND && (message.WParam & 0xFFF0) == SC_MINIMIZE) {
        TApplication* application = TApplication::Instance();
        if (application && application->MainForm() == this) {
            application->Minimize();
            message.Result = 0;
            return;
        }
    }
    if (message.Msg == WM_CLOSE) {
        // Closing the main form ends the program; other forms only hide.
        TApplication* application = TApplication::Instance();
        if (application && application->MainForm() == this)
            application->Terminate();
        else
            ShowWindow(Handle(), SW_HIDE);
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
    SetColor(clBtnFace);
}

void TPanel::AdjustClientRect(RECT& rect) const {
    InflateRect(&rect, -1, -1);
}

void TPanel::PaintWindow(HDC dc) {
    TWinControl::PaintWindow(dc);
    RECT client{0, 0, Width(), Height()};
    if (HandleAllocated())
        GetClientRect(WindowHandle(), &client);
    // A raised bevel one pixel wide: light on the top and left, shadow on the bottom and right.
    const TGdiObject light(CreatePen(PS_SOLID, 1, ColorToRGB(clBtnHighlight)));
    const TGdiObject shadow(CreatePen(PS_SOLID, 1, ColorToRGB(clBtnShadow)));
    const TSelectedObject pen(dc, light.Get());
    MoveToEx(dc, client.left, client.bottom - 1, nullptr);
    LineTo(dc, client.left, client.top);
    LineTo(dc, client.right - 1, client.top);
    pen.Select(shadow.Get());
    LineTo(dc, client.right - 1, client.bottom - 1);
    LineTo(dc, client.left - 1, client.bottom - 1);
}
