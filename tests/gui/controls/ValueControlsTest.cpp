// Control base, on/off button, slider and splash screen, driven through the headless window as a
// user would: presses, scripted drags, the wheel and keys.
#include "ControlTestSupport.h"

#include "gui/controls/COnOffButton.h"
#include "gui/controls/CSlider.h"
#include "gui/controls/CSplashScreen.h"
#include "vst2/VstInterface.h"

#include <algorithm>

using kalvo::headless::PointerState;

namespace
{
constexpr CColor kTrack = {90, 90, 90, 255};
constexpr CColor kHandle = {0, 0, 200, 255};

VstKeyCode key(unsigned char virt, unsigned char modifier = 0)
{
    VstKeyCode code{};
    code.virt = virt;
    code.modifier = modifier;
    return code;
}

/// Only the edit brackets and the notifications, without the idle pumps between them.
EventLog gestures(const EventLog& log)
{
    EventLog out;
    for (const std::string& e : log)
        if (e != "idle")
            out.push_back(e);
    return out;
}
} // namespace

// ---- control base ----

using Control = ControlTest;

TEST_F(Control, RedrawsWhenTheValueDiffersFromTheValueLastDrawn)
{
    auto* button = new COnOffButton(CRect(10, 10, 41, 26), &listener, 10, nullptr);
    frame->addView(button);
    EXPECT_TRUE(button->isDirty()); // a new control is drawn at the next idle
    frame->idle();
    EXPECT_FALSE(button->isDirty());
    button->setValue(0.f); // the value already shown
    EXPECT_FALSE(button->isDirty());
    button->setValue(1.f);
    EXPECT_TRUE(button->isDirty());
    frame->idle();
    EXPECT_FALSE(button->isDirty());
    EXPECT_EQ(button->getOldValue(), 1.f);

    // setDirty(true) must make the shown value differ even when the value is -1.
    button->setValue(-1.f);
    button->setDirty(false);
    EXPECT_FALSE(button->isDirty());
    button->setDirty(true);
    EXPECT_TRUE(button->isDirty());
    EXPECT_EQ(button->getOldValue(), 0.f);
}

TEST_F(Control, ResetsToTheDefaultOnlyForExactlyCtrlAndLeftButton)
{
    auto* button = new COnOffButton(CRect(10, 10, 41, 26), &listener, 7, nullptr);
    frame->addView(button);
    frame->idle();
    button->setValue(0.2f);
    frame->idle();
    EXPECT_FALSE(button->checkDefaultValue(nullptr, kButtonLeft | kModifierCommand | kModifierShift));
    EXPECT_FALSE(button->checkDefaultValue(nullptr, kButtonRight | kModifierCommand));
    EXPECT_FALSE(button->checkDefaultValue(nullptr, kModifierCommand));
    EXPECT_EQ(button->getValue(), 0.2f);
    EXPECT_TRUE(log.empty());

    EXPECT_TRUE(button->checkDefaultValue(nullptr, kButtonLeft | kModifierCommand));
    EXPECT_EQ(button->getValue(), 0.5f);
    EXPECT_EQ(log, (EventLog{"begin 7", "value 7 0.5000", "end 7"}));
    EXPECT_EQ(frame->getFocusView(), button); // the gesture made it the focus view
}

TEST_F(Control, GestureOutsideAFrameAnnouncesNothingAndDoesNotCrash)
{
    COnOffButton button(CRect(0, 0, 10, 10), &listener, 3, nullptr);
    button.beginEdit();
    button.endEdit();
    button.doIdle();
    CPoint where(5, 5);
    button.mouse(nullptr, where, kButtonLeft);
    EXPECT_EQ(button.getValue(), 1.f);
    EXPECT_EQ(log, (EventLog{"value 3 1.0000"}));
}

namespace
{
/// A frame whose clock reads what the test sets.
class ClockFrame : public CFrame
{
public:
    ClockFrame() : CFrame(CRect(0, 0, 50, 50), static_cast<void*>(nullptr), nullptr) {}
    long getTicks() const override { return ticks; }
    long ticks = 0;
};
} // namespace

