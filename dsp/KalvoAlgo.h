#pragma once

#include "CDelayLine.h"
#include "CVUMeter.h"
#include "KnobMapping.h"
#include "RequestMailbox.h"
#include "SharedValue.h"
#include "SubBlock.h"

#include <memory>

/// The matrix weights that patterns and angles give (setInternalVariables).
struct DecoderCoefficients
{
    double frontOmniWeight, frontSideBalance, frontAngleComp, frontPatternComp, frontNorm;
    double rearOmniWeight, rearSideBalance, rearAngleComp, rearPatternComp, rearNorm;
};

/// The surround decoder engine.
///
/// Three inputs, a front cardioid M, a sideways figure-eight S and a rear
/// cardioid Mr, become six outputs: L, R, C, a silent fourth channel, Ls and Rs.
/// M + Mr acts as an omni O and M - Mr as a forward figure-eight F; every output
/// is a weighted sum of O, F and the shelved side signal S', i.e. a virtual
/// first-order microphone with omni share P aimed at a chosen angle. With
/// patterns 0.36, front angle 72 degrees, surround angle 126 degrees and all
/// levels 1.0 at 44100 Hz, one sample M = 1 gives L = R = 0.6025055 and C = 1.0.
///
/// Setters take normalised values 0..1 and derive degrees, milliseconds and kHz;
/// patterns, levels and mutes are fields the owner writes directly, calling
/// setInternalVariables() after a pattern. processSamples never allocates, locks,
/// waits or calls the system; it leaves its input buffers untouched.
///
/// Threads: the parameter side (setters, field writes) may run on another thread
/// than processSamples. Every field is a SharedValue, and processSamples reads
/// them once per sub-block of subblock::kFrames frames, so a change lands whole
/// on a sub-block boundary. Delay changes travel to the audio thread through a
/// mailbox: the delay line itself belongs to the audio thread. setSamplingRate
/// and reset belong to the control thread while no audio runs, as the host
/// interface has it.
class KalvoAlgo
{
public:
    /// Twice pi in single precision, widened; the filters use it.
    static constexpr double twoPi = 6.2831854820251465;
    static constexpr int kNumMeters = 8;
    static constexpr int kNumInputs = 3;
    static constexpr int kNumOutputs = 6;
    /// The surround low-pass corner never exceeds this fraction of the sampling
    /// rate: 20 kHz stays untouched from 44.1 kHz up (20/44.1 = 0.4535), while
    /// at 32 kHz the corner stops at 14.72 kHz and the filter stays stable.
    static constexpr double kMaxCornerFraction = 0.46;
    /// Lowest surround low-pass corner in kHz (1 Hz); keeps the filter stable
    /// for corners at or below zero that out-of-range parameter values produce.
    static constexpr double kMinCornerKHz = 0.001;

    explicit KalvoAlgo(double samplingRate, FadeStepPrecision fadeStepPrecision = FadeStepPrecision::kDouble);
    ~KalvoAlgo();
    KalvoAlgo(const KalvoAlgo&) = delete;
    KalvoAlgo& operator=(const KalvoAlgo&) = delete;

    /// Front pair angle: 90 * x degrees (knobmap::kFrontAngleDeg).
    void setLROffset(double x);
    /// Surround pair angle: (1 - x) * 90 + 90 degrees, x = 0 giving 180 and x = 1 giving
    /// 90 (knobmap::kSurroundEngineAngleDeg).
    void setLSRSOffset(double x);
    /// Surround delay: 55 * x milliseconds (knobmap::kRearDelayMs), reached by a 250 ms
    /// cross-fade that starts with the next processing call.
    void setDelay(double x);
    /// Surround low-pass corner: 19 * x + 1 kHz (knobmap::kRearLowPassKHz).
    void setRearSlopeFilter(double x);
    /// New sampling rate in Hz for meters and delay line (clears the delay line).
    /// A rate that is not finite and positive is ignored.
    void setSamplingRate(double sr);
    /// Clears the signal state: delay line, meters and filters. Keeps meterLevel,
    /// the parameters and the coefficients.
    void reset() noexcept;
    /// Recomputes the derived matrix coefficients (the public fields) from the
    /// patterns and angles. processSamples derives the same weights itself from
    /// the pattern and angle fields, once per sub-block in which one changed.
    void setInternalVariables();
    /// The coefficients setInternalVariables derives, as a function of its inputs.
    static DecoderCoefficients deriveCoefficients(double lrPattern, double lrOffset, double lsrsPattern,
                                                  double lsrsOffset);

    /// The knob positions the setters above turn into these values.
    double getLROffsetFader(double deg) const { return knobmap::kFrontAngleDeg.toKnob(deg); }
    double getLSRSOffsetFader(double deg) const { return knobmap::kSurroundEngineAngleDeg.toKnob(deg); }
    double getRearSlopeFilterFader(double kHz) const { return knobmap::kRearLowPassKHz.toKnob(kHz); }

