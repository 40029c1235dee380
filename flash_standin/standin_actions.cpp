// The calls into the host a test asks the stand-in to make, at once or during the host's calls.

#include "flash_standin/standin_object.h"

// An action as asked for, with copies of everything it points at.
struct TStandinControl::TKeptAction {
    explicit TKeptAction(const TStandinAction& action)
        : kind(action.kind), dispid(action.dispid), dx(action.dx), dy(action.dy),
          message(action.message), wParam(action.wParam), lParam(action.lParam),
          flags(action.flags), before(action.before != FALSE) {
        if (action.rect)
            rect = *action.rect;
        if (action.clip)
            clip = *action.clip;
        args.reserve(action.count);
        for (ULONG i = 0; i < action.count; ++i) {
            VARIANT copy;
            VariantInit(&copy);
            if (FAILED(VariantCopy(&copy, const_cast<VARIANT*>(&action.args[i])))) {
                Clear();
                throw std::bad_alloc();
            }
            args.push_back(copy);
        }
    }
    ~TKeptAction() { Clear(); }
    TKeptAction(const TKeptAction&) = delete;
    TKeptAction& operator=(const TKeptAction&) = delete;

    void Clear() {
        for (VARIANT& arg : args)
            VariantClear(&arg);
        args.clear();
    }
    const RECT* Rect() const { return rect ? &*rect : nullptr; }
    const RECT* Clip() const { return clip ? &*clip : nullptr; }

    LONG kind;
    DISPID dispid;
    std::vector<VARIANT> args;
    std::optional<RECT> rect, clip;
    LONG dx, dy;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD flags;
    bool before;
    LONG times = 1; // still to come; -1: always
};

namespace {

bool KnownKind(LONG kind) {
    return kind >= kActRaiseEvent && kind <= kActRequestNewObjectLayout;
}

} // namespace

HRESULT TStandinControl::Act(const TStandinAction* action) {
    return Private([&] {
        if (!action || (action->count > 0 && !action->args))
            return E_POINTER;
        if (!KnownKind(action->kind))
            return E_INVALIDARG;
        return Perform(TKeptAction(*action));
    });
}

HRESULT TStandinControl::ActDuring(LPCWSTR call, LONG times, const TStandinAction* action) {
    return Private([&] {
        if (!call)
            return E_POINTER;
        TCallActions& during = actions_[call];
        if (!action) {
            during.actions.clear();
            return S_OK;
        }
        if (action->count > 0 && !action->args)
            return E_POINTER;
        if (!KnownKind(action->kind) || times == 0 || times < -1)
            return E_INVALIDARG;
        auto kept = std::make_shared<TKeptAction>(*action);
        kept->times = times;
        during.actions.push_back(std::move(kept));
        return S_OK;
    });
}

TStandinControl::TCallActions* TStandinControl::ActionsDuring(const wchar_t* name) {
    if (actions_.empty())
        return nullptr;
    const auto found = actions_.find(name);
    return found == actions_.end() || found->second.actions.empty() ? nullptr : &found->second;
}

void TStandinControl::RunActions(const wchar_t* name, TCallActions* actions, bool before) noexcept {
    if (!actions)
        return;
    try {
        // Taken out first: an action may reach the host, which may call in again or ask for more.
        std::vector<std::shared_ptr<TKeptAction>> due;
        for (const auto& action : actions->actions)
            if (action->before == before)
                due.push_back(action);
        if (due.empty())
            return;
        if (actions->depth >= kStandinActionDepthLimit) {
            Note(std::wstring(name) + L" nested " + std::to_wstring(actions->depth) +
                 L" deep: no actions");
            return;
        }
        for (const auto& action : due)
            if (action->times > 0)
                --action->times;
        std::erase_if(actions->actions, [](const auto& action) { return action->times == 0; });
        for (const auto& action : due)
            Perform(*action);
    } catch (...) {
        // An action that could not be made is not the call's failure.
    }
}

HRESULT TStandinControl::Perform(const TKeptAction& action) {
    // Held for the length of the call: the host may deactivate the control meanwhile.
    const ComPtr<IOleInPlaceSiteWindowless> site = windowless_;
    const RECT* rect = action.Rect();
    switch (action.kind) {
    case kActRaiseEvent:
        return FireEvent(action.dispid, static_cast<ULONG>(action.args.size()), action.args.data());
    case kActRequestNewObjectLayout: {
        const ComPtr<IOleClientSite> client = site_;
        if (!client)
            return E_UNEXPECTED;
        return Out(L"site.RequestNewObjectLayout", L"", client->RequestNewObjectLayout());
    }
    case kActSetActiveObject: {
        const ComPtr<IOleInPlaceFrame> frame = frame_;
        if (!frame)
            return E_UNEXPECTED;
        IOleInPlaceActiveObject* object =
            action.flags == 1 ? nullptr : static_cast<IOleInPlaceActiveObject*>(this);
        return Out(L"frame.SetActiveObject", LogText::Pointer(object) + L", null",
                   frame->SetActiveObject(object, nullptr));
    }
    default:
        break;
    }
    if (!site)
        return E_UNEXPECTED;
    switch (action.kind) {
    case kActInvalidateRect:
        return Out(L"site.InvalidateRect", LogText::Rect(rect) + L", FALSE",
                   site->InvalidateRect(rect, FALSE));
    case kActInvalidateRgn: {
        const TGdiObject region(rect ? CreateRectRgnIndirect(rect) : nullptr);
        return Out(L"site.InvalidateRgn", LogText::Rect(rect) + L", FALSE",
                   site->InvalidateRgn(static_cast<HRGN>(region.Get()), FALSE));
    }
    case kActScrollRect:
        return Out(L"site.ScrollRect",
                   std::to_wstring(action.dx) + L", " + std::to_wstring(action.dy) + L", " +
                       LogText::Rect(rect) + L", " + LogText::Rect(action.Clip()),
                   site->ScrollRect(action.dx, action.dy, rect, action.Clip()));
    case kActAdjustRect: {
        RECT adjusted = rect ? *rect : RECT{};
        const HRESULT result = site->AdjustRect(rect ? &adjusted : nullptr);
        return Out(L"site.AdjustRect", LogText::Rect(rect), result,
                   SUCCEEDED(result) ? LogText::Rect(&adjusted) : L"");
    }
    case kActDefWindowMessage: {
        LRESULT answer = 0;
        const HRESULT result =
            site->OnDefWindowMessage(action.message, action.wParam, action.lParam, &answer);
        return Out(L"site.OnDefWindowMessage",
                   LogText::Message(action.message, action.wParam, action.lParam), result,
                   std::to_wstring(answer));
    }
    case kActPosRectChange:
        return Out(L"site.OnPosRectChange", LogText::Rect(rect), site->OnPosRectChange(rect));
    case kActGetDC: {
        HDC dc = nullptr;
        const HRESULT answer = site->GetDC(rect, action.flags, &dc);
        const HRESULT got =
            Out(L"site.GetDC", LogText::Rect(rect) + L", " + LogText::Hex(action.flags), answer,
                LogText::Handle(dc));
        if (FAILED(got) || !dc)
            return got;
        // As a control that draws outside the host's paint does.
        DrawPicture(dc, position_);
        const HRESULT released = Out(L"site.ReleaseDC", LogText::Handle(dc), site->ReleaseDC(dc));
        return FAILED(released) ? released : got;
    }
    default:
        return E_INVALIDARG;
    }
}
