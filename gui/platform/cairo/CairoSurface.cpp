#include "CairoBackend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kalvo::cairo
{
using platform::DrawAttributes;

namespace
{
constexpr double kPi = 3.14159265358979323846;

void setColor(cairo_t* cr, const CColor& c)
{
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

// Lines run through pixel centres: an odd width sits on the centre, an even width on the
// pixel edge next to it, so that both cover whole pixels.
double strokeOffset(long width)
{
    return (width % 2) ? 0.5 : 0.0;
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

// Solid lines get square caps so both end pixels are covered; dotted lines get butt caps on a
// path lengthened by half a width at each end, so that each dash covers whole pixels.
void strokePath(cairo_t* cr, const CPoint* points, long count, bool closed, const DrawAttributes& state)
{
    const long width = strokeWidth(state);
    const double o = strokeOffset(width);
    const bool dotted = state.lineStyle == 1;
    cairo_set_line_width(cr, static_cast<double>(width));
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    std::vector<double> xs(count), ys(count);
    for (long i = 0; i < count; i++)
    {
        xs[i] = points[i].x + o;
        ys[i] = points[i].y + o;
    }
    if (dotted && !closed && count >= 2)
    {
        auto extend = [&](long end, long towards)
        {
            const double dx = xs[end] - xs[towards];
            const double dy = ys[end] - ys[towards];
            const double len = std::sqrt(dx * dx + dy * dy);
            if (len > 0)
            {
                xs[end] += dx / len * width / 2.0;
                ys[end] += dy / len * width / 2.0;
            }
        };
        extend(0, 1);
        extend(count - 1, count - 2);
    }
    if (dotted)
    {
        const double dash[2] = {static_cast<double>(width), static_cast<double>(width)};
        cairo_set_dash(cr, dash, 2, 0.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    }
    else
    {
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    }
    cairo_new_path(cr);
    cairo_move_to(cr, xs[0], ys[0]);
    for (long i = 1; i < count; i++)
        cairo_line_to(cr, xs[i], ys[i]);
    if (count == 1)
        cairo_line_to(cr, xs[0], ys[0]);
    if (closed)
        cairo_close_path(cr);
    setColor(cr, state.frameColor);
    cairo_stroke(cr);
}

void ellipsePath(cairo_t* cr, double x, double y, double w, double h)
{
    cairo_save(cr);
    cairo_translate(cr, x + w / 2.0, y + h / 2.0);
    cairo_scale(cr, std::max(w, 1e-9) / 2.0, std::max(h, 1e-9) / 2.0);
    cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * kPi);
    cairo_restore(cr);
}

// Arc of the inscribed ellipse, counter-clockwise on screen from startDeg to endDeg.
void arcPath(cairo_t* cr, double x, double y, double w, double h, double startDeg, double endDeg, bool pie)
{
    cairo_save(cr);
    cairo_translate(cr, x + w / 2.0, y + h / 2.0);
    cairo_scale(cr, std::max(w, 1e-9) / 2.0, std::max(h, 1e-9) / 2.0);
    if (pie)
        cairo_move_to(cr, 0.0, 0.0);
    // cairo's angles run clockwise on a y-down surface, so counter-clockwise means negative.
    cairo_arc_negative(cr, 0.0, 0.0, 1.0, -startDeg * kPi / 180.0, -endDeg * kPi / 180.0);
    if (pie)
        cairo_close_path(cr);
    cairo_restore(cr);
}

std::uint32_t premultiplied(const CColor& c)
{
    const std::uint32_t a = c.alpha;
    auto mul = [a](std::uint32_t v) { return (v * a + 127) / 255; };
    return (a << 24) | (mul(c.red) << 16) | (mul(c.green) << 8) | mul(c.blue);
}

CColor unpremultiplied(std::uint32_t p, bool opaque)
{
    const std::uint32_t a = opaque ? 255 : (p >> 24);
    if (a == 0)
        return CColor{0, 0, 0, 0};
    auto un = [a](std::uint32_t v)
    { return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (v * 255 + a / 2) / a)); };
    return CColor{un((p >> 16) & 0xff), un((p >> 8) & 0xff), un(p & 0xff), static_cast<std::uint8_t>(a)};
}
} // namespace

CairoSurface::CairoSurface(cairo_surface_t* target, std::shared_ptr<FontCache> fonts, double scale)
    : surface(cairo_surface_reference(target)),
      fonts(fonts ? std::move(fonts) : std::make_shared<FontCache>()), scaleFactor(scale > 0.0 ? scale : 1.0)
{
}

cairo_t* CairoSurface::createContext() const
{
    cairo_t* cr = cairo_create(surface);
    if (scaleFactor != 1.0)
        cairo_scale(cr, scaleFactor, scaleFactor);
    return cr;
}

CRect CairoSurface::toDevice(const CRect& r) const
{
    if (scaleFactor == 1.0)
        return r;
    const auto down = [this](long v) { return static_cast<long>(std::floor(v * scaleFactor + 1e-9)); };
    const auto up = [this](long v) { return static_cast<long>(std::ceil(v * scaleFactor - 1e-9)); };
    return CRect(down(r.left), down(r.top), up(r.right), up(r.bottom));
}

CairoSurface::~CairoSurface()
{
    cairo_surface_destroy(surface);
}

long CairoSurface::width() const
{
    // The target covers the panel pixels rounded up: 1052 pixels at 1.25 are 841 panel pixels.
    return static_cast<long>(std::floor(cairo_image_surface_get_width(surface) / scaleFactor + 1e-9));
}

long CairoSurface::height() const
{
    return static_cast<long>(std::floor(cairo_image_surface_get_height(surface) / scaleFactor + 1e-9));
}

CRect CairoSurface::takeDamage()
{
    const CRect result = damage;
    damage = CRect();
    return result;
}

void CairoSurface::flush()
{
    cairo_surface_flush(surface);
}

template <class Draw> void CairoSurface::render(const DrawAttributes& state, CRect bounds, bool, Draw draw)
{
    CRect area = bounds;
    area.bound(state.clip);
    area.bound(CRect(0, 0, width(), height()));
    if (area.isEmpty())
        return;
    if (state.drawMode == 1 || state.drawMode == 2)
    {
        // Bitwise modes: draw the shape alone, then combine its pixels with the destination.
        const CRect logical = area;
        area = toDevice(logical);
        area.bound(
            CRect(0, 0, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface)));
        cairo_surface_t* shape = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.width(), area.height());
        cairo_t* cr = cairo_create(shape);
        cairo_translate(cr, -area.left, -area.top);
        cairo_scale(cr, scaleFactor, scaleFactor);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        draw(cr);
        cairo_destroy(cr);
        cairo_surface_flush(shape);
        cairo_surface_flush(surface);
        const int shapeStride = cairo_image_surface_get_stride(shape);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* shapeData = cairo_image_surface_get_data(shape);
        unsigned char* data = cairo_image_surface_get_data(surface);
        if (shapeData && data)
        {
            for (long y = 0; y < area.height(); y++)
            {
                const auto* s = reinterpret_cast<const std::uint32_t*>(shapeData + y * shapeStride);
                auto* d = reinterpret_cast<std::uint32_t*>(data + (y + area.top) * stride) + area.left;
                for (long x = 0; x < area.width(); x++)
                {
                    if ((s[x] >> 24) == 0)
                        continue;
                    const std::uint32_t rgb = state.drawMode == 1 ? (d[x] | s[x]) : ~(d[x] ^ s[x]);
                    d[x] = 0xff000000u | (rgb & 0x00ffffffu);
                }
            }
        }
        cairo_surface_mark_dirty(surface);
        cairo_surface_destroy(shape);
        addDamage(area);
    }
    else
    {
        cairo_t* cr = createContext();
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE); // the clip stays on whole pixels
        cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
        cairo_clip(cr);
        // Above 1 lines and curves are smoothed: their pixels are finer than the panel's.
        const bool smooth = state.drawMode == 3 || scaleFactor > 1.0;
        cairo_set_antialias(cr, smooth ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
        draw(cr);
        cairo_destroy(cr);
        addDamage(toDevice(area));
    }
}

