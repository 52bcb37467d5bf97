// Pixel-exact drawing on offscreen surfaces: the integer pixel rules, offsets, clipping, text
// and the three ways of drawing a bitmap.
#include "TestViews.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/platform/Platform.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace
{
using Pixels = std::set<std::pair<int, int>>;

// Every pixel of the context whose colour differs from `background`.
Pixels changedPixels(CDrawContext& context, int width, int height, CColor background = kBlackCColor)
{
    Pixels changed;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (context.getPoint(CPoint(x, y)) != background)
                changed.insert({x, y});
    return changed;
}

Pixels box(int left, int top, int right, int bottom)
{
    Pixels p;
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++)
            p.insert({x, y});
    return p;
}

// Colours of the 6 x 4 test image bmp00200.png.
const CColor kImage200[4][6] = {
    {{255, 0, 0, 255},
     {0, 255, 0, 255},
     {0, 0, 255, 255},
     {255, 255, 255, 255},
     {0, 0, 0, 255},
     {10, 20, 30, 255}},
    {{255, 255, 255, 255},
     {255, 255, 255, 255},
     {200, 100, 50, 255},
     {1, 2, 3, 255},
     {255, 255, 255, 255},
     {255, 255, 254, 255}},
    {{40, 40, 40, 255},
     {50, 50, 50, 255},
     {60, 60, 60, 255},
     {70, 70, 70, 255},
     {80, 80, 80, 255},
     {90, 90, 90, 255}},
    {{100, 0, 0, 255},
     {0, 100, 0, 255},
     {0, 0, 100, 255},
     {100, 100, 0, 255},
     {0, 100, 100, 255},
     {100, 0, 100, 255}},
};
} // namespace

TEST(CDrawContext, DefaultsAfterConstruction)
{
    COffscreenContext context(nullptr, 10, 10, kBlackCColor);
    CDrawContext plain(nullptr, nullptr, nullptr);
    EXPECT_EQ(plain.getFrameColor(), kWhiteCColor);
    EXPECT_EQ(plain.getFillColor(), kBlackCColor);
    EXPECT_EQ(plain.getFontColor(), kWhiteCColor);
    EXPECT_EQ(plain.getLineWidth(), 1);
    EXPECT_EQ(plain.getLineStyle(), kLineSolid);
    EXPECT_EQ(plain.getDrawMode(), kCopyMode);
    EXPECT_EQ(plain.getFont(), kSystemFont);
    EXPECT_EQ(plain.getFontSize(), 12);
    CRect clip;
    EXPECT_EQ(plain.getClipRect(clip), CRect(0, 0, 1000, 1000)); // no frame
    EXPECT_EQ(context.getClipRect(clip), CRect(0, 0, 10, 10));
    // A context without a surface ignores drawing and measures text as 0.
    plain.drawRect(CRect(0, 0, 5, 5), kDrawFilledAndStroked);
    plain.drawString("abc", CRect(0, 0, 50, 10));
    EXPECT_EQ(plain.getStringWidth("abc"), 0);
}

TEST(CDrawContext, OutlineRunsThroughTheBoxsBorderPixels)
{
    COffscreenContext context(nullptr, 40, 30, kBlackCColor);
    context.setFrameColor(kWhiteCColor);
    context.drawRect(CRect(10, 10, 20, 15), kDrawStroked);
    Pixels expected;
    for (int x = 10; x < 20; x++)
    {
        expected.insert({x, 10});
        expected.insert({x, 14});
    }
    for (int y = 10; y < 15; y++)
    {
        expected.insert({10, y});
        expected.insert({19, y});
    }
    EXPECT_EQ(changedPixels(context, 40, 30), expected);
    EXPECT_EQ(context.getPoint(CPoint(10, 10)), kWhiteCColor); // no anti-aliasing in copy mode
}

