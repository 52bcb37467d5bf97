#include "KalvoEditor.h"

#include "CPlotDisplay.h"
#include "CVuMeter.h"
#include "PolarPattern.h"
#include "effect/KalvoParameters.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/controls/COnOffButton.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"
#include "gui/controls/CSlider.h"
#include "gui/controls/CSplashScreen.h"

#include <cmath>

namespace
{

// Panel images, by number.
enum ImageId : long
{
    kPanelImage = 128,
    kSliderTrackImage = 129,
    kSliderHandleImage = 130,
    kMuteButtonImage = 131,
    kMeterLitImage = 132,
    kMeterUnlitImage = 133,
    kDisplayImage = 134,
    kMenuImage = 135,
    kMenuOpenImage = 136,
    kPolarGridImage = 137,
    kAboutImage = 138,
};

// Order in which the meters are created and polled: top to bottom on the panel.
constexpr int kMeterOrder[] = {20, 22, 21, 23, 24, 25, 26, 27};
// Rows of the meters by parameter 20-27 (left 740, 61 x 13 each).
constexpr long kMeterTop[] = {225, 265, 245, 355, 315, 335, 375, 395};

constexpr long kMeterLeft = 740;
constexpr long kMeterWidth = 61;
constexpr long kMeterHeight = 13;
constexpr long kMeterLeds = 14;
constexpr long kMeterStyleHorizontal = 1;
constexpr float kMeterDecayStep = 0.1f;

// Sliders: the track image's size, the handle's travel from the left edge.
constexpr long kSliderWidth = 111;
constexpr long kSliderHeight = 16;
constexpr long kHandleTravel = 91; // 111 - 19 - 1
struct SliderPlace
{
    int tag;
    long left, top;
};
// In creation order: the left column (patterns, angles, delay, low-pass), then the levels.
constexpr SliderPlace kSliderPlaces[] = {
    {0, 90, 79},  {1, 90, 99},  {2, 90, 119}, {3, 90, 179}, {4, 90, 199},
    {5, 90, 262}, {6, 90, 321}, {9, 350, 79}, {7, 350, 99}, {8, 350, 119},
};

// Numeric displays, 35 x 14, in creation order; their converters come with the parameters.
struct DisplayPlace
{
    int tag;
    long left, top;
};
constexpr long kDisplayWidth = 35;
constexpr long kDisplayHeight = 14;
constexpr long kDisplayStyle = 1; // none of the display style bits
const DisplayPlace kDisplayPlaces[] = {
    {0, 210, 76},  {1, 210, 97},  {2, 210, 118}, {3, 210, 176}, {4, 210, 197},
    {5, 210, 259}, {6, 210, 318}, {9, 470, 75},  {7, 470, 95},  {8, 470, 116},
};

// Mute buttons of the centre, front and rear outputs, 31 x 16 (half the image's height).
constexpr long kMuteLeft = 520;
constexpr long kMuteTop[] = {75, 95, 115};
constexpr long kMuteWidth = 31;
constexpr long kMuteHeight = 16;

constexpr CRect kPlotRect(313, 147, 566, 400);
constexpr long kPlotPoints = kalvo::kPolarPoints;
constexpr CRect kMenuRect(630, 134, 795, 159);
constexpr long kMenuStyle = 1024; // mark the current entry
constexpr CRect kAboutClickArea(606, 22, 830, 96);
constexpr CRect kAboutImagePlace(201, 14, 656, 448);

// Plot colours, opaque: front right, front left, rear left, rear right, centre (drawn last).
const CColor kPlotColours[kalvo::kPolarPlotCount] = {kRedCColor, kYellowCColor, kBlueCColor, kGreenCColor,
                                                     kOrangeCColor};

} // namespace

KalvoEditor::KalvoEditor(AudioEffect* effect, const KalvoBuildRules& rules)
    : AEffGUIEditor(effect), rules(rules)
{
    panelBitmap = new CBitmap(kPanelImage);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<VstInt16>(panelBitmap->isLoaded() ? panelBitmap->getHeight() : kHeight);
    rect.right = static_cast<VstInt16>(panelBitmap->isLoaded() ? panelBitmap->getWidth() : kWidth);
}

KalvoEditor::~KalvoEditor()
{
    // A host may destroy the effect with the editor still open.
    if (frame)
        close();
    panelBitmap->forget();
}

