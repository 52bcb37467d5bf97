// The effect as the editor sees it when the processing runs elsewhere: in an LV2 host's
// UI, perhaps in another process, or in a VST 3 host's edit controller. It mirrors the
// values the host reports, answers the editor's reads from that mirror, and hands the
// user's gestures to a listener that speaks the plug-in format. The editor itself does
// not know the difference: it talks to this object exactly as to the effect.
#pragma once

#include "BuildRules.h"
#include "HeadControls.h"
#include "KalvoProgram.h"
#include "vst2/AudioEffectX.h"

class RemoteEffect : public AudioEffectX
{
public:
    /// What the user did on the panel, in knob positions 0..1 of parameters 0..12; on the
    /// headphone build's panel also the head controls (kFirstHeadParameter + HeadControl), each
    /// in its own unit.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void beginGesture(int index) = 0;
        virtual void changed(int index, float knob) = 0;
        virtual void endGesture(int index) = 0;
    };

    static constexpr int kNumMeters = kLastMeter - kFirstMeter + 1;

    /// Starts with a fresh program's values and silent meters; attaches the editor. With
    /// `headphones` the mirror holds the head controls and the tracker's status too, and the
    /// panel shows them.
    explicit RemoteEffect(Listener& listener, const KalvoBuildRules& rules = buildRules(),
                          bool headphones = false);
    ~RemoteEffect() override;

    /// The host reports parameter `index` (0..12) at `knob`: the mirror and the panel follow.
    /// Values that are not finite are ignored; the mirror keeps what the host said otherwise.
    void reportParameter(int index, float knob);
    /// The host reports meter `meter` (0..7, in the panel meters' scale).
    void reportMeter(int meter, float level);
    /// The host reports head control `control` (HeadControl) at `value`, in the control's unit.
    /// Nothing without head controls, or for a value that is not finite.
    void reportHeadControl(int control, float value);
    /// The host reports the head tracker's status (a TrackerStatus: 0 off, 1 listening, 2 port
    /// in use).
    void reportTrackerStatus(int status);
    bool hasHeadControls() const { return headphones; }
    /// The mirrored knob position of parameter `index` (0..12).
    float mirrored(int index) const;
    /// The build rules the editor follows, as the effect's own.
    const KalvoBuildRules& getRules() const { return rules; }

    // ---- what the editor calls ----
    float getParameter(VstInt32 index) override;
    void setParameter(VstInt32 index, float value) override;
    void setParameterAutomated(VstInt32 index, float value) override;
    bool beginEdit(VstInt32 index) override;
    bool endEdit(VstInt32 index) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    VstInt32 getVendorVersion() override { return rules.vendorVersion; }

private:
    /// Applies factory preset 0..4 as one gesture over all thirteen parameters.
    void choosePreset(int preset);
    void show(int index);

    Listener& listener;
    const KalvoBuildRules& rules;
    bool isHeadIndex(int index) const;

    float values[kNumParameters];
    float meters[kNumMeters] = {};
    const bool headphones;
    float headValues[kalvo::kNumHeadControls] = {};
    float trackerStatus = 0.0f;
};
