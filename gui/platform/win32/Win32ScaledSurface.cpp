// The panel drawn at a zoom on GDI: geometry in panel pixels becomes canvas pixels here, and
// the GDI surface underneath draws with its own pixel rules at the screen's resolution.
#include "Win32Gdi.h"

#include <cmath>

namespace kalvo::win32
{

std::shared_ptr<GdiCanvas> Win32Image::canvasAt(double scale, bool keyed) const
{
    if (scale == pixelScale)
        return pixels;
    if (resampled && resampledScale == scale && resampledKeyed == keyed)
        return resampled;
    const long w = static_cast<long>(std::lround(width() * scale));
    const long h = static_cast<long>(std::lround(height() * scale));
    std::shared_ptr<GdiCanvas> copy = GdiCanvas::create(std::max(1L, w), std::max(1L, h));
    if (!copy)
        return nullptr;
    SetStretchBltMode(copy->dc(), keyed ? COLORONCOLOR : HALFTONE);
    SetBrushOrgEx(copy->dc(), 0, 0, nullptr);
    StretchBlt(copy->dc(), 0, 0, static_cast<int>(copy->width()), static_cast<int>(copy->height()),
               pixels->dc(), 0, 0, static_cast<int>(pixels->width()), static_cast<int>(pixels->height()),
               SRCCOPY);
    GdiFlush();
    resampled = copy;
    resampledScale = scale;
    resampledKeyed = keyed;
    return copy;
}

ScaledSurface::ScaledSurface(std::unique_ptr<Win32Surface> device, double scale)
    : device(std::move(device)), factor(scale)
{
}

long ScaledSurface::toDevice(long v) const
{
    return static_cast<long>(std::lround(static_cast<double>(v) * factor));
}

CPoint ScaledSurface::toDevice(const CPoint& p) const
{
    return CPoint(toDevice(p.x), toDevice(p.y));
}

CRect ScaledSurface::toDevice(const CRect& r) const
{
    return CRect(toDevice(r.left), toDevice(r.top), toDevice(r.right), toDevice(r.bottom));
}

platform::DrawAttributes ScaledSurface::toDevice(const platform::DrawAttributes& state) const
{
    platform::DrawAttributes scaled = state;
    scaled.clip = toDevice(state.clip);
    scaled.lineWidth = std::max(1L, toDevice(state.lineWidth));
    scaled.fontSize = std::max(1L, toDevice(state.fontSize));
    return scaled;
}

std::vector<CPoint> ScaledSurface::toDevice(const CPoint* points, long count) const
{
    // A line through a panel pixel's centre runs through the centre of its block of pixels.
    const long centre = static_cast<long>(std::floor((factor - 1.0) / 2.0));
    std::vector<CPoint> scaled;
    scaled.reserve(static_cast<size_t>(std::max(0L, count)));
    for (long i = 0; i < count; i++)
        scaled.push_back(CPoint(toDevice(points[i].x) + centre, toDevice(points[i].y) + centre));
    return scaled;
}

long ScaledSurface::width() const
{
    return static_cast<long>(std::floor(device->width() / factor + 1e-9));
}

long ScaledSurface::height() const
{
    return static_cast<long>(std::floor(device->height() / factor + 1e-9));
}

void ScaledSurface::fillRect(const CRect& r, const platform::DrawAttributes& state)
{
    device->fillRect(toDevice(r), toDevice(state));
}

void ScaledSurface::strokePolyline(const CPoint* points, long count, bool closed,
                                   const platform::DrawAttributes& state)
{
    if (!points || count <= 0)
        return;
    const std::vector<CPoint> scaled = toDevice(points, count);
    device->strokePolyline(scaled.data(), count, closed, toDevice(state));
}

void ScaledSurface::strokeSegments(const CPoint* points, long count, const platform::DrawAttributes& state)
{
    if (!points || count <= 0)
        return;
    const std::vector<CPoint> scaled = toDevice(points, count);
    device->strokeSegments(scaled.data(), count, toDevice(state));
}

void ScaledSurface::fillPolygon(const CPoint* points, long count, const platform::DrawAttributes& state)
{
    if (!points || count <= 0)
        return;
    const std::vector<CPoint> scaled = toDevice(points, count);
    device->fillPolygon(scaled.data(), count, toDevice(state));
}

void ScaledSurface::drawEllipse(const CRect& r, bool fill, bool stroke, const platform::DrawAttributes& state)
{
    device->drawEllipse(toDevice(r), fill, stroke, toDevice(state));
}

void ScaledSurface::drawArc(const CRect& r, double startDeg, double endDeg, bool pie, bool fill, bool stroke,
                            const platform::DrawAttributes& state)
{
    device->drawArc(toDevice(r), startDeg, endDeg, pie, fill, stroke, toDevice(state));
}

CColor ScaledSurface::getPixel(const CPoint& p)
{
    return device->getPixel(toDevice(p));
}

void ScaledSurface::floodFill(const CPoint& p, const platform::DrawAttributes& state)
{
    device->floodFill(toDevice(p), toDevice(state));
}

long ScaledSurface::textWidth(const char* text, const platform::DrawAttributes& state)
{
    return static_cast<long>(std::lround(device->textWidth(text, toDevice(state)) / factor));
}

void ScaledSurface::drawText(const char* text, const CRect& r, long align, bool opaque,
                             const platform::DrawAttributes& state)
{
    device->drawText(text, toDevice(r), align, opaque, toDevice(state));
}

void ScaledSurface::copyFrom(platform::Surface& source, const CRect& srcRect, const CPoint& dest,
                             const CRect& clip)
{
    if (auto* scaled = dynamic_cast<ScaledSurface*>(&source))
        device->copyFrom(scaled->deviceSurface(), toDevice(srcRect), toDevice(dest), toDevice(clip));
}

void ScaledSurface::drawImage(const platform::Image& image, const CRect& dest, const CPoint& srcOffset,
                              platform::ImageBlend blend, const CColor& key, unsigned char alpha,
                              const CRect& clip)
{
    const auto* picture = dynamic_cast<const Win32Image*>(&image);
    if (!picture)
        return;
    const std::shared_ptr<GdiCanvas> pixels = picture->canvasAt(factor, blend == platform::ImageBlend::keyed);
    if (!pixels)
        return;
    // The picture at the surface's scale, drawn pixel for pixel.
    const Win32Image atScale(pixels);
    device->drawImage(atScale, toDevice(dest), toDevice(srcOffset), blend, key, alpha, toDevice(clip));
}

void ScaledSurface::flush()
{
    device->flush();
}

} // namespace kalvo::win32
