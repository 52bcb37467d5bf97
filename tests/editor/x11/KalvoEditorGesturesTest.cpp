// The editor of the built plug-in in a real X server, driven as a Linux host drives it: dlopen,
// VSTPluginMain, effEditGetRect, effEditOpen with a parent window, effEditIdle; the user acts with
// real pointer events through XTest. Skipped when no server is available.
#include "EditorHost.h"

#include "tests/support/X11TestHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <thread>

using namespace kalvo::editortest;
using kalvo::x11test::TestHost;

namespace
{
// Panel places the gestures aim at (left, top, right, bottom; right and bottom exclusive).
const std::vector<long> kFrontLevelSlider{350, 99, 461, 115};
const std::vector<long> kFrontMute{520, 95, 551, 111};
const std::vector<long> kPresetMenu{630, 134, 795, 159};
const std::vector<long> kLogoArea{606, 22, 830, 96};
const std::vector<long> kAboutImage{201, 14, 656, 448};

// Both sides draw with the same rasteriser into 24-bit pixels and the window is a plain
// TrueColor copy of its back buffer, so the window must match the headless render exactly.
constexpr int kPixelTolerance = 0;

// "4 Channel", the third entry of the preset menu, is factory program 5.
constexpr float kFourChannel[13] = {0.36f, 0.36f,  0.36f, 0.6033f, 0.6f, 0.0f, 1.0f,
                                    1.0f,  0.844f, 0.0f,  0.0f,    0.0f, 0.0f};

class KalvoEditorOnX11 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!kalvo::x11test::serverAvailable())
            GTEST_SKIP() << "no X server with XTest (DISPLAY not set)";
        parent = std::make_unique<TestHost>(kPanelWidth + 20, kPanelHeight + 20);
        ASSERT_TRUE(parent->ok());
        plugin = std::make_unique<Instance>();
        ASSERT_TRUE(plugin->ok()) << "cannot load " << KALVO_PLUGIN_PATH;
    }
    void TearDown() override
    {
        plugin.reset();
        parent.reset();
    }

    std::vector<std::uint32_t> panelPixels(const std::vector<long>& r = {0, 0, kPanelWidth, kPanelHeight})
    {
        return parent->readPixels(CRect(r[0], r[1], r[2], r[3]));
    }
    Difference against(const Image& expected, const std::vector<std::vector<long>>& excluded = {})
    {
        return compare(expected, panelPixels(), 0, 0, kPanelWidth, kPanelHeight, kPixelTolerance, excluded);
    }
    /// Idles until the window shows `expected` (all but `excluded`), at most about two seconds.
    Difference idleUntilShown(const Image& expected, const std::vector<std::vector<long>>& excluded = {})
    {
        Difference d;
        plugin->idleUntil([&] { return (d = against(expected, excluded)).pixels == 0; }, 2000);
        return d;
    }
    bool openEditor() { return plugin->openEditor(parent->handle()); }

    std::unique_ptr<TestHost> parent;
    std::unique_ptr<Instance> plugin;
};

std::string where(const Difference& d)
{
    return std::to_string(d.pixels) + " pixels differ, the first at " + std::to_string(d.firstX) + "," +
           std::to_string(d.firstY) + ", largest channel difference " + std::to_string(d.maxChannel);
}
} // namespace

TEST_F(KalvoEditorOnX11, OpensAtItsSizeInTheHostsWindowAndShowsTheHeadlessPanel)
{
    // Hosts size their window before opening the editor.
    EXPECT_EQ(plugin->editorSize(), std::make_pair(kPanelWidth, kPanelHeight));
    const Image expected = headlessPanel({});
    ASSERT_EQ(expected.width, kPanelWidth);

    ASSERT_TRUE(openEditor());
    User eyes;
    const std::vector<unsigned long> children =
        eyes.childrenOf(reinterpret_cast<std::uintptr_t>(parent->handle()));
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(eyes.geometry(children[0]), (std::vector<long>{0, 0, kPanelWidth, kPanelHeight}));
    EXPECT_EQ(plugin->editorSize(), std::make_pair(kPanelWidth, kPanelHeight));

    const Difference d = idleUntilShown(expected);
    std::printf("default panel: %ld of %ld pixels differ, largest channel difference %d\n", d.pixels,
                kPanelWidth * kPanelHeight, d.maxChannel);
    EXPECT_EQ(d.pixels, 0) << where(d);
    // The host's own window around the panel is left alone.
    EXPECT_EQ(parent->pixel(kPanelWidth + 10, 10), MakeCColor(64, 64, 64));

    plugin->closeEditor();
    EXPECT_TRUE(eyes.childrenOf(reinterpret_cast<std::uintptr_t>(parent->handle())).empty());
    EXPECT_EQ(plugin->editorSize(), std::make_pair(kPanelWidth, kPanelHeight));
    EXPECT_TRUE(plugin->events.empty()) << describe(plugin->events);
}

