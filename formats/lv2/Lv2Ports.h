// The LV2 build's ports and addresses. Port indices are fixed: hosts connect by index at
// run time, and sessions store control values by the symbols of the parameter table.
#pragma once

#include "effect/KalvoParameters.h"

namespace kalvo::lv2
{

constexpr const char* kPluginUri = "urn:velmora:kalvo";
constexpr const char* kUiUri = "urn:velmora:kalvo#ui";

// Audio: the three capsules in, the 5.1 feeds out.
constexpr int kNumAudioInputs = 3;  ///< front_mid, side, rear_mid
constexpr int kNumAudioOutputs = 6; ///< out_l, out_r, out_c, out_lfe, out_ls, out_rs
constexpr int kFirstAudioInput = 0;
constexpr int kFirstAudioOutput = kFirstAudioInput + kNumAudioInputs;
/// Control inputs: parameters 0..12 in index order, values in the panel's units.
constexpr int kFirstControl = kFirstAudioOutput + kNumAudioOutputs;
/// Control outputs: the eight meters in the engine's order.
constexpr int kFirstMeterPort = kFirstControl + kNumParameters;
constexpr int kNumPorts = kFirstMeterPort + kNumMeters;

constexpr const char* kAudioInputSymbols[kNumAudioInputs] = {"front_mid", "side", "rear_mid"};
constexpr const char* kAudioInputNames[kNumAudioInputs] = {"Front Mid", "Side", "Rear Mid"};
constexpr const char* kAudioOutputSymbols[kNumAudioOutputs] = {"out_l",   "out_r",  "out_c",
                                                               "out_lfe", "out_ls", "out_rs"};
constexpr const char* kAudioOutputNames[kNumAudioOutputs] = {"Left", "Right",         "Center",
                                                             "LFE",  "Left Surround", "Right Surround"};

inline bool isControlPort(int port)
{
    return port >= kFirstControl && port < kFirstControl + kNumParameters;
}
inline bool isMeterPort(int port)
{
    return port >= kFirstMeterPort && port < kFirstMeterPort + kNumMeters;
}

} // namespace kalvo::lv2
