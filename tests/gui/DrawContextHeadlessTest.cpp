// Drawing that depends on the Linux backends: PNG images with an alpha channel of their own
// (the Windows build's images are bitmap resources without one) and the headless clock.
#include "TestViews.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/platform/Platform.h"

#include <gtest/gtest.h>

TEST(CBitmap, ImageWithItsOwnAlphaIsDrawnByThatAlpha)
{
    CBitmap image(201);
    ASSERT_TRUE(image.isLoaded());
    EXPECT_FALSE(image.getNoAlpha());
    COffscreenContext context(nullptr, 4, 4, kBlackCColor);
    CRect where(0, 0, 2, 2);
    image.drawTransparent(&context, where);
    EXPECT_EQ(context.getPoint(CPoint(0, 0)), kRedCColor);
    EXPECT_EQ(context.getPoint(CPoint(1, 0)), kBlackCColor); // alpha 0
    EXPECT_NEAR(context.getPoint(CPoint(0, 1)).green, 128, 2);
    EXPECT_EQ(context.getPoint(CPoint(1, 1)), kWhiteCColor); // white is not keyed out here
}

TEST(CBitmap, AboveScaleOneTheLargerTwinsAreDrawnAndAtOneTheImageItself)
{
    // bmp00200@2x.png and @3x.png are bmp00200.png with each pixel doubled or tripled, except
    // their device pixel 1, 1, which only each twin has: drawn at 2 or 3 it shows, also when the
    // same bitmap was drawn at another zoom before; at 1 the panel-size image is drawn.
    const CColor doubleOnly{7, 77, 177, 255};
    const CColor tripleOnly{9, 99, 199, 255};
    CBitmap image(200);
    CRect where(0, 0, 6, 4);
    for (double scale : {1.0, 2.0, 3.0})
    {
        auto surface = kalvo::platform::createOffscreenSurface(6, 4, scale);
        ASSERT_NE(surface, nullptr);
        CDrawContext context(nullptr, surface.get());
        image.draw(&context, where);
        EXPECT_EQ(surface->getPixel(CPoint(0, 0)), scale == 3.0   ? tripleOnly
                                                   : scale == 2.0 ? doubleOnly
                                                                  : kRedCColor)
            << scale;
        EXPECT_EQ(surface->getPixel(CPoint(5, 3)), (CColor{100, 0, 100, 255})) << scale;
    }
}

using DrawContextOnAFrame = HeadlessFrameTest;

TEST_F(DrawContextOnAFrame, DoubleClickWaitEndsAcrossTheClockWrap)
{
    // The 32-bit millisecond clock wraps after about 24.8 days of uptime; a wait begun just
    // before the wrap lasts the double-click time, like any other.
    const long wrap = 2147483648L; // 2^31
    CDrawContext* context = new CDrawContext(frame, nullptr, host.handle());
    kalvo::headless::setTicks(wrap - 100);
    window->setPointer(CPoint(5, 5), 0);
    EXPECT_FALSE(context->waitDoubleClick());
    const long waited = kalvo::platform::ticksMs() - (-wrap); // ticks now read from -2^31 up
    EXPECT_GE(waited + 100, kalvo::platform::doubleClickTimeMs());
    EXPECT_LE(waited + 100, kalvo::platform::doubleClickTimeMs() + 20);

    // A release and a second press inside the time still count, across the wrap.
    kalvo::headless::setTicks(wrap - 30);
    window->scriptPointer({{CPoint(5, 5), kButtonLeft},
                           {CPoint(5, 5), 0},
                           {CPoint(5, 5), 0},
                           {CPoint(5, 5), 0},
                           {CPoint(5, 5), 0},
                           {CPoint(5, 5), 0},
                           {CPoint(5, 5), kButtonLeft}});
    EXPECT_TRUE(context->waitDoubleClick());
    context->forget();
}
