// The headphone build's part of the VST 3 processor: after the decode, the five speaker feeds
// go to two ears over virtual speakers, turned with the listener's head (its controls, and a
// head tracker over OSC when switched on). Only builds with headphone monitoring (libmysofa and
// liblo: Linux) have one; elsewhere the module offers the 5.1 classes alone.
#pragma once

#include <memory>

namespace kalvo::vst3adapter
{

class HeadphoneStage
{
public:
    virtual ~HeadphoneStage() = default;
    /// Reads the head-related responses for `sampleRate` (allocates, reads a file: on the
    /// host's control thread only). A stage without them renders silence.
    virtual void prepare(double sampleRate) = 0;
    /// Clears the sound; the head stands where the controls put it.
    virtual void reset() noexcept = 0;
    /// A head control (HeadControl) in its own unit. Any thread.
    virtual void setControl(int control, double value) noexcept = 0;
    virtual double control(int control) const noexcept = 0;
    /// Renders the decode (L R C LFE Ls Rs) to the ears. Real-time safe.
    virtual void render(const float* const decoded[6], float* left, float* right, int frames) noexcept = 0;
    virtual void render(const double* const decoded[6], double* left, double* right, int frames) noexcept = 0;
    /// Keeps the tracker listening where the controls ask, when there is nothing to render.
    virtual void keepListening() noexcept = 0;
    /// The tracker's status (a TrackerStatus).
    virtual int trackerStatus() const noexcept = 0;
};

/// True where the build has headphone monitoring.
bool headphonesAvailable();
/// A new stage, or null where the build has no headphone monitoring.
std::unique_ptr<HeadphoneStage> createHeadphoneStage();

} // namespace kalvo::vst3adapter