TEST_F(KalvoEditorOnX11, ARealDragOfASliderAutomatesInsideOneEditBracket)
{
    ASSERT_TRUE(openEditor());
    ASSERT_EQ(idleUntilShown(headlessPanel({})).pixels, 0);
    Watchdog watchdog;
    User hand;

    // Front level: the handle's centre follows the pointer, 91 pixels for the whole range from
    // x = 359 (value 0) to 450 (value 1). Pressed at 450, dragged to 404, released: 45 / 91.
    const long y = (kFrontLevelSlider[1] + kFrontLevelSlider[3]) / 2;
    int pumpsAtPress = plugin->hostIdleCalls;
    plugin->onHostIdle = [&](int calls)
    {
        // The plug-in's idle pump inside the drag loop calls the host: the user moves meanwhile.
        if (calls - pumpsAtPress == 1)
            hand.moveTo(404, y);
        if (calls - pumpsAtPress == 3)
            hand.release();
    };
    hand.moveTo(450, y);
    hand.press();
    ASSERT_TRUE(plugin->idleUntilEditEnds(7)) << describe(plugin->events);
    plugin->onHostIdle = nullptr;
    EXPECT_FALSE(watchdog.fired());

    const std::vector<HostEvent>& events = plugin->events;
    ASSERT_GE(events.size(), 3u) << describe(events);
    EXPECT_EQ(events.front(), beginEdit(7));
    EXPECT_EQ(events.back(), endEdit(7));
    for (size_t i = 1; i + 1 < events.size(); i++)
    {
        EXPECT_EQ(events[i].opcode, audioMasterAutomate) << describe(events);
        EXPECT_EQ(events[i].index, 7);
    }
    const float dragged = 45.0f / 91.0f;
    EXPECT_EQ(events[events.size() - 2], automate(7, dragged)) << describe(events);
    EXPECT_EQ(plugin->parameter(7), dragged);

    // Handle, level display and the front curves of the polar plot all follow.
    const Difference d = idleUntilShown(headlessPanel({"7=" + exactly(dragged)}));
    std::printf("after the drag: %ld pixels differ, largest channel difference %d\n", d.pixels, d.maxChannel);
    EXPECT_EQ(d.pixels, 0) << where(d);
}

TEST_F(KalvoEditorOnX11, ADoubleClickOnADisplayTakesATypedValueAsOneEdit)
{
    ASSERT_TRUE(openEditor());
    ASSERT_EQ(idleUntilShown(headlessPanel({})).pixels, 0);
    Watchdog watchdog;
    User hand;
    // The front angle's display; the field takes the keyboard, so the keys reach the panel and
    // not the host's window.
    hand.click(227, 183);
    hand.click(227, 183);
    for (int i = 0; i < 10; i++)
        plugin->idle();
    hand.typeText("\b\b\b\b\b\b60\n");
    ASSERT_TRUE(plugin->idleUntilEditEnds(3)) << describe(plugin->events);
    EXPECT_FALSE(watchdog.fired());
    const float sixtyDegrees = static_cast<float>(60.0 / 90.0);
    EXPECT_EQ(plugin->events, (std::vector<HostEvent>{beginEdit(3), automate(3, sixtyDegrees), endEdit(3)}))
        << describe(plugin->events);
    EXPECT_EQ(plugin->parameter(3), sixtyDegrees);
}

TEST_F(KalvoEditorOnX11, OnADesktopAt200PercentThePanelDoublesAndClicksLandOnTheirControls)
{
    // A desktop at 200 % publishes Xft.dpi 192. The editor asks when the host first asks for its
    // size and again in the host's window; the resource is taken away once the panel is open, so
    // that other panels on this server stay at 100 %.
    TestHost big(2 * kPanelWidth + 20, 2 * kPanelHeight + 20);
    ASSERT_TRUE(big.ok());
    big.setDesktopResources("Xft.antialias:\t1\nXft.dpi:\t192\n");
    const std::pair<long, long> size = plugin->editorSize();
    EXPECT_EQ(size, std::make_pair(2 * kPanelWidth, 2 * kPanelHeight));
    const bool opened = plugin->openEditor(big.handle());
    big.setDesktopResources(nullptr);
    ASSERT_TRUE(opened);
    User hand;
    const std::vector<unsigned long> children =
        hand.childrenOf(reinterpret_cast<std::uintptr_t>(big.handle()));
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(hand.geometry(children[0]), (std::vector<long>{0, 0, 2 * kPanelWidth, 2 * kPanelHeight}));
    plugin->idleUntil([] { return false; }, 200); // the first paint
    hand.click(2 * (kFrontMute[0] + kFrontMute[2]) / 2, 2 * (kFrontMute[1] + kFrontMute[3]) / 2);
    ASSERT_TRUE(plugin->idleUntilEditEnds(11)) << describe(plugin->events);
    EXPECT_EQ(plugin->events, (std::vector<HostEvent>{beginEdit(11), automate(11, 1.0f), endEdit(11)}))
        << describe(plugin->events);
    plugin->closeEditor();
}

