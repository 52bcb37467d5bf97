// The editor panel, driven as a host and a user would: through the effect, the headless window
// system and its scripted pointer.
#include "editor/KalvoEditor.h"
#include "editor/CPlotDisplay.h"
#include "editor/CVuMeter.h"
#include "editor/PanelLayout.h"
#include "effect/Kalvo.h"
#include "effect/KalvoConverters.h"
#include "effect/RemoteEffect.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/controls/COnOffButton.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"
#include "gui/controls/CSlider.h"
#include "gui/controls/CSplashScreen.h"
#include "gui/controls/CTextEdit.h"
#include "gui/platform/headless/HeadlessWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace
{

struct HostEvent
{
    VstInt32 opcode;
    VstInt32 index;
    float value;
};

// The host side: answers the queries the effect makes and records the edit gestures.
std::vector<HostEvent>* recorded = nullptr;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return 48000;
    case audioMasterGetBlockSize:
        return 512;
    case audioMasterCanDo:
        return ptr && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0;
    case audioMasterSizeWindow:
        if (recorded)
            recorded->push_back({opcode, index, static_cast<float>(value)});
        return 1;
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (recorded)
            recorded->push_back({opcode, index, opt});
        return 1;
    default:
        return 0;
    }
}

CRect sizeOf(const CView* view)
{
    CRect r;
    view->getViewSize(r);
    return r;
}

std::string displayText(CParamDisplay* display, void (*convert)(float, char*))
{
    char text[kConverterTextSize] = {};
    if (convert)
        convert(display->getValue(), text);
    else
        std::snprintf(text, sizeof text, "%2.2f", display->getValue());
    return text;
}

class KalvoEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        recorded = &events;
        effect.reset(createEffectInstance(hostCallback));
        ASSERT_TRUE(effect);
        editor = dynamic_cast<KalvoEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override
    {
        if (editor->isOpened())
            editor->close();
        effect.reset();
        recorded = nullptr;
    }

    void open()
    {
        ASSERT_TRUE(editor->open(host.handle()));
        window = host.child();
        ASSERT_NE(window, nullptr);
        editor->idle();
    }
    void setParameter(int index, float value) { effect->setParameter(index, value); }
    float parameter(int index) { return effect->getParameter(index); }
    int countEvents(VstInt32 opcode, VstInt32 index) const
    {
        int n = 0;
        for (const HostEvent& e : events)
            n += e.opcode == opcode && e.index == index;
        return n;
    }
    // Chooses menu entry `entry` with a real click on the closed menu.
    void choosePreset(long entry)
    {
        window->setMenuChoice(entry);
        window->press(CPoint(700, 145), kButtonLeft);
        window->setPointer(CPoint(700, 145), 0);
    }

    std::vector<HostEvent> events;
    std::unique_ptr<AudioEffect> effect;
    KalvoEditor* editor = nullptr;
    kalvo::headless::HostWindow host;
    kalvo::headless::Window* window = nullptr;
};

} // namespace

TEST_F(KalvoEditorTest, ReportsThePanelSizeBeforeAndAfterOpening)
{
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right - rect->left, 841);
    EXPECT_EQ(rect->bottom - rect->top, 453);
    open();
    EXPECT_EQ(window->width(), 841);
    EXPECT_EQ(window->height(), 453);
    EXPECT_TRUE(effect->getAeffect()->flags & effFlagsHasEditor);
}

TEST_F(KalvoEditorTest, ClosedEditorIgnoresParameterChanges)
{
    for (int index = -5; index < 40; ++index)
        editor->setParameter(index, 0.5f); // touches no control: none exists
    EXPECT_EQ(editor->getSlider(0), nullptr);
    open();
    editor->close();
    EXPECT_FALSE(editor->isOpened());
    EXPECT_EQ(editor->getSlider(0), nullptr);
    setParameter(0, 0.25f); // reaches the closed editor through the effect
    editor->idle();
}

