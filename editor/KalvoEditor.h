// The plug-in's editor: one fixed 841 x 453 bitmap panel with ten sliders and
// their numeric displays, three mute buttons, the preset menu, eight LED
// meters, the live polar plot of the five virtual microphones and the about
// screen; the headphone build's panel adds a strip for the head tracker (its
// switch, port and status) and the head's angles. It is the listener of every control and talks to the effect
// only through parameters: user edits go out with setParameterAutomated, every change inside the effect comes
// back through setParameter, and idle polls the meters and the polar curves.
#pragma once

#include "PanelLayout.h"
#include "effect/BuildRules.h"
#include "effect/HeadControls.h"
#include "gui/AEffGUIEditor.h"
#include "gui/controls/CControl.h"
#include "vst2/AudioEffect.h"

class CBitmap;
class CHorizontalSlider;
class COnOffButton;
class COptionMenu;
class CParamDisplay;
class CPlotDisplay;
class CSplashScreen;
class CTextEdit;
class CVuMeter;

class KalvoEditor : public AEffGUIEditor, public CControlListener
{
public:
    static constexpr long kWidth = panel::kPanelWidth; ///< panel pixels, from the background image
    static constexpr long kHeight = panel::kPanelHeight;

    /// Loads the panel image and sets the editor rectangle, so the host can ask for the size
    /// before the window exists. The rules choose the preset texts and small drawing rules.
    /// With `headphones`, the panel is the headphone build's, which edits the head controls
    /// as the effect's parameters kalvo::kFirstHeadParameter and on, in their own units.
    explicit KalvoEditor(AudioEffect* effect, const KalvoBuildRules& rules = buildRules(),
                         bool headphones = false);
    ~KalvoEditor() override;

    /// Builds the panel in the host's window `ptr`; always true.
    bool open(void* ptr) override;
    /// Deletes the frame and with it every control.
    void close() override;
    /// Meters, then the polar curves, then the frame's redraw of what became dirty.
    void idle() override;
    /// Re-reads parameter `index` from the effect and shows it; nothing while closed.
    void setParameter(int index, float value) override;
    /// A user edit: tags 0-12, 14 and 20-27 go to the effect as automation.
    void valueChanged(CDrawContext* context, CControl* control) override;

    bool isOpened() const { return opened; }
    /// Sets the knob position (0..1) a Ctrl-click on the slider of parameter `index` returns
    /// to. The levels return to where they stood when the panel opened; a binding whose values
    /// arrive after the panel opened names that place here. Nothing while closed, or for an
    /// index without a slider.
    void setResetValue(int index, float knob);
    /// Opens the typing field over the numeric display of parameter `index` (0-9, or a head
    /// control's on the headphone panel), prefilled
    /// with the display's text, as a double-click on the display does. Enter applies the text
    /// as one automated edit (begin, set, end); Escape or a click elsewhere leaves everything
    /// as it was. False while closed or for a parameter without a display.
    bool startTypedValue(int index);
    /// The typing field (open or not); null while closed.
    CTextEdit* getTypedValueField() const { return typedValue; }

    // ---- inspection, for tests and tools; null while closed ----
    CHorizontalSlider* getSlider(int index) const
    {
        return inRange(index, kNumSliders) ? sliders[index] : nullptr;
    }
    /// The numeric display of parameter `index` (0-9), or of a head control's number.
    CParamDisplay* getDisplay(int index) const;
    /// The headphone panel's tracker switch and status line; null elsewhere.
    COnOffButton* getTrackerSwitch() const { return trackerSwitch; }
    CParamDisplay* getTrackerStatus() const { return trackerStatus; }
    bool isHeadphonePanel() const { return headphones; }
    COnOffButton* getMuteButton(int index) const
    {
        return inRange(index - kFirstMute, kNumMutes) ? muteButtons[index - kFirstMute] : nullptr;
    }
    CVuMeter* getMeter(int index) const
    {
        return inRange(index - kFirstMeter, kNumMeters) ? meters[index - kFirstMeter] : nullptr;
    }
    COptionMenu* getPresetMenu() const { return presetMenu; }
    /// Pops up the zoom choices at `where` (panel pixels), as a right-click on the background
    /// does; the choice applies from the next idle. Nothing while closed.
    void popUpZoomMenu(CDrawContext* context, const CPoint& where);
    CSplashScreen* getAboutScreen() const { return aboutScreen; }
    CPlotDisplay* getPolarPlot() const { return polarPlot; }

private:
    enum
    {
        kNumSliders = 10, ///< parameters 0-9
        kFirstMute = 10,  ///< parameters 10-12
        kNumMutes = 3,
        kPresetTag = 14,
        kAboutTag = 13,   ///< the about area and the plot share it; it is ignored
        kFirstMeter = 20, ///< parameters 20-27
        kNumMeters = 8,
        kNumHeadDisplays = kalvo::kNumHeadControls, ///< one place per head control
    };

    static bool inRange(int i, int count) { return i >= 0 && i < count; }
    void addMuteButton(const CRect& size, int tag, CBitmap* image);
    void addMeter(const CRect& size, int parameter, CBitmap* lit, CBitmap* unlit);
    void addSlider(const CRect& size, int tag, CBitmap* track, CBitmap* handle);
    void addPolarPlot(const CRect& size, CBitmap* grid);
    void addDisplay(const CRect& size, int tag, CBitmap* background);
    void addPresetMenu(const CRect& size, CBitmap* face, CBitmap* faceOpen);
    void addHeadStrip(CBitmap* displayFace);
    /// Shows head control `index` (its panel number) or the tracker's status as the effect says.
    void showHeadParameter(int index);
    void updatePolarPlot();
    /// The typing field ended: applies a committed text, then takes the field off the panel.
    void typedValueEnded();
    /// The value a display shows for parameter `index` at normalised value p.
    static float displayValue(int index, float p);

    const KalvoBuildRules& rules;
    const bool headphones;
    CHorizontalSlider* sliders[kNumSliders] = {};
    COnOffButton* muteButtons[kNumMutes] = {};
    CVuMeter* meters[kNumMeters] = {};
    COptionMenu* presetMenu = nullptr;
    COptionMenu* zoomMenu = nullptr; ///< one reference of the editor's own while open
    CSplashScreen* aboutScreen = nullptr;
    CParamDisplay* displays[kNumSliders] = {};
    CPlotDisplay* polarPlot = nullptr;
    COnOffButton* trackerSwitch = nullptr;
    CParamDisplay* headDisplays[kNumHeadDisplays] = {}; ///< by head control; null where none is shown
    CParamDisplay* trackerStatus = nullptr;
    CTextEdit* typedValue = nullptr; ///< one reference of the editor's own while open
    int typedIndex = -1;             ///< the parameter the field edits; -1 while it is closed
    CBitmap* panelBitmap = nullptr;
    bool opened = false;
};
