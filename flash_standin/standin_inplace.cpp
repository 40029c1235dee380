// Windowless in-place activation, the in-place and active object, input, ambient properties.

#include "flash_standin/standin_object.h"

#include <algorithm>
#include <windowsx.h>

namespace {

auto NoArgs() {
    return [] { return std::wstring(); };
}

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

HRESULT TStandinControl::DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index,
                                HWND parent, LPCRECT position) {
    return Call(
        L"DoVerb",
        [&] {
            return std::to_wstring(verb) + L", msg=" + LogText::Pointer(message) + L", site=" +
                   LogText::Pointer(site) + L", index=" + std::to_wstring(index) + L", parent=" +
                   LogText::Handle(parent) + L", rect=" + LogText::Rect(position);
        },
        [&](std::wstring&) {
            switch (verb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
                return ActivateInPlace(site, position, false);
            case OLEIVERB_UIACTIVATE:
                return ActivateInPlace(site, position, true);
            case OLEIVERB_HIDE:
                Deactivate();
                return S_OK;
            default:
                return E_NOTIMPL;
            }
        });
}

HRESULT TStandinControl::ActivateInPlace(IOleClientSite* givenSite, LPCRECT position,
                                         bool uiActivate) {
    IOleClientSite* site = givenSite ? givenSite : site_.Get();
    if (!site)
        return E_UNEXPECTED;
    if (!inPlaceActive_) {
        // The stand-in has no window of its own: without a windowless site it stays inactive.
        ComPtr<IOleInPlaceSiteWindowless> windowless;
        if (FAILED(Out(L"site.QueryInterface", L"IOleInPlaceSiteWindowless",
                       site->QueryInterface(IID_PPV_ARGS(&windowless))))) {
            Note(L"no windowless site: not activated");
            return E_FAIL;
        }
        if (Out(L"site.CanInPlaceActivate", L"", windowless->CanInPlaceActivate()) != S_OK) {
            Note(L"the site refuses in-place activation");
            return E_FAIL;
        }
        if (Out(L"site.CanWindowlessActivate", L"", windowless->CanWindowlessActivate()) != S_OK) {
            Note(L"the site refuses windowless activation: not activated");
            return E_FAIL;
        }
        windowless_ = windowless;
        inPlaceActive_ = true;
        BOOL noRedraw = FALSE;
        const HRESULT activated =
            Out(L"site.OnInPlaceActivateEx", L"ACTIVATE_WINDOWLESS",
                windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS));
        if (FAILED(activated)) {
            windowless_.Reset();
            inPlaceActive_ = false;
            return activated;
        }
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT framePosition{}, frameClip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        const HRESULT context =
            windowless->GetWindowContext(&frame, &document, &framePosition, &frameClip, &info);
        Out(L"site.GetWindowContext", L"", context,
            SUCCEEDED(context)
                ? L"frame=" + LogText::Pointer(frame.Get()) + L", doc=" +
                      LogText::Pointer(document.Get()) + L", pos=" + LogText::Rect(&framePosition) +
                      L", clip=" + LogText::Rect(&frameClip) + L", mdi=" +
                      std::to_wstring(info.fMDIApp) + L", window=" +
                      LogText::Handle(info.hwndFrame) + L", accel=" + LogText::Handle(info.haccel) +
                      L", entries=" + std::to_wstring(info.cAccelEntries)
                : std::wstring());
        if (SUCCEEDED(context)) {
            frame_ = frame;
            document_ = document;
            position_ = framePosition;
            clip_ = frameClip;
        } else {
            position_ = position ? *position : RECT{};
            clip_ = position_;
        }
    }
    if (uiActivate && !uiActive_)
        uiActive_ = SUCCEEDED(Out(L"site.OnUIActivate", L"", windowless_->OnUIActivate()));
    return S_OK;
}

void TStandinControl::Deactivate() {
    if (!inPlaceActive_)
        return;
    const ComPtr<IOleInPlaceSiteWindowless> site = std::move(windowless_);
    if (uiActive_) {
        uiActive_ = false;
        Out(L"site.OnUIDeactivate", L"FALSE", site->OnUIDeactivate(FALSE));
    }
    inPlaceActive_ = false;
    frame_.Reset();
    document_.Reset();
    // The plain notification, so that the site lets go of the interfaces it took at activation.
    Out(L"site.OnInPlaceDeactivate", L"", site->OnInPlaceDeactivate());
}

void TStandinControl::ReadAmbient(DISPID dispid) {
    if (!ambient_)
        return;
    TVariant value;
    DISPPARAMS none{};
    const HRESULT result =
        ambient_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                         &value.value, nullptr, nullptr);
    Out(L"site.Invoke", std::to_wstring(dispid) + L", PROPERTYGET", result,
        SUCCEEDED(result) ? LogText::Variant(value.value) : std::wstring());
}

