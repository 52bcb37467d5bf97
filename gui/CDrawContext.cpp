#include "CDrawContext.h"

#include "CBitmap.h"
#include "CFontTable.h"
#include "CFrame.h"
#include "gui/platform/Platform.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using kalvo::platform::DrawAttributes;
using kalvo::platform::Surface;

namespace
{
// Without a frame the clip covers this square, enough for any editor panel.
constexpr CRect kNoFrameClip(0, 0, 1000, 1000);
// waitDrag reports a drag once the pointer moved this many pixels.
constexpr long kDragThreshold = 3;
// Polling period of the wait loops, milliseconds.
constexpr long kPollMs = 10;

double pointAngleDeg(const CRect& r, const CPoint& p)
{
    const double cx = (r.left + r.right) / 2.0;
    const double cy = (r.top + r.bottom) / 2.0;
    // y grows downward; angles run counter-clockwise as seen on screen.
    return std::atan2(-(p.y - cy), p.x - cx) * 180.0 / 3.14159265358979323846;
}
} // namespace

CDrawContext::CDrawContext(CFrame* frame, void* systemContext, void* window)
    : systemContext(systemContext), window(window), frame(frame)
{
    if (systemContext)
        surface = static_cast<Surface*>(systemContext);
    else if (frame && frame->getPlatformWindow())
    {
        ownSurface = frame->getPlatformWindow()->createSurface();
        surface = ownSurface.get();
    }
    // Pointer positions come in window pixels, the window surface's own coordinates.
    screenOffset = CPoint(0, 0);
    clipRect = frameClip();
    initDefaults();
}

CDrawContext::CDrawContext(OffscreenTag, CFrame* frame) : frame(frame) {}

CDrawContext::~CDrawContext()
{
    if (pendingOutput && surface)
        surface->flush();
}

void CDrawContext::initDefaults()
{
    frameColor = kWhiteCColor;
    lineStyle = kLineSolid;
    lineWidth = 1;
    fillColor = kBlackCColor;
    fontColor = kWhiteCColor;
    setFont(kSystemFont, 0, 0);
    drawMode = kCopyMode;
}

void CDrawContext::forget()
{
    synchronize();
    CReferenceCounter::forget();
}

void CDrawContext::synchronize()
{
    if (pendingOutput && surface)
        surface->flush();
    pendingOutput = false;
}

CRect CDrawContext::frameClip() const
{
    if (!frame)
        return kNoFrameClip;
    CRect size;
    if (!frame->getSize(&size))
        frame->getViewSize(size);
    return CRect(0, 0, size.width(), size.height());
}

DrawAttributes CDrawContext::drawState() const
{
    DrawAttributes state;
    state.clip = clipRect;
    state.frameColor = frameColor;
    state.fillColor = fillColor;
    state.fontColor = fontColor;
    state.lineWidth = lineWidth;
    state.lineStyle = lineStyle;
    state.drawMode = drawMode;
    state.fontFamily = standardFont(fontId).family;
    state.fontSize = fontSize;
    state.fontStyle = fontStyle;
    return state;
}

void CDrawContext::setLineStyle(CLineStyle style)
{
    if (lineStyle != style)
        lineStyle = style;
}

void CDrawContext::setLineWidth(long width)
{
    if (lineWidth != width)
        lineWidth = width;
}

void CDrawContext::setDrawMode(CDrawMode mode)
{
    if (drawMode != mode)
        drawMode = mode;
}

void CDrawContext::setFrameColor(const CColor color)
{
    if (frameColor != color)
        frameColor = color;
}

void CDrawContext::setFillColor(const CColor color)
{
    if (fillColor != color)
        fillColor = color;
}

void CDrawContext::setFontColor(const CColor color)
{
    if (fontColor != color)
        fontColor = color;
}

void CDrawContext::setFont(CFont font, const long& size, long style)
{
    if (font < 0 || font >= kNumStandardFonts)
        font = kSystemFont;
    fontId = font;
    fontSize = size != 0 ? size : standardFont(font).size;
    fontStyle = style;
}

void CDrawContext::setClipRect(const CRect& clip)
{
    clipRect = toSurface(clip);
}

CRect& CDrawContext::getClipRect(CRect& clip) const
{
    clip = clipRect;
    clip.offset(-drawOffset.x, -drawOffset.y);
    return clip;
}

void CDrawContext::resetClipRect()
{
    clipRect = frameClip();
}

void CDrawContext::moveTo(const CPoint& point)
{
    penPosition = toSurface(point);
}

void CDrawContext::getLoc(CPoint& where) const
{
    where = CPoint(penPosition.x - drawOffset.x, penPosition.y - drawOffset.y);
}

void CDrawContext::lineTo(const CPoint& point)
{
    const CPoint points[2] = {penPosition, toSurface(point)};
    if (surface)
    {
        surface->strokePolyline(points, 2, false, drawState());
        touched();
    }
    penPosition = points[1];
}

