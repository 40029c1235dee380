#pragma once
// Top-level forms and panels.

#include <functional>
#include <optional>
#include <string>

#include "ui/controls_win.h"

enum class TWindowState { Normal, Minimized, Maximized };
enum class TPosition { Designed, ScreenCenter };

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    int ClientWidth();
    int ClientHeight();

    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TWindowState WindowState();
    void SetWindowState(TWindowState state);
    // Before a form that opens maximized is shown, bounds set are those of its maximized window:
    // its normal bounds stay for restoring.
    void SetBounds(int left, int top, int width, int height) override;

    // Shows the form; the first time its normal bounds are centred on the desktop when its
    // position asks so, also when it opens maximized.
    void Show();
    // Asks the form to close, as the user closing its window does.
    void Close();

    // Forms of this framework are never MDI children and carry no main menu.
    bool IsMdiChild() const { return false; }
    HMENU Menu() const { return nullptr; }

    // After the form and its children have been created (the application calls it). An error
    // of OnCreate goes to the application's default error handler.
    void DoCreate();
    std::function<void(TForm& sender)> OnCreate;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    std::string caption_;
    TPosition position_ = TPosition::Designed;
    TWindowState pendingState_ = TWindowState::Normal;
    std::optional<RECT> pendingMaximizedBounds_;
    bool shown_ = false;
};

// A panel: a child window that draws a raised bevel one pixel wide and holds its children
// inside it.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    void AdjustClientRect(RECT& rect) const override;

protected:
    void PaintWindow(HDC dc) override;
};