    /// Decodes n frames. inputs: at least 3 buffers (M, S, Mr); outputs: 6 buffers
    /// (L, R, C, silence, Ls, Rs). Works in sub-blocks, stage by stage, and reads
    /// all inputs of a sub-block before writing its outputs, so in-place buffers
    /// are fine.
    void processSamples(const double* const* inputs, double* const* outputs, int sampleFrames) noexcept;
    /// The same result computed sample by sample, one frame through every step
    /// after the other, the filter coefficients derived afresh for each sample:
    /// the reference the staged engine is checked and timed against. For one
    /// thread only.
    void processSamplesReference(const double* const* inputs, double* const* outputs,
                                 int sampleFrames) noexcept;

    /// The instruction set processSamples runs on: the widest this processor has,
    /// unless chosen here (by tests and benchmarks). False, and no change, if the
    /// processor lacks it. Every choice gives the same bits.
    bool setKernel(subblock::Kernel kernel) noexcept;
    subblock::Kernel getKernel() const { return kernel; }

    double getSamplingRate() const { return samplingRate; }
    /// The delay line as the audio thread left it: delay changes reach it with
    /// the next processing call.
    const CDelayLine& getDelayLine() const { return *delayLine; }
    const CVUMeter& getMeter(int index) const { return vuMeter[index]; }

    /// Latest meter readings, 0..1: M, Mr, S (after the 1.3 gain), C, L, R, Ls, Rs.
    /// Written by the audio thread after every sub-block; read-only for everyone else.
    SharedValue<double> meterLevel[kNumMeters];
    /// Whether processSamples feeds the eight meters (on by construction). The
    /// meters cost more than the decoding itself and never touch the audio, so a
    /// caller that reads no meter (the batch renderer) switches them off.
    SharedValue<bool> meteringEnabled{true};

    // Derived coefficients (setInternalVariables).
    SharedValue<double> frontOmniWeight;
    SharedValue<double> rearOmniWeight;

    // Pattern values 0..1 (omni share), written by the owner.
    SharedValue<double> centerPattern;
    SharedValue<double> lrPattern;
    SharedValue<double> lsrsPattern;

    /// Front pair angle, degrees 0..90.
    SharedValue<double> lrOffset;
    /// Surround pair angle, degrees 90..180.
    SharedValue<double> lsrsOffset;
    /// Last normalised value given to setDelay.
    SharedValue<double> delay;
    /// Surround low-pass corner, kHz 1..20.
    SharedValue<double> rearSlopeFilter;

    // Linear gains, written by the owner.
    SharedValue<double> frontLevel;
    SharedValue<double> rearLevel;
    SharedValue<double> centerLevel;

    // Exactly 1.0 silences the group; any other value leaves it on.
    SharedValue<double> centerMute;
    SharedValue<double> frontMute;
    SharedValue<double> rearMute;

    // Derived coefficients (setInternalVariables).
    SharedValue<double> frontSideBalance;
    SharedValue<double> rearSideBalance;
    SharedValue<double> frontAngleComp;
    SharedValue<double> frontPatternComp;
    SharedValue<double> frontNorm;
    SharedValue<double> rearAngleComp;
    SharedValue<double> rearPatternComp;
    SharedValue<double> rearNorm;

private:
    /// Hands the delay changes posted by the parameter side to the delay line.
    void applyDelayRequests() noexcept;
    /// Reads the parameter fields once for the next sub-block.
    subblock::Settings readSettings() noexcept;
    double loShelfFigureEight(double x, double f) noexcept;

    CVUMeter vuMeter[kNumMeters];
    subblock::FilterState filters;
    double samplingRate;
    std::unique_ptr<CDelayLine> delayLine;
    double delayIn[2] = {0.0, 0.0};
    double delayOut[2] = {0.0, 0.0};
    /// Delay changes in milliseconds on their way from the parameter side.
    RequestMailbox delayRequests;

    subblock::Kernel kernel;
    subblock::KernelFunction kernelFunction;
    std::unique_ptr<subblock::Workspace> workspace;

    // The matrix weights as the audio thread derived them, and the pattern and
    // angle values they come from: derived afresh only when one of those changed.
    double coefficientInputs[4] = {};
    bool coefficientsValid = false;
    DecoderCoefficients coefficients = {};
    // Filter coefficients, valid while the sampling rate and the corner equal the
    // values they were derived from.
    double shelfCacheRate = 0.0;
    double shelfCacheF = 0.0;
    double lpCacheRate = 0.0;
    double lpCacheCornerKHz = 0.0;
    double lpCacheA = 0.0;
    double lpCacheB = 0.0;
};