TEST(CControlDoubleClick, PairsClicksWithinTheTimeAtAnyClockReadingAndAcrossTheWrap)
{
    auto* frame = new ClockFrame;
    // The 32-bit millisecond clock reads negative for half of its 49.7-day cycle.
    for (long first : {1000L, -1000000L, 2147483647L - 100})
    {
        auto* button = new COnOffButton(CRect(0, 0, 10, 10), nullptr, 1, nullptr);
        frame->addView(button);
        frame->ticks = first;
        EXPECT_FALSE(button->isDoubleClick()) << first;
        frame->ticks = static_cast<long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(first) + 200u));
        EXPECT_TRUE(button->isDoubleClick()) << first;
        // A third click starts a new pair; a slow second click does not complete it.
        EXPECT_FALSE(button->isDoubleClick()) << first;
        frame->ticks = static_cast<long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(first) + 600u));
        EXPECT_FALSE(button->isDoubleClick()) << first;
    }
    // A frame without a clock (it reads 0) never pairs clicks.
    auto* button = new COnOffButton(CRect(0, 0, 10, 10), nullptr, 1, nullptr);
    frame->addView(button);
    frame->ticks = 0;
    EXPECT_FALSE(button->isDoubleClick());
    EXPECT_FALSE(button->isDoubleClick());
    frame->forget();
}

// ---- on/off button ----

using OnOffButton = ControlTest;

TEST_F(OnOffButton, TogglesOnThePressByTheIntegerPartOfTheValue)
{
    auto* button = new COnOffButton(CRect(10, 10, 41, 26), &listener, 10, nullptr);
    frame->addView(button);
    const struct
    {
        float before;
        float after;
    } cases[] = {{0.5f, 1.f}, {1.f, 0.f}, {-0.5f, 1.f}, {0.f, 1.f}, {2.f, 0.f}};
    for (const auto& c : cases)
    {
        button->setValue(c.before);
        window->press(CPoint(20, 15), kButtonLeft);
        EXPECT_EQ(button->getValue(), c.after) << "from " << c.before;
    }
    EXPECT_EQ(window->buttonPolls(), 0); // no press-and-release tracking
}

TEST_F(OnOffButton, StyleZeroPumpsIdleBeforeNotifyingStyleOneAfter)
{
    auto* late = new COnOffButton(CRect(10, 10, 41, 26), &listener, 10, nullptr, 0);
    auto* early = new COnOffButton(CRect(50, 10, 81, 26), &listener, 11, nullptr, 1);
    frame->addView(late);
    frame->addView(early);
    window->press(CPoint(20, 15), kButtonLeft);
    EXPECT_EQ(log, (EventLog{"idle", "begin 10", "value 10 1.0000", "end 10"}));
    log.clear();
    window->press(CPoint(60, 15), kButtonLeft);
    EXPECT_EQ(log, (EventLog{"begin 11", "value 11 1.0000", "end 11", "idle"}));
}

TEST_F(OnOffButton, IgnoresOtherButtonsAndLetsTheListenerTakeModifierClicks)
{
    auto* button = new COnOffButton(CRect(10, 10, 41, 26), &listener, 10, nullptr);
    frame->addView(button);
    window->press(CPoint(20, 15), kButtonRight);
    EXPECT_EQ(button->getValue(), 0.f);
    listener.modifierAnswer = 1;
    window->press(CPoint(20, 15), kButtonLeft | kModifierAlt);
    EXPECT_EQ(button->getValue(), 0.f);
    listener.modifierAnswer = 0;
    window->press(CPoint(20, 15), kButtonLeft | kModifierShift);
    EXPECT_EQ(button->getValue(), 1.f);
    EXPECT_EQ(listener.modifierClicks,
              (std::vector<long>{kButtonLeft | kModifierAlt, kButtonLeft | kModifierShift}));
    button->setMouseEnabled(false);
    window->press(CPoint(20, 15), kButtonLeft);
    EXPECT_EQ(button->getValue(), 1.f);
}

TEST_F(OnOffButton, DrawsTheUpperHalfWhenOffAndTheLowerHalfWhenOn)
{
    CBitmap* states = makeBitmap(31, 32, {kRedCColor, kGreenCColor});
    auto* button = new COnOffButton(CRect(10, 10, 41, 26), &listener, 10, states);
    states->forget();
    frame->addView(button);
    frame->idle();
    EXPECT_EQ(at(10, 10), kRedCColor);
    EXPECT_EQ(at(40, 25), kRedCColor);
    EXPECT_EQ(at(41, 26), kBlackCColor);
    button->setValue(1.f);
    frame->idle();
    EXPECT_EQ(at(10, 10), kGreenCColor);
    EXPECT_EQ(at(40, 25), kGreenCColor);
}

// ---- slider ----

