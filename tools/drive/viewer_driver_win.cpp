#include "tools/drive/viewer_driver_win.h"

#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "base/errors.h"

namespace {

struct TSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && std::string(className) == search->className) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND TopLevelWindow(DWORD processId, const char* className) {
    TSearch search{processId, className, nullptr};
    EnumWindows(&FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct TCollect {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM parameter) {
    auto* collect = reinterpret_cast<TCollect*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == collect->processId)
        collect->windows.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    TCollect collect{processId, {}};
    EnumWindows(&CollectWindowOfProcess, reinterpret_cast<LPARAM>(&collect));
    return collect.windows;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM parameter) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::string(className) == "Static") {
        auto* text = reinterpret_cast<std::string*>(parameter);
        const std::string line = WindowText(child);
        if (!line.empty())
            *text += (text->empty() ? "" : "\n") + line;
    }
    return TRUE;
}

} // namespace

std::string WindowText(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string DialogText(HWND dialog) {
    std::string text;
    EnumChildWindows(dialog, &CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

TViewerProcess::TViewerProcess(const std::string& program, const std::string& logPath) {
    // The child gets this process's environment plus the stand-in's log file.
    if (!logPath.empty())
        SetEnvironmentVariableA("LEAFTURN_STANDIN_LOG", logPath.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    const BOOL started = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr,
                                        FALSE, 0, nullptr, nullptr, &startup, &info);
    SetEnvironmentVariableA("LEAFTURN_STANDIN_LOG", nullptr);
    if (!started)
        throw TError("Cannot start " + program);
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    processId_ = info.dwProcessId;
}

TViewerProcess::~TViewerProcess() {
    if (Running()) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

bool TViewerProcess::Running() const {
    return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

bool TViewerProcess::WaitForWindow(std::chrono::milliseconds timeout, const char* className) {
    const bool shown = WaitUntil(
        [&] {
            form_ = TopLevelWindow(processId_, className);
            application_ = TopLevelWindow(processId_, "TApplication");
            return (form_ && IsWindowVisible(form_)) || !Running();
        },
        timeout, std::chrono::milliseconds(1));
    return shown && form_ && IsWindowVisible(form_);
}

TViewerWindowState TViewerProcess::State() const {
    TViewerWindowState state;
    state.style = GetWindowLongA(form_, GWL_STYLE);
    GetWindowRect(form_, &state.rect);
    state.zoomed = IsZoomed(form_) != FALSE;
    state.caption = WindowText(form_);
    state.title = application_ ? WindowText(application_) : "";
    return state;
}

std::vector<HWND> TViewerProcess::TaskbarWindows() const {
    std::vector<HWND> entries;
    for (const HWND window : TopLevelWindows(processId_)) {
        const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
        if (IsWindowVisible(window) && !(exStyle & WS_EX_TOOLWINDOW) &&
            (!GetWindow(window, GW_OWNER) || (exStyle & WS_EX_APPWINDOW)))
            entries.push_back(window);
    }
    return entries;
}

std::vector<HWND> TViewerProcess::Dialogs() const {
    std::vector<HWND> dialogs;
    for (const HWND window : TopLevelWindows(processId_)) {
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (IsWindowVisible(window) && std::string(className) == "#32770")
            dialogs.push_back(window);
    }
    return dialogs;
}

void TViewerProcess::PressKey(WORD virtualKey) const {
    // Through the system's input, into the window that has the keyboard, as typing does: the
    // viewer's own message loop makes the character of it. Activating another process's window
    // completes asynchronously: typing before it has completed would go nowhere.
    SetForegroundWindow(form_);
    WaitUntil([&] { return GetForegroundWindow() == form_; }, std::chrono::seconds(5),
              std::chrono::milliseconds(1));
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = virtualKey;
        key.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

void TViewerProcess::MoveMouse(int x, int y) const {
    const POINT point = ClientToScreenPoint(form_, x, y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute positions run from 0 to 65535 across the primary screen.
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
    Sleep(15); // each move is a message of its own for the viewer
}

void TViewerProcess::MouseButton(bool down) const {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(INPUT));
    Sleep(15);
}

void TViewerProcess::Click(int x, int y, int times) const {
    SetForegroundWindow(form_);
    MoveMouse(x, y);
    for (int i = 0; i < times; ++i) {
        MouseButton(true);
        MouseButton(false);
    }
}

void TViewerProcess::Drag(POINT from, POINT to, int steps, bool release) const {
    SetForegroundWindow(form_);
    MoveMouse(from.x, from.y);
    MouseButton(true);
    for (int i = 1; i <= steps; ++i)
        MoveMouse(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    if (release)
        MouseButton(false);
}

bool TViewerProcess::Close(DWORD& exitCode, std::chrono::milliseconds timeout) {
    PostMessageA(form_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(process_.Get(), &exitCode) != FALSE;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(interval);
    }
}

COLORREF ScreenPixel(int x, int y) {
    const HDC screen = GetDC(nullptr);
    const COLORREF pixel = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return pixel;
}

POINT ClientToScreenPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> CaptureScreen(const RECT& rect) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    std::vector<uint8_t> rgb;
    if (width <= 0 || height <= 0)
        return rgb;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HDC screen = GetDC(nullptr);
    TMemoryDc memory(CreateCompatibleDC(screen));
    TGdiObject section(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const TSelectedObject selected(memory.Get(), section.Get());
    BitBlt(memory.Get(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    ReleaseDC(nullptr, screen);
    const auto* pixels = static_cast<const uint8_t*>(bits);
    rgb.reserve(static_cast<size_t>(width) * height * 3);
    for (int i = 0; i < width * height; ++i)
        rgb.insert(rgb.end(), {pixels[4 * i + 2], pixels[4 * i + 1], pixels[4 * i]});
    return rgb;
}