TEST_F(KalvoEditorOnX11, AClickOnAMuteButtonTurnsItOnAndTellsTheHost)
{
    ASSERT_TRUE(openEditor());
    ASSERT_EQ(idleUntilShown(headlessPanel({})).pixels, 0);
    User hand;
    hand.click((kFrontMute[0] + kFrontMute[2]) / 2, (kFrontMute[1] + kFrontMute[3]) / 2);
    ASSERT_TRUE(plugin->idleUntilEditEnds(11)) << describe(plugin->events);
    EXPECT_EQ(plugin->events, (std::vector<HostEvent>{beginEdit(11), automate(11, 1.0f), endEdit(11)}))
        << describe(plugin->events);
    EXPECT_EQ(plugin->parameter(11), 1.0f);

    // The button shows its lower image and the front pair collapses in the polar plot.
    const Difference d = idleUntilShown(headlessPanel({"11=1"}));
    std::printf("after the mute click: %ld pixels differ, largest channel difference %d\n", d.pixels,
                d.maxChannel);
    EXPECT_EQ(d.pixels, 0) << where(d);
}

TEST_F(KalvoEditorOnX11, ChoosingFourChannelInTheRealPopupLoadsTheFactoryProgram)
{
    ASSERT_TRUE(openEditor());
    const Image before = headlessPanel({});
    ASSERT_EQ(idleUntilShown(before).pixels, 0);
    User eyes;
    const unsigned long editorWindow =
        eyes.childrenOf(reinterpret_cast<std::uintptr_t>(parent->handle())).at(0);
    const std::map<std::string, long> resourcesBefore = eyes.resourcesOfOwner(editorWindow);
    const std::vector<unsigned long> windowsBefore = eyes.overrideRedirectWindows();

    Watchdog watchdog;
    std::vector<long> popup;
    bool pointerHeld = false;
    std::thread user(
        [&]
        {
            User hand;
            hand.click((kPresetMenu[0] + kPresetMenu[2]) / 2, (kPresetMenu[1] + kPresetMenu[3]) / 2);
            const unsigned long shown = hand.waitForNewPopup(windowsBefore);
            if (!shown)
                return;
            popup = hand.geometry(shown);
            pointerHeld = !hand.pointerFree();
            // Six entries of equal height inside a one-pixel border; "4 Channel" is the third.
            const long itemHeight = (popup[3] - popup[1] - 2) / 6;
            const long x = (popup[0] + popup[2]) / 2;
            const long y = popup[1] + 1 + 2 * itemHeight + itemHeight / 2;
            hand.moveTo(x, y);
            hand.click(x, y);
        });
    const bool ended = plugin->idleUntilEditEnds(14, 6000);
    user.join();
    ASSERT_TRUE(ended) << describe(plugin->events);
    EXPECT_FALSE(watchdog.fired());
    ASSERT_EQ(popup.size(), 4u);
    EXPECT_TRUE(pointerHeld) << "the popup holds the pointer while it is open";
    // Under the menu's face (the parent sits at the screen's origin).
    EXPECT_NEAR(popup[0], kPresetMenu[0], 2);
    EXPECT_NEAR(popup[1], kPresetMenu[3], 2);

    // The host learns of the preset selector; the effect now holds factory program 5.
    EXPECT_EQ(plugin->events, (std::vector<HostEvent>{beginEdit(14), automate(14, 2.0f), endEdit(14)}))
        << describe(plugin->events);
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(plugin->parameter(i), kFourChannel[i]) << "parameter " << i;

    // Every control follows; the menu keeps showing "4 Channel" where a fresh panel shows
    // "< Select Preset >", also after more idle calls.
    const Difference d = idleUntilShown(headlessPanel({"14=2"}), {kPresetMenu});
    std::printf("after the preset: %ld pixels differ outside the menu, largest channel difference %d\n",
                d.pixels, d.maxChannel);
    EXPECT_EQ(d.pixels, 0) << where(d);
    for (int i = 0; i < 20; i++)
        plugin->idle();
    const Difference menu = compare(before, panelPixels(kPresetMenu), kPresetMenu[0], kPresetMenu[1],
                                    kPresetMenu[2] - kPresetMenu[0], kPresetMenu[3] - kPresetMenu[1], 0);
    EXPECT_GT(menu.pixels, 20) << "the menu shows its first entry again";

    // The popup is gone, its windows destroyed and the pointer free again. (cairo keeps the
    // glyphs it uploaded for the popup's text with the connection, which closes with the editor.)
    EXPECT_EQ(eyes.overrideRedirectWindows(), windowsBefore);
    EXPECT_TRUE(eyes.pointerFree());
    std::map<std::string, long> resourcesAfter = eyes.resourcesOfOwner(editorWindow);
    EXPECT_EQ(resourcesAfter["WINDOW"], resourcesBefore.count("WINDOW") ? resourcesBefore.at("WINDOW") : 0)
        << describe(resourcesBefore) << " -> " << describe(resourcesAfter);
}