TEST_F(KalvoEditorTest, BuildsAllThirtyFourControlsInTheirPlaces)
{
    open();
    CFrame* frame = editor->getFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->getNbViews(), 34);
    EXPECT_EQ(sizeOf(editor->getSlider(0)), CRect(90, 79, 201, 95));
    EXPECT_EQ(sizeOf(editor->getSlider(9)), CRect(350, 79, 461, 95));
    EXPECT_EQ(sizeOf(editor->getDisplay(8)), CRect(470, 116, 505, 130));
    EXPECT_EQ(sizeOf(editor->getMuteButton(12)), CRect(520, 115, 551, 131));
    EXPECT_EQ(sizeOf(editor->getMeter(23)), CRect(740, 355, 801, 368));
    EXPECT_EQ(sizeOf(editor->getPolarPlot()), CRect(313, 147, 566, 400));
    EXPECT_EQ(editor->getPresetMenu()->getNbEntries(), 6);
    // The about area lies on top of everything.
    EXPECT_EQ(frame->getView(33), editor->getAboutScreen());
}

// The image generator draws each control's image to fill its rectangle in the panel layout and
// places the captions around those rectangles. Every control the editor builds must sit on that
// very rectangle, be the control of the parameter the layout names there, and show an image that
// covers the rectangle exactly: the mute button's two states stacked, the display's face one
// pixel larger each way.
TEST_F(KalvoEditorTest, EveryControlLiesWhereTheImageGeneratorDrewItsFrame)
{
    open();
    CFrame* frame = editor->getFrame();
    ASSERT_EQ(frame->getNbViews(), static_cast<long>(std::size(panel::kControls)));
    for (long i = 0; i < frame->getNbViews(); ++i)
    {
        const panel::ControlPlace& place = panel::kControls[i];
        const panel::PixelRect& r =
            place.kind == panel::ControlKind::AboutArea ? panel::kAboutShown : place.rect;
        struct
        {
            const CView* control;
            long image, states, margin;
        } expected = {editor->getAboutScreen(), 138, 1, 0};
        switch (place.kind)
        {
        case panel::ControlKind::MuteButton:
            expected = {editor->getMuteButton(place.tag), 131, 2, 0};
            break;
        case panel::ControlKind::Meter:
            expected = {editor->getMeter(place.tag), 132, 1, 0};
            break;
        case panel::ControlKind::Slider:
            expected = {editor->getSlider(place.tag), 129, 1, 0};
            break;
        case panel::ControlKind::Plot:
            expected = {editor->getPolarPlot(), 137, 1, 0};
            break;
        case panel::ControlKind::Display:
            expected = {editor->getDisplay(place.tag), 134, 1, 1};
            break;
        case panel::ControlKind::Menu:
            expected = {editor->getPresetMenu(), 135, 1, 0};
            break;
        case panel::ControlKind::AboutArea:
        case panel::ControlKind::Switch:
        case panel::ControlKind::Status:
            break;
        }
        const CView* view = frame->getView(i);
        EXPECT_EQ(view, expected.control) << "control " << i << " is not the one of tag " << place.tag;
        EXPECT_EQ(sizeOf(view), CRect(place.rect.left, place.rect.top, place.rect.right, place.rect.bottom))
            << "control " << i;
        CBitmap image(expected.image);
        EXPECT_EQ(image.getWidth(), r.right - r.left + expected.margin) << "image " << expected.image;
        EXPECT_EQ(image.getHeight(), (r.bottom - r.top) * expected.states + expected.margin)
            << "image " << expected.image;
    }
}

TEST_F(KalvoEditorTest, CtrlClickReturnsASliderToItsResetValue)
{
    const float atOpening = parameter(7);
    open();
    const CPoint frontLevel(400, 107);
    setParameter(7, 0.2f);
    window->press(frontLevel, kButtonLeft | kModifierCommand);
    window->setPointer(frontLevel, 0);
    EXPECT_FLOAT_EQ(parameter(7), atOpening) << "a level returns to where it stood at opening";

    editor->setResetValue(7, 0.25f);
    window->press(frontLevel, kButtonLeft | kModifierCommand);
    window->setPointer(frontLevel, 0);
    EXPECT_FLOAT_EQ(parameter(7), 0.25f) << "a binding names another place";
}

