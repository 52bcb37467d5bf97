#pragma once

// The decoding run: pulls blocks from a source, passes them through the
// hosted effect (or, for Ambisonics, the encoder) and appends them to the
// output in the chosen layout, with progress and a way to stop early. The
// effect sees exactly what a host would send it.
//
// Three threads share the work: a reader fills blocks of the capsule
// signals ahead, the calling thread decodes them, and a writer thread turns
// the decoded blocks into the layout (the binaural convolution runs there)
// and writes them. The conversion to the file's sample format happens on the
// decoding thread while a block is still in its cache, or on the writer when
// the layout still has work to do there.

#include "tools/kalvo-render/cli/Progress.h"
#include "tools/kalvo-render/files/SoundInput.h"
#include "tools/kalvo-render/files/SoundOutput.h"
#include "tools/kalvo-render/host/EffectHost.h"
#include "tools/kalvo-render/layouts/Binaural.h"
#include "tools/kalvo-render/layouts/OutputLayout.h"

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
    OutputLayout layout = OutputLayout::Surround51;
    double sideGainDb = 0.0; ///< Ambisonics: gain of the figure of eight against the cardioids
    /// Binaural: the virtual speakers' responses at the recording's rate.
    const HeadResponses* headResponses = nullptr;
    /// Binaural: where the listener's head points, fixed for the whole run.
    HeadOrientation head;
    /// Called once after the effect is set up, before the first block (for
    /// example to switch off metering nobody reads).
    std::function<void(AEffect*)> prepare;
};

/// Sees every block of the output as written, in the layout's channels (the
/// demo measures levels with it).
using BlockObserver =
    std::function<void(const double* const* out, int channels, int frames, int64_t firstFrame)>;

struct RenderResult
{
    int64_t frames = 0;
    int64_t clippedSamples = 0;
    int64_t nonFiniteInputs = 0; ///< input samples that were not finite and became silence
    double peak = 0.0;           ///< largest sample magnitude written, after the gain (1 is full scale)
    double seconds = 0.0;
};

/// A level in decibels: 20 log10(level); -infinity for 0.
double decibels(double level);

/// The linear gain of `db` decibels. A gain within 0.001 dB of a power of two
/// is that power exactly: -6.0206 dB halves every sample, 6.0206 doubles it,
/// so that a level change by whole bits loses nothing.
double gainOfDecibels(double db);

/// The gain that brings a peak of `peak` (1 full scale) to `targetDbfs`,
/// never above it; 1 for silence.
double normalizingGain(double peak, double targetDbfs);

/// Applies preset and settings to the host's effect in the order a user
/// would: preset first, then each setting.
void applySettings(EffectHost& host, const RenderSettings& settings);

/// Runs the whole decode. `output` must be open with the layout's channels
/// (or open for measuring, for the first pass of a normalisation);
/// it is committed on success and abandoned on failure. `stop` (may be null) is polled between blocks:
/// when it becomes non-zero the run ends with the error "interrupted".
bool render(FrameSource& source, EffectHost& host, const RenderSettings& settings, SoundOutput& output,
            ProgressReport& progress, const volatile std::sig_atomic_t* stop, const BlockObserver& observer,
            RenderResult& result, std::string& error);

} // namespace render
