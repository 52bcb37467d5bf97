// The panel of the built Kalvo.vst3 in a real X server, as a Linux VST 3 host shows it: a view
// from the controller, a plug frame offering the host's run loop, the view attached to the
// host's window; the panel's events and redraws run from that run loop only. The user acts
// with real pointer events. Skipped when no server is available.
#include "formats/vst3/ui/ContentScaleSupport.h"
#include "tests/formats/vst3/Vst3Module.h"
#include "tests/support/X11Screen.h"

#include "tests/support/X11TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <malloc.h>
#include <memory>
#include <poll.h>
#include <thread>

using namespace vst3test;
using kalvo::editortest::Difference;
using kalvo::editortest::headlessPanel;
using kalvo::editortest::User;
using kalvo::editortest::Watchdog;
using ParentWindow = kalvo::x11test::TestHost;

namespace
{

constexpr long kWidth = 841;
constexpr long kHeight = 453;
const std::vector<long> kFrontLevelSlider{350, 99, 461, 115};
const std::vector<long> kFrontMute{520, 95, 551, 111};

/// The host's run loop: descriptors watched with poll, timers at their periods, all on the
/// thread that calls run.
class RunLoop : public HostObject<vst3::IRunLoop>
{
public:
    vst3::tresult KALVO_VST3_API registerEventHandler(vst3::IEventHandler* handler, int fd) override
    {
        handlers.push_back({handler, fd});
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API unregisterEventHandler(vst3::IEventHandler* handler) override
    {
        for (auto i = handlers.begin(); i != handlers.end(); ++i)
            if (i->first == handler)
                return handlers.erase(i), vst3::kResultOk;
        return vst3::kInvalidArgument;
    }
    vst3::tresult KALVO_VST3_API registerTimer(vst3::ITimerHandler* handler, vst3::uint64 ms) override
    {
        timers.push_back({handler, static_cast<int>(ms), now() + static_cast<int>(ms)});
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API unregisterTimer(vst3::ITimerHandler* handler) override
    {
        for (auto i = timers.begin(); i != timers.end(); ++i)
            if (i->handler == handler)
                return timers.erase(i), vst3::kResultOk;
        return vst3::kInvalidArgument;
    }

    /// Runs until `done` or about `ms` milliseconds passed; true when done.
    bool runUntil(const std::function<bool()>& done, int ms = 3000)
    {
        const long end = now() + ms;
        while (!done())
        {
            if (now() >= end)
                return false;
            runOnce(10);
        }
        return true;
    }
    void runOnce(int maxWaitMs)
    {
        int wait = maxWaitMs;
        for (const Timer& t : timers)
            wait = std::max(0, std::min(wait, static_cast<int>(t.due - now())));
        std::vector<pollfd> fds;
        for (const auto& h : handlers)
            fds.push_back({h.second, POLLIN, 0});
        poll(fds.data(), fds.size(), wait);
        const auto ready = handlers; // a handler may unregister itself
        for (size_t i = 0; i < fds.size() && i < ready.size(); ++i)
            if (fds[i].revents & POLLIN)
                ready[i].first->onFDIsSet(ready[i].second);
        for (size_t i = 0; i < timers.size(); ++i)
            if (timers[i].due <= now())
            {
                timers[i].due = now() + timers[i].period;
                timers[i].handler->onTimer();
            }
    }
    static long now()
    {
        using namespace std::chrono;
        return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

    struct Timer
    {
        vst3::ITimerHandler* handler;
        int period;
        long due;
    };
    std::vector<std::pair<vst3::IEventHandler*, int>> handlers;
    std::vector<Timer> timers;
};

/// The host's frame around a view: answers the run loop.
class PlugFrame : public HostObject<vst3::IPlugFrame>
{
public:
    explicit PlugFrame(RunLoop& loop) : loop(loop) {}
    vst3::tresult KALVO_VST3_API queryInterface(const vst3::TUID requested, void** obj) override
    {
        if (vst3::IRunLoop::iid.matches(requested))
        {
            *obj = static_cast<vst3::IRunLoop*>(&loop);
            loop.addRef();
            return vst3::kResultOk;
        }
        return HostObject<vst3::IPlugFrame>::queryInterface(requested, obj);
    }
    vst3::tresult KALVO_VST3_API resizeView(vst3::IPlugView*, vst3::ViewRect* size) override
    {
        if (size)
            resized.push_back({size->right - size->left, size->bottom - size->top});
        return vst3::kResultOk;
    }
    RunLoop& loop;
    std::vector<std::pair<int, int>> resized;
};

class Vst3EditorOnX11 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!kalvo::x11test::serverAvailable())
            GTEST_SKIP() << "no X server with XTest (DISPLAY not set)";
        parent = std::make_unique<ParentWindow>(kWidth + 20, kHeight + 20);
        ASSERT_TRUE(parent->ok());
        plugin = std::make_unique<Instance>();
        plugin->controller->setComponentHandler(&handler);
    }
    void TearDown() override
    {
        closeView();
        if (plugin)
            plugin->controller->setComponentHandler(nullptr);
        plugin.reset();
        parent.reset();
    }

