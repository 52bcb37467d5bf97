#pragma once

// The effect's 13 parameters as the command line names them, and the
// conversion of a value written as the panel shows it into the value the host
// sends (0..1).
//
// A plain number is read in the unit the panel shows: SurroundAngle=144 is
// 144 degrees, the value 0.6; FrontLevel=-6 is -6 dB, a gain of 0.5012;
// RearDelay=20 is 20 ms, 20 / 55 = 0.3636; RearLowPass=8 is 8 kHz,
// (8 - 1) / 19 = 0.3684; CenterPattern=0.5 is a cardioid. A number with a
// percent sign is the slider's position: FrontLevel=50% is 0.5 (-6 dB).

#include "effect/KalvoParameters.h"

#include <string>

namespace render
{

constexpr int kParameterCount = kNumParameters;

/// What a parameter's physical value is.
using ParameterUnit = kalvo::ParameterUnit;

struct ParameterInfo
{
    const char* name;      ///< the name hosts show (the mutes: the name the code uses)
    const char* panelName; ///< the control's name after its place on the panel
    const char* section;   ///< the panel's heading over the control
    ParameterUnit unit;
};

/// The parameters by index 0..12.
const ParameterInfo& parameterInfo(int index);

/// Index of a parameter by its panel name or its parameter name, ignoring
/// case, spaces, hyphens and underscores; -1 when there is none.
int findParameter(const std::string& name);

/// Parses `text` for parameter `index` into the value the host sends (0..1):
/// a number in the panel's unit (the unit may be written: deg, ms, kHz, Hz,
/// dB), a slider position in percent, or a word (on, off, omni, cardioid,
/// -inf, ...). False with a one-line reason in `error` when the text is
/// malformed or out of range.
bool parseParameterValue(int index, const std::string& text, float& value, std::string& error);

/// Parses "NAME=VALUE". False with a reason in `error`.
bool parseParameterSetting(const std::string& setting, int& index, float& value, std::string& error);

/// The help text on parameter names and values, lines of at most `width`
/// characters: one paragraph per panel section.
std::string parameterHelp(int width = 80);

/// Number of the preset menu entry (1..5) that `text` names: the number
/// itself, a menu entry's text or a factory program's name, ignoring case,
/// spaces, hyphens and degree signs. 0 when nothing matches.
int findPreset(const std::string& text);

/// Text of preset menu entry 1..5.
const char* presetMenuName(int number);

} // namespace render
