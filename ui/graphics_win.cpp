#include "ui/graphics_win.h"

#include <algorithm>

#include "base/errors.h"

TBitmap::TBitmap() : dc_(CreateCompatibleDC(nullptr)) {
    if (!dc_)
        throw TError("Out of system resources");
    canvas_.SetHandle(dc_.Get());
}

TBitmap::~TBitmap() {
    if (originalBitmap_)
        SelectObject(dc_.Get(), originalBitmap_);
}

void TBitmap::SetSize(int32_t width, int32_t height) {
    if (width == width_ && height == height_)
        return;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    Recreate();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == format_)
        return;
    format_ = format;
    Recreate();
}

void TBitmap::Recreate() {
    if (originalBitmap_) {
        SelectObject(dc_.Get(), originalBitmap_);
        originalBitmap_ = nullptr;
    }
    bitmap_.Reset();
    bits_ = nullptr;
    stride_ = 0;
    if (width_ == 0 || height_ == 0)
        return;
    HBITMAP bitmap = nullptr;
    if (format_ == TPixelFormat::pfDevice) {
        HDC screen = GetDC(nullptr);
        bitmap = CreateCompatibleBitmap(screen, width_, height_);
        ReleaseDC(nullptr, screen);
    } else {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = height_; // bottom-up, as device-independent bitmaps are stored
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = format_ == TPixelFormat::pf32bit ? 32 : 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint8_t*>(bits);
        stride_ = (width_ * info.bmiHeader.biBitCount + 31) / 32 * 4;
    }
    if (!bitmap) {
        width_ = height_ = 0;
        bits_ = nullptr;
        throw TError("Out of system resources");
    }
    bitmap_.Reset(bitmap);
    originalBitmap_ = SelectObject(dc_.Get(), bitmap);
    if (format_ == TPixelFormat::pfDevice)
        PatBlt(dc_.Get(), 0, 0, width_, height_, BLACKNESS);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const {
    StretchBlt(canvas.Handle(), rect.left, rect.top, RectWidth(rect), RectHeight(rect), dc_.Get(),
               0, 0, width_, height_, SRCCOPY);
}

void* TBitmap::ScanLine(int32_t y) const {
    if (!bits_ || y < 0 || y >= height_)
        throw TError("Scan line index out of range");
    GdiFlush();
    return bits_ + static_cast<size_t>(height_ - 1 - y) * static_cast<size_t>(stride_);
}

TBitmap& TPicture::Bitmap() {
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get()))
        return *bitmap;
    auto bitmap = std::make_unique<TBitmap>();
    TBitmap& result = *bitmap;
    graphic_ = std::move(bitmap);
    return result;
}
