// A click area that shows an image over the panel as a modal view until the image is clicked.
#pragma once

#include "CControl.h"

/// Invisible while its value is 0. A left click on its area sets the value to 1 and asks the
/// frame to show a CSplashScreenView of the image at `toDisplay`; a left click on that image
/// (or unSplash) closes it and sets the value back to 0, notifying the listener both times.
class CSplashScreen : public CControl
{
public:
    /// `size` is the click area, `background` the image, shown at `toDisplay` (frame
    /// coordinates) from source offset `offset`.
    CSplashScreen(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                  const CRect& toDisplay, const CPoint& offset);

    void draw(CDrawContext* context) override;
    /// Inside the click area (edges inclusive) with the left button.
    bool hitTest(const CPoint& where, const long buttons = -1) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

    /// Closes the image: value 0 and a notification, when it was shown.
    virtual void unSplash(CDrawContext* context = nullptr);

    /// 255 draws the image plainly (or keyed when transparent); less blends it with that opacity.
    void setBitmapTransparency(unsigned char alpha);
    unsigned char getBitmapTransparency() const { return bitmapTransparency; }
    const CRect& getDisplayRect() const { return toDisplay; }
    const CPoint& getOffset() const { return offset; }
    /// Draws `image` into `rect` from the splash offset by the control's transparency rule.
    void drawSplash(CDrawContext* context, const CRect& rect, CBitmap* image);

protected:
    CRect toDisplay;
    CRect keepSize;
    CPoint offset;
    unsigned char bitmapTransparency = 255;
};

/// The modal view showing a splash screen's image. It closes itself on a left click and is
/// destroyed then; the splash screen it shows is not owned.
class CSplashScreenView : public CView
{
public:
    CSplashScreenView(const CRect& size, CSplashScreen* splashScreen);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

protected:
    CSplashScreen* splashScreen;
};
