#pragma once

// The demo: a small scene of sources at known directions, each sounding on
// its own in turn, as a coincident array of ideal capsules picks it up: a
// front cardioid 0.5 (1 + cos a), a rear cardioid 0.5 (1 - cos a) and a
// sideways figure of eight -sin a, with the azimuth a measured clockwise from
// the front (so the figure of eight's positive lobe faces left). After
// decoding, the level of every source in every channel tells where it lands;
// in Ambisonics the direction of each source's intensity (W times X and Y)
// tells where it decodes to.

#include "tools/kalvo-render/layouts/OutputLayout.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace render
{

struct DemoSource
{
    const char* label;
    double azimuthDeg; ///< clockwise from the front; negative to the left
};

/// The scene's sources in the order they sound.
const std::vector<DemoSource>& demoSources();

/// Timing of the scene: each source sounds for `burstSeconds` after a gap.
struct DemoTiming
{
    double gapSeconds = 0.25;
    double burstSeconds = 1.0;
    /// Skipped at the start of each burst before measuring, so that the
    /// decoder's filters and a surround delay of up to 55 ms have settled.
    double settleSeconds = 0.1;
};

/// The three microphone signals of the scene (front mid, side, rear mid).
std::array<std::vector<double>, 3> synthesiseDemo(int sampleRate, const DemoTiming& timing = {});

/// Collects the decoded levels per source and channel of a layout.
class DemoMeter
{
public:
    DemoMeter(int sampleRate, OutputLayout layout, const DemoTiming& timing = {});
    /// Adds a block of the layout's channels that starts at `firstFrame`.
    void add(const double* const* out, int channels, int frames, int64_t firstFrame);
    /// RMS level of source `s` in channel `c`, in dB relative to the
    /// source's level at the array (the level an omni capsule would see).
    double levelDb(int source, int channel) const;
    /// The channel where source `s` is loudest.
    int loudest(int source) const;
    /// Ambisonic layouts: the direction source `s` decodes to, in degrees
    /// clockwise from the front (-180..180), from its mean intensity.
    double directionDeg(int source) const;
    /// The table the demo prints.
    std::string table() const;

private:
    struct Sums
    {
        std::vector<double> energy; ///< per channel
        double wx = 0.0, wy = 0.0;  ///< Ambisonic intensity towards the front and the left
        int64_t count = 0;
    };
    int rate_;
    OutputLayout layout_;
    DemoTiming timing_;
    std::vector<Sums> sums_;
};

/// RMS of each burst as synthesised (the reference of levelDb).
double demoSourceRms();

} // namespace render
