#pragma once

// What kalvo-render writes: the plug-in's 5.1, its front pair as stereo,
// first-order Ambisonics in two channel conventions, or binaural sound for
// headphones. Each layout names its channels and the WAV channel mask that
// tells players what the channels are.

#include <cstdint>
#include <string>
#include <vector>

namespace render
{

enum class OutputLayout
{
    Surround51, ///< L R C LFE Ls Rs, the plug-in's output
    Stereo,     ///< L and R of the same decode
    AmbiX,      ///< first-order Ambisonics, ACN order, SN3D: W Y Z X
    FuMa,       ///< the same field as W X Y Z with W scaled by 1/sqrt(2)
    Binaural    ///< the 5.1 decode over virtual speakers at both ears: left, right
};

struct LayoutInfo
{
    const char* name;                      ///< as --layout takes it
    std::vector<std::string> channelNames; ///< in file order; the mono files' suffixes
    /// WAVE_FORMAT_EXTENSIBLE speaker mask: 0x3F for 5.1, 0x3 (front left and
    /// right) for stereo and binaural, 0 for Ambisonics, whose channels are
    /// not speakers.
    uint32_t channelMask;
    std::string contents; ///< what the channels hold, for the summary
    bool usesEffect;      ///< decoded by the plug-in (Ambisonics come from the capsules)
};

const LayoutInfo& layoutInfo(OutputLayout layout);

/// The plug-in's six outputs under the names kalvo-render gives them: L R C LFE Ls Rs.
std::vector<std::string> surroundChannelNames();

/// Parses a --layout name (5.1, stereo, ambix, fuma, binaural; any case).
/// False with a one-line reason in `error`.
bool parseLayout(const std::string& text, OutputLayout& layout, std::string& error);

} // namespace render