    bool openView()
    {
        view = plugin->controller->createView("editor");
        if (!view)
            return false;
        view->setFrame(&frame);
        return view->attached(parent->handle(), vst3::kPlatformTypeX11EmbedWindowID) == vst3::kResultOk;
    }
    void closeView()
    {
        if (!view)
            return;
        view->removed();
        view->setFrame(nullptr);
        view->release();
        view = nullptr;
    }
    Difference shown(const kalvo::editortest::Image& expected)
    {
        return kalvo::editortest::compare(expected, parent->readPixels(CRect(0, 0, kWidth, kHeight)), 0, 0,
                                          kWidth, kHeight, 0);
    }
    /// Runs the host's loop until the window shows `expected`, at most about two seconds.
    Difference runUntilShown(const kalvo::editortest::Image& expected)
    {
        Difference d;
        loop.runUntil([&] { return (d = shown(expected)).pixels == 0; }, 2000);
        return d;
    }
    bool runUntilEvent(const std::string& event)
    {
        return loop.runUntil(
            [&] {
                return std::find(handler.events.begin(), handler.events.end(), event) != handler.events.end();
            });
    }

    std::unique_ptr<ParentWindow> parent;
    std::unique_ptr<Instance> plugin;
    RecordingHandler handler;
    RunLoop loop;
    PlugFrame frame{loop};
    vst3::IPlugView* view = nullptr;
};

std::string describe(const std::vector<std::string>& events)
{
    std::string s;
    for (const std::string& e : events)
        s += e + "; ";
    return s;
}

} // namespace