void CairoSurface::fillRect(const CRect& r, const DrawAttributes& state)
{
    if (r.isEmpty())
        return;
    render(state, r, true,
           [&](cairo_t* cr)
           {
               cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
               setColor(cr, state.fillColor);
               cairo_fill(cr);
           });
}

void CairoSurface::strokePolyline(const CPoint* points, long count, bool closed, const DrawAttributes& state)
{
    if (!points || count <= 0)
        return;
    render(state, pointsBounds(points, count, strokeWidth(state) + 1), false,
           [&](cairo_t* cr) { strokePath(cr, points, count, closed, state); });
}

void CairoSurface::strokeSegments(const CPoint* points, long count, const DrawAttributes& state)
{
    if (!points || count <= 0)
        return;
    for (long k = 0; k < count; k++)
        strokePolyline(points + 2 * k, 2, false, state);
}

void CairoSurface::fillPolygon(const CPoint* points, long count, const DrawAttributes& state)
{
    if (!points || count < 3)
        return;
    render(state, pointsBounds(points, count, 1), false,
           [&](cairo_t* cr)
           {
               cairo_move_to(cr, points[0].x + 0.5, points[0].y + 0.5);
               for (long i = 1; i < count; i++)
                   cairo_line_to(cr, points[i].x + 0.5, points[i].y + 0.5);
               cairo_close_path(cr);
               cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
               setColor(cr, state.fillColor);
               cairo_fill(cr);
           });
}

