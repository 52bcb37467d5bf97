// The editor of the built Kalvo.dll in a Windows host's window (under Wine in Xvfb in CI): opened
// as hosts open it, driven through the system's pointer, read back from the window's pixels and
// compared with the Linux build's headless render. Skipped when no windows can be made.
#include "WindowsEditorHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

using namespace kalvo::wintest;

namespace
{
// Panel places the gestures aim at and the areas text and curves are drawn in (left, top,
// right, bottom; right and bottom exclusive).
const std::vector<long> kPanel{0, 0, kPanelWidth, kPanelHeight};
const std::vector<long> kFrontLevelSlider{350, 99, 461, 115};
const std::vector<long> kFrontMute{520, 95, 551, 111};
const std::vector<long> kPresetMenu{630, 134, 795, 159};
const std::vector<long> kLogoArea{606, 22, 830, 96};
const std::vector<long> kAboutImage{201, 14, 656, 448};
const std::vector<long> kPolarPlot{313, 147, 566, 400};
// The ten numeric displays (35 x 14) and the text of the preset menu.
const std::vector<std::vector<long>> kTextAreas{
    {210, 76, 245, 90},   {210, 97, 245, 111},  {210, 118, 245, 132}, {210, 176, 245, 190},
    {210, 197, 245, 211}, {210, 259, 245, 273}, {210, 318, 245, 332}, {470, 75, 505, 89},
    {470, 95, 505, 109},  {470, 116, 505, 130}, kPresetMenu};

// A pixel of text or curve counts as drawn alike when a pixel next to it is within this many levels.
constexpr int kNearTolerance = 96;

long area(const std::vector<std::vector<long>>& rects)
{
    long sum = 0;
    for (const std::vector<long>& r : rects)
        sum += (r[2] - r[0]) * (r[3] - r[1]);
    return sum;
}

void saveForLooking(const Image& image, const char* name)
{
    // KALVO_SCREENSHOTS=<folder> keeps what the window showed as a bitmap file.
    const char* folder = std::getenv("KALVO_SCREENSHOTS");
    if (!folder || image.pixels.empty())
        return;
    const std::string path = std::string(folder) + "/" + name + ".bmp";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    const std::uint32_t rowBytes = static_cast<std::uint32_t>(image.width) * 4;
    const std::uint32_t dataBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    unsigned char header[54] = {'B', 'M'};
    auto put32 = [&](int at, std::uint32_t v)
    {
        for (int i = 0; i < 4; i++)
            header[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(2, 54 + dataBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(image.width));
    put32(22, static_cast<std::uint32_t>(-image.height));
    header[26] = 1;
    header[28] = 32;
    std::fwrite(header, 1, sizeof header, file);
    std::fwrite(image.pixels.data(), 4, image.pixels.size(), file);
    std::fclose(file);
}

class KalvoEditorOnWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!windowsAvailable())
            GTEST_SKIP() << "no window system (Wine needs an X server: DISPLAY not set)";
        parent = std::make_unique<ParentWindow>(kPanelWidth, kPanelHeight);
        ASSERT_NE(parent->handle(), nullptr);
        plugin = std::make_unique<Instance>();
        ASSERT_TRUE(plugin->ok()) << "cannot load " << KALVO_PLUGIN_PATH;
    }
    void TearDown() override
    {
        plugin.reset();
        parent.reset();
    }

    void* editorWindow() const
    {
        const std::vector<void*> children = parent->children();
        return children.size() == 1 ? children[0] : nullptr;
    }
    Image shown(const std::vector<long>& area = kPanel) const { return readWindow(editorWindow(), area); }
    /// Idles until the window shows `expected` outside `excluded`, at most about two seconds.
    Difference idleUntilShown(const Image& expected, const std::vector<std::vector<long>>& excluded = {})
    {
        Difference d;
        plugin->idleUntil([&] { return (d = compare(expected, shown(), 0, 0, 0, excluded)).pixels == 0; },
                          2000);
        return d;
    }
    bool openEditor() { return plugin->openEditor(parent->handle()) && editorWindow(); }

    std::unique_ptr<ParentWindow> parent;
    std::unique_ptr<Instance> plugin;
};
} // namespace

