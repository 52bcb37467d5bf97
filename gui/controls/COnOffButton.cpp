#include "COnOffButton.h"

#include "gui/CBitmap.h"

#include <cstring>

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                           long style)
    : CControl(size, listener, tag, background), style(static_cast<std::int32_t>(style))
{
}

void COnOffButton::draw(CDrawContext* context)
{
    if (background && context)
    {
        const CPoint offset(0, value != 0.f ? background->getHeight() / 2 : 0);
        CRect where = size;
        if (transparent)
            background->drawTransparent(context, where, offset);
        else
            background->draw(context, where, offset);
    }
    setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    (void)where;
    if (!mouseEnabled)
        return;
    buttons = resolveButtons(context, buttons);
    if (!(buttons & kButtonLeft))
        return;
    if (offerModifierClick(context, buttons))
        return;

    // Truncation toward zero decides the state: 0.5 and -0.5 count as off. Compared as a range so
    // that no value (NaN, huge) goes through an undefined conversion; NaN counts as on.
    value = (value > -1.f && value < 1.f) ? 1.f : 0.f;

    if (style == 1)
        notifyChange(context);
    doIdle();
    if (style == 0)
        notifyChange(context);
}

void COnOffButton::notifyChange(CDrawContext* context)
{
    if (!listener)
        return;
    beginEdit();
    listener->valueChanged(context, this);
    endEdit();
}

bool COnOffButton::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "COnOffButton") == 0)
        return true;
    return CControl::isTypeOf(className);
}