TEST(CDrawContext, FillCoversLeftToRightMinusOne)
{
    COffscreenContext context(nullptr, 40, 30, kBlackCColor);
    context.setFillColor(kRedCColor);
    context.fillRect(CRect(10, 10, 20, 15));
    EXPECT_EQ(changedPixels(context, 40, 30), box(10, 10, 20, 15)); // 10 x 5 pixels
    EXPECT_EQ(context.getPoint(CPoint(15, 12)), kRedCColor);

    // Filled and outlined: the outline lies on the fill's border pixels, no pixel more.
    COffscreenContext both(nullptr, 40, 30, kBlackCColor);
    both.setFillColor(kRedCColor);
    both.setFrameColor(kGreenCColor);
    both.drawRect(CRect(10, 10, 20, 15), kDrawFilledAndStroked);
    EXPECT_EQ(changedPixels(both, 40, 30), box(10, 10, 20, 15));
    EXPECT_EQ(both.getPoint(CPoint(10, 10)), kGreenCColor);
    EXPECT_EQ(both.getPoint(CPoint(15, 12)), kRedCColor);
}

TEST(CDrawContext, LinesIncludeBothEndPixels)
{
    COffscreenContext context(nullptr, 20, 20, kBlackCColor);
    context.moveTo(CPoint(2, 3));
    context.lineTo(CPoint(8, 3));
    context.moveTo(CPoint(5, 6));
    context.lineTo(CPoint(5, 9));
    Pixels expected = box(2, 3, 9, 4);
    for (int y = 6; y <= 9; y++)
        expected.insert({5, y});
    EXPECT_EQ(changedPixels(context, 20, 20), expected);
    CPoint pen;
    context.getLoc(pen);
    EXPECT_EQ(pen, CPoint(5, 9));

    // drawLines draws separate segments, not a chain.
    COffscreenContext segments(nullptr, 20, 20, kBlackCColor);
    const CPoint points[4] = {CPoint(1, 1), CPoint(3, 1), CPoint(1, 5), CPoint(3, 5)};
    segments.drawLines(points, 2);
    Pixels two = box(1, 1, 4, 2);
    for (int x = 1; x <= 3; x++)
        two.insert({x, 5});
    EXPECT_EQ(changedPixels(segments, 20, 20), two);
}

TEST(CDrawContext, DrawPointSetsOnePixelAndKeepsFrameColor)
{
    COffscreenContext context(nullptr, 10, 10, kBlackCColor);
    context.setFrameColor(kBlueCColor);
    context.drawPoint(CPoint(4, 5), kYellowCColor);
    EXPECT_EQ(changedPixels(context, 10, 10), Pixels({{4, 5}}));
    EXPECT_EQ(context.getPoint(CPoint(4, 5)), kYellowCColor);
    EXPECT_EQ(context.getFrameColor(), kBlueCColor);
}

TEST(CDrawContext, DrawOffsetMovesEveryCoordinateAndTheClip)
{
    COffscreenContext context(nullptr, 200, 100, kBlackCColor);
    context.drawOffset = CPoint(100, 50);
    context.setFillColor(kWhiteCColor);
    context.fillRect(CRect(0, 0, 1, 1));
    EXPECT_EQ(context.getPoint(CPoint(0, 0)), kWhiteCColor); // reads go through the offset too
    context.drawOffset = CPoint(0, 0);
    EXPECT_EQ(changedPixels(context, 200, 100), Pixels({{100, 50}}));

    // The clip is given in caller coordinates and kept moved.
    context.drawOffset = CPoint(100, 50);
    context.setClipRect(CRect(0, 0, 10, 10));
    CRect clip;
    EXPECT_EQ(context.getClipRect(clip), CRect(0, 0, 10, 10));
    context.fillRect(CRect(-5, -5, 20, 20));
    context.drawOffset = CPoint(0, 0);
    EXPECT_EQ(context.getClipRect(clip), CRect(100, 50, 110, 60));
    EXPECT_EQ(changedPixels(context, 200, 100), box(100, 50, 110, 60));
}

TEST(CDrawContext, EveryOperationIsClipped)
{
    COffscreenContext context(nullptr, 30, 30, kBlackCColor);
    context.setClipRect(CRect(5, 5, 15, 15));
    context.setFillColor(kWhiteCColor);
    context.setFrameColor(kWhiteCColor);
    context.fillRect(CRect(0, 0, 30, 30));
    context.moveTo(CPoint(0, 20));
    context.lineTo(CPoint(29, 20));
    context.fillEllipse(CRect(0, 0, 30, 30));
    EXPECT_EQ(changedPixels(context, 30, 30), box(5, 5, 15, 15));
    context.resetClipRect();
    CRect clip;
    EXPECT_EQ(context.getClipRect(clip), CRect(0, 0, 1000, 1000)); // no frame
}

