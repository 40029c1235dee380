#pragma once
// The framework's images: a graphic draws itself onto a canvas; a bitmap is a graphic with
// pixels, a canvas of its own and scan lines; a picture holds one graphic of any kind.

#include <cstdint>
#include <memory>
#include <string_view>
#include <windows.h>

#include "base/handles_win.h"
#include "base/rect.h"
#include "ui/canvas_win.h"

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual std::string_view ClassName() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    bool Empty() const { return Width() == 0 || Height() == 0; }
    // Draws the whole graphic stretched into rect.
    virtual void Draw(TCanvas& canvas, const TRect& rect) const = 0;
};

// pfDevice bitmaps are device-dependent (the screen's format); the others are device-independent
// sections with the given bits per pixel.
enum class TPixelFormat { pfDevice, pf24bit, pf32bit };
enum class TBitmapHandleType { bmDIB, bmDDB };

class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    std::string_view ClassName() const override { return "TBitmap"; }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    void Draw(TCanvas& canvas, const TRect& rect) const override;

    // A change of size or format makes a new image, all black.
    void SetSize(int32_t width, int32_t height);
    TPixelFormat PixelFormat() const { return format_; }
    void SetPixelFormat(TPixelFormat format);

    TBitmapHandleType HandleType() const {
        return format_ == TPixelFormat::pfDevice ? TBitmapHandleType::bmDDB
                                                 : TBitmapHandleType::bmDIB;
    }
    HBITMAP Handle() const { return static_cast<HBITMAP>(bitmap_.Get()); }
    TCanvas& Canvas() { return canvas_; }
    const TCanvas& Canvas() const { return canvas_; }

    // The pixels of row y (0 the top row) of a device-independent bitmap, after the system has
    // finished drawing into it. Raises TError for a row outside the bitmap or a device bitmap.
    void* ScanLine(int32_t y) const;

private:
    void Recreate();

    int32_t width_ = 0, height_ = 0;
    TPixelFormat format_ = TPixelFormat::pfDevice;
    TMemoryDc dc_;
    HGDIOBJ originalBitmap_ = nullptr; // the memory context's own, selected back before a delete
    TGdiObject bitmap_;
    uint8_t* bits_ = nullptr;
    int32_t stride_ = 0;
    TCanvas canvas_;
};

class TPicture {
public:
    std::string_view ClassName() const { return "TPicture"; }
    const TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic) { graphic_ = std::move(graphic); }
    // The bitmap held; a picture that holds anything else (or nothing) gets an empty bitmap.
    TBitmap& Bitmap();
    int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
    int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

private:
    std::unique_ptr<TGraphic> graphic_;
};
