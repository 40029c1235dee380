#include "ui/font_win.h"

#include <cstring>

int ScreenPixelsPerInch() {
    static const int pixelsPerInch = [] {
        const HDC screen = GetDC(nullptr);
        const int ppi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return ppi > 0 ? ppi : 96;
    }();
    return pixelsPerInch;
}

void TFont::Changed() {
    handle_.Reset();
    if (OnChange)
        OnChange();
}

void TFont::SetName(const std::string& name) {
    if (name != name_) {
        name_ = name;
        Changed();
    }
}

void TFont::SetHeight(int height) {
    if (height != height_) {
        height_ = height;
        Changed();
    }
}

int TFont::Size() const {
    return -MulDiv(height_, 72, ScreenPixelsPerInch());
}

void TFont::SetSize(int points) {
    SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72));
}

void TFont::SetColor(TColor color) {
    if (color != color_) {
        color_ = color;
        Changed();
    }
}

void TFont::SetCharset(uint8_t charset) {
    if (charset != charset_) {
        charset_ = charset;
        Changed();
    }
}

void TFont::SetStyle(uint8_t style) {
    if (style != style_) {
        style_ = style;
        Changed();
    }
}

void TFont::Assign(const TFont& other) {
    if (&other == this || SameAs(other))
        return;
    name_ = other.name_;
    height_ = other.height_;
    color_ = other.color_;
    charset_ = other.charset_;
    style_ = other.style_;
    Changed();
}

bool TFont::SameAs(const TFont& other) const {
    return name_ == other.name_ && height_ == other.height_ && color_ == other.color_ &&
           charset_ == other.charset_ && style_ == other.style_;
}

LOGFONTA TFont::LogFont() const {
    LOGFONTA font{};
    font.lfHeight = height_;
    font.lfWeight = style_ & fsBold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = style_ & fsItalic ? 1 : 0;
    font.lfUnderline = style_ & fsUnderline ? 1 : 0;
    font.lfStrikeOut = style_ & fsStrikeOut ? 1 : 0;
    font.lfCharSet = charset_;
    font.lfQuality = DEFAULT_QUALITY;
    std::strncpy(font.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
    return font;
}

HFONT TFont::Handle() {
    if (!handle_) {
        const LOGFONTA font = LogFont();
        handle_.Reset(CreateFontIndirectA(&font));
    }
    return static_cast<HFONT>(handle_.Get());
}