void CDrawContext::drawLines(const CPoint* points, const long& numberOfLines)
{
    if (!surface || !points || numberOfLines <= 0)
        return;
    const DrawAttributes state = drawState();
    for (long k = 0; k < numberOfLines; k++)
    {
        const CPoint segment[2] = {toSurface(points[2 * k]), toSurface(points[2 * k + 1])};
        surface->strokeSegments(segment, 1, state);
    }
    touched();
}

void CDrawContext::polyLine(const CPoint* points, long numberOfPoints)
{
    drawPolygon(points, numberOfPoints, kDrawStroked);
}

void CDrawContext::drawPolygon(const CPoint* points, long numberOfPoints, const CDrawStyle drawStyle)
{
    if (!surface || !points || numberOfPoints <= 0)
        return;
    std::unique_ptr<CPoint[]> moved(new CPoint[numberOfPoints]);
    for (long i = 0; i < numberOfPoints; i++)
        moved[i] = toSurface(points[i]);
    const DrawAttributes state = drawState();
    if (drawStyle == kDrawFilled || drawStyle == kDrawFilledAndStroked)
        surface->fillPolygon(moved.get(), numberOfPoints, state);
    // The outline runs through the points as given; callers close it by repeating the first.
    if (drawStyle == kDrawStroked || drawStyle == kDrawFilledAndStroked)
        surface->strokePolyline(moved.get(), numberOfPoints, false, state);
    touched();
}

void CDrawContext::fillPolygon(const CPoint* points, long numberOfPoints)
{
    drawPolygon(points, numberOfPoints, kDrawFilled);
}

void CDrawContext::drawRect(const CRect& rect, const CDrawStyle drawStyle)
{
    if (!surface)
        return;
    const CRect r = toSurface(rect);
    const DrawAttributes state = drawState();
    if (drawStyle == kDrawFilled || drawStyle == kDrawFilledAndStroked)
        surface->fillRect(r, state);
    if ((drawStyle == kDrawStroked || drawStyle == kDrawFilledAndStroked) && !r.isEmpty())
    {
        const CPoint box[4] = {CPoint(r.left, r.top), CPoint(r.right - 1, r.top),
                               CPoint(r.right - 1, r.bottom - 1), CPoint(r.left, r.bottom - 1)};
        surface->strokePolyline(box, 4, true, state);
    }
    touched();
}

void CDrawContext::fillRect(const CRect& rect)
{
    if (!surface)
        return;
    surface->fillRect(toSurface(rect), drawState());
    touched();
}

void CDrawContext::drawEllipse(const CRect& rect, const CDrawStyle drawStyle)
{
    if (!surface)
        return;
    surface->drawEllipse(toSurface(rect), drawStyle != kDrawStroked, drawStyle != kDrawFilled, drawState());
    touched();
}

void CDrawContext::fillEllipse(const CRect& rect)
{
    drawEllipse(rect, kDrawFilled);
}

void CDrawContext::drawArc(const CRect& rect, const float startAngle, const float endAngle,
                           const CDrawStyle drawStyle)
{
    if (!surface)
        return;
    const bool fill = drawStyle != kDrawStroked;
    surface->drawArc(toSurface(rect), startAngle, endAngle, fill, fill, drawStyle != kDrawFilled,
                     drawState());
    touched();
}

void CDrawContext::drawArc(const CRect& rect, const CPoint& point1, const CPoint& point2)
{
    if (!surface)
        return;
    surface->drawArc(toSurface(rect), pointAngleDeg(rect, point1), pointAngleDeg(rect, point2), false, false,
                     true, drawState());
    touched();
}

void CDrawContext::fillArc(const CRect& rect, const CPoint& point1, const CPoint& point2)
{
    if (!surface)
        return;
    surface->drawArc(toSurface(rect), pointAngleDeg(rect, point1), pointAngleDeg(rect, point2), true, true,
                     false, drawState());
    touched();
}

void CDrawContext::drawPoint(const CPoint& point, CColor color)
{
    if (!surface)
        return;
    DrawAttributes state = drawState();
    state.fillColor = color;
    const CPoint p = toSurface(point);
    surface->fillRect(CRect(p.x, p.y, p.x + 1, p.y + 1), state);
    touched();
}

CColor CDrawContext::getPoint(const CPoint& point)
{
    if (!surface)
        return kTransparentCColor;
    if (pendingOutput)
        synchronize();
    return surface->getPixel(toSurface(point));
}

void CDrawContext::floodFill(const CPoint& start)
{
    if (!surface)
        return;
    surface->floodFill(toSurface(start), drawState());
    touched();
}

long CDrawContext::getStringWidth(const char* text)
{
    if (!surface || !text)
        return 0;
    return surface->textWidth(text, drawState());
}

void CDrawContext::drawString(const char* text, const CRect& rect, const short opaque,
                              const CHoriTxtAlign hAlign)
{
    if (!surface || !text)
        return;
    surface->drawText(text, toSurface(rect), hAlign, opaque != 0, drawState());
    touched();
}

