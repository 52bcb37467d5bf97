// An LED bar meter composed of a lit and an unlit image.
#pragma once

#include "gui/controls/CControl.h"

#include <cstdint>

class COffscreenContext;

/// Shows a level 0..1 quantised to whole LEDs: with 14 LEDs over 61 pixels, 0.5 lights 7 LEDs
/// and splits the bar at int(7 / 14 * 61) = 30 pixels; 0.03 lights none, 0.04 one (4 pixels).
/// The level shown (kept in oldValue) rises at once and falls by at most decayStep per
/// drawing, so a drop from 1 to 0 shows 0.9, 0.8, ... over ten drawings; the meter stays dirty
/// until the shown level has reached the value.
class CVuMeter : public CControl
{
public:
    /// style bit 0: horizontal, lit from the left; otherwise vertical, lit from the bottom.
    CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, long nbLed, const long style = 0);
    ~CVuMeter() override;

    void draw(CDrawContext* context) override;
    /// Sets only the view's flag: the shown level carries the decay and is left alone.
    void setDirty(const bool val = true) override;
    /// Creates the offscreen (when drawing through one) for the control's size.
    bool attached(CView* parent) override;
    /// Deletes the offscreen.
    bool removed(CView* parent) override;
    bool isTypeOf(const char* className) const override;

    virtual void setDecayStep(float step) { decayStep = step; }

    /// Takes effect at the next attach, or at the next drawing.
    void setUseOffscreen(bool val = true) { useOffscreen = val; }
    bool getUseOffscreen() const { return useOffscreen; }
    float getDecayStep() const { return decayStep; }
    long getNbLed() const { return nbLed; }
    COffscreenContext* getOffscreen() const { return offscreen; }
    const CRect& getLitRect() const { return rectOn; }
    const CRect& getUnlitRect() const { return rectOff; }
    /// The split point for a shown level, pixels from the lit end (see the class comment).
    long splitPixels(float shown) const;

protected:
    void makeOffscreen();
    void dropOffscreen();
    /// The control's rectangle with left <= right and top <= bottom.
    CRect normalisedSize() const;

    CBitmap* onBitmap = nullptr;
    CBitmap* offBitmap = nullptr;
    COffscreenContext* offscreen = nullptr;
    std::int32_t nbLed = 0;
    std::int32_t style = 0;
    float decayStep = 0.1f;
    bool useOffscreen = true;
    CRect rectOn;
    CRect rectOff;
};
