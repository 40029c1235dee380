#include "ui/hidden_window_win.h"

#include "base/errors.h"

namespace {
constexpr char kClassName[] = "LeafturnHiddenWindow";
} // namespace

THiddenWindow::THiddenWindow(THandler handler) : handler_(std::move(handler)) {
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), kClassName, &windowClass)) {
        windowClass.lpfnWndProc = &THiddenWindow::Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
    }
    // A message-only window: never shown, never enumerated as a top-level window.
    window_.Reset(CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), this));
    if (!window_)
        throw TError("Cannot create a hidden window");
}

LRESULT CALLBACK THiddenWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && self->handler_)
        if (const std::optional<LRESULT> result = self->handler_(message, wParam, lParam))
            return *result;
    return DefWindowProcA(window, message, wParam, lParam);
}
