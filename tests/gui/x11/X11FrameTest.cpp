// The frame in a real X server: a test plays the host, opens frames in its window and acts as
// the user through XTest. Skipped when no server is available.
#include "tests/gui/TestViews.h"
#include "tests/gui/scene/TestScene.h"

#include "gui/CBitmap.h"
#include "tests/support/X11TestHost.h"

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <malloc.h>
#include <string>
#include <thread>

using kalvo::x11test::TestHost;

namespace
{
// Runs the frame's idle (which pumps its events) until `done` or about two seconds passed.
bool idleUntil(CFrame* frame, const std::function<bool()>& done)
{
    for (int i = 0; i < 400; i++)
    {
        frame->idle();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool painted(CFrame* frame)
{
    return idleUntil(frame, [frame] { return !frame->isFirstDraw(); });
}

long openDescriptors()
{
    long count = 0;
    if (DIR* dir = opendir("/proc/self/fd"))
    {
        while (readdir(dir))
            count++;
        closedir(dir);
    }
    return count;
}

CColor rgb(std::uint32_t p)
{
    return CColor{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                  static_cast<std::uint8_t>(p), 255};
}

class X11Frame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!kalvo::x11test::serverAvailable())
            GTEST_SKIP() << "no X server with XTest (DISPLAY not set)";
    }
};

// Follows the pointer while the left button stays down, releasing it itself after a few polls
// (the test has only this thread, so the "user" acts from inside the loop).
class DragView : public RecordingView
{
public:
    DragView(const CRect& size, TestHost& host) : RecordingView(size, kCyanCColor), host(host) {}
    void mouse(CDrawContext* context, CPoint& where, long buttons) override
    {
        RecordingView::mouse(context, where, buttons);
        int polls = 0;
        while (context->getMouseButtons() & kButtonLeft)
        {
            polls++;
            if (polls == 1)
                host.movePointer(size.left + 25, size.top + 5);
            if (polls == 3)
                host.releaseButton(1);
            getMouseLocation(context, dragged);
            if (polls > 100)
                break;
        }
        dragPolls = polls;
    }
    TestHost& host;
    CPoint dragged;
    int dragPolls = 0;
};
} // namespace

TEST_F(X11Frame, ClicksWheelAndRepaintsInAHostWindow)
{
    TestHost host(300, 200);
    ASSERT_TRUE(host.ok());
    CFrame* frame = new CFrame(CRect(0, 0, 200, 100), host.handle(), nullptr);
    frame->setBackgroundColor(kBlackCColor);
    auto* red = new RecordingView(CRect(10, 10, 60, 60), kRedCColor);
    auto* green = new RecordingView(CRect(100, 10, 150, 60), kGreenCColor);
    frame->addView(red);
    frame->addView(green);
    ASSERT_NE(frame->getPlatformWindow(), nullptr);
    EXPECT_EQ(host.childCount(), 1);
    ASSERT_TRUE(painted(frame));
    EXPECT_EQ(host.pixel(20, 20), kRedCColor);
    EXPECT_EQ(host.pixel(120, 20), kGreenCColor);
    EXPECT_EQ(host.pixel(80, 80), kBlackCColor);
    EXPECT_EQ(host.pixel(250, 150), MakeCColor(64, 64, 64)); // the host's own window

    host.click(20, 30, 1);
    ASSERT_TRUE(idleUntil(frame, [&] { return red->clicks == 1; }));
    EXPECT_EQ(red->lastWhere, CPoint(20, 30));
    EXPECT_EQ(red->lastButtons, kButtonLeft);

    host.modifier('s', true);
    host.click(120, 30, 3);
    host.modifier('s', false);
    ASSERT_TRUE(idleUntil(frame, [&] { return green->clicks == 1; }));
    EXPECT_EQ(green->lastButtons, kButtonRight | kModifierShift);

    host.click(130, 40, 4);
    ASSERT_TRUE(idleUntil(frame, [&] { return green->wheels == 1; }));
    EXPECT_EQ(green->lastDistance, 1.0f);
    host.click(130, 40, 5);
    ASSERT_TRUE(idleUntil(frame, [&] { return green->wheels == 2; }));
    EXPECT_EQ(green->lastDistance, -1.0f);
    EXPECT_EQ(red->wheels, 0);

    // A state change shows after the next idle.
    red->color = kBlueCColor;
    red->setDirty(true);
    frame->idle();
    EXPECT_EQ(host.pixel(20, 20), kBlueCColor);

    // Covering and uncovering the window makes the server ask for a repaint.
    const int drawsBefore = green->draws;
    host.coverAndUncover(CRect(90, 0, 170, 70));
    ASSERT_TRUE(idleUntil(frame, [&] { return green->draws > drawsBefore; }));
    EXPECT_EQ(host.pixel(120, 20), kGreenCColor);

    frame->forget();
    host.sync();
    EXPECT_EQ(host.childCount(), 0);
}

TEST_F(X11Frame, DragLoopPollsTheServersPointerState)
{
    TestHost host(200, 100);
    CFrame* frame = new CFrame(CRect(0, 0, 200, 100), host.handle(), nullptr);
    auto* view = new DragView(CRect(10, 10, 100, 50), host);
    frame->addView(view);
    ASSERT_TRUE(painted(frame));
    host.movePointer(15, 15);
    host.pressButton(1); // held: the loop sees it through XQueryPointer
    ASSERT_TRUE(idleUntil(frame, [&] { return view->clicks == 1; }));
    EXPECT_EQ(view->dragPolls, 3);
    EXPECT_EQ(view->dragged, CPoint(35, 15));
    frame->forget();
}

