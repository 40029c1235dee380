#include "pageturn/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

TRect Clipped(const TPixelBuffer& target, const TRect& clip, const TRect& rect) {
    const TRect r{std::max({clip.left, rect.left, 0}), std::max({clip.top, rect.top, 0}),
                  std::min({clip.right, rect.right, target.Width}),
                  std::min({clip.bottom, rect.bottom, target.Height})};
    return RectIsEmpty(r) ? TRect{} : r;
}

uint32_t* Row(const TPixelBuffer& target, int32_t y) {
    return target.Bits + int64_t{y} * target.Width;
}

// color over pixel with alpha 0-256; the result is opaque.
inline uint32_t Blend(uint32_t pixel, uint32_t color, uint32_t alpha) {
    const uint32_t rest = 256 - alpha;
    const uint32_t rb = (((color & 0xFF00FF) * alpha + (pixel & 0xFF00FF) * rest) >> 8) & 0xFF00FF;
    const uint32_t g = (((color & 0xFF00) * alpha + (pixel & 0xFF00) * rest) >> 8) & 0xFF00;
    return 0xFF000000u | rb | g;
}

inline uint32_t Alpha256(double alpha) {
    return uint32_t(std::clamp(alpha, 0.0, 1.0) * 256 + 0.5);
}

// One tap of a separable filter.
struct TTap {
    int32_t index;
    float weight;
};

// For each target index first .. first + count - 1 of an axis where the source's n pixels lie
// over [start, start + length): the source pixels and weights that make it.
void AxisTaps(int32_t n, double start, double length, int32_t first, int32_t count,
              std::vector<int32_t>& offsets, std::vector<TTap>& taps) {
    offsets.assign(size_t(count) + 1, 0);
    taps.clear();
    const double scale = length / n; // target pixels per source pixel
    for (int32_t i = 0; i < count; ++i) {
        offsets[size_t(i)] = int32_t(taps.size());
        const double t = first + i;
        if (scale >= 1) {
            // Growing: bilinear between the two nearest source pixels.
            const double c = (t + 0.5 - start) / scale - 0.5;
            const double f = std::floor(c);
            const float w = float(c - f);
            const int32_t a = std::clamp(int32_t(f), 0, n - 1),
                          b = std::clamp(int32_t(f) + 1, 0, n - 1);
            taps.push_back({a, 1 - w});
            taps.push_back({b, w});
        } else {
            // Shrinking: the average of the source pixels under the target pixel.
            const double s0 = (t - start) / scale, s1 = (t + 1 - start) / scale;
            const int32_t j0 = int32_t(std::floor(s0)), j1 = int32_t(std::ceil(s1));
            for (int32_t j = j0; j < j1; ++j) {
                const double overlap = std::min(s1, j + 1.0) - std::max(s0, double(j));
                if (overlap > 0)
                    taps.push_back({std::clamp(j, 0, n - 1), float(overlap / (s1 - s0))});
            }
        }
    }
    offsets[size_t(count)] = int32_t(taps.size());
}

inline uint32_t PackChannels(const float* c) {
    const auto channel = [](float v) { return uint32_t(std::clamp(v + 0.5f, 0.0f, 255.0f)); };
    return channel(c[0]) | channel(c[1]) << 8 | channel(c[2]) << 16 | channel(c[3]) << 24;
}

// A convex polygon's edges as distance functions: inside(p) = a x + b y + c, in pixels, the
// same sign for every edge inside.
struct TEdges {
    int32_t count = 0;
    double a[6], b[6], c[6];
    double left = 0, top = 0, right = 0, bottom = 0;
};