/// The editor's slider geometry: a 111 x 16 track at (90, 79), a 19 x 14 handle travelling 91
/// pixels from handle offset (1, 0). A free click at x maps to (x - 99) / 91.
class Slider : public ControlTest
{
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        track = makeBitmap(111, 16, {kTrack});
        handle = makeBitmap(19, 14, {kHandle});
    }
    void TearDown() override
    {
        track->forget();
        handle->forget();
        ControlTest::TearDown();
    }
    CSlider* addSlider(long style = kSliderDrawPlain, long tag = 0)
    {
        auto* slider = new CHorizontalSlider(CRect(90, 79, 201, 95), &listener, tag, 90, 181, handle, track,
                                             CPoint(0, 0), style);
        slider->setOffsetHandle(CPoint(1, 0));
        frame->addView(slider);
        frame->idle();
        return slider;
    }
    /// Presses at `from` with `buttons`, then the user holds the listed states and lets go.
    void drag(CPoint from, long buttons, std::vector<PointerState> held)
    {
        // The loop reads the position polled on its previous pass: repeat the last state so that
        // it is the one the value ends on.
        held.push_back(held.back());
        held.push_back(PointerState{held.back().where, 0});
        window->scriptPointer(held);
        window->press(from, buttons);
    }
    /// Columns of the handle drawn in row 85, as [first, last].
    std::pair<long, long> handleColumns()
    {
        frame->idle();
        long first = -1;
        long last = -1;
        for (long x = 80; x < 210; x++)
        {
            if (at(x, 85) == kHandle)
            {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        return {first, last};
    }

    CBitmap* track = nullptr;
    CBitmap* handle = nullptr;
};

TEST_F(Slider, GeometryFollowsTheHandleAndTrackSizes)
{
    CSlider* slider = addSlider();
    EXPECT_TRUE(slider->isTypeOf("CSlider"));
    EXPECT_TRUE(slider->wantsFocus());
    slider->setValue(0.f);
    EXPECT_EQ(handleColumns(), std::make_pair(91L, 109L));
    slider->setValue(1.f);
    EXPECT_EQ(handleColumns(), std::make_pair(182L, 200L));
    slider->setValue(0.5f); // 1 + trunc(45.5)
    EXPECT_EQ(handleColumns(), std::make_pair(136L, 154L));
    EXPECT_EQ(at(90, 85), kTrack);
}

TEST_F(Slider, HandleStaysWholeOnTheTrackForValuesOutsideTheRange)
{
    CSlider* slider = addSlider();
    for (float v : {1.3f, 40.f, 1e30f})
    {
        slider->setValue(v);
        EXPECT_EQ(handleColumns(), std::make_pair(182L, 200L)) << v;
    }
    for (float v : {-0.4f, -1e30f})
    {
        slider->setValue(v);
        EXPECT_EQ(handleColumns(), std::make_pair(91L, 109L)) << v;
    }
}

TEST_F(Slider, DragInvertedStyleRunsFromRightToLeft)
{
    CSlider* slider = addSlider(kSliderDragInvert, 4);
    slider->setValue(0.f);
    EXPECT_EQ(handleColumns(), std::make_pair(182L, 200L));
    drag(CPoint(145, 85), kButtonLeft, {{CPoint(99, 85), kButtonLeft}});
    ASSERT_EQ(listener.values.size(), 2u);
    EXPECT_NEAR(listener.values[0], 1.f - 46.f / 91.f, 1e-6);
    EXPECT_EQ(listener.values[1], 1.f);
    EXPECT_EQ(handleColumns(), std::make_pair(91L, 109L));
}

TEST_F(Slider, FreeClickCentresTheHandleAndTheDragIsBracketedAndClamped)
{
    CSlider* slider = addSlider();
    drag(CPoint(145, 85), kButtonLeft,
         {{CPoint(145, 85), kButtonLeft},
          {CPoint(190, 85), kButtonLeft},
          {CPoint(290, 85), kButtonLeft},
          {CPoint(20, 85), kButtonLeft}});
    EXPECT_EQ(gestures(log),
              (EventLog{"begin 0", "value 0 0.5055", "value 0 1.0000", "value 0 0.0000", "end 0"}));
    EXPECT_NEAR(listener.values[0], 46.f / 91.f, 1e-6);
    EXPECT_EQ(slider->getValue(), 0.f);
    EXPECT_EQ(frame->getFocusView(), slider); // keys go to the dragged slider now
    EXPECT_GT(frame->idles, 0);               // the panel kept redrawing during the drag
}

TEST_F(Slider, WithoutFreeClickOnlyAClickOnTheHandleDragsAndNothingJumps)
{
    CSlider* slider = addSlider();
    slider->setFreeClick(false);
    slider->setValue(0.5f); // handle over columns 136..155, edges inclusive
    frame->idle();
    drag(CPoint(120, 85), kButtonLeft, {{CPoint(150, 85), kButtonLeft}});
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(slider->getValue(), 0.5f);

    drag(CPoint(140, 85), kButtonLeft, {{CPoint(140, 85), kButtonLeft}, {CPoint(150, 85), kButtonLeft}});
    ASSERT_FALSE(listener.values.empty());
    EXPECT_NEAR(listener.values.front(), 45.f / 91.f, 1e-6); // the drawn position, not the pointer's
    EXPECT_NEAR(slider->getValue(), 55.f / 91.f, 1e-6);
}

TEST_F(Slider, ShiftMovesTenTimesSlowerFromTheValueWhenShiftWentDownAndReleasingDoesNotJump)
{
    CSlider* slider = addSlider();
    const float start = 46.f / 91.f;
    drag(CPoint(145, 85), kButtonLeft,
         {{CPoint(145, 85), kButtonLeft},
          {CPoint(145, 85), kButtonLeft | kModifierShift},
          {CPoint(245, 85), kButtonLeft | kModifierShift},
          {CPoint(245, 85), kButtonLeft | kModifierShift},
          {CPoint(245, 85), kButtonLeft},
          {CPoint(245, 85), kButtonLeft},
          {CPoint(235, 85), kButtonLeft}});
    ASSERT_GE(listener.values.size(), 3u);
    const float fine = start + 100.f / 91.f / 10.f;
    EXPECT_NEAR(listener.values.front(), start, 1e-6);
    EXPECT_NEAR(*std::max_element(listener.values.begin(), listener.values.end()), fine, 1e-5);
    // Released at 245, moved back 10 pixels: the value continues from `fine`, it does not leap
    // to where the pointer is on the track.
    EXPECT_NEAR(slider->getValue(), fine - 10.f / 91.f, 1e-5);
    for (float v : listener.values)
        EXPECT_LE(v, fine + 1e-5f);
}

TEST_F(Slider, CtrlClickResetsOnceButCtrlShiftClickStartsAFineDrag)
{
    CSlider* slider = addSlider(kSliderDrawPlain, 2);
    slider->setValue(0.2f);
    frame->idle();
    window->setPointer(CPoint(190, 85), 0);
    window->press(CPoint(190, 85), kButtonLeft | kModifierCommand);
    EXPECT_EQ(gestures(log), (EventLog{"begin 2", "value 2 0.5000", "end 2"}));
    EXPECT_EQ(window->buttonPolls(), 0); // no drag after a reset

    slider->setValue(0.2f);
    frame->idle();
    log.clear();
    drag(CPoint(190, 85), kButtonLeft | kModifierCommand | kModifierShift,
         {{CPoint(190, 85), kButtonLeft | kModifierCommand | kModifierShift}});
    // Position 1 at column 190, approached a tenth of the way from 0.2.
    EXPECT_NEAR(slider->getValue(), 0.2f + (1.f - 0.2f) / 10.f, 1e-5);
    EXPECT_EQ(listener.modifierClicks.size(), 2u);
}

TEST_F(Slider, WheelStepsByWheelIncAndATenthWithShift)
{
    CSlider* slider = addSlider(kSliderDrawPlain, 5);
    slider->setValue(0.5f);
    frame->idle();
    window->wheel(CPoint(150, 85), 1.f);
    EXPECT_NEAR(slider->getValue(), 0.6f, 1e-6);
    EXPECT_EQ(gestures(log), (EventLog{"begin 5", "value 5 0.6000", "end 5"}));
    window->setPointer(CPoint(150, 85), kModifierShift);
    window->wheel(CPoint(150, 85), -2.f);
    EXPECT_NEAR(slider->getValue(), 0.58f, 1e-6);
    window->setPointer(CPoint(150, 85), 0);
    window->wheel(CPoint(150, 85), 30.f);
    EXPECT_EQ(slider->getValue(), 1.f);
}

TEST_F(Slider, ArrowKeysStepAndStopSilentlyAtTheEnds)
{
    CSlider* slider = addSlider(kSliderDrawPlain, 6);
    slider->setValue(1.f);
    frame->idle();
    VstKeyCode right = key(VKEY_RIGHT);
    EXPECT_EQ(slider->onKeyDown(right), 1);
    EXPECT_EQ(slider->getValue(), 1.f);
    EXPECT_TRUE(log.empty()); // nothing changed, nothing announced

    VstKeyCode left = key(VKEY_LEFT);
    EXPECT_EQ(slider->onKeyDown(left), 1);
    EXPECT_NEAR(slider->getValue(), 0.9f, 1e-6);
    EXPECT_EQ(gestures(log), (EventLog{"begin 6", "value 6 0.9000", "end 6"}));
    EXPECT_EQ(listener.contexts.back(), nullptr);

    VstKeyCode fineUp = key(VKEY_UP, MODIFIER_SHIFT);
    slider->onKeyDown(fineUp);
    EXPECT_NEAR(slider->getValue(), 0.91f, 1e-6);
    VstKeyCode down = key(VKEY_DOWN);
    slider->onKeyDown(down);
    EXPECT_NEAR(slider->getValue(), 0.81f, 1e-6);
    VstKeyCode other = key(VKEY_RETURN);
    EXPECT_EQ(slider->onKeyDown(other), kKeyNotHandled);
}

TEST_F(Slider, KeysReachItThroughTheFrameAfterADrag)
{
    CSlider* slider = addSlider();
    drag(CPoint(145, 85), kButtonLeft, {{CPoint(145, 85), kButtonLeft}});
    const float dragged = slider->getValue();
    VstKeyCode right = key(VKEY_RIGHT);
    EXPECT_EQ(frame->onKeyDown(right), 1);
    EXPECT_NEAR(slider->getValue(), dragged + 0.1f, 1e-6);
}

// ---- splash screen ----

/// An about area at (10, 10, 50, 30) showing a 100 x 100 image at (100, 50).
class SplashScreen : public ControlTest
{
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        image = makeBitmap(100, 100, {kMagentaCColor});
        splash = new CSplashScreen(CRect(10, 10, 50, 30), &listener, 13, image, CRect(100, 50, 200, 150),
                                   CPoint(0, 0));
        image->forget();
        frame->addView(splash);
        frame->idle();
    }
    CSplashScreen* splash = nullptr;
    CBitmap* image = nullptr;
};