float KalvoEditor::displayValue(int index, float p)
{
    return kalvo::panelValue(index, p);
}

bool KalvoEditor::open(void* ptr)
{
    // A host that opens again without closing gets the panel in its new window; the old frame,
    // its window and its server connection go instead of staying behind unreachable.
    if (frame)
        close();
    AEffEditor::open(ptr);

    CBitmap* track = new CBitmap(kSliderTrackImage);
    CBitmap* handle = new CBitmap(kSliderHandleImage);
    CBitmap* mute = new CBitmap(kMuteButtonImage);
    CBitmap* lit = new CBitmap(kMeterLitImage);
    CBitmap* unlit = new CBitmap(kMeterUnlitImage);
    CBitmap* displayFace = new CBitmap(kDisplayImage);
    CBitmap* menuFace = new CBitmap(kMenuImage);
    CBitmap* menuFaceOpen = new CBitmap(kMenuOpenImage);
    CBitmap* grid = new CBitmap(kPolarGridImage);
    CBitmap* about = new CBitmap(kAboutImage);

    // The plot display creates its offscreen with the frame, so the frame is stored first.
    frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), ptr, this);
    frame->setBackground(panelBitmap);

    for (int i = 0; i < kNumMutes; ++i)
    {
        const int tag = kFirstMute + i;
        muteButtons[i] =
            new COnOffButton(CRect(kMuteLeft, kMuteTop[i], kMuteLeft + kMuteWidth, kMuteTop[i] + kMuteHeight),
                             this, tag, mute, 0);
        muteButtons[i]->setValue(effect->getParameter(tag));
        frame->addView(muteButtons[i]);
    }
    createMeters(lit, unlit);
    createSliders(track, handle);
    createPolarPlot(grid);
    createDisplays(displayFace);
    createPresetMenu(menuFace, menuFaceOpen);

    aboutScreen = new CSplashScreen(kAboutClickArea, this, kAboutTag, about, kAboutImagePlace, CPoint(0, 0));
    frame->addView(aboutScreen);

    for (CBitmap* image : {track, handle, mute, lit, unlit, displayFace, menuFace, menuFaceOpen, grid, about})
        image->forget();

    opened = true;
    return true;
}

void KalvoEditor::createMeters(CBitmap* lit, CBitmap* unlit)
{
    for (int parameter : kMeterOrder)
    {
        const int i = parameter - kFirstMeter;
        const CRect place(kMeterLeft, kMeterTop[i], kMeterLeft + kMeterWidth, kMeterTop[i] + kMeterHeight);
        meters[i] = new CVuMeter(place, lit, unlit, kMeterLeds, kMeterStyleHorizontal);
        meters[i]->setDecayStep(kMeterDecayStep);
        if (!rules.metersUseOffscreen)
            meters[i]->setUseOffscreen(false);
        frame->addView(meters[i]);
    }
}

void KalvoEditor::createSliders(CBitmap* track, CBitmap* handle)
{
    for (const SliderPlace& place : kSliderPlaces)
    {
        // Only the surround angle runs from right to left: 90 degrees at the right end.
        const long style = place.tag == kLSRSOffset ? kSliderDragInvert : kSliderDrawPlain;
        const CRect size(place.left, place.top, place.left + kSliderWidth, place.top + kSliderHeight);
        auto* slider = new CHorizontalSlider(size, this, place.tag, place.left, place.left + kHandleTravel,
                                             handle, track, CPoint(0, 0), style);
        slider->setOffsetHandle(CPoint(1, 0));
        const float p = effect->getParameter(place.tag);
        slider->setValue(p);
        // The levels reset to where they stood when the editor opened (Ctrl-click).
        if (place.tag >= kFrontLevel)
            slider->setDefaultValue(p);
        sliders[place.tag] = slider;
        frame->addView(slider);
    }
}

void KalvoEditor::createPolarPlot(CBitmap* grid)
{
    polarPlot = new CPlotDisplay(frame, kPlotRect, this, kAboutTag, grid);
    polarPlot->setLimitsX(-1.0f, 1.0f, false);
    polarPlot->setLimitsY(-1.0f, 1.0f, false);
    for (const CColor& colour : kPlotColours)
        polarPlot->addPlot(kPlotPoints, colour);
    frame->addView(polarPlot);
}

