#include "CPlotDisplay.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/controls/CParamDisplay.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
// Pixel offsets are pinned to this range before the conversion to an integer, so that a value
// far outside the limits lands far outside the plot (clipped) instead of in an undefined
// conversion; a NaN offset counts as 0.
constexpr float kPixelLimit = 1.0e6f;

long truncPixel(float offset)
{
    if (offset != offset)
        return 0;
    if (offset < -kPixelLimit)
        return static_cast<long>(-kPixelLimit);
    if (offset > kPixelLimit)
        return static_cast<long>(kPixelLimit);
    return static_cast<long>(offset);
}

// Plot line width, pixels.
constexpr long kPlotLineWidth = 2;
} // namespace

// ---- CPlotBuffer ----

CPlotDisplay::CPlotBuffer::CPlotBuffer(long n, CColor newColor) : color(newColor)
{
    if (n > 0)
        setSize(n);
}

CPlotDisplay::CPlotBuffer::CPlotBuffer(const CPlotBuffer& other) : color(other.color)
{
    copyArrays(other);
}

CPlotDisplay::CPlotBuffer& CPlotDisplay::CPlotBuffer::operator=(const CPlotBuffer& other)
{
    if (this != &other)
    {
        color = other.color;
        copyArrays(other);
    }
    return *this;
}

CPlotDisplay::CPlotBuffer::~CPlotBuffer()
{
    release();
}

void CPlotDisplay::CPlotBuffer::release()
{
    std::free(xData);
    std::free(yData);
    std::free(points);
    xData = nullptr;
    yData = nullptr;
    points = nullptr;
    size = 0;
}

bool CPlotDisplay::CPlotBuffer::copyArrays(const CPlotBuffer& other)
{
    if (setSize(other.size) != other.size)
        return false;
    if (size > 0)
    {
        std::memcpy(xData, other.xData, sizeof(float) * static_cast<size_t>(size));
        std::memcpy(yData, other.yData, sizeof(float) * static_cast<size_t>(size));
        std::memcpy(points, other.points, sizeof(CPoint) * static_cast<size_t>(size));
    }
    return true;
}

long CPlotDisplay::CPlotBuffer::setSize(long n)
{
    if (n != size)
    {
        release();
        if (n > 0)
        {
            xData = static_cast<float*>(std::malloc(sizeof(float) * static_cast<size_t>(n)));
            yData = static_cast<float*>(std::malloc(sizeof(float) * static_cast<size_t>(n)));
            points = static_cast<CPoint*>(std::malloc(sizeof(CPoint) * static_cast<size_t>(n)));
            // All three or none: a plot never holds fewer points than values.
            if (xData && yData && points)
                size = static_cast<std::int32_t>(n);
            else
                release();
        }
    }
    if (size > 0)
    {
        std::memset(xData, 0, sizeof(float) * static_cast<size_t>(size));
        std::memset(yData, 0, sizeof(float) * static_cast<size_t>(size));
        for (long i = 0; i < size; i++)
            points[i] = CPoint(0, 0);
    }
    return size;
}

void CPlotDisplay::CPlotBuffer::swap(CPlotBuffer& other)
{
    std::swap(enabled, other.enabled);
    std::swap(size, other.size);
    std::swap(xData, other.xData);
    std::swap(yData, other.yData);
    std::swap(points, other.points);
    std::swap(color, other.color);
}

// ---- CPlotDisplay ----

CPlotDisplay::CPlotDisplay(CFrame* frame, const CRect& size, CControlListener* listener, long tag,
                           CBitmap* background)
    : CControl(size, listener, tag, background)
{
    const long width = std::labs(static_cast<long>(size.width()));
    const long height = std::labs(static_cast<long>(size.height()));
    offscreen = new COffscreenContext(frame, width, height, kTransparentCColor);
    localRect = CRect(0, 0, width, height);
    plotRect = localRect;
}

CPlotDisplay::~CPlotDisplay()
{
    if (offscreen)
        offscreen->forget();
    offscreen = nullptr;
    removePlot(kPlotIndexAll);
}

bool CPlotDisplay::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CPlotDisplay") == 0)
        return true;
    return CControl::isTypeOf(className);
}

bool CPlotDisplay::resolveIndex(long& index) const
{
    if (index == kPlotIndexEnd)
        index = plotCount - 1;
    if (index == kPlotIndexAll)
        return plotCount > 0;
    return index >= 0 && index < plotCount;
}

template <class Apply> void CPlotDisplay::forEachPlot(long index, Apply apply)
{
    if (!resolveIndex(index))
        return;
    if (index == kPlotIndexAll)
    {
        for (long i = 0; i < plotCount; i++)
            apply(*plots[i]);
    }
    else
        apply(*plots[index]);
}

const CPlotDisplay::CPlotBuffer* CPlotDisplay::getPlot(long index) const
{
    if (!resolveIndex(index) || index == kPlotIndexAll)
        return nullptr;
    return plots[index];
}