bool MakeEdges(const TPolygon& polygon, TEdges& edges) {
    if (polygon.count < 3)
        return false;
    double area = 0;
    for (int32_t i = 0; i < polygon.count; ++i) {
        const TPointF p = polygon.points[i], q = polygon.points[(i + 1) % polygon.count];
        area += p.x * q.y - q.x * p.y;
    }
    if (std::abs(area) < 1e-6)
        return false;
    const double sign = area > 0 ? 1 : -1;
    edges.left = edges.top = 1e18;
    edges.right = edges.bottom = -1e18;
    for (int32_t i = 0; i < polygon.count; ++i) {
        const TPointF p = polygon.points[i], q = polygon.points[(i + 1) % polygon.count];
        const double dx = q.x - p.x, dy = q.y - p.y, length = std::hypot(dx, dy);
        edges.left = std::min(edges.left, p.x);
        edges.right = std::max(edges.right, p.x);
        edges.top = std::min(edges.top, p.y);
        edges.bottom = std::max(edges.bottom, p.y);
        if (length < 1e-9)
            continue;
        // Inside is to the left of each edge for a positive area.
        const int32_t k = edges.count++;
        edges.a[k] = -sign * dy / length;
        edges.b[k] = sign * dx / length;
        edges.c[k] = -(edges.a[k] * p.x + edges.b[k] * p.y);
    }
    return edges.count >= 3;
}

// Calls pixel(row, x, y, coverage) for every pixel of the polygon inside clip, coverage 0-256.
template <typename Pixel>
void ForEachPixel(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                  Pixel&& pixel) {
    TEdges edges;
    if (!MakeEdges(polygon, edges))
        return;
    const TRect box =
        Clipped(target, clip,
                {int32_t(std::floor(edges.left)) - 1, int32_t(std::floor(edges.top)) - 1,
                 int32_t(std::ceil(edges.right)) + 1, int32_t(std::ceil(edges.bottom)) + 1});
    if (RectIsEmpty(box))
        return;
    for (int32_t y = box.top; y < box.bottom; ++y) {
        const double cy = y + 0.5;
        // The span of the row where the pixel centres lie within half a pixel of the polygon.
        double from = box.left, to = box.right;
        for (int32_t k = 0; k < edges.count; ++k) {
            const double a = edges.a[k], rest = edges.b[k] * cy + edges.c[k] + 0.5;
            // a (x + 0.5) + rest >= 0
            if (std::abs(a) < 1e-12) {
                if (rest < 0)
                    from = to;
            } else if (a > 0) {
                from = std::max(from, -rest / a - 0.5);
            } else {
                to = std::min(to, -rest / a - 0.5 + 1);
            }
        }
        const int32_t x0 = std::max(box.left, int32_t(std::floor(from)));
        const int32_t x1 = std::min(box.right, int32_t(std::ceil(to)));
        if (x0 >= x1)
            continue;
        double d[6];
        for (int32_t k = 0; k < edges.count; ++k)
            d[k] = edges.a[k] * (x0 + 0.5) + edges.b[k] * cy + edges.c[k];
        uint32_t* row = Row(target, y);
        for (int32_t x = x0; x < x1; ++x) {
            double inside = d[0];
            for (int32_t k = 1; k < edges.count; ++k)
                inside = std::min(inside, d[k]);
            for (int32_t k = 0; k < edges.count; ++k)
                d[k] += edges.a[k];
            if (inside <= -0.5)
                continue;
            const uint32_t coverage = inside >= 0.5 ? 256 : uint32_t((inside + 0.5) * 256 + 0.5);
            if (coverage > 0)
                pixel(row, x, y, coverage);
        }
    }
}

} // namespace