void CairoSurface::drawEllipse(const CRect& r, bool fill, bool stroke, const DrawAttributes& state)
{
    if (r.isEmpty())
        return;
    const long width = strokeWidth(state);
    render(state, CRect(r.left - width, r.top - width, r.right + width, r.bottom + width), false,
           [&](cairo_t* cr)
           {
               if (fill)
               {
                   ellipsePath(cr, r.left, r.top, r.width(), r.height());
                   setColor(cr, state.fillColor);
                   cairo_fill(cr);
               }
               if (stroke)
               {
                   const double o = strokeOffset(width);
                   cairo_new_path(cr);
                   ellipsePath(cr, r.left + o, r.top + o, r.width() - 2 * o, r.height() - 2 * o);
                   cairo_set_line_width(cr, static_cast<double>(width));
                   if (state.lineStyle == 1)
                   {
                       const double dash[2] = {static_cast<double>(width), static_cast<double>(width)};
                       cairo_set_dash(cr, dash, 2, 0.0);
                   }
                   setColor(cr, state.frameColor);
                   cairo_stroke(cr);
               }
           });
}

void CairoSurface::drawArc(const CRect& r, double startDeg, double endDeg, bool pie, bool fill, bool stroke,
                           const DrawAttributes& state)
{
    if (r.isEmpty())
        return;
    const long width = strokeWidth(state);
    render(state, CRect(r.left - width, r.top - width, r.right + width, r.bottom + width), false,
           [&](cairo_t* cr)
           {
               if (fill)
               {
                   arcPath(cr, r.left, r.top, r.width(), r.height(), startDeg, endDeg, pie);
                   setColor(cr, state.fillColor);
                   cairo_fill(cr);
               }
               if (stroke)
               {
                   const double o = strokeOffset(width);
                   cairo_new_path(cr);
                   arcPath(cr, r.left + o, r.top + o, r.width() - 2 * o, r.height() - 2 * o, startDeg, endDeg,
                           pie);
                   cairo_set_line_width(cr, static_cast<double>(width));
                   setColor(cr, state.frameColor);
                   cairo_stroke(cr);
               }
           });
}

CColor CairoSurface::getPixel(const CPoint& p)
{
    if (p.x < 0 || p.y < 0 || p.x >= width() || p.y >= height())
        return CColor{0, 0, 0, 0};
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data)
        return CColor{0, 0, 0, 0};
    const int stride = cairo_image_surface_get_stride(surface);
    // The target pixel at the panel pixel's centre.
    const long x = std::min<long>(static_cast<long>((p.x + 0.5) * scaleFactor),
                                  cairo_image_surface_get_width(surface) - 1);
    const long y = std::min<long>(static_cast<long>((p.y + 0.5) * scaleFactor),
                                  cairo_image_surface_get_height(surface) - 1);
    const std::uint32_t pixel = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
    return unpremultiplied(pixel, cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24);
}

