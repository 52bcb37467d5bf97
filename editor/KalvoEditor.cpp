#include "KalvoEditor.h"

#include "CPlotDisplay.h"
#include "CVuMeter.h"
#include "PanelLayout.h"
#include "PolarPattern.h"
#include "effect/KalvoParameters.h"
#include "effect/ParameterText.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/controls/COnOffButton.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"
#include "gui/controls/CSlider.h"
#include "gui/controls/CSplashScreen.h"
#include "gui/controls/CTextEdit.h"

#include <cmath>
#include <cstdio>
#include <iterator>

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
    kHeadphonePanelImage = 139,
    kTrackerSwitchImage = 140,
};

constexpr long kMeterLeds = 14;
constexpr long kMeterStyleHorizontal = 1;
constexpr float kMeterDecayStep = 0.1f;

// Sliders: the handle's travel from the left edge, the track's width less the handle's and one.
constexpr long kHandleTravel = 91; // 111 - 19 - 1

constexpr long kDisplayStyle = 1; // none of the display style bits
constexpr long kPlotPoints = kalvo::kPolarPoints;
constexpr long kMenuStyle = 1024; // mark the current entry

// How long the typing field shows a text that is no value before it turns plain again.
constexpr long kRefusedTextMs = 1200;
// The typing field's tag: an edit of its own, never a parameter.
constexpr long kTypedValueTag = -1;

// The panel's zoom: the menu's entries and the zoom each chooses; 0 follows the host (or the
// desktop).
constexpr long kZoomTag = -2; // the editor's own, never a parameter
struct ZoomChoice
{
    const char* text;
    double scale;
};
constexpr ZoomChoice kZoomChoices[] = {{"100 %", 1.0}, {"125 %", 1.25}, {"150 %", 1.5},      {"200 %", 2.0},
                                       {"250 %", 2.5}, {"300 %", 3.0},  {"Follow host", 0.0}};

/// The zoom choices. They pop up where the background was right-clicked, and join the frame
/// only for that while.
class ZoomMenu : public COptionMenu
{
public:
    explicit ZoomMenu(CControlListener* listener)
        : COptionMenu(CRect(0, 0, 0, 0), listener, kZoomTag, nullptr, nullptr, kMenuMarkCurrent)
    {
        for (const ZoomChoice& choice : kZoomChoices)
            addEntry(choice.text);
    }
    void draw(CDrawContext*) override {}
    /// Marks the entry of the current choice: `userScale` 0 follows the host.
    void markChoice(double userScale)
    {
        long index = 0;
        for (const ZoomChoice& choice : kZoomChoices)
        {
            if (choice.scale == userScale)
                break;
            index++;
        }
        setCurrent(index);
    }
    double chosenScale() const
    {
        const long index = getCurrent();
        return index >= 0 && index < static_cast<long>(std::size(kZoomChoices)) ? kZoomChoices[index].scale
                                                                                : 0.0;
    }
};

/// The panel's frame: a right-click on a spot that no control covers pops up the zoom choices
/// there. A right-click because the panel is a fixed picture with no free room for another
/// control, and a plug-in's background is where users look for settings that are not the
/// sound's.
class PanelFrame : public CFrame
{
public:
    PanelFrame(const CRect& size, void* parent, KalvoEditor& editor)
        : CFrame(size, parent, &editor), owner(editor)
    {
    }
    void mouse(CDrawContext* context, CPoint& where, long buttons) override
    {
        if (context && buttons == -1)
            buttons = context->getMouseButtons();
        if ((buttons & kButtonRight) && !modalView && !hitTestSubViews(where, buttons))
        {
            setFocusView(nullptr);
            owner.popUpZoomMenu(context ? context : frameContext, where);
            return;
        }
        CFrame::mouse(context, where, buttons);
    }

private:
    KalvoEditor& owner;
};

