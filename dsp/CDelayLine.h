#pragma once

#include <cstddef>
#include <vector>

/// How the per-frame decrement of a cross-fade is formed: 1 / changeSamples in
/// double precision, or in single precision and then widened. Builds differ in
/// this, so the owner passes the rule in.
enum class FadeStepPrecision
{
    kDouble,
    kSingle
};

/// Delays a fixed number of channels by a common, adjustable number of samples.
///
/// A delay change never jumps: the output cross-fades linearly from the old read
/// position to the new one over the fade time (250 ms by default). A change that
/// arrives during a fade is remembered and starts when that fade ends; only the
/// last such request survives. Milliseconds become samples with the factor
/// kMsToSeconds and truncation, plus one sample: at 44100 Hz a 1 ms delay is 45
/// samples, 55 ms is 2426, a 200 ms maximum needs 8821 and a 250 ms fade takes
/// 11025 frames.
///
/// Requests are made safe rather than trusted: a delay outside 0..maxDelayMs is
/// clamped into it, a non-finite one is ignored, and a fade time shorter than one
/// sample completes in a single frame. Allocation happens only in the constructor,
/// setSamplingRate and setMaxDelay; processFrame, processFrames and processSamples
/// never allocate.
class CDelayLine
{
public:
    /// The millisecond factor: 0.001 as a single-precision value, widened.
    static constexpr double kMsToSeconds = 0.0010000000474974513;
    /// Default cross-fade time in milliseconds.
    static constexpr double kDefaultChangeTimeMs = 250.0;

    CDelayLine(double delayMs, double samplingRate, int numChannels, double maxDelayMs,
               FadeStepPrecision fadeStepPrecision = FadeStepPrecision::kDouble);
    ~CDelayLine() = default;
    CDelayLine(const CDelayLine&) = delete;
    CDelayLine& operator=(const CDelayLine&) = delete;

    /// Empties the ring buffers and ends any fade at the last applied delay; a
    /// pending change is dropped.
    void reset() noexcept;
    /// Glides to a new delay in milliseconds (clamped to 0..maxDelayMs; ignored
    /// when not finite). During a fade the request waits for the fade to end.
    void setDelay(double delayMs) noexcept;
    /// Sets the fade time in milliseconds for the fades that start from now on.
    void setChangeTime(double ms) noexcept;
    /// Sets the maximum delay, re-sizes and clears the line (allocates).
    void setMaxDelay(double ms);
    /// Sets the sampling rate in Hz, re-sizes and clears the line and applies the
    /// last requested delay at once (allocates when the line must grow).
    /// A rate that is not finite and positive is ignored.
    void setSamplingRate(double sr);

    /// Moves one frame (one sample per channel) through the line, cross-fading
    /// while a delay change runs. in and out may point to the same array.
    void processFrame(const double* in, double* out) noexcept;
    /// Moves n frames through the line exactly as n calls of processFrame would,
    /// frame i of channel c coming from in[c][i] and going to out[c][i]. While no
    /// fade runs it copies whole spans. in and out may be the same arrays.
    void processFrames(const double* const* in, double* const* out, int n) noexcept;
    /// Plain block delay at the current read position for n frames of
    /// per-channel buffers; it neither advances nor ends a running fade. Returns n.
    int processSamples(const double* const* in, double* const* out, int n) noexcept;

    double getDelayMs() const { return delayMs; }
    int getDelaySamples() const { return delaySamples; }
    double getSamplingRate() const { return samplingRate; }
    int getNumChannels() const { return numChannels; }
    double getMaxDelayMs() const { return maxDelayMs; }
    int getBufferLength() const { return bufferLength; }
    int getReadPos() const { return readPos; }
    int getNewReadPos() const { return newReadPos; }
    int getWritePos() const { return writePos; }
    double getChangeTimeMs() const { return changeTimeMs; }
    int getChangeSamples() const { return changeSamples; }
    int getFadeCounter() const { return fadeCounter; }
    int getFadeState() const { return fadeState; }
    double getFadeGain() const { return fadeGain; }
    double getFadeStep() const { return fadeStep; }
    double getPendingDelayMs() const { return pendingDelayMs; }
    FadeStepPrecision getFadeStepPrecision() const { return fadeStepPrecision; }

private:
    void startFade(double delayMs) noexcept;
    /// Ends the running fade on its new read position; starts the pending one.
    void finishFade() noexcept;
    double* ring(int channel) noexcept
    {
        return buffers.data() + static_cast<std::size_t>(channel) * static_cast<std::size_t>(bufferLength);
    }
    void updateChangeSamples() noexcept;
    void resize();

    double delayMs;
    int delaySamples = 1;
    double samplingRate;
    int numChannels;
    /// Ring buffers, one after the other: sample of channel c at position p is
    /// buffers[c * bufferLength + p].
    std::vector<double> buffers;
    double maxDelayMs;
    int bufferLength = 2;
    int readPos = 0;
    int newReadPos = 0;
    int writePos = 0;
    double changeTimeMs = kDefaultChangeTimeMs;
    int changeSamples = 1;
    int fadeCounter = 1;
    int fadeState = 0;
    double fadeGain = 1.0;
    double fadeStep = 1.0;
    double pendingDelayMs = 0.0;
    FadeStepPrecision fadeStepPrecision;
    /// Step of the fade that is running; a fade-time change applies from the next fade.
    double runningFadeStep = 1.0;
};