TEST(CDrawContext, SetFontMapsUnknownFontsToZeroAndSizeZeroToTheTable)
{
    CDrawContext context(nullptr, nullptr, nullptr);
    context.setFont(static_cast<CFont>(9), 0, 0);
    EXPECT_EQ(context.getFont(), kSystemFont);
    EXPECT_EQ(context.getFontSize(), 12);
    context.setFont(kNormalFontVeryBig);
    EXPECT_EQ(context.getFontSize(), 18);
    context.setFont(kNormalFontSmaller, 0, kBoldFace);
    EXPECT_EQ(context.getFontSize(), 10);
    EXPECT_EQ(context.getFontStyle(), kBoldFace);
    context.setFont(kNormalFont, 20);
    EXPECT_EQ(context.getFontSize(), 20);
}

TEST(CDrawContext, TextIsMeasuredDrawnCentredAndClippedToItsRectangle)
{
    COffscreenContext context(nullptr, 200, 40, kBlackCColor);
    EXPECT_GT(context.getStringWidth("Kalvo"), 10);
    EXPECT_LT(context.getStringWidth("Kalvo"), context.getStringWidth("Kalvo Kalvo"));
    EXPECT_EQ(context.getStringWidth(nullptr), 0);

    context.drawString(nullptr, CRect(0, 0, 200, 40));
    EXPECT_TRUE(changedPixels(context, 200, 40).empty());

    // A long text in a small box leaves every pixel outside the box alone.
    const CRect small(20, 10, 60, 30);
    context.drawString("A much longer text than the box", small, false, kAlignLeft);
    const Pixels ink = changedPixels(context, 200, 40);
    ASSERT_FALSE(ink.empty());
    for (const auto& p : ink)
        EXPECT_TRUE(small.pointInside(CPoint(p.first, p.second))) << p.first << "," << p.second;

    // Vertically centred: the ink's middle row lies near the box's middle.
    int top = 40, bottom = 0;
    for (const auto& p : ink)
    {
        top = std::min(top, p.second);
        bottom = std::max(bottom, p.second);
    }
    EXPECT_NEAR((top + bottom) / 2.0, 19.5, 3.0);
}

TEST(CDrawContext, AlignmentPlacesTextLeftCentreOrRight)
{
    auto inkColumns = [](CHoriTxtAlign align)
    {
        COffscreenContext context(nullptr, 200, 20, kBlackCColor);
        context.drawString("ii", CRect(0, 0, 200, 20), false, align);
        int first = 200, last = -1;
        for (const auto& p : changedPixels(context, 200, 20))
        {
            first = std::min(first, p.first);
            last = std::max(last, p.first);
        }
        return std::make_pair(first, last);
    };
    const auto left = inkColumns(kAlignLeft);
    const auto centre = inkColumns(kAlignCenter);
    const auto right = inkColumns(kAlignRight);
    EXPECT_LE(left.first, 4);
    EXPECT_GE(left.first, 1); // starts one pixel in
    EXPECT_NEAR((centre.first + centre.second) / 2.0, 100, 4);
    EXPECT_GE(right.second, 194);
    EXPECT_LE(right.second, 199);
}

TEST(CDrawContext, OpaqueTextPaintsItsBoxInTheFillColour)
{
    COffscreenContext context(nullptr, 100, 30, kBlackCColor);
    context.setFillColor(kBlueCColor);
    context.drawString("Kalvo", CRect(0, 0, 100, 30), true, kAlignCenter);
    int blue = 0;
    for (int x = 0; x < 100; x++)
        blue += context.getPoint(CPoint(x, 15)) == kBlueCColor;
    EXPECT_GT(blue, 5);
    EXPECT_EQ(context.getPoint(CPoint(1, 1)), kBlackCColor); // outside the text's cell
}