TEST_F(Vst3EditorOnX11, EmbedsInTheHostsWindowAndRunsFromItsRunLoop)
{
    view = plugin->controller->createView("editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(plugin->controller->createView("other"), nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(vst3::kPlatformTypeX11EmbedWindowID), vst3::kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(vst3::kPlatformTypeHWND), vst3::kResultFalse);
    vst3::ViewRect size{};
    ASSERT_EQ(view->getSize(&size), vst3::kResultOk);
    EXPECT_EQ(size.right - size.left, kWidth);
    EXPECT_EQ(size.bottom - size.top, kHeight);
    EXPECT_EQ(view->canResize(), vst3::kResultFalse);
    view->release();
    view = nullptr;

    ASSERT_TRUE(openView());
    EXPECT_EQ(loop.handlers.size(), 1u) << "the X connection's descriptor";
    EXPECT_EQ(loop.timers.size(), 1u);
    EXPECT_EQ(parent->childCount(), 1);
    const Difference d = runUntilShown(headlessPanel({}));
    EXPECT_EQ(d.pixels, 0) << d.pixels << " pixels differ, the first at " << d.firstX << "," << d.firstY;

    // A value the host sets reaches the panel.
    ASSERT_EQ(plugin->controller->setParamNormalized(5, 0.5), vst3::kResultOk);
    EXPECT_EQ(runUntilShown(headlessPanel({"5=0.5"})).pixels, 0);
    EXPECT_TRUE(handler.events.empty()) << "never echoed: " << describe(handler.events);

    // A program the host chooses: the host is asked to read every value again from its run
    // loop, never from inside its own call.
    ASSERT_EQ(plugin->controller->setParamNormalized(14, 1.0), vst3::kResultOk);
    EXPECT_TRUE(handler.events.empty()) << describe(handler.events);
    EXPECT_TRUE(runUntilEvent("restart " + std::to_string(vst3::kParamValuesChanged)));
    EXPECT_EQ(handler.events.size(), 1u) << describe(handler.events);

    closeView();
    EXPECT_TRUE(loop.handlers.empty());
    EXPECT_TRUE(loop.timers.empty());
    parent->sync();
    EXPECT_EQ(parent->childCount(), 0);
}

TEST_F(Vst3EditorOnX11, TheHostsContentScaleResizesThePanelFromTheViewsTimer)
{
    ASSERT_TRUE(openView());
    void* obj = nullptr;
    ASSERT_EQ(view->queryInterface(vst3::IPlugViewContentScaleSupport::iid.bytes, &obj), vst3::kResultOk);
    auto* scaling = static_cast<vst3::IPlugViewContentScaleSupport*>(obj);
    EXPECT_EQ(scaling->setContentScaleFactor(2.0f), vst3::kResultTrue);
    EXPECT_TRUE(frame.resized.empty()) << "never from inside the host's call";
    vst3::ViewRect size{};
    ASSERT_EQ(view->getSize(&size), vst3::kResultOk);
    EXPECT_EQ(std::make_pair(size.right, size.bottom), std::make_pair(2 * int(kWidth), 2 * int(kHeight)));

    ASSERT_TRUE(loop.runUntil([&] { return !frame.resized.empty(); }));
    EXPECT_EQ(frame.resized, (std::vector<std::pair<int, int>>{{2 * int(kWidth), 2 * int(kHeight)}}));
    User eyes;
    const auto children = eyes.childrenOf(reinterpret_cast<std::uintptr_t>(parent->handle()));
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(eyes.geometry(children[0]), (std::vector<long>{0, 0, 2 * kWidth, 2 * kHeight}));
    EXPECT_EQ(loop.handlers.size(), 1u) << "the new window's X connection, watched instead of the old";
    scaling->release();
}

TEST_F(Vst3EditorOnX11, ARealDragAndARealClickReachTheHostAsBeginPerformEnd)
{
    ASSERT_TRUE(openView());
    ASSERT_EQ(runUntilShown(headlessPanel({})).pixels, 0);
    Watchdog watchdog;

    // Front level: 91 pixels for the whole range from x = 359 (0) to 450 (1). Pressed at 450,
    // dragged to 404, released: 45 / 91. The user acts on a thread of their own while the
    // panel's drag loop runs inside the host's run loop.
    const long y = (kFrontLevelSlider[1] + kFrontLevelSlider[3]) / 2;
    std::thread user(
        [y]
        {
            User hand;
            hand.moveTo(450, y);
            hand.press();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            hand.moveTo(404, y);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            hand.release();
        });
    const bool ended = runUntilEvent("end 7");
    user.join();
    ASSERT_TRUE(ended) << describe(handler.events);
    EXPECT_FALSE(watchdog.fired());
    ASSERT_GE(handler.events.size(), 3u);
    EXPECT_EQ(handler.events.front(), "begin 7");
    EXPECT_EQ(handler.events.back(), "end 7");
    for (size_t i = 1; i + 1 < handler.events.size(); ++i)
        EXPECT_EQ(handler.events[i], "perform 7") << describe(handler.events);
    ASSERT_FALSE(handler.values.empty());
    EXPECT_EQ(handler.values.back().second, static_cast<double>(45.0f / 91.0f));
    EXPECT_EQ(plugin->controller->getParamNormalized(7), static_cast<double>(45.0f / 91.0f));

    handler.events.clear();
    User hand;
    hand.click((kFrontMute[0] + kFrontMute[2]) / 2, (kFrontMute[1] + kFrontMute[3]) / 2);
    ASSERT_TRUE(runUntilEvent("end 11")) << describe(handler.events);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"begin 11", "perform 11", "end 11"}));
    EXPECT_EQ(handler.values.back().second, 1.0);
    // The panel shows both edits, like the VST 2.4 build's panel at these values.
    EXPECT_EQ(runUntilShown(headlessPanel({"7=" + kalvo::editortest::exactly(45.0f / 91.0f), "11=1"})).pixels,
              0);
}