void CPlotDisplay::setLimitsX(float min, float max, bool log)
{
    xMin = min;
    xMax = max;
    xLog = log;
    setDirty(true);
}

void CPlotDisplay::setLimitsY(float min, float max, bool log)
{
    yMin = min;
    yMax = max;
    yLog = log;
    setDirty(true);
}

void CPlotDisplay::addPlot(long newSize, CColor color)
{
    // An array of pointers: sizeof(CPlotBuffer*) is meant.
    // NOLINTNEXTLINE(bugprone-sizeof-expression)
    const size_t bytes = sizeof(CPlotBuffer*) * static_cast<size_t>(plotCount + 1);
    auto** grown = static_cast<CPlotBuffer**>(std::malloc(bytes));
    if (!grown)
        return;
    for (long i = 0; i < plotCount; i++)
        grown[i] = plots[i];
    auto* plot = new (std::nothrow) CPlotBuffer(0, color);
    if (plot && newSize > 0)
        plot->setSize(newSize);
    if (!plot || plot->size != newSize)
    {
        delete plot;
        std::free(grown);
        return;
    }
    grown[plotCount] = plot;
    std::free(plots);
    plots = grown;
    plotCount++;
}

void CPlotDisplay::removePlot(long index)
{
    if (!resolveIndex(index))
        return;
    if (index == kPlotIndexAll)
    {
        bool wasEnabled = false;
        for (long i = 0; i < plotCount; i++)
        {
            wasEnabled = wasEnabled || plots[i]->enabled;
            plots[i]->setSize(0);
            delete plots[i];
        }
        std::free(plots);
        plots = nullptr;
        plotCount = 0;
        if (wasEnabled)
            setDirty(true);
        return;
    }
    CPlotBuffer* removed = plots[index];
    const bool wasEnabled = removed->enabled;
    removed->setSize(0);
    delete removed;
    for (long i = index; i < plotCount - 1; i++)
        plots[i] = plots[i + 1];
    plotCount--;
    if (plotCount == 0)
    {
        std::free(plots);
        plots = nullptr;
    }
    if (wasEnabled)
        setDirty(true);
}

void CPlotDisplay::setPlotSize(long newSize, long index)
{
    bool wasEnabled = false;
    forEachPlot(index,
                [&](CPlotBuffer& plot)
                {
                    wasEnabled = wasEnabled || plot.enabled;
                    plot.enabled = false;
                    plot.setSize(newSize);
                });
    if (wasEnabled)
        setDirty(true);
}

void CPlotDisplay::setPlotDataXY(const float* xValues, const float* yValues, long index)
{
    setPlotDataX(xValues, index);
    setPlotDataY(yValues, index);
}

void CPlotDisplay::setPlotDataX(const float* values, long index)
{
    bool anyEnabled = false;
    forEachPlot(index,
                [&](CPlotBuffer& plot)
                {
                    value2PixelX(plot.points, values ? values : plot.xData, plot.size);
                    anyEnabled = anyEnabled || plot.enabled;
                });
    if (anyEnabled)
        setDirty(true);
}

void CPlotDisplay::setPlotDataY(const float* values, long index)
{
    bool anyEnabled = false;
    forEachPlot(index,
                [&](CPlotBuffer& plot)
                {
                    value2PixelY(plot.points, values ? values : plot.yData, plot.size);
                    anyEnabled = anyEnabled || plot.enabled;
                });
    if (anyEnabled)
        setDirty(true);
}

void CPlotDisplay::setPlotColor(CColor color, long index)
{
    bool changedShown = false;
    forEachPlot(index,
                [&](CPlotBuffer& plot)
                {
                    if (plot.color == color)
                        return;
                    plot.color = color;
                    changedShown = changedShown || plot.enabled;
                });
    if (changedShown)
        setDirty(true);
}

void CPlotDisplay::setPlotEnabled(long index)
{
    bool changed = false;
    forEachPlot(index,
                [&](CPlotBuffer& plot)
                {
                    changed = changed || !plot.enabled;
                    plot.enabled = true;
                });
    if (changed)
        setDirty(true);
}

void CPlotDisplay::setPlotDisabled(long index)
{
    bool changed = false;
    forEachPlot(index,
                [&](CPlotBuffer& plot)
                {
                    changed = changed || plot.enabled;
                    plot.enabled = false;
                });
    if (changed)
        setDirty(true);
}

void CPlotDisplay::setBackColor(CColor color)
{
    if (backColor != color)
    {
        setDirty(true);
        backColor = color;
    }
}

void CPlotDisplay::setFrameColor(CColor color)
{
    if (frameColor != color)
    {
        setDirty(true);
        frameColor = color;
    }
}

void CPlotDisplay::setStyle(long newStyle)
{
    if (style != newStyle)
    {
        setDirty(true);
        style = static_cast<std::int32_t>(newStyle);
    }
}

// ---- axis mapping, all in single precision ----

