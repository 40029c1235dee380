#pragma once
// Drives a viewer running as its own process, from outside, as a user would: finds its window,
// reads what the window is, posts keys, looks at the screen, closes it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

#include "base/handles_win.h"

// What a viewer window is right now.
struct TViewerWindowState {
    LONG style = 0;
    RECT rect{};
    bool zoomed = false;
    std::string caption; // the main window's
    std::string title;   // the application's taskbar entry
};

// A process's private bytes (its commit charge): Windows reports it in PrivateUsage, Wine only in
// PagefileUsage. 0 when it cannot be read.
int64_t PrivateBytes(HANDLE process);

// What a process holds: the figures a leak shows in.
struct TProcessResources {
    int64_t gdiObjects = 0;
    int64_t userObjects = 0;
    int64_t handles = 0;
    int64_t privateBytes = 0;
};

class TViewerProcess {
public:
    // Starts the program with the stand-in writing its log to logPath (empty: no log).
    TViewerProcess(const std::string& program, const std::string& logPath);
    // Ends a viewer that is still running.
    ~TViewerProcess();
    TViewerProcess(const TViewerProcess&) = delete;
    TViewerProcess& operator=(const TViewerProcess&) = delete;

    // Waits until a visible top-level window of the class appears (the viewer's main window
    // by default); false on time-out or when the process ended.
    bool WaitForWindow(std::chrono::milliseconds timeout = std::chrono::seconds(15),
                       const char* className = "LeafturnWindow");
    HWND MainWindow() const { return form_; }
    HWND ApplicationWindow() const { return application_; }
    TViewerWindowState State() const;
    // The process's windows the platform lists on its taskbar: visible top-level windows that
    // have no owner or ask for an entry (WS_EX_APPWINDOW), tool windows excepted.
    std::vector<HWND> TaskbarWindows() const;
    // Message boxes and other dialogs of the process that are showing now.
    std::vector<HWND> Dialogs() const;

    // Presses and releases a key on the keyboard, with the viewer's window in front.
    void PressKey(WORD virtualKey) const;
    // The mouse, through the system's input, at points of the main window's client area: moves
    // the pointer there, presses or releases the left button, clicks (twice for a double click).
    void MoveMouse(int x, int y) const;
    void MouseButton(bool down) const;
    void Click(int x, int y, int times = 1) const;
    // Presses at from, moves to to in steps, and lets go unless told to hold on.
    void Drag(POINT from, POINT to, int steps = 12, bool release = true) const;
    // Asks the window to close, as its close box does; waits for the process to end and gives
    // its exit code (or nothing on time-out).
    bool Close(DWORD& exitCode, std::chrono::milliseconds timeout = std::chrono::seconds(15));
    bool Running() const;
    // Read as the system reports them; where Wine does not (it answers 0), from the viewer's
    // GDI handle table, its windows (of the user objects, only those), the system's handle list
    // and its anonymous memory in use (resident and swapped) instead of its commit charge.
    TProcessResources Resources() const;
    DWORD ProcessId() const { return processId_; }

private:
    TFileHandle process_;
    DWORD processId_ = 0;
    HWND form_ = nullptr;
    HWND application_ = nullptr;
};

// Polls until condition holds; false on time-out.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10),
               std::chrono::milliseconds interval = std::chrono::milliseconds(20));

// One pixel of the screen as the display shows it.
COLORREF ScreenPixel(int x, int y);
// The screen position of a window's client point.
POINT ClientToScreenPoint(HWND window, int x, int y);

// A window's text.
std::string WindowText(HWND window);
// The texts of a dialog's static controls (a message box's message), joined by new lines.
std::string DialogText(HWND dialog);

// A file's whole text ("" when there is none).
std::string ReadTextFile(const std::string& path);

// The screen's pixels in rect as 3-byte RGB, top row first.
std::vector<uint8_t> CaptureScreen(const RECT& rect);
