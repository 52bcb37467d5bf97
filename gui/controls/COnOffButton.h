// A two-state button that toggles on the press.
#pragma once

#include "CControl.h"

/// Toggles between 0 and 1 on a left press: a value whose integer part is 0 (0.5, -0.5) becomes
/// 1, any other becomes 0. The background holds the off image above the on image, each half the
/// bitmap's height. Style 1 notifies the listener before the idle pump runs, style 0 after it.
class COnOffButton : public CControl
{
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                 long style = 0);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

    virtual long getStyle() const { return style; }
    virtual void setStyle(long val) { style = static_cast<std::int32_t>(val); }

protected:
    /// beginEdit, valueChanged, endEdit, when a listener exists.
    void notifyChange(CDrawContext* context);

    std::int32_t style = 0;
};