TEST_F(KalvoEditorOnWindows, ShowsTheLinuxRenderOfThePanelInAChildOfItsOwnClass)
{
    EXPECT_EQ(plugin->editorSize(), std::make_pair(kPanelWidth, kPanelHeight));
    ASSERT_TRUE(openEditor());
    const std::wstring className = windowClassName(editorWindow());
    EXPECT_EQ(className.rfind(L"Plugin", 0), 0u);
    EXPECT_EQ(windowText(editorWindow()), L"Window");
    EXPECT_EQ(windowRect(editorWindow()), (std::vector<long>{0, 0, kPanelWidth, kPanelHeight}));

    const Image golden = loadBitmapFile(KALVO_GOLDEN_PANEL);
    ASSERT_EQ(golden.width, kPanelWidth);
    ASSERT_EQ(golden.height, kPanelHeight);
    std::vector<std::vector<long>> textAndCurves = kTextAreas;
    textAndCurves.push_back(kPolarPlot);
    // Where only bitmaps are drawn (background, sliders, buttons, meters, the menu's face) the
    // pixels are the Linux build's, exactly.
    const Difference bitmaps = idleUntilShown(golden, textAndCurves);
    EXPECT_EQ(bitmaps.pixels, 0) << describe(bitmaps);

    // Text and curves come from another rasteriser and another font engine: the same glyphs and
    // lines, placed within a pixel. Stated tolerance: no more than 3 % of the pixels of the text
    // areas and 1 % of those of the polar plot lack a pixel within one pixel's distance that
    // differs by at most 96 levels per channel.
    const Image panel = shown();
    saveForLooking(panel, "editor-default");
    const Difference text = compareNear(golden, panel, kNearTolerance, kTextAreas);
    const Difference curves = compareNear(golden, panel, kNearTolerance, {kPolarPlot});
    std::printf("text areas: %ld of %ld pixels without a near match, polar plot: %ld of %ld\n", text.pixels,
                area(kTextAreas), curves.pixels, area({kPolarPlot}));
    EXPECT_LE(text.pixels, area(kTextAreas) * 3 / 100) << describe(text);
    EXPECT_LE(curves.pixels, area({kPolarPlot}) / 100) << describe(curves);

    // Closing takes the window, and with the last frame the window class, along.
    plugin->closeEditor();
    EXPECT_TRUE(parent->children().empty());
    EXPECT_FALSE(classRegistered(className));
    EXPECT_TRUE(plugin->events.empty()) << describe(plugin->events);
}

TEST_F(KalvoEditorOnWindows, ARealDragOfASliderAutomatesInsideOneEditBracket)
{
    ASSERT_TRUE(openEditor());
    plugin->idleUntil([] { return false; }, 200);
    // Front level: the handle's centre follows the pointer, 91 pixels for the whole range from
    // x = 359 (value 0) to 450 (value 1). Pressed at 450, dragged to 404, released: 45 / 91.
    const long y = (kFrontLevelSlider[1] + kFrontLevelSlider[3]) / 2;
    const int pumpsAtPress = plugin->hostIdleCalls;
    plugin->onHostIdle = [&](int calls)
    {
        // The plug-in's idle pump inside the drag loop calls the host: the user moves meanwhile.
        if (calls - pumpsAtPress == 1)
            hand::moveTo(404, y);
        if (calls - pumpsAtPress == 3)
            hand::release();
    };
    hand::moveTo(450, y);
    hand::press();
    const bool ended = plugin->idleUntilEditEnds(7);
    plugin->onHostIdle = nullptr;
    hand::release();
    ASSERT_TRUE(ended) << describe(plugin->events);

    const std::vector<HostEvent>& events = plugin->events;
    ASSERT_GE(events.size(), 3u) << describe(events);
    EXPECT_EQ(events.front(), beginEdit(7));
    EXPECT_EQ(events.back(), endEdit(7));
    for (size_t i = 1; i + 1 < events.size(); i++)
        EXPECT_EQ(events[i].opcode, audioMasterAutomate) << describe(events);
    const float dragged = 45.0f / 91.0f;
    EXPECT_EQ(events[events.size() - 2], automate(7, dragged)) << describe(events);
    EXPECT_EQ(plugin->parameter(7), dragged);
}

