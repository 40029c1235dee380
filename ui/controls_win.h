#pragma once
// Controls: graphic controls, which draw on their parent's window and get their mouse input
// from it, and windowed controls, which own a window and hold other controls.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include "ui/colors_win.h"
#include "ui/component.h"
#include "ui/font_win.h"
#include "ui/messages_win.h"

class TControl;
class TWinControl;

enum class TMouseButton { Left, Right, Middle };

using TShiftState = uint32_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;
// The shift state a mouse message's key flags describe.
TShiftState MouseShiftState(WPARAM keys);
// The shift state of the keyboard now.
TShiftState KeyboardShiftState();

enum class TAlign { None, Client };

// Cursor identifiers, resolved by ScreenCursor.
using TCursor = int16_t;
constexpr TCursor crDefault = 0, crArrow = -2, crCross = -3, crIBeam = -4, crHandPoint = -21;
HCURSOR ScreenCursor(TCursor cursor);

// Moves the logical origin of dc so that (dx, dy) becomes (0, 0).
void MoveWindowOrigin(HDC dc, int dx, int dy);

using TNotifyEvent = std::function<void(TControl& sender)>;
using TMouseEvent =
    std::function<void(TControl& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TControl& sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TControl& sender, uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TControl& sender, char& key)>;

// The device context a control draws on: the parent's paint context while the parent paints,
// otherwise the parent window's own, clipped to the control and with its origin at the
// control's top-left corner.
class TControlCanvas {
public:
    explicit TControlCanvas(TControl& control) : control_(control) {}
    ~TControlCanvas() { Release(); }
    TControlCanvas(const TControlCanvas&) = delete;
    TControlCanvas& operator=(const TControlCanvas&) = delete;

    // Null when the control has no parent window.
    HDC Handle();
    // Whether a context is held now (lent by a paint, or taken).
    bool HandleAllocated() const { return dc_ != nullptr; }
    // Gives back a context taken from the parent window.
    void Release();

private:
    friend class TControl;
    TControl& control_;
    HDC dc_ = nullptr;
    HWND ownedFrom_ = nullptr; // the window dc_ was taken from, or null when lent
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    // The window this control draws on: its own, or its parent's for a graphic control.
    virtual HWND WindowHandle() const;
    virtual bool IsWindowed() const { return false; }

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    RECT ClientRect() const { return {0, 0, width_, height_}; }
    virtual void SetBounds(int left, int top, int width, int height);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool parentColor);
    TFont& Font() { return font_; }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool parentFont);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor) { cursor_ = cursor; }

    TControlCanvas& Canvas() { return canvas_; }
    // Draws the control; graphic controls draw on Canvas().
    virtual void Paint() {}
    // Paints now on the parent window, outside any paint message.
    void PaintNow();
    // Paints on a context that the parent is painting (origin and clip already set).
    void PaintOn(HDC dc);
    // Asks the window to repaint the control's area later.
    void Invalidate();

    // Every message reaches the control here; the framework's handling is the default.
    virtual void WndProc(TMessage& message);
    LRESULT Perform(UINT message, WPARAM wParam, LPARAM lParam);

    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);

    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

protected:
    // What a control does with a message nobody else handled.
    virtual void DefaultHandler(TMessage& message);
    void SetBoundsFields(int left, int top, int width, int height);

private:
    friend class TWinControl;
    void HandleMouse(TMessage& message);

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    TFont font_;
    bool parentFont_ = true;
    TAlign align_ = TAlign::None;
    TCursor cursor_ = crDefault;
    bool clicked_ = false; // a left press on the control that a release may turn into a click
    TControlCanvas canvas_;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const { return window_ != nullptr; }
    HWND WindowHandle() const override { return window_; }
    bool IsWindowed() const override { return true; }

    const std::vector<TControl*>& Controls() const { return controls_; }
    void SetBounds(int left, int top, int width, int height) override;
    void SetParent(TWinControl* parent) override;

    // The area children are aligned in, in client coordinates.
    virtual void AdjustClientRect(RECT& rect) const { (void)rect; }
    void Realign();

    // Paints the window with its border and all its children into dc, with the window's
    // top-left corner at (x, y).
    void PaintTo(HDC dc, int x, int y);

    void WndProc(TMessage& message) override;

    virtual void KeyDown(uint16_t& key, TShiftState shift);
    virtual void KeyUp(uint16_t& key, TShiftState shift);
    virtual void KeyPress(char& key);

    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    struct TCreateParams {
        DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        HWND parent = nullptr;
        std::string caption;
    };
    virtual void CreateParams(TCreateParams& params);
    void DefaultHandler(TMessage& message) override;
    // Draws the window's own content (graphic children are drawn after it).
    virtual void PaintWindow(HDC dc);
    void RecreateWindow();
    void DestroyHandle();

private:
    friend class TControl;
    void CreateHandle();
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void PaintHandler(TMessage& message);
    void PaintControls(HDC dc);
    TControl* GraphicControlAt(POINT point) const;
    bool RouteMouse(TMessage& message);
    void UpdateBoundsFromWindow();
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    std::vector<TControl*> controls_;
    TControl* mouseControl_ =
        nullptr; // the graphic child holding the mouse between press and release
    bool aligning_ = false;
};