void KalvoEditor::createDisplays(CBitmap* background)
{
    for (const DisplayPlace& place : kDisplayPlaces)
    {
        const CRect size(place.left, place.top, place.left + kDisplayWidth, place.top + kDisplayHeight);
        auto* display = new CParamDisplay(size, background, kDisplayStyle);
        display->setFont(kNormalFontSmall);
        display->setFontColor(kYellowCColor);
        display->setBackColor(kGreyCColor);
        display->setFrameColor(kGreyCColor);
        display->setValue(displayValue(place.tag, effect->getParameter(place.tag)));
        if (kalvo::DisplayConverter convert = kalvo::panelConverter(place.tag))
            display->setStringConvert(convert);
        displays[place.tag] = display;
        frame->addView(display);
    }
}

void KalvoEditor::createPresetMenu(CBitmap* face, CBitmap* faceOpen)
{
    presetMenu = new COptionMenu(kMenuRect, this, kPresetTag, face, faceOpen, kMenuStyle);
    presetMenu->setFont(kNormalFont);
    presetMenu->setTxtFace(kNormalFace);
    presetMenu->setFontColor(kYellowCColor);
    presetMenu->setBackColor(kTransparentCColor);
    presetMenu->setFrameColor(kTransparentCColor);
    presetMenu->setShadowColor(kTransparentCColor);
    presetMenu->setHoriAlign(kAlignCenter);
    for (const char* entry : rules.presetMenuEntries)
        presetMenu->addEntry(entry, -1);
    frame->addView(presetMenu);
}

void KalvoEditor::close()
{
    opened = false;
    delete frame; // releases every control
    frame = nullptr;
    for (auto& slider : sliders)
        slider = nullptr;
    for (auto& button : muteButtons)
        button = nullptr;
    for (auto& meter : meters)
        meter = nullptr;
    for (auto& display : displays)
        display = nullptr;
    presetMenu = nullptr;
    aboutScreen = nullptr;
    polarPlot = nullptr;
    AEffEditor::close();
}

void KalvoEditor::idle()
{
    if (!opened)
        return;
    for (int parameter : kMeterOrder)
    {
        CVuMeter* meter = meters[parameter - kFirstMeter];
        if (meter)
        {
            meter->setValue(effect->getParameter(parameter));
            meter->redraw();
        }
    }
    if (polarPlot)
        updatePolarPlot();
    AEffGUIEditor::idle();
}

void KalvoEditor::updatePolarPlot()
{
    kalvo::PolarInputs inputs;
    for (int i = 0; i < kNumParameters; ++i)
        inputs.values[i] = effect->getParameter(i);
    kalvo::PolarCurves curves;
    kalvo::computePolarCurves(inputs, curves);
    for (int plot = 0; plot < kalvo::kPolarPlotCount; ++plot)
        polarPlot->setPlotDataXY(curves.x[plot], curves.y[plot], plot);
}

void KalvoEditor::setParameter(int index, float /*value*/)
{
    if (!opened || index < 0 || index >= kFirstMeter + kNumMeters)
        return;
    // The value passed is ignored: the effect's own reading is what the panel shows.
    const float p = effect->getParameter(index);
    if (index < kNumSliders)
    {
        if (sliders[index])
            sliders[index]->setValue(p);
        if (displays[index])
            displays[index]->setValue(displayValue(index, p));
    }
    else if (index < kFirstMute + kNumMutes)
    {
        if (muteButtons[index - kFirstMute])
            muteButtons[index - kFirstMute]->setValue(p);
    }
    else if (index == kPresetTag)
    {
        if (presetMenu)
            presetMenu->setValue(p - 3.0f); // the effect reports 0, which the menu ignores
    }
    else if (index >= kFirstMeter)
    {
        if (meters[index - kFirstMeter])
            meters[index - kFirstMeter]->setValue(p);
    }
}

void KalvoEditor::valueChanged(CDrawContext* /*context*/, CControl* control)
{
    if (!control)
        return;
    const long tag = control->getTag();
    const bool isParameter = (tag >= 0 && tag <= 12) || tag == kPresetTag ||
                             (tag >= kFirstMeter && tag < kFirstMeter + kNumMeters);
    if (!isParameter)
        return;
    effect->setParameterAutomated(static_cast<VstInt32>(tag), control->getValue());
    if (rules.markControlDirtyAfterEdit)
        control->setDirty(true);
}