TEST_F(KalvoEditorOnWindows, AClickOnAMuteButtonTurnsItOnAndTellsTheHost)
{
    ASSERT_TRUE(openEditor());
    plugin->idleUntil([] { return false; }, 200);
    const Image before = shown(kFrontMute);
    hand::click((kFrontMute[0] + kFrontMute[2]) / 2, (kFrontMute[1] + kFrontMute[3]) / 2);
    ASSERT_TRUE(plugin->idleUntilEditEnds(11)) << describe(plugin->events);
    EXPECT_EQ(plugin->events, (std::vector<HostEvent>{beginEdit(11), automate(11, 1.0f), endEdit(11)}))
        << describe(plugin->events);
    EXPECT_EQ(plugin->parameter(11), 1.0f);
    // The button shows its other image.
    EXPECT_TRUE(
        plugin->idleUntil([&] { return compare(before, shown(kFrontMute), 0, 0, 0).pixels > 20; }, 2000));
}

TEST_F(KalvoEditorOnWindows, ADoubleClickOnADisplayTakesTypedTextAsOneEdit)
{
    ASSERT_TRUE(openEditor());
    plugin->idleUntil([] { return false; }, 200);
    // The front angle's display. The field takes the keyboard focus, so the keys reach it and
    // not the host's window; text that is no value changes nothing and leaves it open.
    hand::click(227, 183);
    hand::click(227, 183);
    plugin->idleUntil([] { return false; }, 200);
    hand::typeText("\b\b\b\b\b\bxyz\n");
    plugin->idleUntil([] { return false; }, 200);
    EXPECT_TRUE(plugin->events.empty()) << describe(plugin->events);
    hand::typeText("\b\b\b60\n");
    ASSERT_TRUE(plugin->idleUntilEditEnds(3)) << describe(plugin->events);
    const float sixtyDegrees = static_cast<float>(60.0 / 90.0);
    EXPECT_EQ(plugin->events, (std::vector<HostEvent>{beginEdit(3), automate(3, sixtyDegrees), endEdit(3)}))
        << describe(plugin->events);
}

TEST_F(KalvoEditorOnWindows, ChoosingFourChannelInTheRealPopupLoadsTheFactoryProgram)
{
    ASSERT_TRUE(openEditor());
    plugin->idleUntil([] { return false; }, 200);
    // "4 Channel", the third entry of the preset menu, is factory program 5.
    const float fourChannel[13] = {0.36f, 0.36f,  0.36f, 0.6033f, 0.6f, 0.0f, 1.0f,
                                   1.0f,  0.844f, 0.0f,  0.0f,    0.0f, 0.0f};
    PopupMenuSeen seen;
    std::thread user(
        [&]
        {
            // The menu is modal: the plug-in's thread sits in it until the user has chosen.
            hand::click((kPresetMenu[0] + kPresetMenu[2]) / 2, (kPresetMenu[1] + kPresetMenu[3]) / 2);
            seen = hand::waitForPopupMenu();
            if (seen.items.size() < 3)
                return;
            const std::vector<long>& item = seen.items[2];
            hand::moveTo((item[0] + item[2]) / 2, (item[1] + item[3]) / 2);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            hand::click((item[0] + item[2]) / 2, (item[1] + item[3]) / 2);
        });
    const bool ended = plugin->idleUntilEditEnds(14, 6000);
    user.join();
    ASSERT_TRUE(ended) << describe(plugin->events);
    ASSERT_EQ(seen.items.size(), 6u);
    EXPECT_EQ(seen.texts[2], L"4 Channel");
    EXPECT_TRUE(seen.checked[0]) << "the current entry carries the check mark";
    // Under the menu's face (the parent sits at the screen's origin).
    EXPECT_NEAR(seen.window[0], kPresetMenu[0], 4);
    EXPECT_NEAR(seen.window[1], kPresetMenu[3], 4);

    EXPECT_EQ(plugin->events, (std::vector<HostEvent>{beginEdit(14), automate(14, 2.0f), endEdit(14)}))
        << describe(plugin->events);
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(plugin->parameter(i), fourChannel[i]) << "parameter " << i;
    EXPECT_EQ(hand::waitForPopupMenu(0).items.size(), 0u) << "the menu is gone";
}

