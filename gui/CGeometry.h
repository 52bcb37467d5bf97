// Integer pixel geometry of the toolkit: x grows to the right, y downward.
#pragma once

#include <algorithm>
#include <cstdint>

/// One coordinate, a signed 32-bit pixel position.
using CCoord = std::int32_t;

/// A pixel position.
struct CPoint
{
    CCoord x = 0;
    CCoord y = 0;

    constexpr CPoint() = default;
    constexpr CPoint(long x, long y) : x(static_cast<CCoord>(x)), y(static_cast<CCoord>(y)) {}

    /// Moves the point by (dx, dy).
    CPoint& offset(long dx, long dy)
    {
        x += static_cast<CCoord>(dx);
        y += static_cast<CCoord>(dy);
        return *this;
    }
    constexpr bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    constexpr bool operator!=(const CPoint& o) const { return !(*this == o); }
};

/// A rectangle given by its edges. Width is right - left: a rectangle (10, 10, 20, 15) covers the
/// columns 10 to 19 and the rows 10 to 14. `pointInside` treats right and bottom as exclusive.
struct CRect
{
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(long l, long t, long r, long b)
        : left(static_cast<CCoord>(l)), top(static_cast<CCoord>(t)), right(static_cast<CCoord>(r)),
          bottom(static_cast<CCoord>(b))
    {
    }

    constexpr CCoord width() const { return right - left; }
    constexpr CCoord height() const { return bottom - top; }
    CRect& setWidth(long w)
    {
        right = left + static_cast<CCoord>(w);
        return *this;
    }
    CRect& setHeight(long h)
    {
        bottom = top + static_cast<CCoord>(h);
        return *this;
    }

    /// Moves all four edges by (dx, dy).
    CRect& offset(long dx, long dy)
    {
        left += static_cast<CCoord>(dx);
        right += static_cast<CCoord>(dx);
        top += static_cast<CCoord>(dy);
        bottom += static_cast<CCoord>(dy);
        return *this;
    }
    /// Moves the rectangle so that its top-left corner lies at (x, y), keeping its size.
    CRect& moveTo(long x, long y) { return offset(x - left, y - top); }

    /// True when left <= x < right and top <= y < bottom.
    constexpr bool pointInside(const CPoint& p) const
    {
        return left <= p.x && p.x < right && top <= p.y && p.y < bottom;
    }
    /// True unless left < right and top < bottom.
    constexpr bool isEmpty() const { return !(left < right && top < bottom); }

    /// Intersects in place. An empty intersection keeps a zero-sized rectangle at the clamped
    /// corner (right == left or bottom == top), never a negative extent.
    CRect& bound(const CRect& r)
    {
        left = std::max(left, r.left);
        top = std::max(top, r.top);
        right = std::min(right, r.right);
        bottom = std::min(bottom, r.bottom);
        if (bottom < top)
            bottom = top;
        if (right < left)
            right = left;
        return *this;
    }
    /// The intersection with `r`, clamped as `bound`.
    CRect intersection(const CRect& r) const
    {
        CRect result = *this;
        return result.bound(r);
    }
    /// True when the two rectangles share at least one pixel.
    bool overlaps(const CRect& r) const { return !intersection(r).isEmpty(); }
    /// The smallest rectangle holding both; an empty operand adds nothing.
    CRect unite(const CRect& r) const
    {
        if (r.isEmpty())
            return *this;
        if (isEmpty())
            return r;
        return CRect(std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
                     std::max(bottom, r.bottom));
    }

    constexpr bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr bool operator!=(const CRect& o) const { return !(*this == o); }
};
