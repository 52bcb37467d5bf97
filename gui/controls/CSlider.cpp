#include "CSlider.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "vst2/VstInterface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// A wheel turn or arrow key with Shift moves this fraction of the normal step.
constexpr float kFineStep = 0.1f;
// Handle positions are computed in pixels; a value far outside 0..1 (or NaN) is pinned to this
// many pixels before the conversion to an integer, which is then clamped to the track.
constexpr float kPixelLimit = 1.0e6f;

long truncPixels(float pixels)
{
    if (!(pixels > -kPixelLimit))
        return static_cast<long>(-kPixelLimit);
    if (pixels > kPixelLimit)
        return static_cast<long>(kPixelLimit);
    return static_cast<long>(pixels);
}
} // namespace

CSlider::CSlider(const CRect& size, CControlListener* listener, long tag, long minPos, long maxPos,
                 CBitmap* handle, CBitmap* background, const CPoint& offset, long style)
    : CControl(size, listener, tag, background), offset(offset), pHandle(handle),
      style(static_cast<std::int32_t>(style))
{
    focusable = true;
    if (pHandle)
    {
        pHandle->remember();
        widthOfSlider = static_cast<std::int32_t>(pHandle->getWidth());
        heightOfSlider = static_cast<std::int32_t>(pHandle->getHeight());
    }
    widthControl = size.width();
    heightControl = size.height();
    this->minPos = static_cast<std::int32_t>(minPos - (isHorizontal() ? size.left : size.top));
    rangeHandle = static_cast<std::int32_t>(maxPos - minPos);
    minTmp = this->minPos;
    maxTmp = minTmp + rangeHandle + static_cast<std::int32_t>(handleExtent());
}

CSlider::~CSlider()
{
    if (pHandle)
        pHandle->forget();
}

bool CSlider::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CSlider") == 0)
        return true;
    return CControl::isTypeOf(className);
}

void CSlider::setOffsetHandle(const CPoint& val)
{
    offsetHandle = val;
    minTmp = (isHorizontal() ? offsetHandle.x : offsetHandle.y) + minPos;
    maxTmp = minTmp + rangeHandle + static_cast<std::int32_t>(handleExtent());
}

void CSlider::setHandle(CBitmap* handle)
{
    if (pHandle)
        pHandle->forget();
    pHandle = handle;
    if (pHandle)
    {
        pHandle->remember();
        widthOfSlider = static_cast<std::int32_t>(pHandle->getWidth());
        heightOfSlider = static_cast<std::int32_t>(pHandle->getHeight());
    }
    setDirty(true);
}

CRect CSlider::handleRect() const
{
    const float position = drawsPlain() ? value : 1.f - value;
    const long along =
        (isHorizontal() ? offsetHandle.x : offsetHandle.y) + truncPixels(position * rangeHandle);
    const long across = isHorizontal() ? offsetHandle.y : offsetHandle.x;
    const long extent = handleExtent();
    const long thickness = isHorizontal() ? heightOfSlider : widthOfSlider;
    // The handle stays whole inside minTmp..maxTmp, also for a value outside 0..1: at the far end
    // it is pinned there instead of being cut off or vanishing past the track.
    long lead = std::min(along, static_cast<long>(maxTmp) - extent);
    lead = std::max(lead, static_cast<long>(minTmp));
    const long trail = std::min(static_cast<long>(maxTmp), lead + extent);
    CRect r = isHorizontal() ? CRect(lead, across, trail, across + thickness)
                             : CRect(across, lead, across + thickness, trail);
    return r.offset(size.left, size.top);
}

void CSlider::draw(CDrawContext* context)
{
    if (context)
    {
        if (background)
        {
            CRect where = size;
            if (transparent)
                background->drawTransparent(context, where, offset);
            else
                background->draw(context, where, offset);
        }
        if (pHandle)
        {
            CRect where = handleRect();
            if (drawTransparentHandle)
                pHandle->drawTransparent(context, where, CPoint(0, 0));
            else
                pHandle->draw(context, where, CPoint(0, 0));
        }
    }
    setDirty(false);
}

