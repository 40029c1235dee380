#pragma once
// A hidden window whose messages go to a function of its owner: for objects that need a window
// only to receive posted messages.

#include <functional>
#include <optional>
#include <windows.h>

#include "base/handles_win.h"

class THiddenWindow {
public:
    // Returns the result of a message it handled, nothing for one it leaves to DefWindowProcA.
    using THandler =
        std::function<std::optional<LRESULT>(UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit THiddenWindow(THandler handler);
    THiddenWindow(const THiddenWindow&) = delete;
    THiddenWindow& operator=(const THiddenWindow&) = delete;

    HWND Handle() const { return window_.Get(); }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    THandler handler_;
    TWindowHandle window_;
};
