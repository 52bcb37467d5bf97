// Reading a parameter value that a person typed: the command line's --set, and the
// text boxes of hosts that let the user type a value. One reader, so that "144",
// "-6 dB", "8000Hz", "cardioid" and "50%" mean the same wherever they are typed.
#pragma once

#include "KalvoParameters.h"

#include <string>

namespace kalvo
{

/// What to do with a number that lies outside the parameter's range.
enum class OutOfRange
{
    reject, ///< an error: a command line or a host's text box says what went wrong
    clamp,  ///< the nearest end of the range: the panel's typed values, where 120 degrees means "all the way"
};

/// Parses `text` for parameter `index` into the knob position (0..1): a number in the
/// panel's unit (the unit may be written: deg, °, ms, kHz, Hz, dB), a slider position in
/// percent, or a word (on, off, omni, cardioid, -inf, ...). A decimal comma reads as a point
/// and the typographic minus (U+2212) as a hyphen: "−1,5 dB" is -1.5 dB. False with a
/// one-line reason in `error` when the text is malformed, or out of range under
/// OutOfRange::reject.
bool parseParameterText(int index, const std::string& text, float& knob, std::string& error,
                        OutOfRange outOfRange = OutOfRange::reject);

/// What a unit accepts, in words, for messages and help texts, with the range of the
/// table's rows in that unit: "degrees 0..90 from the front".
std::string unitSyntaxHelp(ParameterUnit unit);

/// Parses `text` typed for head control `control` (HeadControl) into its own unit: degrees
/// with or without "deg" or "°", a whole port number, or on/off for a switch. A decimal comma
/// and the typographic minus read as for the parameters; a value out of range is clamped.
/// False for text that is no value of the control.
bool parseHeadControlText(int control, const std::string& text, double& value);

} // namespace kalvo
