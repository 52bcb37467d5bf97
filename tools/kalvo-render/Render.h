#pragma once

// The decoding run: pulls blocks from a source, passes them through the
// hosted effect and appends them to the output, with progress and a way to
// stop early. The effect sees exactly what a host would send it.

#include "EffectHost.h"
#include "Progress.h"
#include "SoundInput.h"
#include "SoundOutput.h"

#include <csignal>
#include <functional>
#include <utility>
#include <vector>

namespace render
{

struct RenderSettings
{
    int preset = 0;                              ///< preset menu entry 1..5, 0 for none
    std::vector<std::pair<int, float>> settings; ///< (parameter, normalised value) in order
    bool singlePrecision = false;                ///< processReplacing instead of processDoubleReplacing
    int blockSize = 4096;                        ///< frames per processing call
    /// Called once after the effect is set up, before the first block (for
    /// example to switch off metering nobody reads).
    std::function<void(AEffect*)> prepare;
};

/// Sees every decoded block (the demo measures levels with it).
using BlockObserver = std::function<void(const double* const out[6], int frames, int64_t firstFrame)>;

struct RenderResult
{
    int64_t frames = 0;
    int64_t clippedSamples = 0;
    int64_t nonFiniteInputs = 0; ///< input samples that were not finite and became silence
    double seconds = 0.0;
};

/// Applies preset and settings to the host's effect in the order a user
/// would: preset first, then each setting.
void applySettings(EffectHost& host, const RenderSettings& settings);

/// Runs the whole decode. `output` must be open; it is committed on success
/// and abandoned on failure. `stop` (may be null) is polled between blocks:
/// when it becomes non-zero the run ends with the error "interrupted".
bool render(FrameSource& source, EffectHost& host, const RenderSettings& settings, SoundOutput& output,
            Progress& progress, const volatile std::sig_atomic_t* stop, const BlockObserver& observer,
            RenderResult& result, std::string& error);

} // namespace render
