#pragma once

// The effect's 13 parameters as the command line names them, and the
// conversion of a value written in physical units (degrees, milliseconds,
// kHz, dB, on/off, pattern names) into the normalised value the host sends.
//
// Worked values: LROffset=60deg is 60 / 90 = 0.6667; LSRSOffset=126deg is
// 2 - 126 / 90 = 0.6; RearDelay=20ms is 20 / 55 = 0.3636;
// RearSlopeFilter=8kHz is (8 - 1) / 19 = 0.3684; FrontLevel=-6dB is
// 10^(-6 / 20) = 0.5012; CenterPolarPattern=cardioid is 0.5.

#include <string>

namespace render
{

constexpr int kParameterCount = 13;

/// What a parameter's physical value is.
enum class ParameterUnit
{
    Pattern,    ///< omni share 0..1 (1 omni, 0.5 cardioid, 0 figure of eight)
    FrontAngle, ///< degrees 0..90 from the front
    RearAngle,  ///< degrees 90..180 from the front
    DelayMs,    ///< milliseconds 0..55
    CornerKHz,  ///< kHz 1..20, 20 meaning off
    LevelDb,    ///< linear gain 0..1 given in dB (0 dB and below)
    Switch      ///< off 0, on 1
};

struct ParameterInfo
{
    const char* name; ///< the name hosts show (the mutes: the name the code uses)
    ParameterUnit unit;
};

/// The parameters by index 0..12.
const ParameterInfo& parameterInfo(int index);

/// Index of a parameter by name, ignoring case; -1 when there is none.
int findParameter(const std::string& name);

/// Parses `text` for parameter `index` into a normalised value. A plain number
/// is the normalised value itself (0..1); a number with a unit (deg, ms, kHz,
/// Hz, dB, %) or a word (on, off, omni, cardioid, ...) is converted. False with
/// a one-line reason in `error` when the text is malformed or out of range.
bool parseParameterValue(int index, const std::string& text, float& normalised, std::string& error);

/// Parses "NAME=VALUE". False with a reason in `error`.
bool parseParameterSetting(const std::string& setting, int& index, float& normalised, std::string& error);

/// The units each parameter accepts, for the help text.
std::string parameterUnitsHelp(int index);

/// Number of the preset menu entry (1..5) that `text` names: the number
/// itself, a menu entry's text or a factory program's name, ignoring case,
/// spaces, hyphens and degree signs. 0 when nothing matches.
int findPreset(const std::string& text);

/// Text of preset menu entry 1..5.
const char* presetMenuName(int number);

} // namespace render