void DrawScaled(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& source,
                const TRectF& place) {
    if (!source.bits || source.width <= 0 || source.height <= 0)
        return;
    const TRect area = Clipped(target, clip,
                               {int32_t(std::floor(place.left)), int32_t(std::floor(place.top)),
                                int32_t(std::ceil(place.right)), int32_t(std::ceil(place.bottom))});
    if (RectIsEmpty(area) || place.right <= place.left || place.bottom <= place.top)
        return;
    const int32_t width = RectWidth(area), height = RectHeight(area);
    std::vector<int32_t> columnOffsets, rowOffsets;
    std::vector<TTap> columnTaps, rowTaps;
    AxisTaps(source.width, place.left, place.right - place.left, area.left, width, columnOffsets,
             columnTaps);
    AxisTaps(source.height, place.top, place.bottom - place.top, area.top, height, rowOffsets,
             rowTaps);
    // Each source row is filtered across once, then rows are combined down.
    std::vector<float> sum(size_t(width) * 4);
    for (int32_t y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int32_t r = rowOffsets[size_t(y)]; r < rowOffsets[size_t(y) + 1]; ++r) {
            const TTap rowTap = rowTaps[size_t(r)];
            const uint32_t* line = source.bits + int64_t{rowTap.index} * source.width;
            for (int32_t x = 0; x < width; ++x) {
                float c[4] = {0, 0, 0, 0};
                for (int32_t k = columnOffsets[size_t(x)]; k < columnOffsets[size_t(x) + 1]; ++k) {
                    const uint32_t p = line[columnTaps[size_t(k)].index];
                    const float w = columnTaps[size_t(k)].weight;
                    c[0] += w * float(p & 0xFF);
                    c[1] += w * float((p >> 8) & 0xFF);
                    c[2] += w * float((p >> 16) & 0xFF);
                    c[3] += w * float(p >> 24);
                }
                float* s = &sum[size_t(x) * 4];
                for (int i = 0; i < 4; ++i)
                    s[i] += rowTap.weight * c[i];
            }
        }
        uint32_t* row = Row(target, area.top + y) + area.left;
        for (int32_t x = 0; x < width; ++x)
            row[x] = PackChannels(&sum[size_t(x) * 4]);
    }
}

void FlattenOnto(TImage& image, uint32_t background) {
    for (uint32_t& p : image.pixels) {
        const uint32_t alpha = p >> 24;
        if (alpha == 255)
            continue;
        // Premultiplied: the background shows through what the picture leaves uncovered.
        const uint32_t rest = 255 - alpha;
        const auto channel = [&](int shift) {
            const uint32_t v =
                ((p >> shift) & 0xFF) + (((background >> shift) & 0xFF) * rest + 127) / 255;
            return std::min(v, 255u) << shift;
        };
        p = 0xFF000000u | channel(16) | channel(8) | channel(0);
    }
}

void FillRect(const TPixelBuffer& target, const TRect& clip, const TRect& rect, uint32_t color) {
    const TRect r = Clipped(target, clip, rect);
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::fill_n(Row(target, y) + r.left, RectWidth(r), color);
}

void CopyImage(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& image, int32_t x,
               int32_t y) {
    const TRect r = Clipped(target, clip, {x, y, x + image.width, y + image.height});
    for (int32_t row = r.top; row < r.bottom; ++row)
        std::memcpy(Row(target, row) + r.left,
                    image.bits + int64_t{row - y} * image.width + (r.left - x),
                    size_t(RectWidth(r)) * 4);
}

void BlendRect(const TPixelBuffer& target, const TRect& clip, const TRect& rect, uint32_t color,
               uint32_t alpha) {
    const TRect r = Clipped(target, clip, rect);
    const uint32_t a = alpha >= 255 ? 256 : alpha;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        for (int32_t x = r.left; x < r.right; ++x)
            row[x] = Blend(row[x], color, a);
    }
}

void BlendGradient(const TPixelBuffer& target, const TRect& clip, const TRect& rect, uint32_t color,
                   double alphaFrom, double alphaTo, bool horizontal) {
    const TRect r = Clipped(target, clip, rect);
    const int32_t length = horizontal ? RectWidth(rect) : RectHeight(rect);
    if (RectIsEmpty(r) || length <= 0)
        return;
    const auto alphaAt = [&](int32_t i) {
        return Alpha256(alphaFrom + (alphaTo - alphaFrom) * (i + 0.5) / length);
    };
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        const uint32_t rowAlpha = horizontal ? 0 : alphaAt(y - rect.top);
        for (int32_t x = r.left; x < r.right; ++x)
            row[x] = Blend(row[x], color, horizontal ? alphaAt(x - rect.left) : rowAlpha);
    }
}

