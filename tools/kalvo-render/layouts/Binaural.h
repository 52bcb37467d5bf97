#pragma once

// Binaural sound from the 5.1 decode, through the engine's renderer: the
// plug-in's headphone build renders with the very same class, so both give
// the same samples. Here it is fed whole blocks of a recording and a fixed
// head orientation; the head-related responses come from a SOFA file read by
// the effect floor's reader (effect/HeadResponses.h).
//
// The renderer has no latency and adds no length: output sample t belongs to
// input sample t, and the responses' tails past the last input are not
// written, as a plug-in's are not when the transport stops.

#include "dsp/BinauralRenderer.h"
#include "effect/HeadResponses.h"

#include <string>
#include <vector>

namespace render
{

using kalvo::kDefaultHrtfPath;
using HeadResponses = HrirGrid;

/// Reads the responses from a SOFA file at `sampleRate`. False with a
/// one-line reason in `error`.
bool loadHeadResponses(const std::string& sofaPath, int sampleRate, HeadResponses& responses,
                       std::string& error);

/// The renderer with the vectors the writer thread hands around.
class BinauralConvolver
{
public:
    explicit BinauralConvolver(const HeadResponses& responses, const HeadOrientation& head = {});

    /// Takes `frames` frames of the six decoded channels and appends as many
    /// frames of the ear signals to `left` and `right`.
    template <typename Sample>
    void process(const Sample* const decoded[6], int frames, std::vector<float>& left,
                 std::vector<float>& right);

    /// Nothing is held back; kept so that a run ends as every layout's does.
    void finish(std::vector<float>&, std::vector<float>&) {}

private:
    BinauralRenderer renderer_;
};

} // namespace render