/// A numeric display that opens the typing field on a double-click.
class ValueDisplay : public CParamDisplay
{
public:
    ValueDisplay(const CRect& size, CBitmap* background, long style, KalvoEditor& editor, int index)
        : CParamDisplay(size, background, style), editor(editor), index(index)
    {
    }
    void mouse(CDrawContext* context, CPoint& /*where*/, long buttons) override
    {
        buttons = resolveButtons(context, buttons);
        if (!mouseEnabled || !(buttons & kButtonLeft))
            return;
        if (isDoubleClick())
            editor.startTypedValue(index);
    }

private:
    KalvoEditor& editor;
    const int index;
};

CRect toCRect(const panel::PixelRect& r)
{
    return CRect(r.left, r.top, r.right, r.bottom);
}

// Plot colours, opaque: front right, front left, rear left, rear right, centre (drawn last).
const CColor kPlotColours[kalvo::kPolarPlotCount] = {kRedCColor, kYellowCColor, kBlueCColor, kGreenCColor,
                                                     kOrangeCColor};

} // namespace

KalvoEditor::KalvoEditor(AudioEffect* effect, const KalvoBuildRules& rules, bool headphones)
    : AEffGUIEditor(effect), rules(rules), headphones(headphones)
{
    panelBitmap = new CBitmap(headphones ? kHeadphonePanelImage : kPanelImage);
    rect.top = 0;
    rect.left = 0;
    const long height = headphones ? panel::kHeadphonePanelHeight : kHeight;
    rect.bottom = static_cast<VstInt16>(panelBitmap->isLoaded() ? panelBitmap->getHeight() : height);
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
    frame = new PanelFrame(CRect(0, 0, rect.right, rect.bottom), ptr, *this);
    frame->setBackground(panelBitmap);

    // The controls in the layout's order, which is also the order they stack in.
    for (const panel::ControlPlace& place : panel::kControls)
    {
        const CRect size = toCRect(place.rect);
        switch (place.kind)
        {
        case panel::ControlKind::MuteButton:
            addMuteButton(size, place.tag, mute);
            break;
        case panel::ControlKind::Meter:
            addMeter(size, place.tag, lit, unlit);
            break;
        case panel::ControlKind::Slider:
            addSlider(size, place.tag, track, handle);
            break;
        case panel::ControlKind::Plot:
            addPolarPlot(size, grid);
            break;
        case panel::ControlKind::Display:
            addDisplay(size, place.tag, displayFace);
            break;
        case panel::ControlKind::Menu:
            addPresetMenu(size, menuFace, menuFaceOpen);
            break;
        case panel::ControlKind::AboutArea:
            aboutScreen =
                new CSplashScreen(size, this, kAboutTag, about, toCRect(panel::kAboutShown), CPoint(0, 0));
            frame->addView(aboutScreen);
            break;
        case panel::ControlKind::Switch:
        case panel::ControlKind::Status:
            break; // the head strip's, below
        }
    }
    if (headphones)
        addHeadStrip(displayFace);

    for (CBitmap* image : {track, handle, mute, lit, unlit, displayFace, menuFace, menuFaceOpen, grid, about})
        image->forget();

    // The zoom menu and the typing field join the frame only while they are open; the editor
    // keeps them meanwhile.
    zoomMenu = new ZoomMenu(this);
    typedValue = new CTextEdit(CRect(0, 0, 0, 0), this, kTypedValueTag);
    typedValue->setFont(kNormalFontSmall);
    typedIndex = -1;

    opened = true;
    return true;
}

void KalvoEditor::addMuteButton(const CRect& size, int tag, CBitmap* image)
{
    COnOffButton*& button = muteButtons[tag - kFirstMute];
    button = new COnOffButton(size, this, tag, image, 0);
    button->setValue(effect->getParameter(tag));
    frame->addView(button);
}