long CDrawContext::getMouseButtons()
{
    if (!frame || !frame->getPlatformWindow())
        return 0;
    return frame->getPlatformWindow()->pointerButtons();
}

void CDrawContext::getMouseLocation(CPoint& point)
{
    if (!frame || !frame->getPlatformWindow())
        return;
    const CPoint where = frame->getPlatformWindow()->pointerPosition();
    point = CPoint(where.x - screenOffset.x, where.y - screenOffset.y);
}

bool CDrawContext::waitDoubleClick()
{
    if (!frame || !frame->getPlatformWindow())
        return false;
    const long start = kalvo::platform::ticksMs();
    const long limit = kalvo::platform::doubleClickTimeMs();
    const long pressed = getMouseButtons() & (kButtonLeft | kButtonMiddle | kButtonRight);
    bool released = pressed == 0;
    // The clock wraps like a 32-bit tick count: the time waited is the difference
    // modulo 2^32, or a wait begun just before the wrap would never end.
    const auto elapsed = [start]
    {
        return static_cast<long>(static_cast<std::int32_t>(
            static_cast<std::uint32_t>(kalvo::platform::ticksMs()) - static_cast<std::uint32_t>(start)));
    };
    while (elapsed() < limit)
    {
        const long now = getMouseButtons() & (kButtonLeft | kButtonMiddle | kButtonRight);
        if (!now)
            released = true;
        else if (released)
            return true;
        kalvo::platform::sleepMs(kPollMs);
    }
    return false;
}

bool CDrawContext::waitDrag()
{
    if (!frame || !frame->getPlatformWindow())
        return false;
    CPoint start;
    getMouseLocation(start);
    while (getMouseButtons() & (kButtonLeft | kButtonMiddle | kButtonRight))
    {
        CPoint now;
        getMouseLocation(now);
        if (std::abs(now.x - start.x) >= kDragThreshold || std::abs(now.y - start.y) >= kDragThreshold)
            return true;
        kalvo::platform::sleepMs(kPollMs);
    }
    return false;
}

// ---- COffscreenContext ----

COffscreenContext::COffscreenContext(CFrame* frame, long width, long height, const CColor backgroundColor)
    : CDrawContext(OffscreenTag{}, frame), width(width), height(height), backgroundColor(backgroundColor)
{
    // Composed at the frame's scale, so that copying it to the window moves pixels one to one.
    ownSurface = kalvo::platform::createOffscreenSurface(width, height, frame ? frame->getScale() : 1.0);
    surface = ownSurface.get();
    destroyPixmap = true;
    clipRect = CRect(0, 0, width, height);
    initDefaults();
    setFillColor(backgroundColor);
    setFrameColor(backgroundColor);
    drawRect(CRect(0, 0, width, height), kDrawFilledAndStroked);
    // Drawing starts from the usual defaults, not from the background colour.
    setFillColor(kBlackCColor);
    setFrameColor(kWhiteCColor);
}

COffscreenContext::COffscreenContext(CDrawContext* context, CBitmap* bitmap, bool drawInBitmap)
    : CDrawContext(OffscreenTag{}, context ? context->getFrame() : nullptr), bitmap(bitmap)
{
    // A missing or unloaded bitmap gives a 20 x 20 surface.
    const bool loaded = bitmap && bitmap->isLoaded();
    width = loaded ? bitmap->getWidth() : 20;
    height = loaded ? bitmap->getHeight() : 20;
    if (drawInBitmap && loaded)
        ownSurface = kalvo::platform::createImageSurface(*bitmap->getImage());
    else
        ownSurface = kalvo::platform::createOffscreenSurface(
            width, height, context && context->getFrame() ? context->getFrame()->getScale() : 1.0);
    surface = ownSurface.get();
    destroyPixmap = true;
    clipRect = CRect(0, 0, width, height);
    initDefaults();
    if (!(drawInBitmap && loaded))
    {
        if (loaded)
        {
            CRect all(0, 0, width, height);
            bitmap->draw(this, all, CPoint(0, 0));
        }
        else
        {
            setFillColor(kBlackCColor);
            fillRect(CRect(0, 0, width, height));
        }
    }
}

COffscreenContext::~COffscreenContext() = default;

void COffscreenContext::copyFrom(CDrawContext* dest, CRect destRect, CPoint srcOffset)
{
    if (!dest || !dest->surface || !surface)
        return;
    const CRect d = dest->toSurface(destRect);
    const CRect src(srcOffset.x, srcOffset.y, srcOffset.x + d.width(), srcOffset.y + d.height());
    dest->surface->copyFrom(*surface, src, CPoint(d.left, d.top), dest->clipRect);
    dest->touched();
}

void COffscreenContext::copyTo(CDrawContext* source, CRect& srcRect, CPoint destOffset)
{
    if (!source || !source->surface || !surface)
        return;
    surface->copyFrom(*source->surface, source->toSurface(srcRect), destOffset, CRect(0, 0, width, height));
    touched();
}