TEST(CBitmap, LoadsEmbeddedImagesByIdAndReportsMissingOnesQuietly)
{
    CBitmap image(200);
    EXPECT_TRUE(image.isLoaded());
    EXPECT_EQ(image.getWidth(), 6);
    EXPECT_EQ(image.getHeight(), 4);
    EXPECT_TRUE(image.getNoAlpha());
    EXPECT_EQ(image.getTransparentColor(), kTransparentCColor);

    CBitmap missing(999);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
    EXPECT_EQ(missing.getHeight(), 0);
    COffscreenContext context(nullptr, 20, 20, kBlackCColor);
    CRect where(0, 0, 20, 20);
    missing.draw(&context, where);
    missing.drawTransparent(&context, where);
    missing.drawAlphaBlend(&context, where, CPoint(0, 0), 100);
    EXPECT_TRUE(changedPixels(context, 20, 20).empty());

    // Reloading by another id replaces the picture; dispose empties it.
    EXPECT_TRUE(missing.loadFromResource(202));
    EXPECT_EQ(missing.getHeight(), 8);
    missing.dispose();
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
    EXPECT_FALSE(missing.loadFromPath("/nonexistent/bmp00128.png"));
}

TEST(CBitmap, DrawCopiesFromTheSourceOffsetAndNothingBeyondTheImage)
{
    CBitmap image(200);
    COffscreenContext context(nullptr, 20, 20, kMagentaCColor);
    CRect where(5, 5, 15, 8); // wider than what is left of the image from x = 2
    image.draw(&context, where, CPoint(2, 1));
    for (int j = 0; j < 3; j++)
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(context.getPoint(CPoint(5 + i, 5 + j)), kImage200[1 + j][2 + i]) << i << "," << j;
    EXPECT_EQ(context.getPoint(CPoint(9, 5)), kMagentaCColor); // beyond the image's right edge
    EXPECT_EQ(context.getPoint(CPoint(5, 8)), kMagentaCColor); // below the rectangle
    EXPECT_EQ(changedPixels(context, 20, 20, kMagentaCColor), box(5, 5, 9, 8));
}

TEST(CBitmap, DrawTransparentLeavesExactlyThePureWhitePixels)
{
    CBitmap image(200);
    COffscreenContext context(nullptr, 10, 10, kMagentaCColor);
    CRect where(0, 0, 6, 4);
    image.drawTransparent(&context, where);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
        {
            const CColor expected = kImage200[y][x] == kWhiteCColor ? kMagentaCColor : kImage200[y][x];
            EXPECT_EQ(context.getPoint(CPoint(x, y)), expected) << x << "," << y;
        }

    // Another key colour: white is drawn now, red is not.
    image.setTransparentColor(MakeCColor(255, 0, 0, 17)); // the key's alpha is ignored
    COffscreenContext second(nullptr, 10, 10, kMagentaCColor);
    image.drawTransparent(&second, where);
    EXPECT_EQ(second.getPoint(CPoint(0, 0)), kMagentaCColor);
    EXPECT_EQ(second.getPoint(CPoint(3, 0)), kWhiteCColor);
}

TEST(CBitmap, AlphaBlendMixesWithConstantOpacity)
{
    CBitmap image(200);
    COffscreenContext context(nullptr, 10, 10, kBlackCColor);
    CRect where(0, 0, 6, 4);
    image.drawAlphaBlend(&context, where, CPoint(0, 0), 128);
    const CColor red = context.getPoint(CPoint(0, 0));
    EXPECT_NEAR(red.red, 128, 1);
    EXPECT_EQ(red.green, 0);
    const CColor grey = context.getPoint(CPoint(2, 2)); // 60 over black at 128/255
    EXPECT_NEAR(grey.red, 30, 1);
    // 255 is the same as a plain draw.
    image.drawAlphaBlend(&context, where, CPoint(0, 0), 255);
    EXPECT_EQ(context.getPoint(CPoint(2, 1)), kImage200[1][2]);
}

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

