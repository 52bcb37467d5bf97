// The headphone plug-in's ports. The thirteen controls and the eight meters keep the indices
// they have on the 5.1 plug-in, so that the one panel serves both; the head's controls fill the
// indices the 5.1 plug-in's extra outputs use, and the rest follow the meters.
#pragma once

#include "Lv2Ports.h"
#include "effect/ChannelLayout.h"
#include "effect/HeadControls.h"

namespace kalvo::lv2::binaural
{

constexpr const char* kPluginUri = lv2::kBinauralPluginUri;

constexpr int kFirstAudioInput = 0;
constexpr int kFirstEarOutput = kFirstAudioInput + kNumAudioInputs;
constexpr int kFirstHeadPort = kFirstEarOutput + kNumEarOutputs; ///< yaw, pitch, roll, tracker on
constexpr int kHeadPortsBeforeControls = lv2::kFirstControl - kFirstHeadPort;
static_assert(kHeadPortsBeforeControls == 4, "the head's angles and switch fill the gap before the controls");
using lv2::kFirstControl;
using lv2::kFirstMeterPort;
/// The tracker's port and the flips after the meters, then the tracker's status.
constexpr int kFirstLateHeadPort = lv2::kNumPorts;
constexpr int kStatusPort = kFirstLateHeadPort + kNumHeadControls - kHeadPortsBeforeControls;
constexpr int kNumPorts = kStatusPort + 1;

/// The port of a head control.
constexpr int headPort(int control)
{
    return control < kHeadPortsBeforeControls ? kFirstHeadPort + control
                                              : kFirstLateHeadPort + control - kHeadPortsBeforeControls;
}

/// The head control on a port, or -1.
constexpr int headControlAt(int port)
{
    return port >= kFirstHeadPort && port < kFirstControl ? port - kFirstHeadPort
           : port >= kFirstLateHeadPort && port < kStatusPort
               ? port - kFirstLateHeadPort + kHeadPortsBeforeControls
               : -1;
}

} // namespace kalvo::lv2::binaural
