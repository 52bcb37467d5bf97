// Value-to-text converters for the editor's numeric displays. Each takes the
// physical value and writes a terminated text into `text`, which must hold at
// least kConverterTextSize bytes.
#pragma once

struct KalvoBuildRules;

constexpr int kConverterTextSize = 64;

/// "-oo" below -40, otherwise "%2.1fdB": -40 gives "-40.0dB", -40.1 gives "-oo".
void gainStringConvert(float value, char* text);
/// "off" for exactly 20, otherwise "%2.1f": 19.9 gives "19.9".
void freqStringConvert(float value, char* text);
/// "%2.1f" for 0 and above; a negative value leaves the text untouched.
void param2disp(float value, char* text);
/// Whole degrees with the build's degree suffix for 0 and above ("%3.0f" + suffix);
/// a negative value leaves the text untouched.
void param2disp1(float value, char* text);
/// "%d%%" of 100 * value + 0.5 truncated: 0.5 gives "50%", 0.996 gives "100%".
void percentStringConvert(float value, char* text);
/// Same as gainStringConvert.
void volumeStringConvert(float value, char* text);
/// Same as freqStringConvert.
void slopeStringConvert(float value, char* text);
/// Same as param2disp.
void param2DeciString(float value, char* text);
/// Same as param2disp1.
void param2noneDeciString(float value, char* text);

/// param2disp1 under a given rule set (the converters above use the build's own).
void formatWholeDegrees(float value, char* text, const KalvoBuildRules& rules);

/// Direction of the surround pair in degrees from the front for the surround-angle
/// value p: 90 + 90 p, so 0 aims the surrounds sideways, 1 straight back and 0.6 at
/// 144 degrees. The panel, the polar plot, the host's text and the command-line
/// tools all show this one angle.
float surroundAngleDegrees(float value);
/// The surround-angle value for a direction in degrees: 144 gives 0.6.
double surroundAngleValue(double degrees);