TEST(COffscreenContext, ConstructionFillsWithTheBackground)
{
    COffscreenContext context(nullptr, 8, 6, kOrangeCColor);
    EXPECT_EQ(context.getWidth(), 8);
    EXPECT_EQ(context.getHeight(), 6);
    EXPECT_TRUE(changedPixels(context, 8, 6, kOrangeCColor).empty());

    // From a bitmap: a copy of its pixels, or a 20 x 20 black surface without one.
    CBitmap image(200);
    COffscreenContext copy(&context, &image, false);
    EXPECT_EQ(copy.getWidth(), 6);
    EXPECT_EQ(copy.getPoint(CPoint(2, 1)), kImage200[1][2]);
    COffscreenContext none(&context, nullptr, false);
    EXPECT_EQ(none.getWidth(), 20);
    EXPECT_EQ(none.getPoint(CPoint(19, 19)), kBlackCColor);
}

TEST(COffscreenContext, DrawingIntoABitmapChangesTheBitmap)
{
    CBitmap image(200);
    COffscreenContext context(nullptr, 4, 4, kBlackCColor);
    {
        COffscreenContext into(&context, &image, true);
        into.setFillColor(kCyanCColor);
        into.fillRect(CRect(0, 0, 1, 1));
        into.synchronize();
    }
    COffscreenContext target(nullptr, 6, 4, kBlackCColor);
    CRect where(0, 0, 6, 4);
    image.draw(&target, where);
    EXPECT_EQ(target.getPoint(CPoint(0, 0)), kCyanCColor);
    EXPECT_EQ(target.getPoint(CPoint(1, 0)), kImage200[0][1]);
}

TEST(COffscreenContext, CopiesBothWaysWithOffsetsAndTheDestinationClip)
{
    COffscreenContext source(nullptr, 10, 10, kBlackCColor);
    source.setFillColor(kRedCColor);
    source.fillRect(CRect(2, 3, 4, 5));

    COffscreenContext dest(nullptr, 30, 30, kBlueCColor);
    dest.drawOffset = CPoint(10, 0);
    source.copyFrom(&dest, CRect(0, 0, 5, 5), CPoint(1, 2));
    dest.drawOffset = CPoint(0, 0);
    // Source (1 + i, 2 + j) lands on dest (10 + i, j): red at (2..3, 3..4) moves to (11..12, 1..2).
    EXPECT_EQ(dest.getPoint(CPoint(11, 1)), kRedCColor);
    EXPECT_EQ(dest.getPoint(CPoint(12, 2)), kRedCColor);
    EXPECT_EQ(dest.getPoint(CPoint(10, 0)), kBlackCColor);
    EXPECT_EQ(dest.getPoint(CPoint(15, 0)), kBlueCColor); // outside the 5 x 5 destination
    EXPECT_EQ(dest.getPoint(CPoint(0, 0)), kBlueCColor);

    // The destination's clip limits the copy.
    COffscreenContext clipped(nullptr, 30, 30, kBlueCColor);
    clipped.setClipRect(CRect(0, 0, 2, 30));
    source.copyFrom(&clipped, CRect(0, 0, 10, 10), CPoint(0, 0));
    EXPECT_EQ(clipped.getPoint(CPoint(1, 1)), kBlackCColor);
    EXPECT_EQ(clipped.getPoint(CPoint(2, 3)), kBlueCColor);

    // copyTo: pixels of the other context inside srcRect (its coordinates) come here at destOffset.
    dest.drawOffset = CPoint(10, 0);
    COffscreenContext back(nullptr, 10, 10, kWhiteCColor);
    CRect area(1, 1, 3, 3); // dest coordinates with its draw offset (10, 0): surface (11..12, 1..2)
    back.copyTo(&dest, area, CPoint(4, 4));
    EXPECT_EQ(back.getPoint(CPoint(4, 4)), kRedCColor);
    EXPECT_EQ(back.getPoint(CPoint(5, 5)), kRedCColor);
    EXPECT_EQ(back.getPoint(CPoint(6, 6)), kWhiteCColor);
    EXPECT_EQ(back.getPoint(CPoint(3, 4)), kWhiteCColor);
}