TEST_F(Vst3EditorOnX11, ADoubleClickOnADisplayTakesTypedTextAsOneEdit)
{
    ASSERT_TRUE(openView());
    ASSERT_EQ(runUntilShown(headlessPanel({})).pixels, 0);
    Watchdog watchdog;
    User hand;
    // The front angle's display. The field takes the keyboard, so the keys reach it and not the
    // host's window; text that is no value changes nothing and leaves it open for a correction.
    hand.click(227, 183);
    hand.click(227, 183);
    loop.runUntil([] { return false; }, 200);
    hand.typeText("\b\b\b\b\b\bxyz\n");
    loop.runUntil([] { return false; }, 200);
    EXPECT_TRUE(handler.events.empty()) << describe(handler.events);
    hand.typeText("\b\b\b60\n");
    ASSERT_TRUE(runUntilEvent("end 3")) << describe(handler.events);
    EXPECT_FALSE(watchdog.fired());
    EXPECT_EQ(handler.events, (std::vector<std::string>{"begin 3", "perform 3", "end 3"}));
    EXPECT_EQ(handler.values.back().second, static_cast<double>(static_cast<float>(60.0 / 90.0)));
}

TEST_F(Vst3EditorOnX11, MetersFollowTheHostWhileASliderIsHeld)
{
    ASSERT_TRUE(openView());
    const kalvo::editortest::Image panel = headlessPanel({});
    ASSERT_EQ(runUntilShown(panel).pixels, 0);
    Watchdog watchdog;
    User hand;
    // The front level's handle is grabbed where it stands (value 1) and held there.
    hand.moveTo(450, (kFrontLevelSlider[1] + kFrontLevelSlider[3]) / 2);
    hand.press();
    ASSERT_TRUE(runUntilEvent("begin 7")) << describe(handler.events);
    // The run loop keeps turning during the drag, so the meter the host reports reaches the panel.
    ASSERT_EQ(plugin->controller->setParamNormalized(20, 1.0), vst3::kResultOk);
    const bool lit = loop.runUntil([&] { return shown(panel).pixels > 100; }, 1000);
    hand.release();
    ASSERT_TRUE(runUntilEvent("end 7")) << describe(handler.events);
    EXPECT_FALSE(watchdog.fired());
    EXPECT_TRUE(lit) << "the front mid meter lights while the slider is held";
}

