// The LED meter: quantisation to whole LEDs, fall-back per drawing, clamping, the offscreen's life.
#include "editor/CVuMeter.h"

#include "EditorControlSupport.h"

#include <cmath>

namespace
{
constexpr CColor kLit = {0, 230, 0, 255};
constexpr CColor kUnlit = {60, 0, 0, 255};
} // namespace

/// The editor's meter: 61 x 13 images, 14 LEDs, horizontal, at (20, 20).
class VuMeter : public EditorControlTest
{
protected:
    void SetUp() override
    {
        EditorControlTest::SetUp();
        lit = solidBitmap(61, 13, kLit);
        unlit = solidBitmap(61, 13, kUnlit);
    }
    void TearDown() override
    {
        lit->forget();
        unlit->forget();
        EditorControlTest::TearDown();
    }
    CVuMeter* addMeter(bool offscreen = true)
    {
        auto* meter = new CVuMeter(CRect(20, 20, 81, 33), lit, unlit, 14, 1);
        meter->setDecayStep(0.1f);
        meter->setUseOffscreen(offscreen);
        frame->addView(meter);
        return meter;
    }
    /// Lit columns in row 26, counted from the meter's left edge.
    long litColumns()
    {
        long n = 0;
        for (long x = 20; x < 81; x++)
            n += at(x, 26) == kLit;
        return n;
    }
    CBitmap* lit = nullptr;
    CBitmap* unlit = nullptr;
};

TEST_F(VuMeter, QuantisesTheLevelToWholeLeds)
{
    CVuMeter meter(CRect(0, 0, 61, 13), lit, unlit, 14, 1);
    EXPECT_EQ(meter.splitPixels(0.5f), 30); // 7 of 14 LEDs: int(7 / 14 * 61)
    EXPECT_EQ(meter.splitPixels(0.03f), 0); // int(0.42 + 0.5) = 0 LEDs
    EXPECT_EQ(meter.splitPixels(0.04f), 4); // one LED: int(61 / 14)
    EXPECT_EQ(meter.splitPixels(1.f), 61);
    EXPECT_EQ(meter.splitPixels(0.f), 0);
    EXPECT_TRUE(meter.isTypeOf("CVuMeter"));
    EXPECT_TRUE(meter.isTypeOf("CControl"));
}

TEST_F(VuMeter, DrawsLitFromTheLeftAndUnlitBeyondTheSplit)
{
    CVuMeter* meter = addMeter();
    meter->setValue(0.5f);
    meter->redraw();
    EXPECT_EQ(litColumns(), 30);
    EXPECT_EQ(at(49, 26), kLit);
    EXPECT_EQ(at(50, 26), kUnlit);
    EXPECT_EQ(at(80, 32), kUnlit);
    EXPECT_EQ(at(81, 26), kBlackCColor);
    meter->setDecayStep(1.f); // fall at once, to see the next level without the decay
    meter->setValue(0.04f);
    meter->redraw();
    EXPECT_EQ(litColumns(), 4);
}

TEST_F(VuMeter, AFallingLevelStepsDownOncePerDrawingARisingOneShowsAtOnce)
{
    CVuMeter* meter = addMeter();
    meter->setValue(1.f);
    meter->redraw();
    EXPECT_EQ(meter->getOldValue(), 1.f);
    meter->setValue(0.f);
    for (int drawing = 1; drawing <= 10; drawing++)
    {
        EXPECT_TRUE(meter->isDirty()); // the frame keeps drawing a decaying meter
        meter->redraw();
        EXPECT_NEAR(meter->getOldValue(), 1.f - 0.1f * drawing, 1e-5) << drawing;
    }
    meter->redraw();
    EXPECT_EQ(meter->getOldValue(), 0.f);
    EXPECT_FALSE(meter->isDirty());
    EXPECT_EQ(litColumns(), 0);
    meter->setValue(0.7f);
    meter->redraw();
    EXPECT_EQ(meter->getOldValue(), 0.7f);
}

TEST_F(VuMeter, ClampsLevelsOutsideTheRange)
{
    CVuMeter* meter = addMeter();
    meter->setValue(1.7f);
    meter->redraw();
    EXPECT_EQ(meter->getOldValue(), 1.f);
    EXPECT_EQ(litColumns(), 61);
    meter->setDecayStep(5.f);
    meter->setValue(-0.3f);
    meter->redraw();
    EXPECT_EQ(meter->getOldValue(), 0.f);
    meter->setValue(std::nanf(""));
    meter->redraw();
    EXPECT_EQ(meter->getOldValue(), 0.f);
    EXPECT_EQ(litColumns(), 0);
}

TEST_F(VuMeter, OwnsAnOffscreenOnlyWhileAttached)
{
    CVuMeter* meter = addMeter();
    meter->remember(); // keep it across its removal
    EXPECT_NE(meter->getOffscreen(), nullptr);
    EXPECT_EQ(meter->getLitRect(), CRect(0, 0, 61, 13));
    frame->removeView(meter, false);
    EXPECT_EQ(meter->getOffscreen(), nullptr);
    frame->addView(meter);
    EXPECT_NE(meter->getOffscreen(), nullptr);
    meter->forget();
}

TEST_F(VuMeter, WithoutOffscreenItDrawsTheSamePictureAtFrameCoordinates)
{
    CVuMeter* meter = addMeter(false);
    EXPECT_EQ(meter->getOffscreen(), nullptr);
    EXPECT_EQ(meter->getLitRect(), CRect(20, 20, 81, 33));
    meter->setValue(0.5f);
    meter->redraw();
    EXPECT_EQ(meter->getOffscreen(), nullptr);
    EXPECT_EQ(litColumns(), 30);
    EXPECT_EQ(at(50, 26), kUnlit);

    // Switched off while attached with an offscreen: the next drawing still lands in place.
    CVuMeter* other = addMeter(true);
    other->setUseOffscreen(false);
    other->setValue(0.25f);
    other->redraw();
    EXPECT_EQ(other->getOffscreen(), nullptr);
    EXPECT_EQ(at(2, 2), kBlackCColor);
}

TEST_F(VuMeter, VerticalMetersGrowFromTheBottom)
{
    CBitmap* tallLit = solidBitmap(10, 50, kLit);
    CBitmap* tallUnlit = solidBitmap(10, 50, kUnlit);
    auto* meter = new CVuMeter(CRect(100, 100, 110, 150), tallLit, tallUnlit, 10, 0);
    tallLit->forget();
    tallUnlit->forget();
    frame->addView(meter);
    meter->setValue(0.5f); // 5 of 10 LEDs: unlit rows 0..24, lit rows 25..49
    meter->redraw();
    EXPECT_EQ(at(105, 124), kUnlit);
    EXPECT_EQ(at(105, 125), kLit);
    EXPECT_EQ(at(105, 149), kLit);
}
