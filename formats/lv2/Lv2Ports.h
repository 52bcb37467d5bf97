// The LV2 build's ports and addresses. Port indices are fixed: hosts connect by index at
// run time, and sessions store control values by the symbols of the parameter table.
#pragma once

#include "effect/ChannelLayout.h"
#include "effect/KalvoParameters.h"

namespace kalvo::lv2
{

constexpr const char* kPluginUri = "urn:velmora:kalvo";
constexpr const char* kUiUri = "urn:velmora:kalvo#ui";
/// The bundle's headphone plug-in (Lv2BinauralPorts.h), which the same panel serves.
constexpr const char* kBinauralPluginUri = "urn:velmora:kalvo#binaural";

// Audio: the effect's channels, inputs then outputs, in its order (effect/ChannelLayout.h).
using kalvo::kNumAudioInputs;
using kalvo::kNumAudioOutputs;
constexpr int kFirstAudioInput = 0;
constexpr int kFirstAudioOutput = kFirstAudioInput + kNumAudioInputs;
/// Control inputs: parameters 0..12 in index order, values in the panel's units.
constexpr int kFirstControl = kFirstAudioOutput + kNumAudioOutputs;
/// Control outputs: the eight meters in the engine's order.
constexpr int kFirstMeterPort = kFirstControl + kNumParameters;
constexpr int kNumPorts = kFirstMeterPort + kNumMeters;

inline bool isControlPort(int port)
{
    return port >= kFirstControl && port < kFirstControl + kNumParameters;
}
inline bool isMeterPort(int port)
{
    return port >= kFirstMeterPort && port < kFirstMeterPort + kNumMeters;
}

} // namespace kalvo::lv2
