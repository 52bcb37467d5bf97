#include "CSplashScreen.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

#include <cstring>

CSplashScreen::CSplashScreen(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                             const CRect& toDisplay, const CPoint& offset)
    : CControl(size, listener, tag, background), toDisplay(toDisplay), offset(offset)
{
}

void CSplashScreen::setBitmapTransparency(unsigned char alpha)
{
    bitmapTransparency = alpha;
    setTransparency(alpha != 255);
}

void CSplashScreen::drawSplash(CDrawContext* context, const CRect& rect, CBitmap* image)
{
    if (!context || !image)
        return;
    CRect where = rect;
    if (transparent && bitmapTransparency != 0)
        image->drawAlphaBlend(context, where, offset, bitmapTransparency);
    else if (transparent)
        image->drawTransparent(context, where, offset);
    else
        image->draw(context, where, offset);
}

void CSplashScreen::draw(CDrawContext* context)
{
    if (value != 0.f)
        drawSplash(context, toDisplay, background);
    setDirty(false);
}

bool CSplashScreen::hitTest(const CPoint& where, const long buttons)
{
    return CView::hitTest(where, buttons) && (buttons & kButtonLeft);
}

void CSplashScreen::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    (void)where;
    if (!mouseEnabled)
        return;
    buttons = resolveButtons(context, buttons);
    if (offerModifierClick(context, buttons))
        return;
    if (!(buttons & kButtonLeft))
        return;

    value = value == 0.f ? 1.f : 0.f;
    if (value != 1.f)
        return;
    if (frame)
    {
        auto* view = new CSplashScreenView(toDisplay, this);
        if (frame->setModalView(view))
        {
            if (listener)
                listener->valueChanged(context, this);
        }
        else
        {
            // Another modal view is up: nobody holds the new view, so it goes at once.
            view->forget();
        }
    }
    setDirty(true);
}

void CSplashScreen::unSplash(CDrawContext* context)
{
    if (value == 0.f)
        return;
    value = 0.f;
    if (listener)
        listener->valueChanged(context, this);
}

bool CSplashScreen::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CSplashScreen") == 0)
        return true;
    return CControl::isTypeOf(className);
}

CSplashScreenView::CSplashScreenView(const CRect& size, CSplashScreen* splashScreen)
    : CView(size), splashScreen(splashScreen)
{
    if (splashScreen)
    {
        setTransparency(splashScreen->getTransparency());
        setBackground(splashScreen->getBackground());
    }
}

void CSplashScreenView::draw(CDrawContext* context)
{
    if (splashScreen)
        splashScreen->drawSplash(context, size, background);
    setDirty(false);
}

void CSplashScreenView::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    (void)where;
    if (context && buttons == -1)
        buttons = context->getMouseButtons();
    if (buttons == -1 || !(buttons & kButtonLeft))
        return;
    CFrame* owner = frame;
    if (splashScreen)
        splashScreen->unSplash(context);
    if (owner)
    {
        owner->setDirty(true);
        owner->setModalView(nullptr);
    }
    forget();
}

bool CSplashScreenView::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CSplashScreenView") == 0)
        return true;
    return CView::isTypeOf(className);
}
