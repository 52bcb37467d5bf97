// The editor on a Windows desktop at 200 % (192 dots per inch): scripts/test-windows.sh runs this
// once more with the test prefix set to 192 DPI; at the usual 96 it skips itself. The process is
// per-monitor aware, as today's hosts are, and also makes a window of an unaware host.
#include "WindowsEditorHost.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

using namespace kalvo::wintest;

namespace
{
const std::vector<long> kFrontMute{520, 95, 551, 111};

/// The window's size as its own DPI awareness measures it.
std::pair<long, long> clientSize(void* window)
{
    HWND hwnd = static_cast<HWND>(window);
    const DPI_AWARENESS_CONTEXT previous = SetThreadDpiAwarenessContext(GetWindowDpiAwarenessContext(hwnd));
    RECT client{};
    GetClientRect(hwnd, &client);
    SetThreadDpiAwarenessContext(previous);
    return {client.right, client.bottom};
}
} // namespace

// An aware host's window on a 192-DPI screen gets the panel at 1682 x 906, told to the host
// before the editor opens, and a click at twice a control's place lands on it; an unaware host's
// window (which Windows enlarges itself) gets the panel at its own size.
TEST(KalvoEditorOnWindowsDesktop, FollowsTheDpiOfTheHostsWindow)
{
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (GetDpiForSystem() != 192)
        GTEST_SKIP() << "the desktop is at " << GetDpiForSystem() << " DPI, not 192";
    if (!windowsAvailable())
        GTEST_SKIP() << "no window system (Wine needs an X server: DISPLAY not set)";
    Instance plugin;
    ASSERT_TRUE(plugin.ok()) << "cannot load " << KALVO_PLUGIN_PATH;

    {
        ParentWindow aware(2 * kPanelWidth + 20, 2 * kPanelHeight + 20);
        EXPECT_EQ(plugin.editorSize(), std::make_pair(2 * kPanelWidth, 2 * kPanelHeight));
        ASSERT_TRUE(plugin.openEditor(aware.handle()));
        ASSERT_EQ(aware.children().size(), 1u);
        EXPECT_EQ(clientSize(aware.children()[0]), std::make_pair(2 * kPanelWidth, 2 * kPanelHeight));
        plugin.idleUntil([] { return false; }, 200);
        hand::click(kFrontMute[0] + kFrontMute[2], kFrontMute[1] + kFrontMute[3]);
        ASSERT_TRUE(plugin.idleUntilEditEnds(11)) << describe(plugin.events);
        EXPECT_EQ(plugin.parameter(11), 1.0f);
        plugin.closeEditor();
    }

    const DPI_AWARENESS_CONTEXT previous = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE);
    auto unaware = std::make_unique<ParentWindow>(kPanelWidth + 20, kPanelHeight + 20);
    SetThreadDpiAwarenessContext(previous);
    ASSERT_TRUE(plugin.openEditor(unaware->handle()));
    ASSERT_EQ(unaware->children().size(), 1u);
    EXPECT_EQ(clientSize(unaware->children()[0]), std::make_pair(kPanelWidth, kPanelHeight));
    EXPECT_EQ(plugin.editorSize(), std::make_pair(kPanelWidth, kPanelHeight));
    plugin.closeEditor();
}