// IOleWindow

HRESULT TStandinControl::GetWindow(HWND* window) {
    return Call(L"GetWindow", NoArgs(), [&](std::wstring&) {
        if (!window)
            return E_POINTER;
        *window = nullptr; // windowless: there is none
        return E_FAIL;
    });
}

HRESULT TStandinControl::ContextSensitiveHelp(BOOL enter) {
    return Call(
        L"ContextSensitiveHelp", [&] { return std::to_wstring(enter); },
        [](std::wstring&) { return E_NOTIMPL; });
}

// IOleInPlaceObject, IOleInPlaceObjectWindowless

HRESULT TStandinControl::InPlaceDeactivate() {
    return Call(L"InPlaceDeactivate", NoArgs(), [&](std::wstring&) {
        Deactivate();
        return S_OK;
    });
}

HRESULT TStandinControl::UIDeactivate() {
    return Call(L"UIDeactivate", NoArgs(), [&](std::wstring&) {
        if (uiActive_ && windowless_) {
            uiActive_ = false;
            Out(L"site.OnUIDeactivate", L"FALSE", windowless_->OnUIDeactivate(FALSE));
        }
        return S_OK;
    });
}

HRESULT TStandinControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
    return Call(
        L"SetObjectRects",
        [&] { return L"pos=" + LogText::Rect(position) + L", clip=" + LogText::Rect(clip); },
        [&](std::wstring&) {
            if (!position)
                return E_POINTER;
            position_ = *position;
            clip_ = clip ? *clip : *position;
            return S_OK;
        });
}

HRESULT TStandinControl::ReactivateAndUndo() {
    return Call(L"ReactivateAndUndo", NoArgs(), [](std::wstring&) { return E_NOTIMPL; });
}

HRESULT TStandinControl::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT* result) {
    return Call(
        L"OnWindowMessage",
        [&] {
            wchar_t number[8];
            _snwprintf(number, 8, L"0x%04X", message);
            return std::wstring(number) + L", " + std::to_wstring(wParam) + L", " +
                   std::to_wstring(lParam);
        },
        [&](std::wstring&) {
            if (!inPlaceActive_)
                return S_FALSE;
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
        });
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
            VARIANT args[2];
            TBstr command(L"fullscreen");
            TBstr state(scene.fullscreen ? L"true" : L"false");
            V_VT(&args[0]) = VT_BSTR;
            V_BSTR(&args[0]) = command.Get();
            V_VT(&args[1]) = VT_BSTR;
            V_BSTR(&args[1]) = state.Get();
            FireEvent(FlashEvent::kFSCommand, 2, args);
            return;
        }
        for (const TSceneCommand& sceneCommand : scene.scene.commands)
            if (wParam == sceneCommand.key) {
                TBstr command(Utf8ToWide(sceneCommand.command));
                TBstr arguments(Utf8ToWide(sceneCommand.args));
                VARIANT args[2];
                V_VT(&args[0]) = VT_BSTR;
                V_BSTR(&args[0]) = command.Get();
                V_VT(&args[1]) = VT_BSTR;
                V_BSTR(&args[1]) = arguments.Get();
                FireEvent(FlashEvent::kFSCommand, 2, args);
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

// IOleInPlaceActiveObject

HRESULT TStandinControl::TranslateAccelerator(LPMSG message) {
    return Call(
        L"TranslateAccelerator", [&] { return LogText::Pointer(message); },
        [](std::wstring&) { return S_FALSE; });
}

HRESULT TStandinControl::OnFrameWindowActivate(BOOL activate) {
    return Call(
        L"OnFrameWindowActivate", [&] { return std::to_wstring(activate); },
        [](std::wstring&) { return S_OK; });
}

HRESULT TStandinControl::OnDocWindowActivate(BOOL activate) {
    return Call(
        L"OnDocWindowActivate", [&] { return std::to_wstring(activate); },
        [](std::wstring&) { return S_OK; });
}

HRESULT TStandinControl::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow*, BOOL frameWindow) {
    return Call(
        L"ResizeBorder",
        [&] { return LogText::Rect(border) + L", " + std::to_wstring(frameWindow); },
        [](std::wstring&) { return S_OK; });
}

HRESULT TStandinControl::EnableModeless(BOOL enable) {
    return Call(
        L"EnableModeless", [&] { return std::to_wstring(enable); },
        [](std::wstring&) { return S_OK; });
}

HRESULT TStandinControl::GetDropTarget(IDropTarget** target) {
    return Call(L"GetDropTarget", NoArgs(), [&](std::wstring&) {
        if (target)
            *target = nullptr;
        return E_NOTIMPL;
    });
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