TEST_F(SplashScreen, ALeftClickShowsTheImageAsTheModalView)
{
    EXPECT_EQ(at(150, 100), kBlackCColor);
    window->press(CPoint(20, 20), kButtonLeft);
    EXPECT_EQ(splash->getValue(), 1.f);
    ASSERT_NE(frame->getModalView(), nullptr);
    EXPECT_TRUE(frame->getModalView()->isTypeOf("CSplashScreenView"));
    EXPECT_EQ(log, (EventLog{"value 13 1.0000"}));
    frame->idle();
    EXPECT_EQ(at(100, 50), kMagentaCColor);
    EXPECT_EQ(at(199, 149), kMagentaCColor);
    EXPECT_EQ(at(200, 150), kBlackCColor);
}

TEST_F(SplashScreen, TheImageClosesOnALeftClickButNotOnARightClick)
{
    window->press(CPoint(20, 20), kButtonLeft);
    window->press(CPoint(150, 100), kButtonRight);
    EXPECT_NE(frame->getModalView(), nullptr);
    EXPECT_EQ(splash->getValue(), 1.f);
    window->press(CPoint(20, 20), kButtonLeft); // outside the image: ignored while it is shown
    EXPECT_NE(frame->getModalView(), nullptr);

    window->press(CPoint(150, 100), kButtonLeft);
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_EQ(splash->getValue(), 0.f);
    EXPECT_EQ(log, (EventLog{"value 13 1.0000", "value 13 0.0000"}));
    EXPECT_EQ(frame->getNbViews(), 1);
    frame->idle(); // the whole frame redraws without the image
    EXPECT_EQ(at(150, 100), kBlackCColor);
}

TEST_F(SplashScreen, RightClicksOnTheAreaAreIgnored)
{
    window->press(CPoint(20, 20), kButtonRight);
    EXPECT_EQ(splash->getValue(), 0.f);
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_TRUE(log.empty());
}

TEST_F(SplashScreen, IsRefusedWithoutNotificationWhileAnotherModalViewExists)
{
    auto* other = new CSplashScreenView(CRect(250, 150, 260, 160), nullptr);
    ASSERT_TRUE(frame->setModalView(other));
    splash->setMouseEnabled(true);
    CPoint where(20, 20);
    splash->mouse(nullptr, where, kButtonLeft);
    EXPECT_EQ(frame->getModalView(), other);
    EXPECT_EQ(splash->getValue(), 1.f);
    EXPECT_TRUE(splash->isDirty());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(frame->getNbViews(), 2); // the refused view was not added, and is gone
    frame->setModalView(nullptr);
    other->forget();
}
