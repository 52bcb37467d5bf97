#include "CControl.h"

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/platform/Platform.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace
{
// Double clicks shorter than this are not asked of the user, whatever the system says.
constexpr long kMinDoubleClickMs = 250;
// The only button set that resets a control: left button with Ctrl (Command on the Mac) alone.
constexpr long kResetButtons = kButtonLeft | kModifierCommand;
} // namespace

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size), listener(listener), tag(static_cast<std::int32_t>(tag))
{
    doubleClickDelta =
        static_cast<std::int32_t>(std::max(kalvo::platform::doubleClickTimeMs(), kMinDoubleClickMs));
    transparent = false;
    mouseEnabled = true;
    setBackground(background);
}

CControl::~CControl() = default;

bool CControl::isDirty() const
{
    return oldValue != value || CView::isDirty();
}

void CControl::setDirty(const bool val)
{
    CView::setDirty(val);
    if (val)
        oldValue = value != -1.f ? -1.f : 0.f;
    else
        oldValue = value;
}

bool CControl::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CControl") == 0)
        return true;
    return CView::isTypeOf(className);
}

void CControl::doIdle()
{
    if (frame)
        frame->doIdleStuff();
}

void CControl::beginEdit()
{
    // A gesture needs the frame; a control outside one has nobody to announce it to.
    if (!frame)
        return;
    frame->setFocusView(this);
    frame->beginEdit(tag);
}

void CControl::endEdit()
{
    if (frame)
        frame->endEdit(tag);
}

void CControl::copyBackOffset()
{
    backOffset = CPoint(size.left, size.top);
}

void CControl::bounceValue()
{
    if (value > vmax)
        value = vmax;
    else if (value < vmin)
        value = vmin;
}

bool CControl::checkDefaultValue(CDrawContext* context, long buttons)
{
    if (buttons != kResetButtons)
        return false;
    beginEdit();
    value = getDefaultValue();
    if (isDirty() && listener)
        listener->valueChanged(context, this);
    endEdit();
    return true;
}

bool CControl::isDoubleClick()
{
    if (!frame)
        return false;
    // The clock wraps like a 32-bit tick count and reads negative for half of each cycle;
    // clicks are compared by their difference modulo 2^32. A reading of 0 is a frame
    // without a clock, which never pairs clicks.
    const auto ticks = static_cast<std::int32_t>(frame->getTicks());
    const auto since =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(ticks) - static_cast<std::uint32_t>(lastTicks));
    if (clickPending && since < doubleClickDelta)
    {
        clickPending = false;
        lastTicks = 0;
        return true;
    }
    clickPending = ticks != 0;
    lastTicks = ticks;
    return false;
}

long CControl::resolveButtons(CDrawContext* context, long buttons)
{
    if (buttons != -1)
        return buttons;
    return context ? context->getMouseButtons() : 0;
}

bool CControl::offerModifierClick(CDrawContext* context, long buttons)
{
    return listener && (buttons & kModifierMask) && listener->modifierClicked(context, this, buttons) != 0;
}