TEST_F(KalvoEditorTest, DisplaysShowPhysicalValuesThroughTheirConverters)
{
    open();
    setParameter(7, 1.0f);
    EXPECT_EQ(displayText(editor->getDisplay(7), gainStringConvert), "0.0dB");
    setParameter(7, 0.5f);
    EXPECT_EQ(displayText(editor->getDisplay(7), gainStringConvert), "-6.0dB");
    setParameter(8, 0.01f);
    EXPECT_EQ(displayText(editor->getDisplay(8), gainStringConvert), "-39.8dB");
    setParameter(9, 0.0f);
    EXPECT_EQ(displayText(editor->getDisplay(9), gainStringConvert), "-oo");
    setParameter(6, 1.0f);
    EXPECT_EQ(displayText(editor->getDisplay(6), freqStringConvert), "off");
    setParameter(0, 0.36f);
    EXPECT_EQ(displayText(editor->getDisplay(0), nullptr), "0.36");
    setParameter(5, 1.0f);
    EXPECT_FLOAT_EQ(editor->getDisplay(5)->getValue(), 55.0f);
    setParameter(3, 1.0f);
    EXPECT_FLOAT_EQ(editor->getDisplay(3)->getValue(), 90.0f);
}

TEST_F(KalvoEditorTest, SurroundAngleRunsFromRightToLeft)
{
    open();
    setParameter(4, 0.0f);
    EXPECT_FLOAT_EQ(editor->getDisplay(4)->getValue(), 90.0f);
    CSlider* slider = editor->getSlider(4);
    EXPECT_EQ(slider->handleRect().right, sizeOf(slider).right); // handle at the right end
    setParameter(4, 0.6f);
    EXPECT_FLOAT_EQ(editor->getDisplay(4)->getValue(), 144.0f);
    // The other sliders put value 0 at the left end.
    setParameter(3, 0.0f);
    EXPECT_EQ(editor->getSlider(3)->handleRect().left, 91);
}

TEST_F(KalvoEditorTest, ChoosingAPresetLoadsItAndTheMenuKeepsShowingIt)
{
    open();
    events.clear();
    choosePreset(2); // "4 Channel"
    const KalvoProgram& fourChannel = static_cast<Kalvo*>(effect.get())->getProgramEntry(5);
    for (int i = 0; i < 13; ++i)
        EXPECT_FLOAT_EQ(parameter(i), fourChannel.values[i]) << i;
    EXPECT_EQ(countEvents(audioMasterAutomate, 14), 1);
    EXPECT_EQ(countEvents(audioMasterBeginEdit, 14), 1);
    EXPECT_EQ(countEvents(audioMasterEndEdit, 14), 1);
    char text[256] = {};
    EXPECT_EQ(editor->getPresetMenu()->getCurrent(text), 2);
    EXPECT_STREQ(text, "4 Channel");
    // Every control followed the program change.
    EXPECT_FLOAT_EQ(editor->getSlider(3)->getValue(), fourChannel.values[3]);
    EXPECT_FLOAT_EQ(editor->getSlider(8)->getValue(), fourChannel.values[8]);
}

TEST_F(KalvoEditorTest, SelectPresetEntryChangesNothing)
{
    open();
    setParameter(3, 0.123f);
    choosePreset(0); // "< Select Preset >"
    EXPECT_FLOAT_EQ(parameter(3), 0.123f);
    EXPECT_EQ(editor->getPresetMenu()->getCurrent(), 0);
}

TEST_F(KalvoEditorTest, MuteReportedOnAtOpenIsDrawnOn)
{
    setParameter(11, 1.0f);
    open();
    COnOffButton* front = editor->getMuteButton(11);
    EXPECT_FLOAT_EQ(front->getValue(), 1.0f);
    EXPECT_FLOAT_EQ(editor->getMuteButton(10)->getValue(), 0.0f);
    // The front button shows the lower (on) half of the button image, the centre one the upper.
    window->paintNow(CRect(0, 0, 841, 453));
    const CRect on = sizeOf(front);
    const CRect off = sizeOf(editor->getMuteButton(10));
    int differing = 0;
    for (long y = 0; y < 16; ++y)
        for (long x = 0; x < 31; ++x)
            differing += window->pixel(on.left + x, on.top + y) != window->pixel(off.left + x, off.top + y);
    EXPECT_GT(differing, 20);
}

