// One program of the effect: the 13 normalised parameter values and a name.
#pragma once

/// Parameter indices that programs store and that host, editor and engine share.
enum KalvoParameter
{
    kCenterPolarPattern = 0,
    kLRPolarPattern = 1,
    kLSRSPolarPattern = 2,
    kLROffset = 3,
    kLSRSOffset = 4,
    kRearDelay = 5,
    kRearSlopeFilter = 6,
    kFrontLevel = 7,
    kRearLevel = 8,
    kCenterLevel = 9,
    kCenterMute = 10,
    kFrontMute = 11,
    kRearMute = 12,
    kNumParameters = 13,

    // Indices beyond the host's parameters that only the editor uses.
    kPresetSelect = 14, ///< value 1..5 loads factory preset 4..8 into the current program
    kProgramCount = 15, ///< reads the number of user programs
    kFrontMSWidth = 18, ///< reserved, reads 0
    kRearMSWidth = 19,  ///< reserved, reads 0
    kFirstMeter = 20,   ///< 20..27: meter read-outs 0..1
    kLastMeter = 27,
};

/// Programs the host sees (0..3) and factory presets that only the editor loads (4..8).
constexpr int kNumUserPrograms = 4;
constexpr int kNumFactoryPresets = 5;
constexpr int kNumProgramEntries = kNumUserPrograms + kNumFactoryPresets;
/// A program name holds at most 23 characters plus its terminator.
constexpr int kProgramNameSize = 24;

struct KalvoProgram
{
    /// A fresh program: patterns 0.36, front angle 0.8 (72 degrees), surround angle 0.6
    /// (126 degrees), no delay, low-pass fully open, levels 1, nothing muted; name "Edit".
    KalvoProgram()
        : values{0.36f, 0.36f, 0.36f, 0.8f, 0.6f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f}, name{
                                                                                                       "Edit"}
    {
    }

    float values[kNumParameters];
    char name[kProgramNameSize];
};
