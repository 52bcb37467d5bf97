#include "OutputLayout.h"

#include "effect/ChannelLayout.h"

#include <cctype>

namespace render
{
namespace
{

// Speaker bits of WAVE_FORMAT_EXTENSIBLE.
constexpr uint32_t kFrontLeft = 0x1, kFrontRight = 0x2, kFrontCenter = 0x4, kLowFrequency = 0x8,
                   kBackLeft = 0x10, kBackRight = 0x20;

/// The names separated by spaces: "L R C LFE Ls Rs".
std::string spaced(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

/// The front pair of the 5.1 decode, its first two outputs.
std::vector<std::string> frontPairNames()
{
    const std::vector<std::string> surround = surroundChannelNames();
    return {surround[0], surround[1]};
}

const LayoutInfo kLayouts[] = {
    {"5.1", surroundChannelNames(),
     kFrontLeft | kFrontRight | kFrontCenter | kLowFrequency | kBackLeft | kBackRight,
     "5.1: " + spaced(surroundChannelNames()), true},
    {"stereo", frontPairNames(), kFrontLeft | kFrontRight,
     "stereo: " + spaced(frontPairNames()) + " of the 5.1 decode", true},
    {"ambix",
     {"W", "Y", "Z", "X"},
     0,
     "first-order Ambisonics, AmbiX (ACN order, SN3D): W Y Z X, no speaker mask",
     false},
    {"fuma",
     {"W", "X", "Y", "Z"},
     0,
     "first-order Ambisonics, FuMa (W at -3 dB): W X Y Z, no speaker mask",
     false},
    // A binaural file is played on headphones as any stereo file is: the left
    // ear's signal on the left, so it carries the stereo mask players expect.
    {"binaural",
     {"left", "right"},
     kFrontLeft | kFrontRight,
     "binaural for headphones: left ear, right ear",
     true},
};

} // namespace

std::vector<std::string> surroundChannelNames()
{
    std::vector<std::string> names;
    for (const kalvo::AudioChannel& output : kalvo::kAudioOutputs)
        names.push_back(output.shortName);
    return names;
}

const LayoutInfo& layoutInfo(OutputLayout layout)
{
    return kLayouts[static_cast<int>(layout)];
}

bool parseLayout(const std::string& text, OutputLayout& layout, std::string& error)
{
    std::string key;
    for (char c : text)
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key == "51" || key == "5.1" || key == "surround")
        key = "5.1";
    for (int i = 0; i < static_cast<int>(sizeof kLayouts / sizeof kLayouts[0]); ++i)
        if (key == kLayouts[i].name)
        {
            layout = static_cast<OutputLayout>(i);
            return true;
        }
    error = "--layout must be 5.1, stereo, ambix, fuma or binaural, not '" + text + "'";
    return false;
}

} // namespace render