TEST_F(KalvoEditorOnX11, TheAboutScreenOpensAndClosesWithClicksAndSendsNothing)
{
    ASSERT_TRUE(openEditor());
    const Image panel = headlessPanel({});
    ASSERT_EQ(idleUntilShown(panel).pixels, 0);
    const Image about = loadPng(std::string(KALVO_EDITOR_IMAGES) + "/bmp00138.png");
    ASSERT_EQ(about.width, kAboutImage[2] - kAboutImage[0]);
    ASSERT_EQ(about.height, kAboutImage[3] - kAboutImage[1]);

    User hand;
    hand.click((kLogoArea[0] + kLogoArea[2]) / 2, (kLogoArea[1] + kLogoArea[3]) / 2);
    Difference shown;
    plugin->idleUntil(
        [&]
        {
            shown =
                compare(about, panelPixels(kAboutImage), 0, 0, about.width, about.height, kPixelTolerance);
            return shown.pixels == 0;
        },
        2000);
    EXPECT_EQ(shown.pixels, 0) << where(shown);
    // Outside the image the panel stays as it was.
    EXPECT_EQ(against(panel, {kAboutImage}).pixels, 0);

    // A click on the image closes it; the whole panel comes back.
    hand.click(400, 300);
    const Difference d = idleUntilShown(panel);
    EXPECT_EQ(d.pixels, 0) << where(d);
    EXPECT_TRUE(plugin->events.empty()) << describe(plugin->events);
    Instance fresh;
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(plugin->parameter(i), fresh.parameter(i)) << "parameter " << i;
}

TEST_F(KalvoEditorOnX11, TheWheelMovesTheSliderUnderTheRealPointer)
{
    ASSERT_TRUE(openEditor());
    ASSERT_EQ(idleUntilShown(headlessPanel({})).pixels, 0);
    User hand;
    const float wheelStep = 0.1f; // a slider's step per wheel unit

    // Hosts that take the wheel themselves pass it on through effVendorSpecific; the editor asks
    // the server where the pointer is: over the centre pattern slider.
    hand.moveTo(150, 87);
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, vstFourCC('s', 't', 'C', 'A'),
                               vstFourCC('W', 'h', 'e', 'e'), nullptr, -1.0f),
              1);
    ASSERT_EQ(plugin->events.size(), 3u) << describe(plugin->events);
    EXPECT_EQ(plugin->events[0], beginEdit(0));
    EXPECT_EQ(plugin->events[1].index, 0);
    EXPECT_FLOAT_EQ(plugin->events[1].value, 0.36f - wheelStep);
    EXPECT_EQ(plugin->events[2], endEdit(0));

    // A real wheel turn upward (button 4) over the front pattern slider.
    plugin->events.clear();
    hand.click(150, 107, 4);
    ASSERT_TRUE(plugin->idleUntilEditEnds(1)) << describe(plugin->events);
    ASSERT_EQ(plugin->events.size(), 3u) << describe(plugin->events);
    EXPECT_EQ(plugin->events[1].index, 1);
    EXPECT_FLOAT_EQ(plugin->events[1].value, 0.36f + wheelStep);
    EXPECT_FLOAT_EQ(plugin->parameter(1), 0.36f + wheelStep);

    // Over the bare panel the wheel changes nothing.
    plugin->events.clear();
    hand.moveTo(30, 430);
    plugin->dispatch(effVendorSpecific, vstFourCC('s', 't', 'C', 'A'), vstFourCC('W', 'h', 'e', 'e'), nullptr,
                     1.0f);
    hand.click(30, 430, 5);
    for (int i = 0; i < 10; i++)
        plugin->idle();
    EXPECT_TRUE(plugin->events.empty()) << describe(plugin->events);
}