TEST(CDrawContext, ShapesStayInsideTheirRectangle)
{
    COffscreenContext context(nullptr, 40, 40, kBlackCColor);
    context.setFillColor(kWhiteCColor);
    context.setFrameColor(kWhiteCColor);
    context.drawEllipse(CRect(10, 10, 30, 20), kDrawFilledAndStroked);
    const Pixels ink = changedPixels(context, 40, 40);
    ASSERT_FALSE(ink.empty());
    for (const auto& p : ink)
        EXPECT_TRUE(CRect(10, 10, 30, 20).pointInside(CPoint(p.first, p.second)))
            << p.first << "," << p.second;
    EXPECT_TRUE(ink.count({20, 15}));  // centre filled
    EXPECT_FALSE(ink.count({10, 10})); // corner outside the ellipse

    COffscreenContext polygon(nullptr, 40, 40, kBlackCColor);
    polygon.setFillColor(kWhiteCColor);
    const CPoint triangle[3] = {CPoint(5, 5), CPoint(25, 5), CPoint(5, 25)};
    polygon.fillPolygon(triangle, 3);
    EXPECT_EQ(polygon.getPoint(CPoint(7, 7)), kWhiteCColor);
    EXPECT_EQ(polygon.getPoint(CPoint(24, 24)), kBlackCColor);
}

TEST(CDrawContext, DottedLinesAlternateOneWidthOnOneWidthOff)
{
    COffscreenContext context(nullptr, 20, 5, kBlackCColor);
    context.setLineStyle(kLineOnOffDash);
    context.moveTo(CPoint(0, 2));
    context.lineTo(CPoint(9, 2));
    for (int x = 0; x < 10; x++)
        EXPECT_EQ(context.getPoint(CPoint(x, 2)), x % 2 == 0 ? kWhiteCColor : kBlackCColor) << x;
}

TEST(CDrawContext, FloodFillStopsAtAnotherColour)
{
    COffscreenContext context(nullptr, 20, 20, kBlackCColor);
    context.setFrameColor(kWhiteCColor);
    context.drawRect(CRect(2, 2, 12, 12));
    context.setFillColor(kRedCColor);
    context.floodFill(CPoint(5, 5));
    EXPECT_EQ(context.getPoint(CPoint(5, 5)), kRedCColor);
    EXPECT_EQ(context.getPoint(CPoint(10, 10)), kRedCColor);
    EXPECT_EQ(context.getPoint(CPoint(2, 2)), kWhiteCColor);
    EXPECT_EQ(context.getPoint(CPoint(15, 15)), kBlackCColor);
}

TEST(CDrawContext, UnknownFontFamilyStillGivesLegibleText)
{
    // Below the draw context: a family fontconfig has never heard of falls back to a sans-serif.
    auto surface = kalvo::platform::createOffscreenSurface(100, 20);
    ASSERT_NE(surface, nullptr);
    kalvo::platform::DrawAttributes state;
    state.clip = CRect(0, 0, 100, 20);
    state.fontFamily = "No Such Family Anywhere";
    state.fontSize = 12;
    EXPECT_GT(surface->textWidth("Kalvo", state), 10);
    surface->drawText("Kalvo", CRect(0, 0, 100, 20), 0, false, state);
    int ink = 0;
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 100; x++)
            ink += surface->getPixel(CPoint(x, y)).alpha > 0;
    EXPECT_GT(ink, 20);
}

TEST(CDrawContext, BitwiseDrawModesCombineWithTheDestination)
{
    COffscreenContext context(nullptr, 10, 10, kBlueCColor);
    context.setFillColor(kRedCColor);
    context.setDrawMode(kOrMode);
    context.fillRect(CRect(0, 0, 5, 10));
    EXPECT_EQ(context.getPoint(CPoint(2, 2)), kMagentaCColor); // 0xff0000 | 0x0000ff
    context.setDrawMode(kXorMode);
    context.fillRect(CRect(5, 0, 10, 10));
    EXPECT_EQ(context.getPoint(CPoint(7, 2)), kGreenCColor); // ~(0xff0000 ^ 0x0000ff)
    EXPECT_EQ(context.getPoint(CPoint(2, 2)), kMagentaCColor);
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
