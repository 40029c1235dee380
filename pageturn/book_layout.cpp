#include "pageturn/book_layout.h"

#include <algorithm>

#include "pages/page_list.h"

TRect RectUnion(const TRect& a, const TRect& b) {
    if (RectIsEmpty(a))
        return b;
    if (RectIsEmpty(b))
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

TRect RectIntersection(const TRect& a, const TRect& b) {
    const TRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
    return RectIsEmpty(r) ? TRect{} : r;
}

bool RectContains(const TRect& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void TBookLayout::SetPageShape(int32_t width, int32_t height) {
    if (width > 0 && height > 0) {
        pageWidth_ = width;
        pageHeight_ = height;
    }
}

int32_t TBookLayout::SpreadCount() const {
    if (pageCount_ == 0)
        return 0;
    // The cover alone, then pairs; an even count leaves the last page alone.
    return TwoPages() ? pageCount_ / 2 + 1 : pageCount_;
}

TSpread TBookLayout::Spread(int32_t index) const {
    if (index < 0 || index >= SpreadCount())
        return {};
    if (!TwoPages())
        return {-1, index};
    if (index == 0)
        return {-1, 0};
    const int32_t left = 2 * index - 1, right = 2 * index;
    return {left, right < pageCount_ ? right : -1};
}

int32_t TBookLayout::SpreadOf(int32_t page) const {
    if (pageCount_ == 0)
        return 0;
    page = std::clamp(page, 0, pageCount_ - 1);
    return TwoPages() ? (page + 1) / 2 : page;
}

int32_t TBookLayout::Margin() const {
    const int32_t shorter = std::min(RectWidth(area_), RectHeight(area_));
    return std::clamp(shorter / 30, 4, 24);
}

TRect TBookLayout::BookRect() const {
    const int32_t margin = Margin();
    const TRect inner{area_.left + margin, area_.top + margin, area_.right - margin,
                      area_.bottom - margin};
    if (RectIsEmpty(inner))
        return {area_.left, area_.top, area_.left, area_.top};
    TRect book = FitRect(TwoPages() ? 2 * pageWidth_ : pageWidth_, pageHeight_, inner);
    // Both pages of a spread are equally wide.
    if (TwoPages())
        book.right = book.left + RectWidth(book) / 2 * 2;
    return book;
}

TRect TBookLayout::Slot(TPageSide side) const {
    const TRect book = BookRect();
    if (!TwoPages())
        return book;
    const int32_t spine = book.left + RectWidth(book) / 2;
    return side == TPageSide::Left ? TRect{book.left, book.top, spine, book.bottom}
                                   : TRect{spine, book.top, book.right, book.bottom};
}
