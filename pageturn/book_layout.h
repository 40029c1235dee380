#pragma once
// Which pages a spread shows and where they go in the control's rectangle. A rectangle wider
// than tall shows two pages side by side, the cover alone on the right and, when the count is
// even, the last page alone on the left; otherwise one page at a time. Portable.

#include <cstdint>

#include "base/rect.h"

// Rectangles as the control uses them: an empty one stands for none.
TRect RectUnion(const TRect& a, const TRect& b);
TRect RectIntersection(const TRect& a, const TRect& b); // empty when they do not meet
bool RectContains(const TRect& r, int32_t x, int32_t y);

// Pages of one spread (0-based indices), -1 where a side is empty. In single-page mode only
// right is used.
struct TSpread {
    int32_t left = -1, right = -1;
    bool operator==(const TSpread&) const = default;
};

enum class TPageSide { Left, Right };

class TBookLayout {
public:
    void SetPageCount(int32_t count) { pageCount_ = count > 0 ? count : 0; }
    int32_t PageCount() const { return pageCount_; }
    // The control's rectangle.
    void SetArea(const TRect& area) { area_ = area; }
    const TRect& Area() const { return area_; }
    // The proportions every page slot has (the cover's, once it is known).
    void SetPageShape(int32_t width, int32_t height);

    bool TwoPages() const { return RectWidth(area_) > RectHeight(area_); }
    int32_t SpreadCount() const;
    // Spreads outside 0 .. SpreadCount() - 1 show nothing.
    TSpread Spread(int32_t index) const;
    // The spread that shows page (clamped to the book).
    int32_t SpreadOf(int32_t page) const;

    // Where a page of the given side goes: the same place in every spread, so that a page lies
    // where the page it replaces lay. In single-page mode both sides are the one slot.
    TRect Slot(TPageSide side) const;
    // Both slots together (the one slot in single-page mode).
    TRect BookRect() const;
    // The spine: the left edge of the right slot.
    int32_t SpineX() const { return Slot(TPageSide::Right).left; }
    // The margin kept free around the book.
    int32_t Margin() const;

private:
    int32_t pageCount_ = 0;
    TRect area_{};
    int32_t pageWidth_ = 3, pageHeight_ = 4;
};
