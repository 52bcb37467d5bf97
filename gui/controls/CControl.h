// The control base: a view holding one float value that reports user changes to a listener and
// brackets each user gesture with begin-edit and end-edit for the host's automation.
#pragma once

#include "gui/CView.h"

class CControl;

/// Receives the user's changes of a control. The editor implements it.
class CControlListener
{
public:
    /// Called after the user changed the control's value; the context is null for key changes.
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    /// Offered every click that carries a modifier bit; non-zero means the listener took the click.
    virtual long modifierClicked(CDrawContext* context, CControl* control, long buttons)
    {
        (void)context;
        (void)control;
        (void)buttons;
        return 0;
    }

protected:
    ~CControlListener() = default;
};

/// A view with a normalised value. A control is dirty while the value differs from the value it
/// last drew (`oldValue`), so `setValue(0.7f)` on a control showing 0.5 redraws it at the next
/// idle, and `setValue(0.5f)` does not.
class CControl : public CView
{
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
             CBitmap* background = nullptr);
    ~CControl() override;

    void draw(CDrawContext* context) override = 0;
    /// True when the value differs from the value last drawn (NaN included) or the flag is set.
    bool isDirty() const override;
    /// true: sets the flag and makes the drawn value differ from the value; false: clears both.
    void setDirty(const bool val = true) override;
    bool isTypeOf(const char* className) const override;

    /// The frame's idle pump (redraws and host idle while a gesture tracks the mouse).
    virtual void doIdle();
    /// Stores the value: no clamping, no notification.
    virtual void setValue(float val) { value = val; }
    virtual float getValue() const { return value; }
    virtual void setMin(float val) { vmin = val; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float val) { vmax = val; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float val) { oldValue = val; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float val) { defaultValue = val; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(long val) { tag = static_cast<std::int32_t>(val); }
    virtual long getTag() const { return tag; }
    /// Makes this control the frame's focus view, then announces a gesture on `tag` to the host.
    virtual void beginEdit();
    /// Ends the gesture.
    virtual void endEdit();
    virtual void setBackOffset(const CPoint& offset) { backOffset = offset; }
    /// The back offset becomes the control's own top-left corner.
    virtual void copyBackOffset();
    virtual void setWheelInc(float val) { wheelInc = val; }
    virtual float getWheelInc() const { return wheelInc; }
    /// Clamps the value into vmin..vmax.
    virtual void bounceValue();
    /// Ctrl-click (exactly kButtonLeft | kModifierCommand) resets to the default value inside an
    /// edit bracket, notifying when that changed what is shown; true when it did so.
    virtual bool checkDefaultValue(CDrawContext* context, long buttons);

    /// True when this click follows the previous one within the double-click time.
    bool isDoubleClick();

    CControlListener* getListener() const { return listener; }
    void setListener(CControlListener* newListener) { listener = newListener; }
    const CPoint& getBackOffset() const { return backOffset; }

protected:
    /// `buttons`, or the context's current buttons when it is -1 (no buttons without a context).
    static long resolveButtons(CDrawContext* context, long buttons);
    /// Offers a click with modifiers to the listener; true when the listener consumed it.
    bool offerModifierClick(CDrawContext* context, long buttons);

    CControlListener* listener = nullptr;
    std::int32_t tag = 0;
    float oldValue = 1.f;
    float defaultValue = 0.5f;
    float value = 0.f;
    float vmin = 0.f;
    float vmax = 1.f;
    float wheelInc = 0.1f;
    std::int32_t lastTicks = -1;
    /// A first click is waiting for its second (at lastTicks).
    bool clickPending = false;
    std::int32_t doubleClickDelta = 250;
    CPoint backOffset;
};
