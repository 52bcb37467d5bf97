#include "HeadControls.h"

#include <algorithm>

namespace kalvo
{
namespace
{

const HeadControlSpec kHeadControls[kNumHeadControls] = {
    {"head_yaw", "Head yaw", HeadControlKind::Degrees, -180.0, 180.0, 0.0},
    {"head_pitch", "Head pitch", HeadControlKind::Degrees, -180.0, 180.0, 0.0},
    {"head_roll", "Head roll", HeadControlKind::Degrees, -180.0, 180.0, 0.0},
    {"tracker_on", "Head tracker", HeadControlKind::Toggle, 0.0, 1.0, 0.0},
    {"tracker_port", "Tracker UDP port", HeadControlKind::Port, kMinTrackerPort, kMaxTrackerPort,
     kDefaultTrackerPort},
    {"flip_yaw", "Flip tracker yaw", HeadControlKind::Toggle, 0.0, 1.0, 0.0},
    {"flip_pitch", "Flip tracker pitch", HeadControlKind::Toggle, 0.0, 1.0, 0.0},
    {"flip_roll", "Flip tracker roll", HeadControlKind::Toggle, 0.0, 1.0, 0.0},
};

} // namespace

const HeadControlSpec& headControlSpec(int control)
{
    return kHeadControls[std::clamp(control, 0, kNumHeadControls - 1)];
}

const char* trackerStatusText(TrackerStatus status)
{
    switch (status)
    {
    case TrackerStatus::Listening:
        return "listening";
    case TrackerStatus::PortInUse:
        return "port in use";
    case TrackerStatus::Off:
        break;
    }
    return "off";
}

} // namespace kalvo
