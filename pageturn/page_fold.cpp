#include "pageturn/page_fold.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// How far into the page the corner rises half way through an animated turn.
constexpr double kLift = 0.12;

double Length(TPointF p) {
    return std::sqrt(p.x * p.x + p.y * p.y);
}

// p kept within radius of centre.
TPointF WithinCircle(TPointF p, TPointF centre, double radius) {
    const TPointF d{p.x - centre.x, p.y - centre.y};
    const double length = Length(d);
    if (length <= radius || length == 0)
        return p;
    return {centre.x + d.x * radius / length, centre.y + d.y * radius / length};
}

} // namespace

TPointF RestCorner(TCorner corner, double aspect) {
    return {aspect, corner == TCorner::Top ? 0.0 : 1.0};
}

TPointF TurnedCorner(TCorner corner, double aspect) {
    return {-aspect, corner == TCorner::Top ? 0.0 : 1.0};
}

TPointF ClampCorner(TPointF p, TCorner corner, double aspect) {
    const double diagonal = std::sqrt(aspect * aspect + 1);
    const TPointF top{0, 0}, bottom{0, 1};
    switch (corner) {
    case TCorner::Edge:
        return {std::clamp(p.x, -aspect, aspect), 1.0};
    case TCorner::Bottom:
        return WithinCircle(WithinCircle(p, bottom, aspect), top, diagonal);
    case TCorner::Top:
        return WithinCircle(WithinCircle(p, top, aspect), bottom, diagonal);
    }
    return p;
}

TPointF CornerOnPath(double progress, TCorner corner, double aspect) {
    const double t = std::clamp(progress, 0.0, 1.0);
    const double rise = corner == TCorner::Edge ? 0.0 : kLift * std::sin(kPi * t);
    const TPointF rest = RestCorner(corner, aspect);
    const TPointF p{aspect * (1 - 2 * t), corner == TCorner::Top ? rest.y + rise : rest.y - rise};
    return ClampCorner(p, corner, aspect);
}

TFoldGeometry Fold(TPointF corner, TCorner kind, double aspect) {
    TFoldGeometry fold;
    const TPointF rest = RestCorner(kind, aspect);
    const TPointF d{rest.x - corner.x, rest.y - corner.y};
    const double reach = Length(d);
    fold.reach = reach;
    if (reach < 1e-9)
        return fold;
    const TPointF n{d.x / reach, d.y / reach};
    const TPointF middle{(rest.x + corner.x) / 2, (rest.y + corner.y) / 2};
    TPolygon page;
    page.Add({0, 0});
    page.Add({aspect, 0});
    page.Add({aspect, 1});
    page.Add({0, 1});
    fold.lifted = ClipPolygon(page, middle, n);
    if (fold.lifted.count < 3)
        return fold;
    fold.folded = true;
    fold.foldPoint = middle;
    fold.foldNormal = n;
    // The reflection across the fold: X = A Y + b with A = I - 2 n n', b = 2 (middle . n) n.
    const double a00 = 1 - 2 * n.x * n.x, a01 = -2 * n.x * n.y, a11 = 1 - 2 * n.y * n.y;
    const double k = 2 * (middle.x * n.x + middle.y * n.y);
    const TPointF b{k * n.x, k * n.y};
    for (int32_t i = 0; i < fold.lifted.count; ++i) {
        const TPointF p = fold.lifted.points[i];
        fold.leaf.Add({a00 * p.x + a01 * p.y + b.x, a01 * p.x + a11 * p.y + b.y});
    }
    // The back page lies mirrored: the leaf's x becomes a - x on it.
    fold.back = {-a00, -a01, aspect - b.x, a01, a11, b.y};
    return fold;
}

double FoldRise(const TFoldGeometry& fold, double aspect) {
    return std::sin(std::clamp(fold.reach / (2 * aspect), 0.0, 1.0) * kPi);
}

double FoldShade(const TFoldGeometry& fold, double aspect) {
    return aspect * (0.04 + 0.16 * FoldRise(fold, aspect));
}

double LeafShadow(const TFoldGeometry& fold, double aspect) {
    return 0.35 * FoldShade(fold, aspect);
}

double EaseInOut(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return t < 0.5 ? 4 * t * t * t : 1 - std::pow(-2 * t + 2, 3) / 2;
}

// The part of a convex polygon where (p - point) . normal >= 0.
TPolygon ClipPolygon(const TPolygon& polygon, TPointF point, TPointF normal) {
    TPolygon out;
    for (int32_t i = 0; i < polygon.count; ++i) {
        const TPointF a = polygon.points[i], b = polygon.points[(i + 1) % polygon.count];
        const double da = (a.x - point.x) * normal.x + (a.y - point.y) * normal.y;
        const double db = (b.x - point.x) * normal.x + (b.y - point.y) * normal.y;
        if (da >= 0)
            out.Add(a);
        if ((da >= 0) != (db >= 0)) {
            const double t = da / (da - db);
            out.Add({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
        }
    }
    return out;
}
