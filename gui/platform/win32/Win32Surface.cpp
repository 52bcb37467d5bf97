// The draw context's operations on GDI, with the pixel rules the cairo backend meets: fills cover
// left..right-1, lines include both end pixels, copy mode draws without anti-aliasing, the OR and
// inverted-XOR draw modes are raster operations. Colours with alpha 0 draw nothing, as they do
// on the other backends; GDI has no partial coverage, so any other alpha draws opaque.
#include "Win32Gdi.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace kalvo::win32
{
using platform::DrawAttributes;

namespace
{
constexpr double kPi = 3.14159265358979323846;

COLORREF colorRef(const CColor& c)
{
    return RGB(c.red, c.green, c.blue);
}

long strokeWidth(const DrawAttributes& state)
{
    return std::max(1L, state.lineWidth);
}

CRect pointsBounds(const CPoint* points, long count, long margin)
{
    CRect r(points[0].x, points[0].y, points[0].x + 1, points[0].y + 1);
    for (long i = 1; i < count; i++)
        r = r.unite(CRect(points[i].x, points[i].y, points[i].x + 1, points[i].y + 1));
    return CRect(r.left - margin, r.top - margin, r.right + margin, r.bottom + margin);
}

std::vector<POINT> toPoints(const CPoint* points, long count, bool closed)
{
    std::vector<POINT> out;
    out.reserve(static_cast<size_t>(count) + 1);
    for (long i = 0; i < count; i++)
        out.push_back(POINT{static_cast<LONG>(points[i].x), static_cast<LONG>(points[i].y)});
    if (closed)
        out.push_back(out.front());
    return out;
}

// Where a ray from the centre of `r` at `degrees` (counter-clockwise from 3 o'clock) leaves it,
// far enough out for GDI's arc functions, which take the direction from such a point.
POINT radial(const CRect& r, double degrees)
{
    const double cx = (r.left + r.right) / 2.0;
    const double cy = (r.top + r.bottom) / 2.0;
    const double reach = static_cast<double>(r.width() + r.height()) + 16.0;
    const double a = degrees * kPi / 180.0;
    return POINT{static_cast<LONG>(std::lround(cx + reach * std::cos(a))),
                 static_cast<LONG>(std::lround(cy - reach * std::sin(a)))};
}
} // namespace

Win32Surface::Win32Surface(std::shared_ptr<GdiCanvas> canvas)
    : target(std::move(canvas)), blend(&BlendFunctions::system())
{
}

long Win32Surface::width() const
{
    return target->width();
}

long Win32Surface::height() const
{
    return target->height();
}

CRect Win32Surface::takeDamage()
{
    const CRect result = damage;
    damage = CRect();
    return result;
}

void Win32Surface::flush()
{
    GdiFlush();
}

CRect Win32Surface::drawable(const CRect& bounds, const CRect& clip) const
{
    CRect area = bounds;
    area.bound(clip);
    area.bound(CRect(0, 0, width(), height()));
    return area;
}

void Win32Surface::fillRect(const CRect& r, const DrawAttributes& state)
{
    if (r.isEmpty() || state.fillColor.alpha == 0)
        return;
    const CRect area = drawable(r, state.clip);
    if (area.isEmpty())
        return;
    target->useClip(state.clip);
    target->useBrush(state.fillColor);
    // A bit-block transfer of the brush covers exactly the rectangle's pixels, in any draw mode.
    PatBlt(target->dc(), static_cast<int>(area.left), static_cast<int>(area.top),
           static_cast<int>(area.width()), static_cast<int>(area.height()),
           GdiCanvas::patternRop(state.drawMode));
    addDamage(area);
}

void Win32Surface::strokePolyline(const CPoint* points, long count, bool closed, const DrawAttributes& state)
{
    if (!points || count <= 0 || state.frameColor.alpha == 0)
        return;
    const long lineWidth = strokeWidth(state);
    const CRect area = drawable(pointsBounds(points, count, lineWidth + 1), state.clip);
    if (area.isEmpty())
        return;
    HDC dc = target->dc();
    target->useClip(state.clip);
    target->useMix(state.drawMode);
    target->usePen(state.frameColor, lineWidth, state.lineStyle);
    const std::vector<POINT> path = toPoints(points, count, closed && count > 1);
    const POINT last = path.back();
    if (count == 1)
    {
        // A line one pixel long covers its start.
        MoveToEx(dc, last.x, last.y, nullptr);
        LineTo(dc, last.x + 1, last.y);
    }
    else
    {
        Polyline(dc, path.data(), static_cast<int>(path.size()));
        // GDI's one-pixel lines stop short of their end; the toolkit's include it, unless the
        // line came back to its start or a dotted line's pattern leaves the end pixel out.
        long steps = 0;
        for (size_t i = 1; i < path.size(); i++)
            steps += std::max(std::labs(path[i].x - path[i - 1].x), std::labs(path[i].y - path[i - 1].y));
        const bool backAtStart = last.x == path.front().x && last.y == path.front().y;
        if (lineWidth == 1 && !backAtStart && (state.lineStyle != 1 || steps % 2 == 0))
        {
            MoveToEx(dc, last.x, last.y, nullptr);
            LineTo(dc, last.x + 1, last.y);
        }
    }
    addDamage(area);
}

void Win32Surface::strokeSegments(const CPoint* points, long count, const DrawAttributes& state)
{
    if (!points || count <= 0)
        return;
    for (long k = 0; k < count; k++)
        strokePolyline(points + 2 * k, 2, false, state);
}

void Win32Surface::fillPolygon(const CPoint* points, long count, const DrawAttributes& state)
{
    if (!points || count < 3 || state.fillColor.alpha == 0)
        return;
    const CRect area = drawable(pointsBounds(points, count, 1), state.clip);
    if (area.isEmpty())
        return;
    target->useClip(state.clip);
    target->useMix(state.drawMode);
    target->useNoPen();
    target->useBrush(state.fillColor);
    const std::vector<POINT> corners = toPoints(points, count, false);
    SetPolyFillMode(target->dc(), ALTERNATE);
    Polygon(target->dc(), corners.data(), static_cast<int>(corners.size()));
    addDamage(area);
}

void Win32Surface::drawEllipse(const CRect& r, bool fill, bool stroke, const DrawAttributes& state)
{
    if (r.isEmpty())
        return;
    const long lineWidth = strokeWidth(state);
    const CRect area = drawable(
        CRect(r.left - lineWidth, r.top - lineWidth, r.right + lineWidth, r.bottom + lineWidth), state.clip);
    if (area.isEmpty())
        return;
    HDC dc = target->dc();
    target->useClip(state.clip);
    target->useMix(state.drawMode);
    const int l = static_cast<int>(r.left), t = static_cast<int>(r.top);
    const int rr = static_cast<int>(r.right), b = static_cast<int>(r.bottom);
    if (fill && state.fillColor.alpha != 0)
    {
        target->useNoPen();
        target->useBrush(state.fillColor);
        Ellipse(dc, l, t, rr, b);
    }
    if (stroke && state.frameColor.alpha != 0)
    {
        target->usePen(state.frameColor, lineWidth, state.lineStyle);
        target->useNoBrush();
        Ellipse(dc, l, t, rr, b);
    }
    addDamage(area);
}

void Win32Surface::drawArc(const CRect& r, double startDeg, double endDeg, bool pie, bool fill, bool stroke,
                           const DrawAttributes& state)
{
    if (r.isEmpty())
        return;
    const long lineWidth = strokeWidth(state);
    const CRect area = drawable(
        CRect(r.left - lineWidth, r.top - lineWidth, r.right + lineWidth, r.bottom + lineWidth), state.clip);
    if (area.isEmpty())
        return;
    HDC dc = target->dc();
    target->useClip(state.clip);
    target->useMix(state.drawMode);
    SetArcDirection(dc, AD_COUNTERCLOCKWISE);
    const POINT from = radial(r, startDeg);
    const POINT to = radial(r, endDeg);
    const int l = static_cast<int>(r.left), t = static_cast<int>(r.top);
    const int rr = static_cast<int>(r.right), b = static_cast<int>(r.bottom);
    if (fill && state.fillColor.alpha != 0)
    {
        target->useNoPen();
        target->useBrush(state.fillColor);
        if (pie)
            Pie(dc, l, t, rr, b, from.x, from.y, to.x, to.y);
        else
            Chord(dc, l, t, rr, b, from.x, from.y, to.x, to.y);
    }
    if (stroke && state.frameColor.alpha != 0)
    {
        target->usePen(state.frameColor, lineWidth, state.lineStyle);
        target->useNoBrush();
        if (pie)
            Pie(dc, l, t, rr, b, from.x, from.y, to.x, to.y);
        else
            Arc(dc, l, t, rr, b, from.x, from.y, to.x, to.y);
    }
    addDamage(area);
}

CColor Win32Surface::getPixel(const CPoint& p)
{
    if (p.x < 0 || p.y < 0 || p.x >= width() || p.y >= height())
        return CColor{0, 0, 0, 0};
    const std::uint32_t pixel = target->row(p.y)[p.x];
    return CColor{static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                  static_cast<std::uint8_t>(pixel), 255};
}

void Win32Surface::floodFill(const CPoint& p, const DrawAttributes& state)
{
    CRect area = drawable(state.clip, state.clip);
    if (!area.pointInside(p))
        return;
    // On the pixels themselves, 4-connected, as the other backends fill.
    std::uint32_t* pixels = target->row(0);
    const long stride = width();
    auto at = [&](long x, long y) -> std::uint32_t& { return pixels[y * stride + x]; };
    const std::uint32_t old = at(p.x, p.y) & 0x00ffffffu;
    const std::uint32_t fill = (std::uint32_t(state.fillColor.red) << 16) |
                               (std::uint32_t(state.fillColor.green) << 8) | state.fillColor.blue;
    if (fill == old)
        return;
    std::vector<CPoint> stack{p};
    CRect touched(p.x, p.y, p.x + 1, p.y + 1);
    while (!stack.empty())
    {
        const CPoint q = stack.back();
        stack.pop_back();
        if (!area.pointInside(q) || (at(q.x, q.y) & 0x00ffffffu) != old)
            continue;
        at(q.x, q.y) = fill;
        touched = touched.unite(CRect(q.x, q.y, q.x + 1, q.y + 1));
        stack.push_back(CPoint(q.x + 1, q.y));
        stack.push_back(CPoint(q.x - 1, q.y));
        stack.push_back(CPoint(q.x, q.y + 1));
        stack.push_back(CPoint(q.x, q.y - 1));
    }
    addDamage(touched);
}

long Win32Surface::textWidth(const char* text, const DrawAttributes& state)
{
    const std::wstring wide = widen(text);
    if (wide.empty())
        return 0;
    target->useFont(state.fontFamily, state.fontSize, state.fontStyle, nullptr, nullptr);
    SIZE extent{};
    if (!GetTextExtentPoint32W(target->dc(), wide.c_str(), static_cast<int>(wide.size()), &extent))
        return 0;
    return extent.cx;
}

void Win32Surface::drawText(const char* text, const CRect& r, long align, bool opaque,
                            const DrawAttributes& state)
{
    if (!text)
        return;
    const CRect area = drawable(r, state.clip);
    if (area.isEmpty())
        return;
    HDC dc = target->dc();
    target->useClip(area);
    long ascent = 0, descent = 0;
    target->useFont(state.fontFamily, state.fontSize, state.fontStyle, &ascent, &descent);
    const std::wstring wide = widen(text);
    SIZE extent{};
    if (!wide.empty())
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    const long textWidth = extent.cx;
    long x = r.left + 1;
    if (align == 1)
        x = r.left + r.width() / 2 - textWidth / 2;
    else if (align == 2)
        x = r.right - textWidth;
    const long top = r.top + (r.height() - (ascent + descent)) / 2;
    if (opaque && state.fillColor.alpha != 0 && textWidth > 0)
    {
        target->useBrush(state.fillColor);
        PatBlt(dc, static_cast<int>(x), static_cast<int>(top), static_cast<int>(textWidth),
               static_cast<int>(ascent + descent), PATCOPY);
    }
    if (!wide.empty() && state.fontColor.alpha != 0)
    {
        SetTextColor(dc, colorRef(state.fontColor));
        // ExtTextOut draws an ampersand as itself; only menu and dialog text treats it as a prefix.
        ExtTextOutW(dc, static_cast<int>(x), static_cast<int>(top), 0, nullptr, wide.c_str(),
                    static_cast<UINT>(wide.size()), nullptr);
    }
    addDamage(area);
}

void Win32Surface::copyFrom(platform::Surface& source, const CRect& srcRect, const CPoint& dest,
                            const CRect& clip)
{
    auto* src = dynamic_cast<Win32Surface*>(&source);
    if (!src)
        return;
    CRect srcArea = srcRect;
    srcArea.bound(CRect(0, 0, src->width(), src->height()));
    CRect area = srcArea;
    area.offset(dest.x - srcRect.left, dest.y - srcRect.top);
    area = drawable(area, clip);
    if (area.isEmpty())
        return;
    const long sx = srcRect.left + (area.left - dest.x);
    const long sy = srcRect.top + (area.top - dest.y);
    target->useClip(clip);
    // Within one canvas the transfer copies overlapping areas as a snapshot would.
    BitBlt(target->dc(), static_cast<int>(area.left), static_cast<int>(area.top),
           static_cast<int>(area.width()), static_cast<int>(area.height()), src->target->dc(),
           static_cast<int>(sx), static_cast<int>(sy), SRCCOPY);
    addDamage(area);
}

void Win32Surface::drawImage(const platform::Image& image, const CRect& dest, const CPoint& srcOffset,
                             platform::ImageBlend blending, const CColor& key, unsigned char alpha,
                             const CRect& clip)
{
    const auto* picture = dynamic_cast<const Win32Image*>(&image);
    if (!picture || alpha == 0)
        return;
    const long originX = dest.left - srcOffset.x;
    const long originY = dest.top - srcOffset.y;
    CRect area = dest;
    area.bound(CRect(originX, originY, originX + picture->width(), originY + picture->height()));
    area = drawable(area, clip);
    if (area.isEmpty())
        return;
    GdiCanvas& source = *picture->canvas();
    const long sx = area.left - originX;
    const long sy = area.top - originY;
    target->useClip(clip);
    const bool keyed = blending == platform::ImageBlend::keyed;
    if (alpha != 255)
        blendedBlit(source, area, sx, sy, alpha, keyed, key);
    else if (keyed)
        keyedBlit(source, area, sx, sy, key);
    else
        BitBlt(target->dc(), static_cast<int>(area.left), static_cast<int>(area.top),
               static_cast<int>(area.width()), static_cast<int>(area.height()), source.dc(),
               static_cast<int>(sx), static_cast<int>(sy), SRCCOPY);
    addDamage(area);
}

void Win32Surface::keyedBlit(GdiCanvas& source, const CRect& area, long sx, long sy, const CColor& key)
{
    HDC dc = target->dc();
    const int x = static_cast<int>(area.left), y = static_cast<int>(area.top);
    const int w = static_cast<int>(area.width()), h = static_cast<int>(area.height());
    if (blend->transparentBlt)
    {
        blend->transparentBlt(dc, x, y, w, h, source.dc(), static_cast<int>(sx), static_cast<int>(sy), w, h,
                              colorRef(key));
        return;
    }
    // Without the library: a one-bit mask of the key colour's pixels, then image and destination
    // combined through it. Where the mask is set, (d ^ s) & 1 ^ s gives d back; elsewhere
    // (d ^ s) & 0 ^ s gives s.
    HDC maskDC = CreateCompatibleDC(dc);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    if (!maskDC || !mask)
    {
        if (mask)
            DeleteObject(mask);
        if (maskDC)
            DeleteDC(maskDC);
        return;
    }
    const HGDIOBJ before = SelectObject(maskDC, mask);
    // Colour to one bit: pixels of the source's background colour become 1.
    const COLORREF sourceBack = SetBkColor(source.dc(), colorRef(key));
    BitBlt(maskDC, 0, 0, w, h, source.dc(), static_cast<int>(sx), static_cast<int>(sy), SRCCOPY);
    SetBkColor(source.dc(), sourceBack);
    // One bit to colour: 1 becomes the destination's background colour, 0 its text colour.
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    BitBlt(dc, x, y, w, h, source.dc(), static_cast<int>(sx), static_cast<int>(sy), SRCINVERT);
    BitBlt(dc, x, y, w, h, maskDC, 0, 0, SRCAND);
    BitBlt(dc, x, y, w, h, source.dc(), static_cast<int>(sx), static_cast<int>(sy), SRCINVERT);
    SetBkColor(dc, back);
    SetTextColor(dc, text);
    SelectObject(maskDC, before);
    DeleteObject(mask);
    DeleteDC(maskDC);
}

void Win32Surface::blendedBlit(GdiCanvas& source, const CRect& area, long sx, long sy, unsigned char alpha,
                               bool keyed, const CColor& key)
{
    if (!keyed && blend->alphaBlend)
    {
        const BLENDFUNCTION constant{AC_SRC_OVER, 0, alpha, 0};
        blend->alphaBlend(target->dc(), static_cast<int>(area.left), static_cast<int>(area.top),
                          static_cast<int>(area.width()), static_cast<int>(area.height()), source.dc(),
                          static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(area.width()),
                          static_cast<int>(area.height()), constant);
        return;
    }
    // By hand on the pixels (the area lies inside the clip already): s * a + d * (1 - a), and
    // with a key, the key colour's pixels left as they are.
    const std::uint32_t keyRGB = (std::uint32_t(key.red) << 16) | (std::uint32_t(key.green) << 8) | key.blue;
    const std::uint32_t a = alpha;
    for (long j = 0; j < area.height(); j++)
    {
        const std::uint32_t* s = source.row(sy + j) + sx;
        std::uint32_t* d = target->row(area.top + j) + area.left;
        for (long i = 0; i < area.width(); i++)
        {
            const std::uint32_t sp = s[i] & 0x00ffffffu;
            if (keyed && sp == keyRGB)
                continue;
            std::uint32_t mixed = 0;
            for (int shift = 0; shift <= 16; shift += 8)
            {
                const std::uint32_t sc = (sp >> shift) & 0xff;
                const std::uint32_t dc = (d[i] >> shift) & 0xff;
                mixed |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
            }
            d[i] = mixed;
        }
    }
}

} // namespace kalvo::win32