TEST_F(KalvoEditorTest, ClickingAMuteButtonAutomatesItsParameter)
{
    open();
    events.clear();
    window->press(CPoint(530, 120), kButtonLeft); // rear mute
    window->setPointer(CPoint(530, 120), 0);
    EXPECT_FLOAT_EQ(parameter(12), 1.0f);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(events[1].opcode, audioMasterAutomate);
    EXPECT_EQ(events[1].index, 12);
    EXPECT_FLOAT_EQ(events[1].value, 1.0f);
    EXPECT_EQ(events[2].opcode, audioMasterEndEdit);
}

TEST_F(KalvoEditorTest, DraggingASliderSendsBracketedAutomation)
{
    open();
    events.clear();
    // A free click centres the handle on the pointer: column x gives (x - 90 - 9) / 91.
    // The loop reads the position for the next step after each poll of the buttons.
    window->scriptPointer({{CPoint(120, 87), kButtonLeft},
                           {CPoint(145, 87), kButtonLeft},
                           {CPoint(145, 87), kButtonLeft},
                           {CPoint(145, 87), 0}});
    window->press(CPoint(120, 87), kButtonLeft);
    EXPECT_NEAR(parameter(0), (145.0f - 99.0f) / 91.0f, 1e-6);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(events.back().opcode, audioMasterEndEdit);
    for (std::size_t i = 1; i + 1 < events.size(); ++i)
        EXPECT_EQ(events[i].opcode, audioMasterAutomate);
    EXPECT_NEAR(editor->getDisplay(0)->getValue(), parameter(0), 1e-6);
}

TEST_F(KalvoEditorTest, AboutScreenOpensOverThePanelAndSendsNothing)
{
    open();
    events.clear();
    window->press(CPoint(700, 50), kButtonLeft);
    window->setPointer(CPoint(700, 50), 0);
    ASSERT_NE(editor->getFrame()->getModalView(), nullptr);
    EXPECT_EQ(sizeOf(editor->getFrame()->getModalView()), CRect(201, 14, 656, 448));
    editor->idle();
    window->press(CPoint(400, 200), kButtonLeft); // any click closes it
    window->setPointer(CPoint(400, 200), 0);
    EXPECT_EQ(editor->getFrame()->getModalView(), nullptr);
    EXPECT_TRUE(events.empty());
}

TEST_F(KalvoEditorTest, IgnoresTagsWithoutAParameter)
{
    open();
    events.clear();
    for (long tag : {13L, 15L, 16L, 19L, 28L, -1L})
    {
        editor->getSlider(0)->setTag(tag);
        editor->valueChanged(nullptr, editor->getSlider(0));
    }
    EXPECT_TRUE(events.empty());
}

TEST_F(KalvoEditorTest, IdleFeedsMetersAndPolarCurves)
{
    open();
    // Before the first idle the plots are dots; after it the centre omni reaches the top edge.
    setParameter(0, 1.0f);
    setParameter(9, 1.0f);
    setParameter(10, 0.0f);
    editor->idle();
    const CPlotDisplay::CPlotBuffer* plot = editor->getPolarPlot()->getPlot(4);
    ASSERT_NE(plot, nullptr);
    const CPoint* centre = plot->points;
    EXPECT_EQ(centre[0], CPoint(126, 0));
    EXPECT_EQ(centre[120], CPoint(126, 0));
    // At 90 degrees the single-precision angle lies just past pi / 2, so y is a hair below 0
    // and truncation puts the point one row below the centre row.
    EXPECT_EQ(centre[30], CPoint(252, 127));
    // Meters read parameters 20-27 as the effect reports them.
    for (int index = 20; index < 28; ++index)
        EXPECT_FLOAT_EQ(editor->getMeter(index)->getValue(), parameter(index));
}

TEST_F(KalvoEditorTest, OpensAndClosesManyTimes)
{
    for (int i = 0; i < 50; ++i)
    {
        ASSERT_TRUE(editor->open(host.handle()));
        editor->idle();
        editor->close();
    }
    EXPECT_EQ(host.childCount(), 0);
}

