// A bitmap slider: a handle image moving along a track image.
#pragma once

#include "CControl.h"
#include "gui/CFrame.h"

class COffscreenContext;
struct VstKeyCode;

/// Slider style bits.
enum CSliderStyle : long
{
    kSliderHorizontal = 1,     ///< the track runs along x
    kSliderVertical = 2,       ///< the track runs along y
    kSliderDrawPlain = 8,      ///< the handle is placed by value, not by 1 - value
    kSliderDragInvert = 16,    ///< dragging produces 1 - position
    kSliderDrawPlainAlt = 32,  ///< same as kSliderDrawPlain
    kSliderDragInvertAlt = 64, ///< same as kSliderDragInvert
};

/// The handle travels `rangeHandle = maxPos - minPos` pixels. The editor's sliders are 111 pixels
/// wide with a 19-pixel handle, minPos = left and maxPos = left + 91, handle offset (1, 0): value
/// 0 puts the handle's left edge at column left + 1, value 1 at left + 92, and a free click at
/// column x gives (x - left - 9) / 91.
class CSlider : public CControl, public CMouseTracker
{
public:
    CSlider(const CRect& size, CControlListener* listener, long tag, long minPos, long maxPos,
            CBitmap* handle, CBitmap* background, const CPoint& offset, long style = kSliderHorizontal);
    ~CSlider() override;

    void draw(CDrawContext* context) override;
    /// A drag, Shift for fine adjustment. Where the frame's window reports the pointer's motion
    /// and release, the drag follows those events and the call returns at once, so the host's
    /// user-interface thread keeps delivering (meters, redraws) meanwhile; elsewhere a loop polls
    /// the pointer until the left button rises. Both give the same values for the same path.
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    void trackMoved(CDrawContext* context, const CPoint& where, long buttons) override;
    void trackEnded(CDrawContext* context) override;
    /// `distance` wheel units of wheelInc (a tenth with Shift), clamped; true unless disabled.
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    /// Arrow keys step by wheelInc (a tenth with Shift); other keys are not handled.
    long onKeyDown(VstKeyCode& keyCode) override;
    bool isTypeOf(const char* className) const override;

    virtual void setDrawTransparentHandle(bool val) { drawTransparentHandle = val; }
    virtual void setFreeClick(bool val) { freeClick = val; }
    virtual bool getFreeClick() const { return freeClick; }
    /// Places the handle's track origin inside the control and recomputes the handle's extent.
    virtual void setOffsetHandle(const CPoint& val);
    /// Replaces the handle bitmap (taking a reference) and takes its size.
    virtual void setHandle(CBitmap* handle);
    virtual CBitmap* getHandle() const { return pHandle; }
    virtual void setZoomFactor(float val) { zoomFactor = val; }
    virtual float getZoomFactor() const { return zoomFactor; }

    long getStyle() const { return style; }
    const CPoint& getOffsetHandle() const { return offsetHandle; }
    /// The handle's rectangle as drawn, in the parent's coordinates.
    CRect handleRect() const;

protected:
    bool isHorizontal() const { return (style & kSliderHorizontal) != 0; }
    bool drawsPlain() const { return (style & (kSliderDrawPlain | kSliderDrawPlainAlt)) != 0; }
    bool dragsInverted() const { return (style & (kSliderDragInvert | kSliderDragInvertAlt)) != 0; }
    long handleExtent() const { return isHorizontal() ? widthOfSlider : heightOfSlider; }
    /// Adds a step of wheelInc units (a tenth with Shift), clamps and notifies inside a bracket.
    void step(CDrawContext* context, float units, bool fine);
    /// One step of a drag: the pointer at `at` with `polled` buttons and modifiers.
    void dragStep(CDrawContext* context, long polled, const CPoint& at);

    /// What a drag carries from one pointer position to the next.
    struct Drag
    {
        float delta = 0.f;        ///< the pointer coordinate that maps to position 0
        float oldVal = 0.f;       ///< the value fine adjustment is relative to
        long previousButtons = 0; ///< the buttons and modifiers of the previous step
        CPoint at;                ///< the latest pointer position
    };
    Drag drag;

    CPoint offset;
    CPoint offsetHandle;
    CBitmap* pHandle = nullptr;
    COffscreenContext* pOScreen = nullptr; ///< unused: the slider draws straight into the context
    std::int32_t style = 0;
    std::int32_t widthOfSlider = 1;  ///< handle width
    std::int32_t heightOfSlider = 1; ///< handle height
    std::int32_t rangeHandle = 0;
    std::int32_t minTmp = 0;
    std::int32_t maxTmp = 0;
    std::int32_t minPos = 0;
    std::int32_t widthControl = 0;
    std::int32_t heightControl = 0;
    float zoomFactor = 10.f;
    bool drawTransparentHandle = true;
    bool freeClick = true;
};

/// A CSlider whose track runs along x.
class CHorizontalSlider : public CSlider
{
public:
    CHorizontalSlider(const CRect& size, CControlListener* listener, long tag, long minPos, long maxPos,
                      CBitmap* handle, CBitmap* background, const CPoint& offset,
                      long style = kSliderDrawPlain);
};