void ShadowAround(const TPixelBuffer& target, const TRect& clip, const TRect& rect, int32_t spread,
                  double maxAlpha, uint32_t color) {
    if (spread <= 0 || RectIsEmpty(rect))
        return;
    const TRect outer =
        Clipped(target, clip,
                {rect.left - spread, rect.top - spread, rect.right + spread, rect.bottom + spread});
    for (int32_t y = outer.top; y < outer.bottom; ++y) {
        uint32_t* row = Row(target, y);
        const double dy = y < rect.top       ? rect.top - y - 0.5
                          : y >= rect.bottom ? y - rect.bottom + 0.5
                                             : 0;
        for (int32_t x = outer.left; x < outer.right; ++x) {
            if (dy == 0 && x >= rect.left && x < rect.right) {
                x = rect.right - 1; // the rectangle itself casts no shadow on itself
                continue;
            }
            const double dx = x < rect.left     ? rect.left - x - 0.5
                              : x >= rect.right ? x - rect.right + 0.5
                                                : 0;
            const double d = std::sqrt(dx * dx + dy * dy) / spread;
            if (d >= 1)
                continue;
            row[x] = Blend(row[x], color, Alpha256(maxAlpha * (1 - d) * (1 - d)));
        }
    }
}

void BlendMask(const TPixelBuffer& target, const TRect& clip, const TSourcePixels& mask, int32_t x,
               int32_t y, uint32_t color, double opacity) {
    const TRect r = Clipped(target, clip, {x, y, x + mask.width, y + mask.height});
    const uint32_t scale = Alpha256(opacity);
    for (int32_t row = r.top; row < r.bottom; ++row) {
        uint32_t* out = Row(target, row);
        const uint32_t* in = mask.bits + int64_t{row - y} * mask.width - x;
        for (int32_t column = r.left; column < r.right; ++column) {
            const uint32_t m = in[column];
            const uint32_t cover = std::max({m & 0xFF, (m >> 8) & 0xFF, (m >> 16) & 0xFF});
            if (cover != 0)
                out[column] = Blend(out[column], color, ((cover + (cover >> 7)) * scale) >> 8);
        }
    }
}

void FillPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                 uint32_t color, double alpha) {
    const uint32_t a = Alpha256(alpha);
    ForEachPixel(target, clip, polygon, [&](uint32_t* row, int32_t x, int32_t, uint32_t coverage) {
        row[x] = Blend(row[x], color, (coverage * a) >> 8);
    });
}

void CopyPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                 const TSourcePixels& image, int32_t x0, int32_t y0) {
    if (!image.bits)
        return;
    const TRect inImage = Clipped(target, clip, {x0, y0, x0 + image.width, y0 + image.height});
    ForEachPixel(target, inImage, polygon,
                 [&](uint32_t* row, int32_t x, int32_t y, uint32_t coverage) {
                     const uint32_t p = image.bits[int64_t{y - y0} * image.width + (x - x0)];
                     row[x] = coverage >= 256 ? p : Blend(row[x], p, coverage);
                 });
}

void MapPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                const TSourcePixels& image, const TAffine& map) {
    if (!image.bits || image.width <= 0 || image.height <= 0)
        return;
    const int32_t maxX = image.width - 1, maxY = image.height - 1;
    ForEachPixel(
        target, clip, polygon, [&](uint32_t* row, int32_t x, int32_t y, uint32_t coverage) {
            const TPointF at = map.Apply({x + 0.5, y + 0.5});
            const double u = std::clamp(at.x - 0.5, 0.0, double(maxX));
            const double v = std::clamp(at.y - 0.5, 0.0, double(maxY));
            const int32_t iu = std::min(int32_t(u), maxX), iv = std::min(int32_t(v), maxY);
            const int32_t nu = std::min(iu + 1, maxX), nv = std::min(iv + 1, maxY);
            const uint32_t fu = uint32_t((u - iu) * 256), fv = uint32_t((v - iv) * 256);
            const uint32_t* r0 = image.bits + int64_t{iv} * image.width;
            const uint32_t* r1 = image.bits + int64_t{nv} * image.width;
            const uint32_t top = Blend(r0[iu], r0[nu], fu), bottom = Blend(r1[iu], r1[nu], fu);
            const uint32_t p = Blend(top, bottom, fv);
            row[x] = coverage >= 256 ? p : Blend(row[x], p, coverage);
        });
}

void ShadePolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                  TPointF point, TPointF normal, double width, double alphaNear, uint32_t color) {
    if (width <= 0)
        return;
    ForEachPixel(target, clip, polygon,
                 [&](uint32_t* row, int32_t x, int32_t y, uint32_t coverage) {
                     const double d =
                         ((x + 0.5 - point.x) * normal.x + (y + 0.5 - point.y) * normal.y) / width;
                     if (d >= 1)
                         return;
                     const double fall = d <= 0 ? 1 : (1 - d) * (1 - d);
                     row[x] = Blend(row[x], color, (Alpha256(alphaNear * fall) * coverage) >> 8);
                 });
}

void ShadowAroundPolygon(const TPixelBuffer& target, const TRect& clip, const TPolygon& polygon,
                         double spread, double maxAlpha, uint32_t color, TPointF point,
                         TPointF normal) {
    TEdges edges;
    if (spread <= 0 || !MakeEdges(polygon, edges))
        return;
    const TRect box = Clipped(
        target, clip,
        {int32_t(std::floor(edges.left - spread)), int32_t(std::floor(edges.top - spread)),
         int32_t(std::ceil(edges.right + spread)), int32_t(std::ceil(edges.bottom + spread))});
    for (int32_t y = box.top; y < box.bottom; ++y) {
        uint32_t* row = Row(target, y);
        const double cy = y + 0.5;
        for (int32_t x = box.left; x < box.right; ++x) {
            const double cx = x + 0.5;
            if ((cx - point.x) * normal.x + (cy - point.y) * normal.y > 0)
                continue;
            // How far outside: the furthest any edge puts the pixel (exact beside the edges).
            double outside = -1e18;
            for (int32_t k = 0; k < edges.count; ++k)
                outside = std::max(outside, -(edges.a[k] * cx + edges.b[k] * cy + edges.c[k]));
            if (outside <= 0 || outside >= spread)
                continue;
            const double fall = 1 - outside / spread;
            row[x] = Blend(row[x], color, Alpha256(maxAlpha * fall * fall));
        }
    }
}

void FillRoundRect(const TPixelBuffer& target, const TRect& clip, const TRectF& rect, double radius,
                   uint32_t color, double alpha) {
    const TRect r = Clipped(target, clip,
                            {int32_t(std::floor(rect.left)), int32_t(std::floor(rect.top)),
                             int32_t(std::ceil(rect.right)), int32_t(std::ceil(rect.bottom))});
    radius = std::min({radius, (rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2});
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        const double cy = y + 0.5;
        const double dy = std::max({rect.top + radius - cy, cy - (rect.bottom - radius), 0.0});
        for (int32_t x = r.left; x < r.right; ++x) {
            const double cx = x + 0.5;
            const double dx = std::max({rect.left + radius - cx, cx - (rect.right - radius), 0.0});
            // Distance inside the outline, smoothed over one pixel.
            const double edge =
                std::min({cx - rect.left, rect.right - cx, cy - rect.top, rect.bottom - cy});
            const double inside = dx > 0 && dy > 0 ? radius - std::hypot(dx, dy) : edge;
            const double coverage = std::clamp(inside + 0.5, 0.0, 1.0);
            if (coverage > 0)
                row[x] = Blend(row[x], color, Alpha256(alpha * coverage));
        }
    }
}

void FillRing(const TPixelBuffer& target, const TRect& clip, TPointF centre, double radius,
              double thickness, uint32_t color, double alpha) {
    const double outer = radius + 1;
    const TRect r =
        Clipped(target, clip,
                {int32_t(std::floor(centre.x - outer)), int32_t(std::floor(centre.y - outer)),
                 int32_t(std::ceil(centre.x + outer)), int32_t(std::ceil(centre.y + outer))});
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        for (int32_t x = r.left; x < r.right; ++x) {
            const double d = std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y);
            double inside = radius - d;
            if (thickness > 0)
                inside = std::min(inside, d - (radius - thickness));
            const double coverage = std::clamp(inside + 0.5, 0.0, 1.0);
            if (coverage > 0)
                row[x] = Blend(row[x], color, Alpha256(alpha * coverage));
        }
    }
}