// How many pixels of the open panel differ by more than 24 levels in a channel from the
// reference image `name` (written instead with KALVO_BLESS=1), or -1 when it cannot be read.
long pixelsDifferingFromReference(kalvo::headless::Window& window, const std::string& name)
{
    const std::string golden = std::string(KALVO_EDITOR_GOLDEN_DIR) + "/" + name;
    if (std::getenv("KALVO_BLESS"))
        window.writePng(golden.c_str());
    std::FILE* file = std::fopen(golden.c_str(), "rb");
    if (!file)
        return -1;
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    auto reference = kalvo::platform::decodePng(bytes.data(), bytes.size());
    if (!reference || reference->width() != window.width() || reference->height() != window.height())
        return -1;
    auto surface = kalvo::platform::createImageSurface(*reference);
    long differing = 0;
    for (long y = 0; y < window.height(); ++y)
        for (long x = 0; x < window.width(); ++x)
        {
            const CColor a = window.pixel(x, y);
            const CColor b = surface->getPixel(CPoint(x, y));
            const int d =
                std::max({std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
            differing += d > 24;
        }
    return differing;
}

// The panel as shipped: the default state rendered headless must match the reference image.
// Tolerance: text and curves go through the font rasteriser and cairo, so a pixel may differ by
// a few levels per channel; at most 0.2 % of the pixels may differ by more than 24 levels.
// Re-bless deliberately with KALVO_BLESS=1, and look at the image before committing it.
TEST_F(KalvoEditorTest, DefaultPanelMatchesTheReferenceImage)
{
    open();
    editor->idle();
    window->paintNow(CRect(0, 0, 841, 453));
    const long differing = pixelsDifferingFromReference(*window, "editor-default.png");
    ASSERT_GE(differing, 0) << "reference image missing or of another size";
    EXPECT_LE(differing, 841 * 453 / 500);
}

// Zoomed to 200 %: a window of twice the size whose picture, drawn from the double-size images,
// matches the 2x reference with the same tolerance (at most 0.2 % of the pixels differing by more
// than 24 levels), and whose clicks, in window pixels, land on the control drawn there.
TEST_F(KalvoEditorTest, AtTwiceTheSizeThePanelMatchesItsReferenceAndClicksLandOnTheirControls)
{
    editor->setUserScale(2.0);
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right - rect->left, 1682);
    EXPECT_EQ(rect->bottom - rect->top, 906);
    open();
    ASSERT_EQ(window->width(), 1682);
    ASSERT_EQ(window->height(), 906);
    editor->idle();
    window->paintNow(CRect(0, 0, 1682, 906));
    const long differing = pixelsDifferingFromReference(*window, "editor-2x.png");
    ASSERT_GE(differing, 0) << "reference image missing or of another size";
    EXPECT_LE(differing, 1682 * 906 / 500);

    events.clear();
    window->press(CPoint(2 * 535, 2 * 103), kButtonLeft); // the front mute, 520..551 x 95..111
    window->setPointer(CPoint(2 * 535, 2 * 103), 0);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].index, 11);
    EXPECT_EQ(parameter(11), 1.0f);
}

// The user's zoom: a right-click on the background pops up the choices under the pointer; the
// one chosen makes the panel again at that size on the next idle and asks the host for it. The
// choice stays with the effect across closing and opening; "Follow host" goes back.
TEST_F(KalvoEditorTest, TheBackgroundsRightClickZoomsThePanelAndTheHostIsAskedForTheSize)
{
    open();
    events.clear();
    const CPoint background(40, 420);
    window->press(background, kButtonLeft);
    window->setPointer(background, 0);
    EXPECT_EQ(window->menusShown(), 0) << "a left click on the background opens nothing";
    window->setMenuChoice(3);
    window->press(background, kButtonRight);
    window->setPointer(background, 0);
    ASSERT_EQ(window->menusShown(), 1);
    EXPECT_EQ(window->lastMenuPosition(), background);
    EXPECT_EQ(window->lastMenuTexts(), (std::vector<std::string>{"100 %", "125 %", "150 %", "200 %", "250 %",
                                                                 "300 %", "Follow host"}));
    editor->idle();
    window = host.child();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->width(), 1682);
    EXPECT_EQ(window->height(), 906);
    ASSERT_EQ(events.size(), 1u) << "the host hears of the size only";
    EXPECT_EQ(events[0].opcode, audioMasterSizeWindow);
    EXPECT_EQ(std::make_pair(events[0].index, events[0].value), std::make_pair(1682, 906.0f));

    editor->close();
    open();
    EXPECT_EQ(window->width(), 1682);
    window->setMenuChoice(6); // Follow host, on this desktop 100 %
    window->press(CPoint(2 * 40, 2 * 420), kButtonRight);
    window->setPointer(CPoint(2 * 40, 2 * 420), 0);
    editor->idle();
    window = host.child();
    EXPECT_EQ(window->width(), 841);
    EXPECT_EQ(editor->getUserScale(), 0.0);
}