TEST_F(X11Frame, TwoInstancesSideBySideKeepWorking)
{
    TestHost firstHost(200, 100);
    TestHost secondHost(200, 100, 400, 0); // beside the first, as two plug-in windows would be
    CFrame* first = new CFrame(CRect(0, 0, 100, 100), firstHost.handle(), nullptr);
    auto* firstView = new RecordingView(CRect(0, 0, 100, 100), kRedCColor);
    first->addView(firstView);
    ASSERT_NE(first->getPlatformWindow(), nullptr);
    ASSERT_TRUE(painted(first));

    // The second opens while the first frame is open.
    CFrame* second = new CFrame(CRect(0, 0, 100, 100), secondHost.handle(), nullptr);
    auto* secondView = new RecordingView(CRect(0, 0, 100, 100), kGreenCColor);
    second->addView(secondView);
    ASSERT_TRUE(painted(second));
    secondHost.click(50, 50);
    ASSERT_TRUE(idleUntil(second, [&] { return secondView->clicks == 1; }));
    first->idle();
    EXPECT_EQ(firstView->clicks, 0);
    EXPECT_EQ(secondHost.pixel(50, 50), kGreenCColor);

    // Closing the second leaves the first working.
    second->forget();
    firstHost.coverAndUncover(CRect(0, 0, 100, 100));
    firstView->color = kYellowCColor;
    firstView->setDirty(true);
    first->idle();
    EXPECT_EQ(firstHost.pixel(50, 50), kYellowCColor);
    firstHost.click(40, 40);
    ASSERT_TRUE(idleUntil(first, [&] { return firstView->clicks == 1; }));
    first->forget();
}

TEST_F(X11Frame, BadParentWindowFailsQuietly)
{
    CFrame* frame = new CFrame(CRect(0, 0, 50, 50),
                               reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x7ffffff)), nullptr);
    EXPECT_EQ(frame->getPlatformWindow(), nullptr);
    EXPECT_TRUE(frame->getOpenFlag());
    frame->idle();
    frame->forget();
}

TEST_F(X11Frame, HostWindowDestroyedBeforeCloseEndsNothing)
{
    TestHost host(200, 100);
    CFrame* frame = new CFrame(CRect(0, 0, 200, 100), host.handle(), nullptr);
    auto* view = new RecordingView(CRect(10, 10, 50, 50), kRedCColor);
    frame->addView(view);
    ASSERT_TRUE(painted(frame));
    host.destroyWindow(); // our child goes with it; X errors must not end the process
    view->setDirty(true);
    frame->idle();
    frame->idle();
    CDrawContext* context = frame->createDrawContext();
    EXPECT_EQ(context->getMouseButtons(), 0);
    context->drawRect(CRect(0, 0, 10, 10), kDrawFilled);
    context->forget();
    frame->setCursor(kCursorWait);
    frame->setSize(100, 50);
    frame->forget();
    SUCCEED();
}

TEST_F(X11Frame, ThousandOpenCloseCyclesLeakNothing)
{
    TestHost host(120, 80);
    auto cycle = [&]
    {
        CFrame* frame = new CFrame(CRect(0, 0, 100, 50), host.handle(), nullptr);
        frame->addView(new RecordingView(CRect(10, 10, 30, 30), kRedCColor));
        frame->setCursor(kCursorHand);
        frame->idle();
        frame->forget();
        host.sync();
    };
    for (int i = 0; i < 20; i++) // warm-up: font and library caches
        cycle();
    const long descriptors = openDescriptors();
    const std::size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 1000; i++)
        cycle();
    host.sync();
    EXPECT_EQ(openDescriptors(), descriptors); // every Display connection closed
    EXPECT_EQ(host.childCount(), 0);           // every window destroyed
    const long growth = static_cast<long>(mallinfo2().uordblks) - static_cast<long>(heap);
    EXPECT_LT(growth, 64 * 1024) << "heap grew by " << growth << " bytes over 1000 cycles";
}

TEST_F(X11Frame, WindowShowsTheSamePixelsAsTheHeadlessRender)
{
    const std::string png = ::testing::TempDir() + "kalvo_scene_headless.png";
    const std::string command = std::string("\"") + KALVO_SCENE_RENDER + "\" \"" + png + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    CBitmap headless;
    ASSERT_TRUE(headless.loadFromPath(png.c_str()));
    ASSERT_EQ(headless.getWidth(), kSceneWidth);
    ASSERT_EQ(headless.getHeight(), kSceneHeight);
    COffscreenContext reference(nullptr, kSceneWidth, kSceneHeight, kBlackCColor);
    CRect all(0, 0, kSceneWidth, kSceneHeight);
    headless.draw(&reference, all);

    TestHost host(kSceneWidth + 20, kSceneHeight + 20);
    CFrame* frame = buildTestScene(host.handle());
    ASSERT_TRUE(painted(frame));
    const std::vector<std::uint32_t> shown = host.readPixels(all);
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(kSceneWidth * kSceneHeight));
    long differing = 0;
    for (long y = 0; y < kSceneHeight; y++)
        for (long x = 0; x < kSceneWidth; x++)
        {
            const CColor expected = reference.getPoint(CPoint(x, y));
            const CColor actual = rgb(shown[y * kSceneWidth + x]);
            if (expected != actual && differing++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " differs";
        }
    EXPECT_EQ(differing, 0);
    frame->forget();
}
