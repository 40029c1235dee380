#pragma once
// The geometry of a turning leaf, folded flat: the leaf's outer corner has been brought from
// where it lay to a new point, and the fold line is the perpendicular bisector of the two. Units
// are the page's own: its height is 1, its width the aspect a, the spine at x = 0 with the leaf
// on [0, a] x [0, 1] before it turns and on [-a, 0] x [0, 1] once turned. Portable.

#include <cstdint>

struct TPointF {
    double x = 0, y = 0;
};

// A convex polygon; a rectangle cut by one line has at most five corners.
struct TPolygon {
    int32_t count = 0;
    TPointF points[6];
    void Add(TPointF p) {
        if (count < 6)
            points[count++] = p;
    }
};

// Which corner of the leaf is brought over: the bottom or the top one, or the whole outer edge
// (a vertical fold).
enum class TCorner { Bottom, Top, Edge };

// An affine map: (x, y) -> (ux * x + uy * y + u0, vx * x + vy * y + v0).
struct TAffine {
    double ux = 1, uy = 0, u0 = 0, vx = 0, vy = 1, v0 = 0;
    TPointF Apply(TPointF p) const { return {ux * p.x + uy * p.y + u0, vx * p.x + vy * p.y + v0}; }
};

struct TFoldGeometry {
    bool folded = false; // false: the leaf lies flat where it was
    TPolygon lifted;     // the part of the leaf's place it has left: the page beneath shows there
    TPolygon leaf;       // where that part lies now, its back up
    // The fold line through foldPoint; foldNormal (unit length) points into lifted.
    TPointF foldPoint, foldNormal;
    // A point of leaf to the point of the back page (in the back page's own units, as if it lay
    // turned on [-a, 0] shifted to [0, a]) that shows there.
    TAffine back;
    double reach = 0; // how far the corner has been brought, 0 to 2a
};

// Where the corner lies before the leaf turns, and where once it has turned.
TPointF RestCorner(TCorner corner, double aspect);
TPointF TurnedCorner(TCorner corner, double aspect);

// The nearest point to p that the corner can reach while the leaf stays fixed at the spine:
// within a page width of the spine's end on the corner's side and within the page's diagonal of
// the other end. An edge fold keeps the corner at its own height.
TPointF ClampCorner(TPointF p, TCorner corner, double aspect);

// The corner on an animated turn, progress 0 (at rest) to 1 (turned): across the page, raised
// a little into the page on the way.
TPointF CornerOnPath(double progress, TCorner corner, double aspect);

TFoldGeometry Fold(TPointF corner, TCorner kind, double aspect);

// The part of a convex polygon where (p - point) . normal >= 0.
TPolygon ClipPolygon(const TPolygon& polygon, TPointF point, TPointF normal);

// How far the leaf has risen from the page, 0 at rest and once turned, 1 half way over.
double FoldRise(const TFoldGeometry& fold, double aspect);
// How far the shades along the fold reach, in page units: they grow as the leaf rises.
double FoldShade(const TFoldGeometry& fold, double aspect);
// How far the shadow the leaf casts reaches beyond its outline, in page units.
double LeafShadow(const TFoldGeometry& fold, double aspect);

// Eases in and out over 0 .. 1.
double EaseInOut(double t);
