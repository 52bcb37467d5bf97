// The effect's audio channels and every name each one goes by. Three capsule signals of a
// coincident surround M/S array come in, a 5.1 feed goes out, in the order of the engine's
// buffers: input 1 is the front cardioid, output 4 the LFE. Each format and tool presents the
// channels in this order and under these names, so that a session, a bus list and a file
// name all agree on what "Ls" is.
#pragma once

namespace kalvo
{

/// One audio channel of the effect.
struct AudioChannel
{
    const char* symbol;      ///< LV2 port symbol; hosts store connections by it, so it never changes
    const char* name;        ///< LV2 port name, as hosts show it
    const char* designation; ///< LV2 port-group role of an output; null for the inputs
    /// kalvo-render's name of an output, also the suffix of its mono file; null for the inputs.
    const char* shortName;
};

constexpr int kNumAudioInputs = 3;
constexpr int kNumAudioOutputs = 6;

constexpr AudioChannel kAudioInputs[kNumAudioInputs] = {
    {"front_mid", "Front Mid", nullptr, nullptr},
    {"side", "Side", nullptr, nullptr},
    {"rear_mid", "Rear Mid", nullptr, nullptr},
};

constexpr AudioChannel kAudioOutputs[kNumAudioOutputs] = {
    {"out_l", "Left", "pg:left", "L"},
    {"out_r", "Right", "pg:right", "R"},
    {"out_c", "Center", "pg:center", "C"},
    {"out_lfe", "LFE", "pg:lowFrequencyEffects", "LFE"},
    {"out_ls", "Left Surround", "pg:rearLeft", "Ls"},
    {"out_rs", "Right Surround", "pg:rearRight", "Rs"},
};

/// The output the decoder leaves silent: no virtual microphone feeds the LFE.
constexpr int kSilentLfeOutput = 3;

/// The headphone build's outputs: the two ears of the 5.1 decode played over virtual speakers.
constexpr int kNumEarOutputs = 2;
constexpr AudioChannel kEarOutputs[kNumEarOutputs] = {
    {"out_left", "Left Ear", "pg:left", "left"},
    {"out_right", "Right Ear", "pg:right", "right"},
};

/// The inputs and the outputs as one bus each, named for hosts that list buses (VST 3).
constexpr const char* kInputBusName = "Front Mid, Side, Rear Mid";
constexpr const char* kOutputBusName = "5.1 Out";
constexpr const char* kEarBusName = "Headphones";

} // namespace kalvo
