#pragma once
// The application object: COM for the user-interface thread, the title of the program's
// taskbar entry, the default error handler and the message loop.

#include <exception>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

#include "base/handles_win.h"

class TForm;

class TApplication {
public:
    // Initialises COM for this thread as a single-threaded apartment.
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The application's own window: of no visible size, it carries the title and stands for the
    // program on the taskbar; the forms are owned by it. Run shows it.
    HWND Handle() const { return window_.Get(); }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    // Shows the message of an error nobody else handled. With a recorder installed (tests) the
    // message goes to it instead of a message box.
    void HandleException(const std::exception& error);
    void HandleCurrentException();
    void SetErrorRecorder(std::function<void(const std::string& message)> recorder);

    // Closing the main form ends the message loop.
    TForm* MainForm() const { return mainForm_; }
    void SetMainForm(TForm* form) { mainForm_ = form; }

    // Shows the application's window (the taskbar entry), then runs the message loop until
    // Terminate or WM_QUIT.
    void Run();
    // Minimizing the program: its forms are hidden and the taskbar entry minimized; restoring
    // brings them back as they were, the main form active.
    void Minimize();
    void Restore();
    // Handles every message waiting now and returns.
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The one application of the process (null before construction and after destruction).
    static TApplication* Instance() { return instance_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleOneMessage();
    void ActivateMainForm();

    static TApplication* instance_;
    bool comInitialized_ = false;
    bool terminated_ = false;
    std::string title_;
    std::function<void(const std::string&)> errorRecorder_;
    TForm* mainForm_ = nullptr;
    std::vector<HWND> hiddenForms_; // hidden by Minimize, shown again by Restore
    TWindowHandle window_;
};

// The process's application; raises when there is none.
TApplication& Application();