void KalvoEditor::addMeter(const CRect& size, int parameter, CBitmap* lit, CBitmap* unlit)
{
    CVuMeter*& meter = meters[parameter - kFirstMeter];
    meter = new CVuMeter(size, lit, unlit, kMeterLeds, kMeterStyleHorizontal);
    meter->setDecayStep(kMeterDecayStep);
    if (!rules.metersUseOffscreen)
        meter->setUseOffscreen(false);
    frame->addView(meter);
}

void KalvoEditor::addSlider(const CRect& size, int tag, CBitmap* track, CBitmap* handle)
{
    // Only the surround angle runs from right to left: 90 degrees at the right end.
    const long style = tag == kLSRSOffset ? kSliderDragInvert : kSliderDrawPlain;
    auto* slider = new CHorizontalSlider(size, this, tag, size.left, size.left + kHandleTravel, handle, track,
                                         CPoint(0, 0), style);
    slider->setOffsetHandle(CPoint(1, 0));
    const float p = effect->getParameter(tag);
    slider->setValue(p);
    // The levels reset to where they stood when the editor opened (Ctrl-click).
    if (tag >= kFrontLevel)
        slider->setDefaultValue(p);
    sliders[tag] = slider;
    frame->addView(slider);
}

void KalvoEditor::addPolarPlot(const CRect& size, CBitmap* grid)
{
    polarPlot = new CPlotDisplay(frame, size, this, kAboutTag, grid);
    polarPlot->setLimitsX(-1.0f, 1.0f, false);
    polarPlot->setLimitsY(-1.0f, 1.0f, false);
    for (const CColor& colour : kPlotColours)
        polarPlot->addPlot(kPlotPoints, colour);
    frame->addView(polarPlot);
}

void KalvoEditor::addDisplay(const CRect& size, int tag, CBitmap* background)
{
    auto* display = new ValueDisplay(size, background, kDisplayStyle, *this, tag);
    display->setFont(kNormalFontSmall);
    display->setFontColor(kYellowCColor);
    display->setBackColor(kGreyCColor);
    display->setFrameColor(kGreyCColor);
    display->setValue(displayValue(tag, effect->getParameter(tag)));
    if (kalvo::DisplayConverter convert = kalvo::panelConverter(tag))
        display->setStringConvert(convert);
    displays[tag] = display;
    frame->addView(display);
}

