#pragma once

class CDelayLine;
class CVUMeter;

/// The decoder's block-staged processing: a block of frames is cut into
/// sub-blocks, and each sub-block passes through the stages one after the
/// other, every stage over all its frames: the inputs into the engine's own
/// arrays, the side channel's shelf, the matrix, the surround delay, the
/// meters, the outputs with the surround low-passes. The matrix and the meters'
/// level computation run on several samples at once; the recursive filters run
/// as tight loops. Every sample is computed with the same operations in the
/// same order as the per-sample reference, so the results are the same bits.
namespace subblock
{
/// Frames per sub-block: 64 frames are 1.3 ms at 48 kHz. Parameters are read
/// once per sub-block, so a change lands on a sub-block boundary. The engine's
/// own arrays for 64 frames (about 19 KB) stay in the first-level cache.
constexpr int kFrames = 64;

/// Gain of the side input: 1.3 in single precision, widened.
constexpr double kSideGain = 1.2999999523162842;
/// Added to every filter input so that decaying states never become denormal.
constexpr double kDenormalGuard = 1e-20;
/// The side shelf adds this multiple of its low-passed part: +8 dB (x2.512) below about 114 Hz.
constexpr double kShelfBoost = 1.512;

/// Everything one sub-block reads from the parameter side, read once at its start.
struct Settings
{
    // Matrix weights with their complements (1 - weight), and the divisors
    // (norm times angle compensation) of the front and surround pairs.
    double frontOmniWeight, frontOmniComplement, frontSideBalance, frontSideComplement;
    double frontDivisor, frontLevel;
    double rearOmniWeight, rearOmniComplement, rearSideBalance, rearSideComplement;
    double rearDivisor, rearLevel;
    double centerPattern, centerComplement, centerLevel;
    bool centerMuted, frontMuted, rearMuted;
    /// Side shelf: pole f and input weight (1 - f) / 2.
    double shelfPole, shelfInputWeight;
    /// Surround low-pass: pole a and input weight b = (1 - a) / 2.
    double lowPassPole, lowPassInputWeight;
};

/// The recursive filters' memories: last input (with its denormal guard) and last output.
struct FilterState
{
    double shelfX = 0.0, shelfY = 0.0;
    double lowPassLeftX = 0.0, lowPassLeftY = 0.0;
    double lowPassRightX = 0.0, lowPassRightY = 0.0;
};

/// The meters' intermediate values for one sub-block: the two halves of each
/// reading, meter by meter, and the readings, eight per frame.
struct alignas(64) MeterWork
{
    double r[8][kFrames] = {}, base[8][kFrames] = {};
    double byFrame[kFrames * 8] = {};
};

/// The engine's own arrays, one sub-block long (kFrames is a whole number of
/// vectors): inputs, the shelved side signal, the outputs before they reach the
/// host, the surround feeds before and after the delay line, the meters' work.
struct alignas(64) Workspace
{
    double m[kFrames] = {}, s[kFrames] = {}, mr[kFrames] = {}, shelved[kFrames] = {};
    double left[kFrames] = {}, right[kFrames] = {}, centre[kFrames] = {};
    double rearIn[2][kFrames] = {}, rearOut[2][kFrames] = {};
    MeterWork meters;
};

/// One sub-block's work: frames at in[] (M, S, Mr) and out[] (L, R, C, LFE, Ls, Rs).
struct Job
{
    const Settings* settings;
    FilterState* filters;
    Workspace* work;
    CDelayLine* delayLine;
    /// The eight meters (M, Mr, S, C, L, R, Ls, Rs), or null while metering is off.
    CVUMeter* meters;
    const double* in[3];
    double* out[6];
    int frames;
};

/// The instruction sets the stages are compiled for. Every one gives the same bits.
enum class Kernel
{
    kBaseline, ///< x86-64 as every such processor has it (two lanes)
    kAvx2,     ///< four lanes
    kAvx512    ///< eight lanes
};

using KernelFunction = void (*)(const Job&);

/// Whether this processor (and its operating system) runs the kernel.
bool isSupported(Kernel kernel) noexcept;
/// The widest kernel this processor runs.
Kernel fastestKernel() noexcept;
/// The compiled sub-block function of a kernel.
KernelFunction kernelFunction(Kernel kernel) noexcept;
} // namespace subblock