TEST_F(Vst3EditorOnX11, ThreeHundredOpenCloseCyclesAtOneAndTwiceTheSizeLeakNeitherMemoryNorServerResources)
{
    User eyes;
    // In every cycle the host switches the open panel between 100 % and 200 %, which draws it
    // again at the other size (the panel opens at the zoom the host set last).
    bool zoom = false;
    const auto cycle = [&]
    {
        ASSERT_TRUE(openView());
        loop.runOnce(0);
        void* obj = nullptr;
        ASSERT_EQ(view->queryInterface(vst3::IPlugViewContentScaleSupport::iid.bytes, &obj), vst3::kResultOk);
        static_cast<vst3::IPlugViewContentScaleSupport*>(obj)->setContentScaleFactor((zoom = !zoom) ? 2.0f
                                                                                                    : 1.0f);
        static_cast<vst3::IPlugViewContentScaleSupport*>(obj)->release();
        frame.resized.clear();
        const bool resized = loop.runUntil([&] { return !frame.resized.empty(); });
        closeView();
        ASSERT_TRUE(resized);
    };
    for (int i = 0; i < 300;
         i++) // warm-up: font, image and library caches (cairo keeps a few hundred scaled fonts)
        cycle();
    const int clients = eyes.serverClients();
    const long descriptors = kalvo::editortest::openDescriptors();
    const long heap = static_cast<long>(mallinfo2().uordblks);
    constexpr int kCycles = 300;
    for (int i = 0; i < kCycles; i++)
        cycle();
    const long grown = static_cast<long>(mallinfo2().uordblks) - heap;
    std::printf("%d view cycles: heap in use grew by %ld bytes; server clients %d -> %d\n", kCycles, grown,
                clients, eyes.serverClients());
    if (!KALVO_SANITIZED)
    {
        EXPECT_LT(grown, 64 * 1024);
    }
    EXPECT_EQ(kalvo::editortest::openDescriptors(), descriptors);
    EXPECT_TRUE(eyes.childrenOf(reinterpret_cast<std::uintptr_t>(parent->handle())).empty());
    if (clients >= 0)
    {
        EXPECT_EQ(eyes.serverClients(), clients);
    }
    EXPECT_TRUE(handler.events.empty()) << describe(handler.events);
}

TEST_F(Vst3EditorOnX11, ThePanelOpensAndClosesWhileTheProcessorRuns)
{
    // Hosts open and close the panel whenever the user likes, with the audio thread running.
    std::atomic<bool> running{true};
    std::atomic<long> blocks{0};
    std::atomic<bool> finite{true};
    std::thread audio(
        [&]
        {
            std::vector<std::vector<float>> in(3, std::vector<float>(256)), out(6, std::vector<float>(256));
            float* inPtr[3] = {in[0].data(), in[1].data(), in[2].data()};
            float* outPtr[6];
            for (int c = 0; c < 6; ++c)
                outPtr[c] = out[static_cast<size_t>(c)].data();
            for (long n = 0; running.load(); ++n)
            {
                for (auto& channel : in)
                    for (size_t i = 0; i < channel.size(); ++i)
                        channel[i] =
                            static_cast<float>(((n * 256 + static_cast<long>(i)) % 101) / 101.0 - 0.5);
                plugin->process(inPtr, outPtr, 256);
                for (const auto& channel : out)
                    for (float s : channel)
                        if (!std::isfinite(s))
                            finite = false;
                ++blocks;
            }
        });
    for (int i = 0; i < 30; ++i)
    {
        ASSERT_TRUE(openView());
        loop.runOnce(0);
        closeView();
    }
    running = false;
    audio.join();
    EXPECT_GT(blocks.load(), 0);
    EXPECT_TRUE(finite.load());
}

// The headphone class's panel carries the head-tracking strip: a real click on the tracker's
// switch reaches the host as one edit of parameter 43.
TEST_F(Vst3EditorOnX11, TheHeadphoneClassesPanelEditsTheHeadControls)
{
    if (Module::shared().factory->countClasses() < 4)
        GTEST_SKIP() << "this build has no headphone classes";
    plugin->controller->setComponentHandler(nullptr);
    plugin = std::make_unique<Instance>(44100.0, 1024, vst3::kSample32, true, 2);
    plugin->controller->setComponentHandler(&handler);
    parent = std::make_unique<ParentWindow>(kWidth + 20, 497 + 20);
    ASSERT_TRUE(openView());
    vst3::ViewRect size{};
    ASSERT_EQ(view->getSize(&size), vst3::kResultOk);
    EXPECT_EQ(std::make_pair(size.right, size.bottom), std::make_pair(int(kWidth), 497));
    loop.runOnce(0);
    User hand;
    hand.click(105, 484);
    ASSERT_TRUE(runUntilEvent("end 43")) << describe(handler.events);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"begin 43", "perform 43", "end 43"}));
    EXPECT_EQ(handler.values.back().second, 1.0);
}
