// The panel as the controller sees it: a mirror of the values that the shared editor
// reads, and the views the host embeds. Built only where the build has the editor.
#pragma once

#include "formats/vst3/Vst3Interface.h"

namespace kalvo::vst3adapter
{

class KalvoController;

class ControllerPanel
{
public:
    virtual ~ControllerPanel() = default;
    /// A knob position the host set, for the editor.
    virtual void showKnob(int index, float knob) = 0;
    /// A meter reading (0..7) from the processor, for the editor.
    virtual void showMeter(int meter, float level) = 0;
    /// The headphone build's: a head control (HeadControl) in its own unit, and the tracker's
    /// status (a TrackerStatus).
    virtual void showHeadControl(int control, float value) = 0;
    virtual void showTrackerStatus(int status) = 0;
    /// A new view of the panel (one reference for the caller), or null.
    virtual vst3::IPlugView* createView() = 0;
    /// The zoom the user chose on the panel (1 to 3), or 0 where it follows the host; set from
    /// a session, an open view takes it from its next tick.
    virtual double userZoom() = 0;
    virtual void setUserZoom(double zoom) = 0;
};

/// The panel of `controller`, or null in a build without the editor.
ControllerPanel* createControllerPanel(KalvoController& controller);

} // namespace kalvo::vst3adapter