void CPlotDisplay::value2PixelX(CPoint* points, const float* values, long count) const
{
    if (!points || !values)
        return;
    const float span = static_cast<float>(plotRect.right - plotRect.left - 1);
    if (xLog)
    {
        const float logMin = std::log10(xMin);
        const float scale = span / (std::log10(xMax) - logMin);
        for (long i = 0; i < count; i++)
            points[i].x =
                static_cast<CCoord>(plotRect.left + truncPixel(scale * (std::log10(values[i]) - logMin)));
    }
    else
    {
        const float scale = span / (xMax - xMin);
        for (long i = 0; i < count; i++)
            points[i].x = static_cast<CCoord>(plotRect.left + truncPixel(scale * (values[i] - xMin)));
    }
}

void CPlotDisplay::value2PixelY(CPoint* points, const float* values, long count) const
{
    if (!points || !values)
        return;
    const long bottomRow = plotRect.bottom - 1;
    const float span = static_cast<float>(plotRect.top - bottomRow);
    if (yLog)
    {
        const float logMin = std::log10(yMin);
        const float scale = span / (std::log10(yMax) - logMin);
        for (long i = 0; i < count; i++)
            points[i].y =
                static_cast<CCoord>(bottomRow + truncPixel(scale * (std::log10(values[i]) - logMin)));
    }
    else
    {
        const float scale = span / (yMax - yMin);
        for (long i = 0; i < count; i++)
            points[i].y = static_cast<CCoord>(bottomRow + truncPixel(scale * (values[i] - yMin)));
    }
}

void CPlotDisplay::pixel2ValueX(float* values, const CPoint* points, long count) const
{
    if (!points || !values)
        return;
    const float span = static_cast<float>(plotRect.right - plotRect.left - 1);
    for (long i = 0; i < count; i++)
    {
        const float offset = static_cast<float>(points[i].x - plotRect.left);
        if (xLog)
        {
            const float logMin = std::log10(xMin);
            values[i] = std::pow(10.f, (std::log10(xMax) - logMin) / span * offset + logMin);
        }
        else
            values[i] = (xMax - xMin) / span * offset + xMin;
    }
}

void CPlotDisplay::pixel2ValueY(float* values, const CPoint* points, long count) const
{
    if (!points || !values)
        return;
    const long bottomRow = plotRect.bottom - 1;
    const float span = static_cast<float>(plotRect.top - bottomRow);
    for (long i = 0; i < count; i++)
    {
        const float offset = static_cast<float>(points[i].y - bottomRow);
        if (yLog)
        {
            const float logMin = std::log10(yMin);
            values[i] = std::pow(10.f, (std::log10(yMax) - logMin) / span * offset + logMin);
        }
        else
            values[i] = (yMax - yMin) / span * offset + yMin;
    }
}

// ---- drawing ----

void CPlotDisplay::draw(CDrawContext* context)
{
    setDirty(false);
    if ((style & kDisplayNoDraw) || !offscreen || !context)
        return;

    COffscreenContext* target = offscreen;
    const CRect& r = localRect;
    const bool bevel = (style & (kDisplayBevelBackFirst | kDisplayBevelFrameFirst)) != 0;
    target->setLineStyle(kLineSolid);
    target->setLineWidth(1);
    if (background)
    {
        CRect where = localRect;
        background->draw(target, where, CPoint(0, 0));
    }
    else
    {
        target->setFillColor(backColor);
        target->fillRect(r);
        if (!bevel)
        {
            target->setFrameColor(frameColor);
            target->moveTo(CPoint(r.left, r.top));
            target->lineTo(CPoint(r.right - 1, r.top));
            target->lineTo(CPoint(r.right - 1, r.bottom - 1));
            target->lineTo(CPoint(r.left, r.bottom - 1));
            target->lineTo(CPoint(r.left, r.top));
        }
    }
    if (bevel)
    {
        target->setFrameColor((style & kDisplayBevelBackFirst) ? backColor : frameColor);
        target->moveTo(CPoint(r.left, r.bottom - 2));
        target->lineTo(CPoint(r.left, r.top));
        target->lineTo(CPoint(r.right, r.top));
        target->setFrameColor((style & kDisplayBevelFrameFirst) ? backColor : frameColor);
        target->moveTo(CPoint(r.right - 1, r.top + 1));
        target->lineTo(CPoint(r.right - 1, r.bottom - 1));
        target->lineTo(CPoint(r.left, r.bottom - 1));
    }
    drawPlot(target);
    target->copyFrom(context, size, backOffset);
}

void CPlotDisplay::drawPlot(CDrawContext* context)
{
    context->setLineStyle(kLineSolid);
    context->setLineWidth(kPlotLineWidth);
    for (long i = 0; i < plotCount; i++)
    {
        const CPlotBuffer& plot = *plots[i];
        if (!plot.enabled || plot.size <= 0)
            continue;
        context->setFrameColor(plot.color);
        context->moveTo(plot.points[0]);
        context->polyLine(plot.points, plot.size);
    }
}
