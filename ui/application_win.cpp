#include "ui/application_win.h"

#include <objbase.h>

#include "base/errors.h"

TApplication* TApplication::instance_ = nullptr;

namespace {
constexpr char kClassName[] = "TApplication";
} // namespace

TApplication::TApplication() {
    if (instance_)
        throw TError("There is already an application");
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(module, kClassName, &windowClass)) {
        windowClass.lpfnWndProc = &TApplication::Procedure;
        windowClass.hInstance = module;
        windowClass.hIcon = LoadIconA(module, "MAINICON");
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
    }
    // Zero-sized and unowned, so that it is the taskbar entry while the forms it owns are not.
    window_.Reset(CreateWindowExA(
        0, kClassName, "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0,
        0, 0, 0, nullptr, nullptr, module, nullptr));
    instance_ = this;
}

TApplication::~TApplication() {
    window_.Reset();
    instance_ = nullptr;
    if (comInitialized_)
        CoUninitialize();
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    if (window_)
        SetWindowTextA(window_.Get(), title.c_str());
}

void TApplication::HandleException(const std::exception& error) {
    const std::string message = error.what();
    if (errorRecorder_) {
        errorRecorder_(message);
        return;
    }
    MessageBoxA(GetActiveWindow(), message.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::HandleCurrentException() {
    try {
        throw;
    } catch (const std::exception& error) {
        HandleException(error);
    } catch (...) {
        HandleException(TError("Unknown error"));
    }
}

void TApplication::SetErrorRecorder(std::function<void(const std::string&)> recorder) {
    errorRecorder_ = std::move(recorder);
}

bool TApplication::HandleOneMessage() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

void TApplication::ProcessMessages() {
    while (!terminated_ && HandleOneMessage()) {
    }
}

void TApplication::Run() {
    while (!terminated_) {
        if (!HandleOneMessage())
            WaitMessage();
    }
}

void TApplication::Terminate() {
    if (!terminated_)
        PostQuitMessage(0);
}

LRESULT CALLBACK TApplication::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TApplication& Application() {
    if (!TApplication::Instance())
        throw TError("The application has not been created");
    return *TApplication::Instance();
}
