// The plot display: axis mapping, plot indices, dirty rules and drawing through its offscreen.
#include "editor/CPlotDisplay.h"

#include "EditorControlSupport.h"

#include <cmath>

namespace
{
constexpr CColor kPlotColor = {0, 200, 0, 255};
constexpr CColor kOtherColor = {200, 0, 200, 255};
} // namespace

using PlotDisplay = EditorControlTest;

TEST_F(PlotDisplay, MapsMinusOneToOneOnto253PixelsWithYGrowingUpward)
{
    CPlotDisplay plot(nullptr, CRect(313, 147, 566, 400));
    plot.setLimitsX(-1.f, 1.f);
    plot.setLimitsY(-1.f, 1.f);
    const float values[3] = {-1.f, 0.f, 1.f};
    CPoint points[3];
    plot.value2PixelX(points, values, 3);
    plot.value2PixelY(points, values, 3);
    EXPECT_EQ(points[0], CPoint(0, 252));
    EXPECT_EQ(points[1], CPoint(126, 126));
    EXPECT_EQ(points[2], CPoint(252, 0));

    float back[3];
    plot.pixel2ValueX(back, points, 3);
    EXPECT_NEAR(back[0], -1.f, 1e-6);
    EXPECT_NEAR(back[1], 0.f, 1e-6);
    EXPECT_NEAR(back[2], 1.f, 1e-6);
    plot.pixel2ValueY(back, points, 3);
    EXPECT_NEAR(back[0], -1.f, 1e-6);
    EXPECT_NEAR(back[2], 1.f, 1e-6);
}

TEST_F(PlotDisplay, LogarithmicAxesSpaceDecadesEvenly)
{
    CPlotDisplay plot(nullptr, CRect(0, 0, 253, 253));
    plot.setLimitsX(1.f, 1000.f, true); // three decades over 252 pixels: 84 per decade
    plot.setLimitsY(1.f, 100.f, true);  // two decades: 126 per decade
    const float values[4] = {1.f, 10.f, 100.f, 1000.f};
    CPoint points[4];
    plot.value2PixelX(points, values, 4);
    plot.value2PixelY(points, values, 3);
    EXPECT_EQ(points[0].x, 0);
    EXPECT_EQ(points[1].x, 84);
    EXPECT_EQ(points[2].x, 168);
    EXPECT_EQ(points[3].x, 252);
    EXPECT_EQ(points[0].y, 252);
    EXPECT_EQ(points[1].y, 126);
    EXPECT_EQ(points[2].y, 0);
    float back[1];
    plot.pixel2ValueX(back, &points[1], 1);
    EXPECT_NEAR(back[0], 10.f, 1e-4);
}

TEST_F(PlotDisplay, ValuesThatAreNotNumbersStillGiveDefinedPoints)
{
    CPlotDisplay plot(nullptr, CRect(0, 0, 100, 100));
    plot.setLimitsX(0.f, 0.f); // no range: every offset is infinite
    plot.setLimitsY(0.f, 1.f, true);
    const float values[3] = {0.5f, std::nanf(""), -1.f};
    CPoint points[3];
    plot.value2PixelX(points, values, 3);
    plot.value2PixelY(points, values, 3);
    for (const CPoint& p : points)
    {
        EXPECT_LE(std::abs(p.x), 1000001);
        EXPECT_LE(std::abs(p.y), 1000100);
    }
}

TEST_F(PlotDisplay, IndexConstantsAddressTheLastOrEveryPlot)
{
    CPlotDisplay plot(nullptr, CRect(0, 0, 101, 101));
    plot.setDirty(false);
    const float xs[3] = {0.f, 0.5f, 1.f};
    plot.setPlotDataX(xs, kPlotIndexEnd); // no plots: nothing happens
    plot.setPlotDataX(xs, kPlotIndexAll);
    plot.removePlot(kPlotIndexAll);
    EXPECT_FALSE(plot.isDirty());

    plot.addPlot(3, kPlotColor);
    plot.addPlot(2, kOtherColor);
    EXPECT_EQ(plot.getPlotCount(), 2);
    EXPECT_FALSE(plot.isDirty());         // adding draws nothing new until data arrives
    plot.setPlotDataX(xs, kPlotIndexAll); // each plot reads the same values up to its own size
    EXPECT_TRUE(plot.isDirty());
    EXPECT_EQ(plot.getPlot(0)->points[2].x, 100);
    EXPECT_EQ(plot.getPlot(1)->points[1].x, 50);
    plot.setPlotDataX(xs + 1, kPlotIndexEnd);
    EXPECT_EQ(plot.getPlot(1)->points[0].x, 50);
    EXPECT_EQ(plot.getPlot(0)->points[0].x, 0);
    EXPECT_EQ(plot.getPlot(kPlotIndexEnd), plot.getPlot(1));
    EXPECT_EQ(plot.getPlot(2), nullptr);
    plot.setPlotColor(kWhiteCColor, 5); // out of range: nothing
    EXPECT_EQ(plot.getPlot(0)->color, kPlotColor);

    plot.removePlot(0);
    EXPECT_EQ(plot.getPlotCount(), 1);
    EXPECT_EQ(plot.getPlot(0)->color, kOtherColor);
    plot.removePlot(kPlotIndexAll);
    EXPECT_EQ(plot.getPlotCount(), 0);
    plot.addPlot(4, kPlotColor);
    EXPECT_EQ(plot.getPlotCount(), 1);
    EXPECT_EQ(plot.getPlot(0)->size, 4);
}