namespace
{
VstKeyCode key(char character, unsigned char virt = 0)
{
    return VstKeyCode{character, virt, 0};
}
} // namespace

TEST_F(KalvoEditorTest, TypedValuesApplyOnEnterAsOneEditAndKeepTheirKeysFromTheHost)
{
    open();
    events.clear();
    kalvo::headless::setTicks(1000); // a clock reading 0 never pairs clicks
    const CPoint angleDisplay(227, 183);
    window->press(angleDisplay, kButtonLeft);
    window->setPointer(angleDisplay, 0);
    EXPECT_EQ(editor->getFrame()->getFocusView(), nullptr); // one click opens nothing
    window->press(angleDisplay, kButtonLeft);
    window->setPointer(angleDisplay, 0);
    CTextEdit* field = editor->getTypedValueField();
    ASSERT_EQ(editor->getFrame()->getFocusView(), field);
    char shown[CParamDisplay::kTextSize];
    editor->getDisplay(3)->formatValue(editor->getDisplay(3)->getValue(), shown);
    EXPECT_EQ(field->text(), shown);

    // Every key is the field's (the host hears "handled"); out of range is clamped: 120 -> 90.
    for (VstKeyCode k : {key(0, VKEY_END), key(0, VKEY_BACK), key(0, VKEY_BACK), key(0, VKEY_BACK),
                         key(0, VKEY_BACK), key(0, VKEY_BACK), key('1'), key('2'), key('0'), key(' ')})
        EXPECT_TRUE(editor->onKeyDown(k));
    EXPECT_TRUE(events.empty());
    VstKeyCode enter = key(0, VKEY_RETURN);
    EXPECT_TRUE(editor->onKeyDown(enter));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(events[1].opcode, audioMasterAutomate);
    EXPECT_EQ(events[1].index, 3);
    EXPECT_EQ(events[1].value, 1.0f);
    EXPECT_EQ(events[2].opcode, audioMasterEndEdit);
    EXPECT_EQ(parameter(3), 1.0f);
    EXPECT_EQ(editor->getFrame()->getFocusView(), nullptr);
    EXPECT_FALSE(editor->getFrame()->isChild(field));
    VstKeyCode space = key(' ', VKEY_SPACE);
    EXPECT_FALSE(editor->onKeyDown(space)); // closed: the host's keys are the host's again
}

TEST_F(KalvoEditorTest, TextThatIsNoValueChangesNothingAndAClickElsewhereCancels)
{
    open();
    const float level = parameter(7);
    events.clear();
    ASSERT_TRUE(editor->startTypedValue(7));
    CTextEdit* field = editor->getTypedValueField();
    for (VstKeyCode k : {key('x'), key(0, VKEY_RETURN)})
        editor->onKeyDown(k);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(field->isRefused()); // it says so, and stays open for a correction
    EXPECT_TRUE(editor->getFrame()->isChild(field));
    kalvo::headless::advanceTicks(2000);
    editor->idle();
    EXPECT_FALSE(field->isRefused());

    VstKeyCode escape = key(0, VKEY_ESCAPE);
    EXPECT_TRUE(editor->onKeyDown(escape));
    EXPECT_FALSE(editor->getFrame()->isChild(field));

    ASSERT_TRUE(editor->startTypedValue(7));
    VstKeyCode minus = key('-');
    editor->onKeyDown(minus);
    window->press(CPoint(400, 300), kButtonLeft); // on the plot: the field goes, nothing changes
    window->setPointer(CPoint(400, 300), 0);
    EXPECT_FALSE(editor->getFrame()->isChild(field));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(parameter(7), level);
}