void CairoSurface::floodFill(const CPoint& panelPoint, const DrawAttributes& state)
{
    CRect area = state.clip;
    area.bound(CRect(0, 0, width(), height()));
    if (!area.pointInside(panelPoint))
        return;
    // The fill runs over the target's pixels, from the one at the panel pixel's corner.
    area = toDevice(area);
    const CPoint p(static_cast<long>(panelPoint.x * scaleFactor),
                   static_cast<long>(panelPoint.y * scaleFactor));
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data)
        return;
    const int stride = cairo_image_surface_get_stride(surface);
    const bool opaqueFormat = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    auto at = [&](long x, long y) -> std::uint32_t&
    { return reinterpret_cast<std::uint32_t*>(data + y * stride)[x]; };
    const std::uint32_t mask = opaqueFormat ? 0x00ffffffu : 0xffffffffu;
    const std::uint32_t old = at(p.x, p.y) & mask;
    std::uint32_t fill = premultiplied(state.fillColor);
    if (opaqueFormat)
        fill |= 0xff000000u;
    if ((fill & mask) == old)
        return;
    std::vector<CPoint> stack{p};
    CRect touched(p.x, p.y, p.x + 1, p.y + 1);
    while (!stack.empty())
    {
        const CPoint q = stack.back();
        stack.pop_back();
        if (!area.pointInside(q) || (at(q.x, q.y) & mask) != old)
            continue;
        at(q.x, q.y) = fill;
        touched = touched.unite(CRect(q.x, q.y, q.x + 1, q.y + 1));
        stack.push_back(CPoint(q.x + 1, q.y));
        stack.push_back(CPoint(q.x - 1, q.y));
        stack.push_back(CPoint(q.x, q.y + 1));
        stack.push_back(CPoint(q.x, q.y - 1));
    }
    cairo_surface_mark_dirty(surface);
    addDamage(touched);
}

void CairoSurface::setFont(cairo_t* cr, const DrawAttributes& state, cairo_font_extents_t* extents)
{
    const cairo_font_extents_t selected =
        fonts->select(cr, state.fontFamily, state.fontStyle, state.fontSize);
    if (extents)
        *extents = selected;
}

long CairoSurface::textWidth(const char* text, const DrawAttributes& state)
{
    if (!text || !*text)
        return 0;
    cairo_t* cr = createContext();
    setFont(cr, state, nullptr);
    cairo_text_extents_t te;
    cairo_text_extents(cr, text, &te);
    cairo_destroy(cr);
    return std::lround(te.x_advance);
}

