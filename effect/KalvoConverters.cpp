#include "KalvoConverters.h"

#include "BuildRules.h"
#include "dsp/KnobMapping.h"

#include <cmath>
#include <cstdio>

void gainStringConvert(float value, char* text)
{
    // A NaN passes the comparison and is formatted like any other value.
    if (value < -40.0f)
        std::snprintf(text, kConverterTextSize, "-oo");
    else
        std::snprintf(text, kConverterTextSize, "%2.1fdB", static_cast<double>(value));
}

void freqStringConvert(float value, char* text)
{
    if (value == 20.0f)
        std::snprintf(text, kConverterTextSize, "off");
    else
        std::snprintf(text, kConverterTextSize, "%2.1f", static_cast<double>(value));
}

void param2disp(float value, char* text)
{
    if (value >= 0.0f)
        std::snprintf(text, kConverterTextSize, "%2.1f", static_cast<double>(value));
}

void formatWholeDegrees(float value, char* text, const KalvoBuildRules& rules)
{
    if (value >= 0.0f)
        std::snprintf(text, kConverterTextSize, "%3.0f%s", static_cast<double>(value), rules.degreeSuffix);
}

void param2disp1(float value, char* text)
{
    formatWholeDegrees(value, text, buildRules());
}

void percentStringConvert(float value, char* text)
{
    // The product is formed in single precision, the rounding offset added in double.
    const double scaled = static_cast<double>(100.0f * value) + 0.5;
    if (scaled > -2147483648.0 && scaled < 2147483648.0)
        std::snprintf(text, kConverterTextSize, "%d%%", static_cast<int>(scaled));
    else // NaN, infinities and values beyond an int: no integer to print
        std::snprintf(text, kConverterTextSize, "%.0f%%", std::trunc(scaled));
}

void volumeStringConvert(float value, char* text)
{
    gainStringConvert(value, text);
}

void slopeStringConvert(float value, char* text)
{
    freqStringConvert(value, text);
}

void param2DeciString(float value, char* text)
{
    param2disp(value, text);
}

void param2noneDeciString(float value, char* text)
{
    param2disp1(value, text);
}

float surroundAngleDegrees(float value)
{
    // The decoder's internal angle runs the other way (knobmap::kSurroundEngineAngleDeg):
    // it is 270 degrees minus this direction, not a direction a listener would recognise.
    return knobmap::kSurroundDirectionDeg.toUnit(value);
}

double surroundAngleValue(double degrees)
{
    return knobmap::kSurroundDirectionDeg.toKnob(degrees);
}