void CSlider::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!mouseEnabled)
        return;
    buttons = resolveButtons(context, buttons);
    if (offerModifierClick(context, buttons))
        return;
    if (checkDefaultValue(context, buttons))
        return;
    if (!(buttons & kButtonLeft))
        return;
    // The loop polls the pointer through the context; a track without length has no positions.
    if (!context || rangeHandle == 0)
        return;

    const bool horizontal = isHorizontal();
    // Grab offset: the pointer coordinate that maps to position 0. Kept as a float so that it can
    // be moved by fractions when fine adjustment ends.
    float delta = static_cast<float>(horizontal ? size.left + offsetHandle.x : size.top + offsetHandle.y);
    if (freeClick)
        delta += static_cast<float>(handleExtent() / 2 - 1);
    else
    {
        const CRect handle = handleRect();
        if (where.x < handle.left || where.x > handle.right || where.y < handle.top ||
            where.y > handle.bottom)
            return;
        delta += static_cast<float>(horizontal ? where.x - handle.left : where.y - handle.top);
    }

    drag = Drag{delta, value, buttons, where};
    beginEdit();
    if (frame && frame->startMouseTracking(this, this))
    {
        // The window reports the motion and the release: the first step now, the rest as the
        // events come in, each in a call of its own.
        dragStep(context, buttons, where);
        return;
    }
    while (true)
    {
        const long polled = context->getMouseButtons();
        if (!(polled & kButtonLeft))
            break;
        dragStep(context, polled, drag.at);
        getMouseLocation(context, drag.at);
        doIdle();
    }
    endEdit();
}

void CSlider::trackMoved(CDrawContext* context, const CPoint& where, long buttons)
{
    if (!(buttons & kButtonLeft))
        return; // the release follows and ends the drag
    drag.at = where;
    dragStep(context, buttons, where);
}

void CSlider::trackEnded(CDrawContext* context)
{
    (void)context;
    endEdit();
}

void CSlider::dragStep(CDrawContext* context, long polled, const CPoint& at)
{
    const bool horizontal = isHorizontal();
    const bool fine = (polled & kModifierShift) != 0;
    if (polled != drag.previousButtons)
    {
        // Fine adjustment ends: move the grab offset so that the pointer where it is now maps
        // to the value reached, and the handle continues from there without a jump.
        if ((drag.previousButtons & kModifierShift) && !fine)
        {
            const float plain = dragsInverted() ? 1.f - value : value;
            drag.delta =
                static_cast<float>(horizontal ? at.x : at.y) - plain * static_cast<float>(rangeHandle);
        }
        drag.previousButtons = polled;
        drag.oldVal = value;
    }
    else if (!fine)
        drag.oldVal = value;

    value = (static_cast<float>(horizontal ? at.x : at.y) - drag.delta) / static_cast<float>(rangeHandle);
    if (dragsInverted())
        value = 1.f - value;
    // While Shift stays down the value moves zoomFactor times slower, relative to the value
    // it had when Shift went down.
    if (fine && zoomFactor > 0.f)
        value = (value - drag.oldVal) / zoomFactor + drag.oldVal;
    bounceValue();

    if (isDirty() && listener)
        listener->valueChanged(context, this);
}

void CSlider::step(CDrawContext* context, float units, bool fine)
{
    value += (fine ? units * kFineStep : units) * wheelInc;
    bounceValue();
    if (isDirty() && listener)
    {
        beginEdit();
        listener->valueChanged(context, this);
        endEdit();
    }
}

bool CSlider::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    (void)where;
    if (!mouseEnabled)
        return false;
    // A wheel amount that is not a number would carry NaN into the value and on to the host.
    if (!std::isfinite(distance))
        return true;
    const bool fine = context && (context->getMouseButtons() & kModifierShift);
    step(context, distance, fine);
    return true;
}

long CSlider::onKeyDown(VstKeyCode& keyCode)
{
    float units = 0.f;
    switch (keyCode.virt)
    {
    case VKEY_LEFT:
    case VKEY_DOWN:
        units = -1.f;
        break;
    case VKEY_UP:
    case VKEY_RIGHT:
        units = 1.f;
        break;
    default:
        return kKeyNotHandled;
    }
    step(nullptr, units, (keyCode.modifier & MODIFIER_SHIFT) != 0);
    return 1;
}

CHorizontalSlider::CHorizontalSlider(const CRect& size, CControlListener* listener, long tag, long minPos,
                                     long maxPos, CBitmap* handle, CBitmap* background, const CPoint& offset,
                                     long style)
    : CSlider(size, listener, tag, minPos, maxPos, handle, background, offset, style | kSliderHorizontal)
{
}