TEST_F(PlotDisplay, MarksItselfDirtyOnlyForChangesThatShow)
{
    CPlotDisplay plot(nullptr, CRect(0, 0, 101, 101));
    plot.addPlot(3, kPlotColor);
    plot.setDirty(false);
    plot.setPlotColor(kPlotColor, 0);
    EXPECT_FALSE(plot.isDirty()); // the colour it already has
    plot.setPlotDisabled(0);
    EXPECT_TRUE(plot.isDirty());
    plot.setDirty(false);
    plot.setPlotDisabled(0);
    const float ys[3] = {0.f, 1.f, 0.f};
    plot.setPlotDataY(ys, 0);
    plot.setPlotColor(kOtherColor, 0);
    EXPECT_FALSE(plot.isDirty()); // nothing of a disabled plot shows
    plot.setPlotEnabled(0);
    EXPECT_TRUE(plot.isDirty());
    plot.setDirty(false);
    plot.setBackColor(kBlackCColor);
    plot.setFrameColor(kBlackCColor);
    plot.setStyle(0);
    EXPECT_FALSE(plot.isDirty());
    plot.setFrameColor(kWhiteCColor);
    EXPECT_TRUE(plot.isDirty());
    plot.setDirty(false);
    plot.setLimitsX(0.f, 2.f);
    EXPECT_TRUE(plot.isDirty());
}

TEST_F(PlotDisplay, ResizingAPlotDisablesItAndZeroesItsPoints)
{
    CPlotDisplay plot(nullptr, CRect(0, 0, 101, 101));
    plot.addPlot(2, kPlotColor);
    const float xs[2] = {0.5f, 1.f};
    plot.setPlotDataX(xs, 0);
    plot.setDirty(false);
    plot.setPlotSize(5, 0);
    EXPECT_TRUE(plot.isDirty());
    const CPlotDisplay::CPlotBuffer* buffer = plot.getPlot(0);
    EXPECT_FALSE(buffer->enabled);
    EXPECT_EQ(buffer->size, 5);
    for (long i = 0; i < 5; i++)
        EXPECT_EQ(buffer->points[i], CPoint(0, 0));
    plot.setPlotSize(5, 0); // same size: zeroed again, still disabled
    EXPECT_FALSE(plot.getPlot(0)->enabled);
}

TEST_F(PlotDisplay, DrawsBackgroundOutlineAndPlotsThroughItsOffscreen)
{
    auto* plot = new CPlotDisplay(frame, CRect(10, 10, 111, 111));
    plot->setBackColor(MakeCColor(0, 0, 90));
    plot->setFrameColor(kWhiteCColor);
    plot->setLimitsX(-1.f, 1.f);
    plot->setLimitsY(-1.f, 1.f);
    plot->addPlot(2, kPlotColor);
    plot->addPlot(2, kOtherColor);
    plot->addPlot(0, kRedCColor); // a plot of size 0 is never drawn
    const float across[2] = {-1.f, 1.f};
    const float level[2] = {0.f, 0.f};
    const float up[2] = {-1.f, 1.f};
    const float middle[2] = {0.f, 0.f};
    plot->setPlotDataXY(across, level, 0);
    plot->setPlotDataXY(middle, up, 1);
    frame->addView(plot);
    frame->idle();

    EXPECT_EQ(at(10, 10), kWhiteCColor);   // outline
    EXPECT_EQ(at(110, 110), kWhiteCColor); // its right-bottom corner is the last pixel inside
    EXPECT_EQ(at(111, 111), kBlackCColor); // the frame beyond
    EXPECT_EQ(at(30, 30), MakeCColor(0, 0, 90));
    EXPECT_EQ(at(30, 60), kPlotColor);  // the level line through row 50
    EXPECT_EQ(at(60, 30), kOtherColor); // the vertical line through column 50, drawn later on top
    EXPECT_EQ(at(60, 60), kOtherColor);
    EXPECT_FALSE(plot->isDirty());

    plot->setPlotDisabled(1);
    frame->idle();
    EXPECT_EQ(at(60, 30), MakeCColor(0, 0, 90));
    EXPECT_EQ(at(60, 60), kPlotColor);
}
