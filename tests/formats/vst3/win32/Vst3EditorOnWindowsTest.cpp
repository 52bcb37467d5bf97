// The panel of the Windows bundle's module in a Windows host's window (under Wine in Xvfb in CI):
// a view attached to the host's HWND, with no run loop from the host, so the panel's idle work
// runs from its own window timer while the host only dispatches messages. Skipped when no
// windows can be made.
#include "formats/vst3/ui/ContentScaleSupport.h"
#include "tests/editor/win32/WindowsEditorHost.h"
#include "tests/formats/vst3/Vst3Module.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace vst3test;
namespace wintest = kalvo::wintest;

namespace
{

const std::vector<long> kFrontMute{520, 95, 551, 111};
const std::vector<long> kRearDelayDisplay{210, 259, 245, 273};

/// Dispatches this thread's messages, as a host's message loop does, until `done` or about
/// `ms` milliseconds passed.
bool dispatchUntil(const std::function<bool()>& done, int ms = 3000)
{
    const DWORD start = GetTickCount();
    while (!done())
    {
        if (GetTickCount() - start > static_cast<DWORD>(ms))
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return true;
}

} // namespace

TEST(Vst3EditorOnWindows, ShowsInTheHostsWindowAndRunsFromItsOwnTimer)
{
    if (!wintest::windowsAvailable())
        GTEST_SKIP() << "no windows (Wine without an X server)";
    wintest::ParentWindow parent(861, 473);
    Instance plugin;
    RecordingHandler handler;
    plugin.controller->setComponentHandler(&handler);
    vst3::IPlugView* view = plugin.controller->createView("editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(vst3::kPlatformTypeHWND), vst3::kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(vst3::kPlatformTypeX11EmbedWindowID), vst3::kResultFalse);
    ASSERT_EQ(view->attached(parent.handle(), vst3::kPlatformTypeHWND), vst3::kResultOk);
    EXPECT_EQ(parent.children().size(), 1u);

    // A value from the host reaches the display through the timer's idle work alone.
    dispatchUntil([] { return false; }, 300);
    const wintest::Image before = wintest::readWindow(parent.handle(), kRearDelayDisplay);
    ASSERT_EQ(plugin.controller->setParamNormalized(5, 0.5), vst3::kResultOk);
    EXPECT_TRUE(dispatchUntil(
        [&]
        {
            return wintest::compare(before, wintest::readWindow(parent.handle(), kRearDelayDisplay), 0, 0, 0)
                       .pixels > 10;
        }));

    // A click on the front mute reaches the host as one edit.
    wintest::hand::click((kFrontMute[0] + kFrontMute[2]) / 2, (kFrontMute[1] + kFrontMute[3]) / 2);
    EXPECT_TRUE(dispatchUntil(
        [&] {
            return std::find(handler.events.begin(), handler.events.end(), "end 11") != handler.events.end();
        }));
    EXPECT_EQ(handler.events, (std::vector<std::string>{"begin 11", "perform 11", "end 11"}));

    EXPECT_EQ(view->removed(), vst3::kResultOk);
    dispatchUntil([] { return false; }, 100);
    EXPECT_TRUE(parent.children().empty());
    view->release();
    plugin.controller->setComponentHandler(nullptr);
}

// The host's content scale of 2: the panel draws again at 1682 x 906 in the same window, asks the
// host for that size from its own timer (never inside the host's call), and a click at twice a
// control's position lands on that control.
TEST(Vst3EditorOnWindows, AtTheHostsContentScaleOfTwoThePanelDoublesAndClicksLand)
{
    if (!wintest::windowsAvailable())
        GTEST_SKIP() << "no windows (Wine without an X server)";
    struct Frame : HostObject<vst3::IPlugFrame>
    {
        vst3::tresult KALVO_VST3_API resizeView(vst3::IPlugView*, vst3::ViewRect* size) override
        {
            if (size)
                resized.push_back({size->right - size->left, size->bottom - size->top});
            return vst3::kResultOk;
        }
        std::vector<std::pair<int, int>> resized;
    } frame;
    wintest::ParentWindow parent(1702, 926);
    Instance plugin;
    RecordingHandler handler;
    plugin.controller->setComponentHandler(&handler);
    vst3::IPlugView* view = plugin.controller->createView("editor");
    ASSERT_NE(view, nullptr);
    view->setFrame(&frame);
    ASSERT_EQ(view->attached(parent.handle(), vst3::kPlatformTypeHWND), vst3::kResultOk);
    dispatchUntil([] { return false; }, 300);
    const std::vector<long> firstQuarter{0, 0, 841, 453};
    const wintest::Image atOne = wintest::readWindow(parent.handle(), firstQuarter);
    void* obj = nullptr;
    ASSERT_EQ(view->queryInterface(vst3::IPlugViewContentScaleSupport::iid.bytes, &obj), vst3::kResultOk);
    auto* scaling = static_cast<vst3::IPlugViewContentScaleSupport*>(obj);
    EXPECT_EQ(scaling->setContentScaleFactor(2.0f), vst3::kResultTrue);
    EXPECT_TRUE(frame.resized.empty()) << "never from inside the host's call";
    ASSERT_TRUE(dispatchUntil([&] { return !frame.resized.empty(); }));
    EXPECT_EQ(frame.resized, (std::vector<std::pair<int, int>>{{1682, 906}}));
    ASSERT_EQ(parent.children().size(), 1u);
    RECT client{};
    GetClientRect(static_cast<HWND>(parent.children()[0]), &client);
    EXPECT_EQ(std::make_pair(client.right, client.bottom), std::make_pair(LONG(1682), LONG(906)));

    // Drawn again all over, not only where the new size uncovered the window.
    dispatchUntil([] { return false; }, 300);
    EXPECT_GT(wintest::compare(atOne, wintest::readWindow(parent.handle(), firstQuarter), 0, 0, 0).pixels,
              841L * 453 / 4);
    wintest::hand::click(kFrontMute[0] + kFrontMute[2], kFrontMute[1] + kFrontMute[3]);
    EXPECT_TRUE(dispatchUntil(
        [&] {
            return std::find(handler.events.begin(), handler.events.end(), "end 11") != handler.events.end();
        }));
    EXPECT_EQ(handler.events, (std::vector<std::string>{"begin 11", "perform 11", "end 11"}));

    scaling->release();
    EXPECT_EQ(view->removed(), vst3::kResultOk);
    view->setFrame(nullptr);
    view->release();
    plugin.controller->setComponentHandler(nullptr);
}
