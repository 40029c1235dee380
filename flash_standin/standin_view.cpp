// What the stand-in draws: the placeholder picture, or the current page of a scene.

#include "flash_standin/standin_object.h"

namespace {

const wchar_t* StateText(const TRequest& request) {
    switch (request.state) {
    case TRequest::TState::Pending:
        return L"loading";
    case TRequest::TState::Received:
        return nullptr;
    case TRequest::TState::Failed:
        return L"failed";
    case TRequest::TState::Declined:
        return L"declined";
    }
    return L"";
}

std::wstring Describe(const TRequest& request) {
    const wchar_t* state = StateText(request);
    return request.url + L" - " +
           (state ? std::wstring(state) : std::to_wstring(request.bytes.size()) + L" bytes");
}

const wchar_t* PurposeText(TRequest::TPurpose purpose) {
    switch (purpose) {
    case TRequest::TPurpose::Movie:
        return L"movie";
    case TRequest::TPurpose::Skin:
        return L"skin";
    case TRequest::TPurpose::Video:
        return L"video";
    case TRequest::TPurpose::PageList:
        return L"page list";
    case TRequest::TPurpose::Page:
        return L"page";
    case TRequest::TPurpose::File:
        return L"file";
    }
    return L"";
}

} // namespace

HRESULT TStandinControl::DrawIn(HDC dc, LPCRECTL bounds) {
    DrawPicture(dc, bounds ? RECT{bounds->left, bounds->top, bounds->right, bounds->bottom}
                           : position_);
    return S_OK;
}

void TStandinControl::DrawPicture(HDC dc, const RECT& area) const {
    if (scene_ && scene_->picture) {
        const int saved = SaveDC(dc);
        DrawPictureScaled(dc, *scene_->picture, area);
        RestoreDC(dc, saved);
    } else if (frameOnly_) {
        DrawPlaceholder(dc, area); // filling leaves the DC's state alone
    } else {
        const int saved = SaveDC(dc);
        DrawPlaceholder(dc, area);
        RestoreDC(dc, saved);
    }
}

void TStandinControl::DrawPlaceholder(HDC dc, const RECT& area) const {
    using namespace StandinPicture;
    if (area.right <= area.left || area.bottom <= area.top)
        return;
    const TGdiObject frameBrush(CreateSolidBrush(kFrameColor));
    const RECT strips[4] = {
        {area.left, area.top, area.right, area.top + kFrameWidth},
        {area.left, area.bottom - kFrameWidth, area.right, area.bottom},
        {area.left, area.top, area.left + kFrameWidth, area.bottom},
        {area.right - kFrameWidth, area.top, area.right, area.bottom},
    };
    for (const RECT& strip : strips)
        FillRect(dc, &strip, static_cast<HBRUSH>(frameBrush.Get()));
    const RECT inner = {area.left + kFrameWidth, area.top + kFrameWidth, area.right - kFrameWidth,
                        area.bottom - kFrameWidth};
    if (frameOnly_ || inner.right <= inner.left || inner.bottom <= inner.top)
        return;

    // The veil: one pixel of its colour, stretched and blended over what the DC holds.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 1;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const TGdiObject veil(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const TMemoryDc source(CreateCompatibleDC(dc));
    if (veil && bits && source) {
        *static_cast<DWORD*>(bits) =
            (GetRValue(kVeilColor) << 16) | (GetGValue(kVeilColor) << 8) | GetBValue(kVeilColor);
        const TSelectedObject selected(source.Get(), veil.Get());
        const BLENDFUNCTION blend = {AC_SRC_OVER, 0, kVeilAlpha, 0};
        AlphaBlend(dc, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top,
                   source.Get(), 0, 0, 1, 1, blend);
    }

    // What arrived, in the upper half only, so that the lower half shows the blend alone.
    IntersectClipRect(dc, inner.left, inner.top, inner.right,
                      inner.top + (inner.bottom - inner.top) / 2);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColor);
    SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight > 0 ? metrics.tmHeight : 14;
    int y = inner.top + 4;
    for (const std::wstring& line : PlaceholderLines()) {
        TextOutW(dc, inner.left + 4, y, line.c_str(), static_cast<int>(line.size()));
        y += lineHeight;
        if (y >= inner.bottom)
            break;
    }
}

std::vector<std::wstring> TStandinControl::PlaceholderLines() const {
    std::vector<std::wstring> lines = {L"Leafturn stand-in player control"};
    if (layers_.empty())
        lines.push_back(L"no movie");
    for (const auto& [layer, request] : layers_)
        lines.push_back(L"layer " + std::to_wstring(layer) + L": " + Describe(*request));
    if (scene_) {
        const TSceneState& scene = *scene_;
        if (scene.pageListUrl.empty())
            lines.push_back(L"scene without a page list");
        else if (!scene.pageListArrived)
            lines.push_back(L"page list " + scene.pageListUrl + L" - not arrived");
        else if (scene.pages.empty())
            lines.push_back(L"page list " + scene.pageListUrl + L" - no pages");
        else
            lines.push_back(L"page " + std::to_wstring(scene.current + 1) + L" of " +
                            std::to_wstring(scene.pages.size()) + L": " +
                            scene.pages[scene.current] +
                            (scene.problem.empty() ? L"" : L" - " + scene.problem));
    }
    for (const auto& request : requests_)
        if (request->purpose != TRequest::TPurpose::Movie)
            lines.push_back(std::wstring(PurposeText(request->purpose)) + L" " +
                            Describe(*request));
    return lines;
}

HRESULT TStandinControl::SetFrameOnly(BOOL frameOnly) {
    return Private([&] {
        frameOnly_ = frameOnly != FALSE;
        return S_OK;
    });
}

void TStandinControl::PictureChanged() {
    pictureChanged_ = true;
}
