// In place: the frame kept, input, and the private interface's calls made through the
// windowless site.

#include "flash_standin/standin_object.h"

#include <algorithm>
#include <windowsx.h>

namespace {

bool Contains(const std::vector<uint8_t>& keys, WPARAM key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// Messages a movie takes: the mouse's moves and buttons, keys, focus.
bool HandlesMessage(UINT message) {
    return (message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) ||
           (message >= WM_KEYDOWN && message <= WM_CHAR) || message == WM_SETFOCUS ||
           message == WM_KILLFOCUS;
}

} // namespace

// The frame is kept for the actions that reach it.
void TStandinControl::Activated(IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) {
    frame_ = frame;
    document_ = document;
}

void TStandinControl::Deactivated() {
    frame_.Reset();
    document_.Reset();
}

HRESULT TStandinControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT* result) {
    if (message == WM_RBUTTONDOWN) {
        // Where a movie would open its menu: it asks for a window to own it.
        HWND owner = nullptr;
        const HRESULT answer = windowless_->GetWindow(&owner);
        Out(L"site.GetWindow", L"", answer, LogText::Handle(owner));
    }
    HandleSceneInput(message, wParam, lParam);
    if (!HandlesMessage(message))
        return S_FALSE;
    if (result)
        *result = 0;
    return S_OK;
}

void TStandinControl::HandleSceneInput(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!scene_)
        return;
    TSceneState& scene = *scene_;
    const int32_t pages = static_cast<int32_t>(scene.pages.size());
    int32_t target = scene.current;
    if (message == WM_KEYDOWN) {
        if (Contains(scene.scene.nextKeys, wParam))
            ++target;
        else if (Contains(scene.scene.prevKeys, wParam))
            --target;
        else if (scene.scene.fullscreenKey != 0 && wParam == scene.scene.fullscreenKey) {
            scene.fullscreen = !scene.fullscreen;
            FireCommand(L"fullscreen", scene.fullscreen ? L"true" : L"false");
            return;
        }
        for (const TSceneCommand& sceneCommand : scene.scene.commands)
            if (wParam == sceneCommand.key) {
                FireCommand(Utf8ToWide(sceneCommand.command), Utf8ToWide(sceneCommand.args));
                return;
            }
    } else if (message == WM_LBUTTONDOWN) {
        // The left half turns back, the right half forward.
        const int x = GET_X_LPARAM(lParam) - position_.left;
        target += x < (position_.right - position_.left) / 2 ? -1 : 1;
    }
    if (target != scene.current && target >= 0 && target < pages)
        ShowPage(target);
}

// The private interface's input and repaint requests, made through the windowless site.

HRESULT TStandinControl::Invalidate(const RECT* rect) {
    TStandinAction action{};
    action.kind = kActInvalidateRect;
    action.rect = rect;
    return Act(&action);
}

HRESULT TStandinControl::InvalidateRegion(const RECT* rect) {
    TStandinAction action{};
    action.kind = kActInvalidateRgn;
    action.rect = rect;
    return Act(&action);
}

HRESULT TStandinControl::RequestCapture(BOOL capture) {
    return Private([&] {
        if (!windowless_)
            return E_UNEXPECTED;
        return Out(L"site.SetCapture", capture ? L"TRUE" : L"FALSE",
                   windowless_->SetCapture(capture));
    });
}

HRESULT TStandinControl::QueryCapture() {
    return Private([&] {
        if (!windowless_)
            return E_UNEXPECTED;
        return Out(L"site.GetCapture", L"", windowless_->GetCapture());
    });
}

HRESULT TStandinControl::RequestFocus(BOOL focus) {
    return Private([&] {
        if (!windowless_)
            return E_UNEXPECTED;
        return Out(L"site.SetFocus", focus ? L"TRUE" : L"FALSE", windowless_->SetFocus(focus));
    });
}

HRESULT TStandinControl::QueryFocus() {
    return Private([&] {
        if (!windowless_)
            return E_UNEXPECTED;
        return Out(L"site.GetFocus", L"", windowless_->GetFocus());
    });
}

HRESULT TStandinControl::RequestWindow(HWND* window) {
    return Private([&] {
        if (!window)
            return E_POINTER;
        *window = nullptr;
        if (!windowless_)
            return E_UNEXPECTED;
        const HRESULT answer = windowless_->GetWindow(window);
        return Out(L"site.GetWindow", L"", answer, LogText::Handle(*window));
    });
}
