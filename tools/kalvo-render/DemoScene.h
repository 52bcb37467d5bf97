#pragma once

// The demo: a small scene of sources at known directions, each sounding on
// its own in turn, as a coincident array of ideal capsules picks it up: a
// front cardioid 0.5 (1 + cos a), a rear cardioid 0.5 (1 - cos a) and a
// sideways figure of eight -sin a, with the azimuth a measured clockwise from
// the front (so the figure of eight's positive lobe faces left). After
// decoding, the level of every source in every speaker tells where it lands.

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

/// Collects the decoded levels per source and speaker.
class DemoMeter
{
public:
    DemoMeter(int sampleRate, const DemoTiming& timing = {});
    /// Adds a decoded block that starts at `firstFrame`.
    void add(const double* const out[6], int frames, int64_t firstFrame);
    /// RMS level of source `s` in speaker `c`, in dB relative to the
    /// source's level at the array (the level an omni capsule would see).
    double levelDb(int source, int channel) const;
    /// The speaker where source `s` is loudest.
    int loudest(int source) const;
    /// The table the demo prints.
    std::string table() const;

private:
    int rate_;
    DemoTiming timing_;
    std::vector<std::array<double, 6>> energy_;
    std::vector<int64_t> count_;
};

/// RMS of each burst as synthesised (the reference of levelDb).
double demoSourceRms();

} // namespace render
