// The controls on a real X server with real pointer and key events: the option menu's popup and
// a slider drag. Skipped when no server is available.
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CSlider.h"
#include "tests/support/X11TestHost.h"

// gtest before Xlib: Xlib's None and Bool macros would break gtest's own names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using kalvo::x11test::TestHost;

namespace
{
using Log = std::vector<std::string>;

/// Edit brackets go to the log instead of a host; the idle pump of a tracking loop plays the
/// user's next step when one is set.
class LoggingFrame : public CFrame
{
public:
    LoggingFrame(const CRect& size, void* window, Log& log) : CFrame(size, window, nullptr), log(log) {}
    void beginEdit(long index) override { log.push_back("begin " + std::to_string(index)); }
    void endEdit(long index) override { log.push_back("end " + std::to_string(index)); }
    // The user's next step, on every idle pass: inside a tracking loop or between the events
    // the frame follows.
    void idle() override
    {
        if (onIdle)
            onIdle(++pumps);
        CFrame::idle();
    }
    void doIdleStuff() override { idle(); }
    Log& log;
    std::function<void(int)> onIdle;
    int pumps = 0;
};

class LoggingListener : public CControlListener
{
public:
    explicit LoggingListener(Log& log) : log(log) {}
    void valueChanged(CDrawContext*, CControl* control) override
    {
        char text[64];
        std::snprintf(text, sizeof(text), "value %ld %.4f", control->getTag(),
                      static_cast<double>(control->getValue()));
        log.push_back(text);
        values.push_back(control->getValue());
        last = control;
    }
    Log& log;
    std::vector<float> values;
    CControl* last = nullptr;
};

bool idleUntil(CFrame* frame, const std::function<bool()>& done)
{
    for (int i = 0; i < 600; i++)
    {
        frame->idle();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

/// The user's hands and eyes on a connection of their own, so that they can act while the
/// editor's thread sits in the popup's modal loop.
class User
{
public:
    /// Notes the override-redirect windows already there (the test host's own window may be
    /// one), so that only windows appearing later count as popups.
    User() : display(XOpenDisplay(nullptr))
    {
        // A popup may vanish between listing the windows and asking about one of them.
        previousHandler = XSetErrorHandler(ignoreErrors);
        before = overrideRedirectWindows();
    }
    ~User()
    {
        if (display)
            XCloseDisplay(display);
        XSetErrorHandler(previousHandler);
    }
    static int ignoreErrors(Display*, XErrorEvent*) { return 0; }
    void moveTo(long x, long y)
    {
        XTestFakeMotionEvent(display, DefaultScreen(display), static_cast<int>(x), static_cast<int>(y),
                             CurrentTime);
        XSync(display, False);
    }
    void click(long x, long y, unsigned button = 1)
    {
        moveTo(x, y);
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XTestFakeButtonEvent(display, button, False, CurrentTime);
        XSync(display, False);
    }
    void key(KeySym sym)
    {
        const KeyCode code = XKeysymToKeycode(display, sym);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
    }
    /// The popups on the screen now: mapped override-redirect windows that were not there when
    /// the user sat down, in root coordinates.
    std::vector<CRect> popups()
    {
        std::vector<CRect> found;
        for (const auto& [window, area] : overrideRedirectWindows())
        {
            bool old = false;
            for (const auto& seen : before)
                old = old || seen.first == window;
            if (!old)
                found.push_back(area);
        }
        return found;
    }
    std::vector<std::pair<::Window, CRect>> overrideRedirectWindows()
    {
        std::vector<std::pair<::Window, CRect>> found;
        ::Window rootReturn, parent;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, DefaultRootWindow(display), &rootReturn, &parent, &children, &count))
            return found;
        for (unsigned i = 0; i < count; i++)
        {
            XWindowAttributes a;
            if (XGetWindowAttributes(display, children[i], &a) && a.override_redirect &&
                a.map_state == IsViewable)
                found.emplace_back(children[i], CRect(a.x, a.y, a.x + a.width, a.y + a.height));
        }
        if (children)
            XFree(children);
        return found;
    }
    /// Waits up to about three seconds for `count` popups.
    std::vector<CRect> waitForPopups(size_t count)
    {
        for (int i = 0; i < 600; i++)
        {
            std::vector<CRect> shown = popups();
            if (shown.size() >= count)
                return shown;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return popups();
    }
    /// A failing test must not leave the editor's thread in the popup's loop for ever: Escape
    /// until no popup is left, for at most about two seconds.
    void ensureClosed()
    {
        for (int i = 0; i < 400 && !popups().empty(); i++)
        {
            if (i % 40 == 39)
                key(XK_Escape);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    /// The colour on the screen at (x, y) of the root window.
    CColor screenPixel(long x, long y)
    {
        CColor c{0, 0, 0, 0};
        XImage* image = XGetImage(display, DefaultRootWindow(display), static_cast<int>(x),
                                  static_cast<int>(y), 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return c;
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return CColor{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                      static_cast<std::uint8_t>(p), 255};
    }
    /// True when nobody holds the pointer: a grab of our own succeeds.
    bool pointerFree()
    {
        const int result = XGrabPointer(display, DefaultRootWindow(display), False, ButtonPressMask,
                                        GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
        if (result == GrabSuccess)
            XUngrabPointer(display, CurrentTime);
        XSync(display, False);
        return result == GrabSuccess;
    }

    Display* display;
    std::vector<std::pair<::Window, CRect>> before;
    int (*previousHandler)(Display*, XErrorEvent*) = nullptr;
};

/// Centre of item `index` of a popup whose items all have the same height.
CPoint itemCentre(const CRect& popup, long index, long items)
{
    const long itemHeight = (popup.height() - 2) / items;
    return CPoint(popup.left + popup.width() / 2, popup.top + 1 + index * itemHeight + itemHeight / 2);
}

class X11Controls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!kalvo::x11test::serverAvailable())
            GTEST_SKIP() << "no X server with XTest (DISPLAY not set)";
        host = std::make_unique<TestHost>(320, 240);
        ASSERT_TRUE(host->ok());
        frame = new LoggingFrame(CRect(0, 0, 320, 240), host->handle(), log);
        frame->setBackgroundColor(kBlackCColor);
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
        host.reset();
    }
    /// A preset-style menu of three entries at (20, 20, 185, 45), the current one marked.
    COptionMenu* addMenu()
    {
        auto* menu =
            new COptionMenu(CRect(20, 20, 185, 45), &listener, 14, nullptr, nullptr, kMenuMarkCurrent);
        menu->addEntry("One");
        menu->addEntry("Two");
        menu->addEntry("Three");
        frame->addView(menu);
        return menu;
    }
    bool painted()
    {
        return idleUntil(frame, [this] { return !frame->isFirstDraw(); });
    }
    bool bracketClosed() { return !log.empty() && log.back() == "end 14"; }

    Log log;
    LoggingListener listener{log};
    std::unique_ptr<TestHost> host;
    LoggingFrame* frame = nullptr;
};
} // namespace

TEST_F(X11Controls, ARealClickOpensThePopupAndAClickOnAnItemChoosesIt)
{
    COptionMenu* menu = addMenu();
    ASSERT_TRUE(painted());
    std::vector<CRect> seen;
    bool freeWhileOpen = true;
    std::thread user(
        [&]
        {
            User hand;
            hand.click(60, 30);
            seen = hand.waitForPopups(1);
            if (seen.size() != 1)
                return;
            freeWhileOpen = hand.pointerFree();
            const CPoint two = itemCentre(seen[0], 1, 3);
            hand.moveTo(two.x, two.y);
            hand.click(two.x, two.y);
            hand.ensureClosed();
        });
    const bool done = idleUntil(frame, [this] { return bracketClosed(); });
    user.join();
    ASSERT_TRUE(done);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(freeWhileOpen); // the popup held the pointer
    // It opened under the control (the host window sits at the screen's origin).
    EXPECT_NEAR(seen[0].left, 20, 2);
    EXPECT_NEAR(seen[0].top, 45, 2);
    EXPECT_EQ(log, (Log{"begin 14", "value 14 1.0000", "end 14"}));
    EXPECT_EQ(menu->getCurrent(), 1);
    User eyes;
    EXPECT_TRUE(eyes.popups().empty());
    EXPECT_TRUE(eyes.pointerFree());
}

TEST_F(X11Controls, TheOpenFaceIsOnTheScreenWhileThePopupIsOpen)
{
    // Plain faces of the preset menu's size: blue while closed, green while open.
    auto face = [this](CColor colour)
    {
        auto* bitmap = new CBitmap(*frame, 165, 25);
        COffscreenContext painter(nullptr, bitmap, true);
        painter.setFillColor(colour);
        painter.fillRect(CRect(0, 0, 165, 25));
        return bitmap;
    };
    CBitmap* closedFace = face(CColor{0, 0, 255, 255});
    CBitmap* openFace = face(CColor{0, 255, 0, 255});
    auto* menu =
        new COptionMenu(CRect(20, 20, 185, 45), &listener, 14, closedFace, openFace, kMenuMarkCurrent);
    closedFace->forget();
    openFace->forget();
    menu->addEntry("One");
    menu->addEntry("Two");
    frame->addView(menu);
    ASSERT_TRUE(painted());
    CColor beforeClick{}, whileOpen{};
    std::thread user(
        [&]
        {
            User eyes;
            beforeClick = eyes.screenPixel(22, 22); // a corner of the face, away from the text
            eyes.click(60, 30);
            if (eyes.waitForPopups(1).size() == 1)
                whileOpen = eyes.screenPixel(22, 22);
            eyes.key(XK_Escape);
            eyes.ensureClosed();
        });
    const bool done = idleUntil(frame, [this] { return bracketClosed(); });
    user.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(beforeClick, (CColor{0, 0, 255, 255}));
    EXPECT_EQ(whileOpen, (CColor{0, 255, 0, 255}));
}

TEST_F(X11Controls, EscapeDismissesThePopup)
{
    COptionMenu* menu = addMenu();
    ASSERT_TRUE(painted());
    size_t shown = 0;
    std::thread user(
        [&]
        {
            User hand;
            hand.click(60, 30);
            shown = hand.waitForPopups(1).size();
            hand.key(XK_Escape);
            hand.ensureClosed();
        });
    const bool done = idleUntil(frame, [this] { return bracketClosed(); });
    user.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(shown, 1u);
    EXPECT_EQ(log, (Log{"begin 14", "end 14"}));
    EXPECT_EQ(menu->getCurrent(), 0);
    User eyes;
    EXPECT_TRUE(eyes.popups().empty());
    EXPECT_TRUE(eyes.pointerFree());
}

TEST_F(X11Controls, AClickOutsideDismissesThePopupAndReachesNothingElse)
{
    COptionMenu* menu = addMenu();
    auto* other = new COptionMenu(CRect(200, 180, 300, 200), &listener, 15);
    other->addEntry("Elsewhere");
    frame->addView(other);
    ASSERT_TRUE(painted());
    size_t shown = 0;
    std::thread user(
        [&]
        {
            User hand;
            hand.click(60, 30);
            shown = hand.waitForPopups(1).size();
            hand.click(250, 190); // on the other menu, but the popup has the pointer
            hand.ensureClosed();
        });
    const bool done = idleUntil(frame, [this] { return bracketClosed(); });
    user.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(shown, 1u);
    for (int i = 0; i < 20; i++)
        frame->idle();
    EXPECT_EQ(log, (Log{"begin 14", "end 14"}));
    EXPECT_EQ(menu->getCurrent(), 0);
    User eyes;
    EXPECT_TRUE(eyes.popups().empty());
}

TEST_F(X11Controls, RestingOnASubmenuItemOpensItAndItsItemsCanBeChosen)
{
    auto* menu = new COptionMenu(CRect(20, 20, 185, 45), &listener, 14);
    auto* more = new COptionMenu(CRect(0, 0, 0, 0), nullptr, 16);
    more->addEntry("Deep one");
    more->addEntry("Deep two");
    menu->addEntry("Top");
    menu->addEntry(more, "More");
    more->forget();
    frame->addView(menu);
    ASSERT_TRUE(painted());
    std::vector<CRect> seen;
    std::thread user(
        [&]
        {
            User hand;
            hand.click(60, 30);
            if (hand.waitForPopups(1).size() != 1)
                return;
            const CRect top = hand.popups()[0];
            const CPoint moreItem = itemCentre(top, 1, 2);
            hand.moveTo(moreItem.x - 5, moreItem.y);
            hand.moveTo(moreItem.x, moreItem.y);
            seen = hand.waitForPopups(2);
            for (const CRect& r : seen)
            {
                if (r.left >= top.right - 2)
                {
                    const CPoint deepTwo = itemCentre(r, 1, 2);
                    hand.moveTo(r.left + 10, moreItem.y); // across into the submenu
                    hand.click(deepTwo.x, deepTwo.y);
                }
            }
            hand.ensureClosed();
        });
    const bool done = idleUntil(frame, [this] { return bracketClosed(); });
    user.join();
    ASSERT_TRUE(done);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(listener.last, more);
    EXPECT_EQ(more->getValue(), 1.f);
    EXPECT_EQ(menu->getValue(), 0.f);
}

TEST_F(X11Controls, ARealDragMovesASliderInsideAnEditBracket)
{
    CBitmap* track = new CBitmap(*frame, 111, 16);
    CBitmap* handle = new CBitmap(*frame, 19, 14);
    auto* slider = new CHorizontalSlider(CRect(90, 79, 201, 95), &listener, 3, 90, 181, handle, track,
                                         CPoint(0, 0), kSliderDrawPlain);
    track->forget();
    handle->forget();
    slider->setOffsetHandle(CPoint(1, 0));
    frame->addView(slider);
    ASSERT_TRUE(painted());

    // The user: pressed at 145 (value 46 / 91), then drags to 190 (value 1) and lets go.
    frame->onIdle = [this](int pump)
    {
        if (pump == 1)
            host->movePointer(190, 85);
        if (pump == 3)
            host->releaseButton(1);
    };
    host->movePointer(145, 85);
    host->pressButton(1);
    const bool done = idleUntil(frame, [this] { return !log.empty() && log.back() == "end 3"; });
    frame->onIdle = nullptr;
    ASSERT_TRUE(done);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log.front(), "begin 3");
    EXPECT_EQ(log[1], "value 3 0.5055");
    EXPECT_EQ(log[log.size() - 2], "value 3 1.0000");
    EXPECT_EQ(slider->getValue(), 1.f);
}
