#pragma once

// Headphone monitoring of the 5.1 decode: the binaural renderer, the head's
// orientation from the host's controls and from a head tracker over OSC, and
// the controls' table, which the plug-in formats read their ports and
// parameters from.
//
// The head's orientation is the controls' angles plus the tracker's (each of
// the tracker's axes may be flipped, as trackers disagree on signs): with no
// tracker the controls turn the head; with one, they set where "ahead" is.

#include "dsp/BinauralRenderer.h"
#include "effect/HeadControls.h"
#include "effect/HeadTracker.h"

#include <atomic>
#include <string>

namespace kalvo
{

class HeadphoneMonitor
{
public:
    HeadphoneMonitor();

    /// Reads the responses at `sampleRate` from `sofaPath` (allocates, reads a
    /// file: never on the audio thread), or shares them with a monitor that read
    /// them before and still lives. False with a reason; the monitor is then silent.
    bool prepare(double sampleRate, const std::string& sofaPath, std::string& error);
    bool prepared() const { return renderer_.hasResponses(); }
    /// The responses rendered with; every monitor prepared with the same file and rate while
    /// another lives shares that one's.
    const BinauralResponses* responses() const { return renderer_.responses(); }

    /// Sets a control in its own unit, clamped into its range; a value that is
    /// not a number is ignored. Any thread.
    void setControl(int control, double value) noexcept;
    double control(int control) const noexcept;

    /// Clears the sound and puts the head where the controls say, at once.
    void reset() noexcept;
    /// Keeps the tracker listening where the controls ask (a lock-free request). Real-time safe;
    /// process does it too, so a format calls it alone only when there is nothing to render.
    void keepListening() noexcept;
    /// Renders `frames` frames of the decode (L R C LFE Ls Rs) to the ears and
    /// keeps the tracker listening where the controls ask. Real-time safe.
    template <typename Sample>
    void process(const Sample* const decoded[6], Sample* left, Sample* right, int frames) noexcept;

    HeadTracker::Status trackerStatus() const noexcept { return tracker_.status(); }
    const HeadTracker& tracker() const { return tracker_; }
    /// The orientation the head glides to, from the controls and the tracker.
    HeadOrientation requestedOrientation() const noexcept;

private:
    BinauralRenderer renderer_;
    HeadTracker tracker_;
    std::atomic<float> controls_[kNumHeadControls];
};

} // namespace kalvo
