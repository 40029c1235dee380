#include "ui/application_win.h"

#include <objbase.h>
#include <utility>

#include "base/errors.h"
#include "base/platform.h"
#include "ui/forms_win.h"

TApplication* TApplication::instance_ = nullptr;

namespace {

constexpr char kClassName[] = "TApplication";

struct TOwnedSearch {
    HWND owner;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleOwned(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TOwnedSearch*>(parameter);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

// The visible top-level windows of this thread that owner owns.
std::vector<HWND> VisibleOwnedWindows(HWND owner) {
    TOwnedSearch search{owner, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectVisibleOwned,
                      reinterpret_cast<LPARAM>(&search));
    return search.found;
}

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
    // Zero-sized and unowned, so that once shown it is the taskbar entry while the forms it owns
    // are not.
    window_.Reset(CreateWindowExA(
        0, kClassName, "", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0,
        0, 0, 0, nullptr, nullptr, module, nullptr));
    // Until it is given one, the title is the program's name: a message shown before has one.
    const std::string path = OwnExecutablePath();
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    SetTitle(name.substr(0, name.rfind('.')));
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
    // Shown but not activated: a window of no size that the platform lists on its taskbar.
    if (window_ && !IsWindowVisible(window_.Get()))
        ShowWindow(window_.Get(), SW_SHOWNA);
    while (!terminated_) {
        if (!HandleOneMessage())
            WaitMessage();
    }
}

void TApplication::Minimize() {
    if (!window_ || IsIconic(window_.Get()))
        return;
    // The forms are owned by this window, not minimized with it: they are hidden meanwhile.
    hiddenForms_ = VisibleOwnedWindows(window_.Get());
    for (const HWND form : hiddenForms_)
        ShowWindow(form, SW_HIDE);
    ShowWindow(window_.Get(), SW_MINIMIZE);
}

void TApplication::Restore() {
    if (!window_)
        return;
    if (IsIconic(window_.Get()))
        ShowWindow(window_.Get(), SW_RESTORE);
    // Shown in the state each had (a hidden window keeps being maximized or not).
    for (const HWND form : std::exchange(hiddenForms_, {}))
        if (IsWindow(form))
            ShowWindow(form, SW_SHOWNA);
    ActivateMainForm();
}

void TApplication::ActivateMainForm() {
    if (!mainForm_ || !mainForm_->HandleAllocated())
        return;
    // The form, or the message box it is waiting on.
    const HWND target = GetLastActivePopup(mainForm_->Handle());
    if (IsWindowVisible(target) && IsWindowEnabled(target))
        SetActiveWindow(target);
}

void TApplication::Terminate() {
    if (!terminated_)
        PostQuitMessage(0);
}

LRESULT CALLBACK TApplication::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TApplication* application = instance_;
    if (application && application->window_.Get() == window) {
        switch (message) {
        case WM_SYSCOMMAND:
            // The taskbar entry's commands minimize and restore the whole program.
            if ((wParam & 0xFFF0) == SC_MINIMIZE) {
                application->Minimize();
                return 0;
            }
            if ((wParam & 0xFFF0) == SC_RESTORE) {
                application->Restore();
                return 0;
            }
            break;
        case WM_SETFOCUS:
            // Activating the taskbar entry brings the main form to the front.
            application->ActivateMainForm();
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TApplication& Application() {
    if (!TApplication::Instance())
        throw TError("The application has not been created");
    return *TApplication::Instance();
}
