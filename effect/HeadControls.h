// The headphone build's controls beyond the thirteen parameters: the head's orientation and the
// head tracker's switch, port and axis flips, each declared once for every format's ports,
// parameters and texts; and the tracker's status as the formats report it.
#pragma once

namespace kalvo
{

enum HeadControl : int
{
    kHeadYaw,
    kHeadPitch,
    kHeadRoll,
    kTrackerOn,
    kTrackerPort,
    kFlipYaw,
    kFlipPitch,
    kFlipRoll,
    kNumHeadControls
};

enum class HeadControlKind
{
    Degrees, ///< -180..180, positive yaw to the left, pitch nose up, roll right ear down
    Toggle,  ///< 0 off, 1 on
    Port     ///< a UDP port number
};

struct HeadControlSpec
{
    const char* symbol; ///< LV2 symbol; hosts store sessions by it, so it never changes
    const char* title;
    HeadControlKind kind;
    double minimum, maximum, defaultValue;
};

/// The row of a control; out-of-range indices get the nearest row.
const HeadControlSpec& headControlSpec(int control);

/// The head tracker's receiver: off, listening, or unable to open its port.
enum class TrackerStatus : int
{
    Off = 0,
    Listening = 1,
    PortInUse = 2 ///< another program or instance holds the port
};
constexpr int kMinTrackerPort = 1024;
constexpr int kMaxTrackerPort = 65535;
constexpr int kDefaultTrackerPort = 9000;

/// The panel reaches the headphone build's controls as parameters of its own numbering, each in
/// its control's unit (degrees, a port number, 0 or 1): head control c is kFirstHeadParameter + c,
/// and the tracker's status (a TrackerStatus) follows them. The numbers lie above the effect's
/// parameters and meters, so no format ever confuses the two.
constexpr int kFirstHeadParameter = 30;
constexpr int kTrackerStatusParameter = kFirstHeadParameter + kNumHeadControls;
constexpr bool isHeadParameter(int index)
{
    return index >= kFirstHeadParameter && index < kTrackerStatusParameter;
}

/// "off", "listening", "port in use".
const char* trackerStatusText(TrackerStatus status);

} // namespace kalvo
