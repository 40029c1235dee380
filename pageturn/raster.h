#pragma once
// The pixel work of drawing a book: pictures scaled with good filtering, a turned leaf mapped
// onto its place, shadows, and the bar's shapes, all with smooth edges. Pixels are 32-bit
// blue, green, red, alpha in memory; every call draws only inside its clip rectangle. Portable.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pageturn/page_fold.h"
#include "qel/graphics/qel_bitmap.h"

// Pixels owned: width * height, top row first.
struct TImage {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    void Resize(int32_t w, int32_t h, uint32_t fill = 0) {
        width = w > 0 ? w : 0;
        height = h > 0 ? h : 0;
        pixels.assign(size_t(width) * size_t(height), fill);
    }
    TPixelBuffer View() { return {pixels.data(), width, height}; }
};

// Pixels read: width * height, top row first.
struct TSourcePixels {
    const uint32_t* bits = nullptr;
    int32_t width = 0, height = 0;
};
inline TSourcePixels SourceOf(const TImage& image) {
    return {image.pixels.data(), image.width, image.height};
}

// An opaque colour from 8-bit red, green and blue.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// A rectangle with fractional edges.
struct TRectF {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// The vector instructions drawing may use where the processor has them (all, unless told
// otherwise); with fewer it draws the very same pixels, more slowly.
enum class TVectorInstructions { None, Sse2, Avx2 };
void LimitVectorInstructions(TVectorInstructions allowed);

// Draws the source stretched over place, area-averaged where it shrinks and bilinear where it
// grows, inside clip. Premultiplied alpha stays premultiplied.
void DrawScaled(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& source,
                const TRectF& place);

// Source pictures with alpha, put over an opaque background colour.
void FlattenOnto(TImage& image, uint32_t background);

void FillRect(const TPixelBuffer& target, const TRect& clip, const TRect& rect, uint32_t color);
// Copies image with its top-left corner at (x, y), except where the polygons cover pixels whole
// (something else is drawn there).
void CopyImageAround(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& image,
                     int32_t x, int32_t y, const std::vector<TPolygon>& holes);
// Blends color over rect with an alpha that runs linearly from alphaFrom at the left (or top)
// edge to alphaTo at the right (or bottom) edge.
void BlendGradient(const TPixelBuffer& target, const TRect& clip, const TRect& rect, uint32_t color,
                   double alphaFrom, double alphaTo, bool horizontal);
// A soft shadow outside rect: color blended with maxAlpha at the rect's edge, fading out over
// spread pixels.
void ShadowAround(const TPixelBuffer& target, const TRect& clip, const TRect& rect, int32_t spread,
                  double maxAlpha, uint32_t color);

// color blended where a mask lying with its top-left corner at (x, y) is light: its brightest
// channel is how much of each pixel the color covers (times opacity).
void BlendMask(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& mask, int32_t x,
               int32_t y, uint32_t color, double opacity);

// Polygons in pixel coordinates; their edges are smoothed over one pixel.
void FillPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                 uint32_t color, double alpha = 1);
// A shade across a polygon: black, blended with an alpha that falls from alphaNear at the line
// (point, unit normal) to 0 at width along the normal, squared. No shade when width is 0.
struct TShade {
    TPointF point, normal;
    double width = 0;
    double alphaNear = 0;
};

// The polygon filled from an image lying with its top-left corner at (x, y), shaded.
void CopyPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                 const TSourcePixels& image, int32_t x, int32_t y, const TShade& shade = {});
// The polygon filled from an image: the pixel centre p shows the image at map(p), sampled
// bilinearly; shaded.
void MapPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                const TSourcePixels& image, const TAffine& map, const TShade& shade = {});
// A soft shadow outside the polygon, fading out over spread pixels from maxAlpha at its edge;
// none on the side of the line (point, normal) the normal points to.
void ShadowAroundPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                         double spread, double maxAlpha, uint32_t color, TPointF point,
                         TPointF normal);
// A rounded rectangle blended with alpha (0-1).
void FillRoundRect(const TPixelBuffer& target, const TRect& clip, const TRectF& rect, double radius,
                   uint32_t color, double alpha);
// A ring (thickness > 0) or a disc (thickness <= 0) blended with alpha.
void FillRing(const TPixelBuffer& target, const TRect& clip, TPointF centre, double radius,
              double thickness, uint32_t color, double alpha);