void KalvoEditor::addPresetMenu(const CRect& size, CBitmap* face, CBitmap* faceOpen)
{
    presetMenu = new COptionMenu(size, this, kPresetTag, face, faceOpen, kMenuStyle);
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

namespace
{

/// The head's angles as the strip shows them: whole degrees plainly, others to a tenth.
void formatDegrees(float value, char* text)
{
    const bool whole = std::fabs(value - std::round(value)) < 0.05f;
    std::snprintf(text, CParamDisplay::kTextSize, whole ? "%.0f\xc2\xb0" : "%.1f\xc2\xb0",
                  static_cast<double>(whole ? std::round(value) + 0.0f : value));
}

void formatPort(float value, char* text)
{
    std::snprintf(text, CParamDisplay::kTextSize, "%.0f", static_cast<double>(value));
}

void formatTrackerStatus(float value, char* text)
{
    std::snprintf(text, CParamDisplay::kTextSize, "%s",
                  kalvo::trackerStatusText(static_cast<kalvo::TrackerStatus>(std::lround(value))));
}

} // namespace

void KalvoEditor::addHeadStrip(CBitmap* displayFace)
{
    CBitmap* switchImage = new CBitmap(kTrackerSwitchImage);
    for (const panel::ControlPlace& place : panel::kHeadStripControls)
    {
        const CRect size = toCRect(place.rect);
        const int control = place.tag - kalvo::kFirstHeadParameter;
        switch (place.kind)
        {
        case panel::ControlKind::Switch:
            trackerSwitch = new COnOffButton(size, this, place.tag, switchImage, 0);
            frame->addView(trackerSwitch);
            break;
        case panel::ControlKind::Display:
        {
            auto* display = new ValueDisplay(size, displayFace, kDisplayStyle, *this, place.tag);
            display->setFont(kNormalFontSmall);
            display->setFontColor(kYellowCColor);
            display->setBackColor(kGreyCColor);
            display->setFrameColor(kGreyCColor);
            const kalvo::HeadControlSpec& spec = kalvo::headControlSpec(control);
            display->setMin(static_cast<float>(spec.minimum));
            display->setMax(static_cast<float>(spec.maximum));
            display->setStringConvert(spec.kind == kalvo::HeadControlKind::Port ? formatPort : formatDegrees);
            headDisplays[control] = display;
            frame->addView(display);
            break;
        }
        case panel::ControlKind::Status:
            trackerStatus = new CParamDisplay(size, nullptr, kDisplayNoFrame);
            trackerStatus->setFont(kNormalFontSmall);
            trackerStatus->setHoriAlign(kAlignLeft);
            trackerStatus->setBackColor(
                MakeCColor(0x1b, 0x1e, 0x23)); // the panel's own, so the words stand on it
            trackerStatus->setMax(2.0f);
            trackerStatus->setStringConvert(formatTrackerStatus);
            frame->addView(trackerStatus);
            break;
        default:
            break;
        }
    }
    switchImage->forget();
    for (int index = kalvo::kFirstHeadParameter; index <= kalvo::kTrackerStatusParameter; ++index)
        showHeadParameter(index);
}

void KalvoEditor::showHeadParameter(int index)
{
    const float value = effect->getParameter(index);
    if (index == kalvo::kTrackerStatusParameter)
    {
        if (!trackerStatus)
            return;
        // Listening in the meters' green, a refused port in their red, off in the captions' grey.
        static constexpr CColor kListening = MakeCColor(63, 210, 90), kRefused = MakeCColor(240, 70, 58),
                                kOff = MakeCColor(127, 134, 144);
        const auto status = static_cast<kalvo::TrackerStatus>(std::lround(value));
        trackerStatus->setFontColor(status == kalvo::TrackerStatus::Listening   ? kListening
                                    : status == kalvo::TrackerStatus::PortInUse ? kRefused
                                                                                : kOff);
        trackerStatus->setValue(value);
        trackerStatus->setDirty(true);
        return;
    }
    const int control = index - kalvo::kFirstHeadParameter;
    if (control == kalvo::kTrackerOn && trackerSwitch)
        trackerSwitch->setValue(value >= 0.5f ? 1.0f : 0.0f);
    else if (control >= 0 && control < kNumHeadDisplays && headDisplays[control])
        headDisplays[control]->setValue(value);
}

CParamDisplay* KalvoEditor::getDisplay(int index) const
{
    if (inRange(index, kNumSliders))
        return displays[index];
    if (kalvo::isHeadParameter(index))
        return headDisplays[index - kalvo::kFirstHeadParameter];
    return nullptr;
}

void KalvoEditor::close()
{
    opened = false;
    typedIndex = -1;
    delete frame; // releases every control
    frame = nullptr;
    if (typedValue)
        typedValue->forget();
    typedValue = nullptr;
    if (zoomMenu)
        zoomMenu->forget();
    zoomMenu = nullptr;
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
    trackerSwitch = nullptr;
    trackerStatus = nullptr;
    for (auto& display : headDisplays)
        display = nullptr;
    AEffEditor::close();
}

void KalvoEditor::idle()
{
    if (!opened)
        return;
    // The meters, in the layout's order.
    for (const panel::ControlPlace& place : panel::kControls)
    {
        CVuMeter* meter = place.kind == panel::ControlKind::Meter ? meters[place.tag - kFirstMeter] : nullptr;
        if (meter)
        {
            meter->setValue(effect->getParameter(place.tag));
            meter->redraw();
        }
    }
    if (polarPlot)
        updatePolarPlot();
    if (typedValue)
        typedValue->idleTick();
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

void KalvoEditor::setResetValue(int index, float knob)
{
    if (CHorizontalSlider* slider = getSlider(index))
        slider->setDefaultValue(knob);
}

void KalvoEditor::setParameter(int index, float /*value*/)
{
    if (opened && headphones && index >= kalvo::kFirstHeadParameter &&
        index <= kalvo::kTrackerStatusParameter)
        showHeadParameter(index);
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

bool KalvoEditor::startTypedValue(int index)
{
    CParamDisplay* display = getDisplay(index);
    if (!opened || !frame || !typedValue || !display)
        return false;
    if (typedIndex >= 0)
        frame->setFocusView(nullptr); // another field was open: it is cancelled
    CRect place;
    display->getViewSize(place);
    typedValue->setViewSize(place);
    typedValue->setMouseableArea(place);
    char text[CParamDisplay::kTextSize];
    display->formatValue(display->getValue(), text);
    typedIndex = index;
    frame->addView(typedValue);
    typedValue->remember(); // the frame's reference; addView takes over the creator's otherwise
    typedValue->start(text);
    return true;
}

void KalvoEditor::popUpZoomMenu(CDrawContext* context, const CPoint& where)
{
    if (!opened || !frame || !zoomMenu || !context)
        return;
    auto* menu = static_cast<ZoomMenu*>(zoomMenu);
    menu->markChoice(getUserScale());
    CRect spot(where.x, where.y, where.x, where.y);
    menu->setViewSize(spot);
    menu->setMouseableArea(spot);
    frame->addView(menu);
    menu->remember(); // the frame's reference; the editor keeps its own
    menu->takeFocus(context);
    frame->removeView(menu, true);
}

void KalvoEditor::typedValueEnded()
{
    const int index = typedIndex;
    if (index < 0)
        return;
    if (typedValue->ending() == CTextEdit::Ending::committed)
    {
        float knob = 0.0f;
        std::string error;
        double headValue = 0.0;
        const bool read =
            kalvo::isHeadParameter(index)
                ? kalvo::parseHeadControlText(index - kalvo::kFirstHeadParameter, typedValue->text(),
                                              headValue)
                : kalvo::parseParameterText(index, typedValue->text(), knob, error, kalvo::OutOfRange::clamp);
        if (kalvo::isHeadParameter(index))
            knob = static_cast<float>(headValue); // the head controls' unit is their own
        if (!read)
        {
            // Text that is no value changes nothing; the field says so and stays for a correction.
            typedValue->start(typedValue->text().c_str());
            typedValue->showRefused(kRefusedTextMs);
            return;
        }
        // One automated edit, bracketed like a gesture on the slider.
        beginEdit(index);
        effect->setParameterAutomated(index, knob);
        endEdit(index);
    }
    typedIndex = -1;
    CRect place;
    typedValue->getViewSize(place);
    frame->removeView(typedValue, true);
    frame->invalidate(place); // the display under the field shows again
}

void KalvoEditor::valueChanged(CDrawContext* /*context*/, CControl* control)
{
    if (!control)
        return;
    if (control == typedValue)
    {
        typedValueEnded();
        return;
    }
    if (control == zoomMenu)
    {
        // The frame that shows the menu cannot go now: the next idle makes the panel again.
        setUserScale(static_cast<ZoomMenu*>(zoomMenu)->chosenScale());
        return;
    }
    const long tag = control->getTag();
    const bool isParameter = (tag >= 0 && tag <= 12) || tag == kPresetTag ||
                             (tag >= kFirstMeter && tag < kFirstMeter + kNumMeters) ||
                             (headphones && kalvo::isHeadParameter(static_cast<int>(tag)));
    if (!isParameter)
        return;
    effect->setParameterAutomated(static_cast<VstInt32>(tag), control->getValue());
    if (rules.markControlDirtyAfterEdit)
        control->setDirty(true);
}