void CairoSurface::drawText(const char* text, const CRect& r, long align, bool opaque,
                            const DrawAttributes& state)
{
    if (!text)
        return;
    CRect area = r;
    area.bound(state.clip);
    area.bound(CRect(0, 0, width(), height()));
    if (area.isEmpty())
        return;
    cairo_t* cr = createContext();
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_clip(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_font_extents_t fe;
    setFont(cr, state, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr, text, &te);
    const long textW = std::lround(te.x_advance);
    const long ascent = std::lround(std::ceil(fe.ascent));
    const long descent = std::lround(std::ceil(fe.descent));
    long x = r.left + 1;
    if (align == 1)
        x = r.left + r.width() / 2 - textW / 2;
    else if (align == 2)
        x = r.right - textW;
    const long baseline = r.top + (r.height() - (ascent + descent)) / 2 + ascent;
    if (opaque)
    {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_rectangle(cr, x, baseline - ascent, textW, ascent + descent);
        setColor(cr, state.fillColor);
        cairo_fill(cr);
    }
    setColor(cr, state.fontColor);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, text);
    if (state.fontStyle & 4)
    {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_rectangle(cr, x, baseline + 1, textW, 1);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    addDamage(toDevice(area));
}

void CairoSurface::copyFrom(platform::Surface& source, const CRect& srcRect, const CPoint& dest,
                            const CRect& clip)
{
    auto* src = dynamic_cast<CairoSurface*>(&source);
    if (!src)
        return;
    // The destination area, limited to what exists in the source and here.
    CRect srcArea = srcRect;
    srcArea.bound(CRect(0, 0, src->width(), src->height()));
    CRect area = srcArea;
    area.offset(dest.x - srcRect.left, dest.y - srcRect.top);
    area.bound(clip);
    area.bound(CRect(0, 0, width(), height()));
    if (area.isEmpty())
        return;
    cairo_surface_t* pixels = src->surface;
    cairo_surface_t* copy = nullptr;
    if (pixels == surface)
    {
        // Overlapping copies within one surface go through a snapshot.
        copy = cairo_surface_create_similar_image(surface, cairo_image_surface_get_format(surface), width(),
                                                  height());
        cairo_t* c = cairo_create(copy);
        cairo_set_source_surface(c, surface, 0, 0);
        cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
        cairo_paint(c);
        cairo_destroy(c);
        pixels = copy;
    }
    // Pixel for pixel of the targets (both surfaces have the panel's scale), each pixel of the
    // source moved by the offset on the target's grid.
    const CRect deviceArea = toDevice(area);
    const double dx = std::round((dest.x - srcRect.left) * scaleFactor);
    const double dy = std::round((dest.y - srcRect.top) * scaleFactor);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, deviceArea.left, deviceArea.top, deviceArea.width(), deviceArea.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, pixels, dx, dy);
    if (src->scaleFactor != scaleFactor)
    {
        cairo_matrix_t m;
        cairo_matrix_init_scale(&m, src->scaleFactor / scaleFactor, src->scaleFactor / scaleFactor);
        cairo_matrix_translate(&m, -dx, -dy);
        cairo_pattern_set_matrix(cairo_get_source(cr), &m);
    }
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    if (copy)
        cairo_surface_destroy(copy);
    addDamage(deviceArea);
}

void CairoSurface::drawImage(const platform::Image& image, const CRect& dest, const CPoint& srcOffset,
                             platform::ImageBlend blend, const CColor& key, unsigned char alpha,
                             const CRect& clip)
{
    const auto* picture = dynamic_cast<const CairoImage*>(&image);
    if (!picture || alpha == 0)
        return;
    const long originX = dest.left - srcOffset.x;
    const long originY = dest.top - srcOffset.y;
    CRect area = dest;
    area.bound(CRect(originX, originY, originX + picture->width(), originY + picture->height()));
    area.bound(clip);
    area.bound(CRect(0, 0, width(), height()));
    if (area.isEmpty())
        return;
    cairo_surface_t* pixels = blend == platform::ImageBlend::keyed ? picture->keyed(key) : picture->surface();
    cairo_t* cr = createContext();
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, pixels, static_cast<double>(originX), static_cast<double>(originY));
    // Image pixels per target pixel: 1 copies; a whole number repeats pixels (the 1x images at
    // 2x); otherwise the image is resampled with a filter that averages when it shrinks (the 2x
    // images at 1.5).
    const double ratio = picture->pixelScale() / scaleFactor;
    if (picture->pixelScale() != 1.0)
    {
        cairo_matrix_t m;
        cairo_matrix_init_scale(&m, picture->pixelScale(), picture->pixelScale());
        cairo_matrix_translate(&m, -static_cast<double>(originX), -static_cast<double>(originY));
        cairo_pattern_set_matrix(cairo_get_source(cr), &m);
    }
    const bool exact = ratio == 1.0 || (ratio < 1.0 && std::floor(1.0 / ratio) == 1.0 / ratio);
    cairo_pattern_set_filter(cairo_get_source(cr), exact ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    if (!exact)
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    if (blend == platform::ImageBlend::opaque && alpha == 255)
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    else
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (alpha == 255)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha / 255.0);
    cairo_destroy(cr);
    addDamage(toDevice(area));
}

} // namespace kalvo::cairo