TEST_F(KalvoEditorOnWindows, TheAboutScreenOpensAndClosesWithClicksAndSendsNothing)
{
    ASSERT_TRUE(openEditor());
    plugin->idleUntil([] { return false; }, 200);
    const Image panel = shown();
    const Image about = pluginBitmap(138);
    ASSERT_EQ(about.width, kAboutImage[2] - kAboutImage[0]);
    ASSERT_EQ(about.height, kAboutImage[3] - kAboutImage[1]);

    hand::click((kLogoArea[0] + kLogoArea[2]) / 2, (kLogoArea[1] + kLogoArea[3]) / 2);
    Difference d;
    plugin->idleUntil([&] { return (d = compare(about, shown(kAboutImage), 0, 0, 0)).pixels == 0; }, 2000);
    EXPECT_EQ(d.pixels, 0) << describe(d);
    EXPECT_EQ(compare(panel, shown(), 0, 0, 0, {kAboutImage}).pixels, 0);

    // A click on the image closes it; the whole panel comes back.
    hand::click(400, 300);
    d = idleUntilShown(panel);
    EXPECT_EQ(d.pixels, 0) << describe(d);
    EXPECT_TRUE(plugin->events.empty()) << describe(plugin->events);
}

TEST_F(KalvoEditorOnWindows, TheWheelMovesTheSliderUnderThePointer)
{
    // The host's window away from the screen's origin: window and screen pixels differ.
    const long left = 100, top = 50;
    parent = std::make_unique<ParentWindow>(kPanelWidth, kPanelHeight, left, top);
    ASSERT_TRUE(openEditor());
    plugin->idleUntil([] { return false; }, 100);
    const float wheelStep = 0.1f; // a slider's step per wheel notch

    // Hosts that take the wheel themselves pass it on through effVendorSpecific; the editor asks
    // the system where the pointer is: over the centre pattern slider.
    hand::moveTo(left + 150, top + 87);
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, vstFourCC('s', 't', 'C', 'A'),
                               vstFourCC('W', 'h', 'e', 'e'), nullptr, -1.0f),
              1);
    ASSERT_EQ(plugin->events.size(), 3u) << describe(plugin->events);
    EXPECT_EQ(plugin->events[1].index, 0);
    EXPECT_FLOAT_EQ(plugin->events[1].value, 0.36f - wheelStep);

    // A wheel message to the window carries a screen position: one notch up over the front
    // pattern slider.
    plugin->events.clear();
    postWheel(editorWindow(), left + 150, top + 107, 1);
    ASSERT_TRUE(plugin->idleUntilEditEnds(1)) << describe(plugin->events);
    ASSERT_EQ(plugin->events.size(), 3u) << describe(plugin->events);
    EXPECT_FLOAT_EQ(plugin->events[1].value, 0.36f + wheelStep);
}

TEST_F(KalvoEditorOnWindows, AHundredOpenCloseCyclesLeaveTheGdiAndUserObjectCounts)
{
    auto cycle = [&]
    {
        ASSERT_TRUE(openEditor());
        // Painted, idled and closed, as a host that shows the editor for a moment.
        plugin->idleUntil([] { return false; }, 20);
        plugin->closeEditor();
    };
    // The first opening loads what stays for the process (the blending library, system fonts).
    cycle();
    const GuiObjects before = guiObjects();
    for (int i = 0; i < 100; i++)
        cycle();
    const GuiObjects after = guiObjects();
    std::printf("GDI objects %ld -> %ld, USER objects %ld -> %ld\n", before.gdi, after.gdi, before.user,
                after.user);
    EXPECT_GT(before.gdi, 0);
    EXPECT_EQ(after.gdi, before.gdi);
    EXPECT_EQ(after.user, before.user);
}

TEST_F(KalvoEditorOnWindows, AHostWindowDestroyedBeforeTheEditorClosesEndsNothing)
{
    ASSERT_TRUE(openEditor());
    plugin->idleUntil([] { return false; }, 100);
    const std::wstring className = windowClassName(editorWindow());
    parent->destroy();
    // The frame counts as closed: idle, keys and the wheel find nothing to do.
    for (int i = 0; i < 5; i++)
        plugin->idle();
    plugin->closeEditor();
    EXPECT_FALSE(classRegistered(className));

    // The editor opens again in a new window.
    parent = std::make_unique<ParentWindow>(kPanelWidth, kPanelHeight);
    ASSERT_TRUE(openEditor());
    hand::click((kFrontMute[0] + kFrontMute[2]) / 2, (kFrontMute[1] + kFrontMute[3]) / 2);
    ASSERT_TRUE(plugin->idleUntilEditEnds(11)) << describe(plugin->events);
}
