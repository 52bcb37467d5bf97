#include "CVuMeter.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

#include <algorithm>
#include <cstring>

namespace
{
// Style bit: horizontal bar growing from the left.
constexpr long kHorizontal = 1;
} // namespace

CVuMeter::CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, long nbLed, const long style)
    : CControl(size, nullptr, 0, nullptr), onBitmap(onBitmap), offBitmap(offBitmap),
      nbLed(static_cast<std::int32_t>(nbLed)), style(static_cast<std::int32_t>(style))
{
    if (onBitmap)
        onBitmap->remember();
    if (offBitmap)
        offBitmap->remember();
    rectOn = normalisedSize();
    rectOff = rectOn;
}

CVuMeter::~CVuMeter()
{
    dropOffscreen();
    if (onBitmap)
        onBitmap->forget();
    if (offBitmap)
        offBitmap->forget();
}

bool CVuMeter::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CVuMeter") == 0)
        return true;
    return CControl::isTypeOf(className);
}

CRect CVuMeter::normalisedSize() const
{
    return CRect(std::min(size.left, size.right), std::min(size.top, size.bottom),
                 std::max(size.left, size.right), std::max(size.top, size.bottom));
}

void CVuMeter::setDirty(const bool val)
{
    // Past CControl on purpose: the meter is redrawn from its own level, not from a value change.
    // NOLINTNEXTLINE(bugprone-parent-virtual-call)
    CView::setDirty(val);
}

void CVuMeter::makeOffscreen()
{
    const CRect r = normalisedSize();
    offscreen = new COffscreenContext(frame, r.width(), r.height(), kBlackCColor);
    rectOn = CRect(0, 0, r.width(), r.height());
    rectOff = rectOn;
}

void CVuMeter::dropOffscreen()
{
    if (offscreen)
        offscreen->forget();
    offscreen = nullptr;
}

bool CVuMeter::attached(CView* parentView)
{
    dropOffscreen();
    if (useOffscreen)
        makeOffscreen();
    else
    {
        rectOn = normalisedSize();
        rectOff = rectOn;
    }
    return CControl::attached(parentView);
}

bool CVuMeter::removed(CView* parentView)
{
    dropOffscreen();
    return CControl::removed(parentView);
}

long CVuMeter::splitPixels(float shown) const
{
    const bool horizontal = (style & kHorizontal) != 0;
    const long extent = onBitmap ? (horizontal ? onBitmap->getWidth() : onBitmap->getHeight()) : 0;
    const float level = horizontal ? shown : vmax - shown;
    // A meter without LEDs shows the level without quantising it.
    if (nbLed <= 0)
        return static_cast<long>(std::clamp(level, 0.f, 1.f) * static_cast<float>(extent));
    const float leds = static_cast<float>(nbLed);
    // The level is clamped before it gets here; the clamp keeps the conversion defined for any
    // shown level all the same.
    const float lit = std::clamp(level * leds + 0.5f, 0.f, leds + 1.f);
    return static_cast<long>(static_cast<float>(static_cast<long>(lit)) / leds * static_cast<float>(extent));
}

void CVuMeter::draw(CDrawContext* context)
{
    if (!onBitmap || !context)
        return;
    // A level that is not a number shows as the bottom of the range.
    if (value != value)
        value = vmin;
    bounceValue();
    float shown = std::max(value, oldValue - decayStep);
    if (shown != shown)
        shown = value;
    oldValue = shown;

    // Drawing through an offscreen or straight at frame coordinates; a switch of
    // setUseOffscreen takes effect here at the latest.
    if (useOffscreen && !offscreen)
        makeOffscreen();
    else if (!useOffscreen && offscreen)
    {
        dropOffscreen();
        rectOn = normalisedSize();
        rectOff = rectOn;
    }
    CDrawContext* target = offscreen ? static_cast<CDrawContext*>(offscreen) : context;
    const CRect frameRect = normalisedSize();

    const long split = splitPixels(shown);
    CPoint offOffset(0, 0);
    CPoint onOffset(0, 0);
    if (style & kHorizontal)
    {
        const long edge = split + (offscreen ? 0 : frameRect.left);
        rectOff.left = static_cast<CCoord>(edge);
        rectOn.right = static_cast<CCoord>(edge);
        offOffset = CPoint(split, 0);
    }
    else
    {
        const long edge = split + (offscreen ? 0 : frameRect.top);
        rectOff.bottom = static_cast<CCoord>(edge);
        rectOn.top = static_cast<CCoord>(edge);
        onOffset = CPoint(0, split);
    }

    if (offBitmap)
    {
        if (transparent)
            offBitmap->drawTransparent(target, rectOff, offOffset);
        else
            offBitmap->draw(target, rectOff, offOffset);
    }
    if (transparent)
        onBitmap->drawTransparent(target, rectOn, onOffset);
    else
        onBitmap->draw(target, rectOn, onOffset);

    if (offscreen)
        offscreen->copyFrom(context, size, CPoint(0, 0));
    setDirty(false);
}