namespace
{
/// The headphone build's listener: what the panel sent, as text ("begin 33", "33=1").
class GestureLog : public RemoteEffect::Listener
{
public:
    void beginGesture(int index) override { log.push_back("begin " + std::to_string(index)); }
    void changed(int index, float value) override
    {
        char text[64];
        std::snprintf(text, sizeof text, "%d=%g", index, static_cast<double>(value));
        log.emplace_back(text);
    }
    void endGesture(int index) override { log.push_back("end " + std::to_string(index)); }
    std::vector<std::string> log;
};
} // namespace

TEST(KalvoHeadphonePanel, EditsTheHeadControlsAndShowsTheTrackersStatus)
{
    GestureLog gestures;
    RemoteEffect mirror(gestures, buildRules(), true);
    auto* editor = dynamic_cast<KalvoEditor*>(mirror.getEditor());
    ASSERT_NE(editor, nullptr);
    kalvo::headless::HostWindow host;
    ASSERT_TRUE(editor->open(host.handle()));
    kalvo::headless::Window* window = host.child();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->width(), 841);
    EXPECT_EQ(window->height(), 497);
    // The strip's controls follow the panel's, each on its layout rectangle.
    CFrame* frame = editor->getFrame();
    ASSERT_EQ(frame->getNbViews(),
              static_cast<long>(std::size(panel::kControls) + std::size(panel::kHeadStripControls)));
    for (size_t i = 0; i < std::size(panel::kHeadStripControls); ++i)
    {
        const panel::PixelRect& r = panel::kHeadStripControls[i].rect;
        EXPECT_EQ(sizeOf(frame->getView(static_cast<long>(std::size(panel::kControls) + i))),
                  CRect(r.left, r.top, r.right, r.bottom));
    }

    // A real click on the switch: one bracketed edit.
    window->press(CPoint(105, 484), kButtonLeft);
    window->setPointer(CPoint(105, 484), 0);
    EXPECT_EQ(gestures.log, (std::vector<std::string>{"begin 33", "33=1", "end 33"}));

    // A port typed over the port's display, then an angle with a comma and a degree sign;
    // text that is no port changes nothing.
    const auto type = [&](CPoint at, const char* text)
    {
        gestures.log.clear();
        kalvo::headless::advanceTicks(1000);
        for (int click = 0; click < 2; ++click)
        {
            window->press(at, kButtonLeft);
            window->setPointer(at, 0);
        }
        ASSERT_EQ(frame->getFocusView(), editor->getTypedValueField());
        const auto press = [&](VstKeyCode k) { editor->onKeyDown(k); };
        for (int k = 0; k < 8; ++k)
            press(key(0, VKEY_BACK));
        for (const char* c = text; *c; ++c)
            press(key(*c));
        press(key(0, VKEY_RETURN));
    };
    type(CPoint(187, 484), "9100");
    EXPECT_EQ(gestures.log, (std::vector<std::string>{"begin 34", "34=9100", "end 34"}));
    type(CPoint(387, 484), "-30,5");
    EXPECT_EQ(gestures.log, (std::vector<std::string>{"begin 30", "30=-30.5", "end 30"}));
    char shown[CParamDisplay::kTextSize];
    editor->getDisplay(30)->formatValue(editor->getDisplay(30)->getValue(), shown);
    EXPECT_STREQ(shown, "-30.5\xc2\xb0");
    type(CPoint(187, 484), "port");
    EXPECT_TRUE(gestures.log.empty());
    EXPECT_TRUE(editor->getTypedValueField()->isRefused());
    VstKeyCode escape = key(0, VKEY_ESCAPE);
    editor->onKeyDown(escape);

    // What the host reports: the status in words and colour, the switch and the port.
    mirror.reportTrackerStatus(static_cast<int>(kalvo::TrackerStatus::PortInUse));
    mirror.reportHeadControl(kalvo::kTrackerOn, 0.0f);
    mirror.reportHeadControl(kalvo::kTrackerPort, 9001.0f);
    CParamDisplay* status = editor->getTrackerStatus();
    status->formatValue(status->getValue(), shown);
    EXPECT_STREQ(shown, "port in use");
    EXPECT_EQ(status->getFontColor(), MakeCColor(240, 70, 58));
    EXPECT_EQ(editor->getTrackerSwitch()->getValue(), 0.0f);
    EXPECT_EQ(editor->getDisplay(34)->getValue(), 9001.0f);
    editor->close();
}
