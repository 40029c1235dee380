#pragma once
// A font description with colour, and the system font made from it on demand.

#include <cstdint>
#include <functional>
#include <string>
#include <windows.h>

#include "base/handles_win.h"
#include "ui/colors_win.h"

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont {
public:
    TFont() = default;
    TFont(const TFont& other) { Assign(other); }
    TFont& operator=(const TFont& other) {
        Assign(other);
        return *this;
    }

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    // Negative: character height in pixels; positive: cell height.
    int Height() const { return height_; }
    void SetHeight(int height);
    // Points, at the screen's pixels per inch.
    int Size() const;
    void SetSize(int points);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    uint8_t Charset() const { return charset_; }
    void SetCharset(uint8_t charset);
    uint8_t Style() const { return style_; }
    void SetStyle(uint8_t style);

    // Takes every attribute of other; tells OnChange once.
    void Assign(const TFont& other);
    bool SameAs(const TFont& other) const;

    // The system font for this description (owned by the font).
    HFONT Handle();
    LOGFONTA LogFont() const;

    std::function<void()> OnChange;

private:
    void Changed();

    std::string name_ = "Tahoma";
    int height_ = -11;
    TColor color_ = clWindowText;
    uint8_t charset_ = DEFAULT_CHARSET;
    uint8_t style_ = 0;
    TGdiObject handle_;
};

// The screen's logical pixels per inch.
int ScreenPixelsPerInch();
