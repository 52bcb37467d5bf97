#include "ParameterText.h"

#include "HeadControls.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kalvo
{
namespace
{

std::string lower(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The number as strtod reads it: a typographic minus (U+2212) becomes '-', a decimal comma
// a point. Only the characters of the number itself are touched, not the unit.
std::string plainNumber(const std::string& text)
{
    static const std::string kMinus = "\xe2\x88\x92";
    std::string out = text.compare(0, kMinus.size(), kMinus) == 0 ? "-" + text.substr(kMinus.size()) : text;
    for (char& c : out)
    {
        if (c == ',')
            c = '.';
        else if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.'))
            break;
    }
    return out;
}

// A number followed by an optional unit word; false when the number is missing
// or not finite.
bool splitNumber(const std::string& rawText, double& number, std::string& unit)
{
    const std::string text = plainNumber(rawText);
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    number = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(number))
        return false;
    unit = lower(trim(std::string(end)));
    return true;
}

/// A switch's word: on, 1, true or yes; off, 0, false or no. False for any other word.
bool switchWord(const std::string& word, bool& on)
{
    if (word == "on" || word == "1" || word == "true" || word == "yes")
        on = true;
    else if (word == "off" || word == "0" || word == "false" || word == "no")
        on = false;
    else
        return false;
    return true;
}

bool inRange(double v, double lo, double hi)
{
    // A hair of slack for values that rounding put just outside.
    const double slack = 1e-9 * (hi - lo);
    return v >= lo - slack && v <= hi + slack;
}

// A number of the table as the texts write it: 90, 0.5, -60.
std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// The row's range in its unit, "0..90"; levels reach down to silence, "-inf..0".
std::string rangeText(const ParameterSpec& p)
{
    return (p.unit == ParameterUnit::LevelDb ? std::string("-inf") : number(p.minimum)) + ".." +
           number(p.maximum);
}

// The first row in `unit`: the parameters that share a unit share its range.
const ParameterSpec& rowIn(ParameterUnit unit)
{
    for (int i = 0; i < kNumParameters; ++i)
        if (parameterSpec(i).unit == unit)
            return parameterSpec(i);
    return parameterSpec(0);
}

bool rangeError(const ParameterSpec& p, const std::string& text, const std::string& range, std::string& error)
{
    error = "value '" + text + "' out of range for " + p.panelName + " (" + range + ")";
    return false;
}

bool isDegrees(const std::string& unit)
{
    return unit.empty() || unit == "deg" || unit == "\xc2\xb0";
}

bool namedPattern(const std::string& word, double& omniShare)
{
    int count = 0;
    const NamedPattern* patterns = namedPatterns(count);
    const std::string key = nameKey(word);
    for (int i = 0; i < count; ++i)
        if (key == patterns[i].name || key == nameKey(patterns[i].label) ||
            (patterns[i].omniShare == 0.0 && key == "fig8"))
        {
            omniShare = patterns[i].omniShare;
            return true;
        }
    return false;
}

} // namespace

std::string unitSyntaxHelp(ParameterUnit unit)
{
    const std::string range = rangeText(rowIn(unit));
    switch (unit)
    {
    case ParameterUnit::Pattern:
    {
        std::string words;
        int count = 0;
        const NamedPattern* patterns = namedPatterns(count);
        for (int i = 0; i < count; ++i)
            words += std::string(i ? ", " : "") + patterns[i].name;
        return "omni share " + range + " (1 omni, 0.5 cardioid, 0 figure of eight) or " + words;
    }
    case ParameterUnit::FrontAngle:
        return "degrees " + range + " from the front";
    case ParameterUnit::SurroundAngle:
        return "degrees " + range + " from the front (90 sideways, 180 straight back)";
    case ParameterUnit::DelayMs:
        return "milliseconds " + range;
    case ParameterUnit::CornerKHz:
        return "kHz " + range + ", or Hz with the unit (8000Hz); " + number(rowIn(unit).maximum) +
               " or off for none";
    case ParameterUnit::LevelDb:
        return "dB, " + range;
    case ParameterUnit::Switch:
        return "on or off";
    }
    return "";
}

bool parseParameterText(int index, const std::string& rawText, float& normalised, std::string& error,
                        OutOfRange outOfRange)
{
    if (index < 0 || index >= kNumParameters)
    {
        error = "no parameter " + std::to_string(index);
        return false;
    }
    const ParameterSpec& p = parameterSpec(index);
    const std::string text = trim(rawText);
    const std::string word = lower(text);
    double value = 0.0;
    std::string unit;

    if (p.unit == ParameterUnit::Switch)
    {
        bool on = false;
        if (!switchWord(word, on))
        {
            error = "value '" + text + "' for " + p.panelName + " must be on or off";
            return false;
        }
        normalised = on ? 1.0f : 0.0f;
        return true;
    }
    if (p.unit == ParameterUnit::Pattern && namedPattern(word, value))
    {
        normalised = static_cast<float>(value);
        return true;
    }
    if (p.unit == ParameterUnit::CornerKHz && word == "off")
    {
        normalised = 1.0f;
        return true;
    }
    if (p.unit == ParameterUnit::LevelDb &&
        (word == "-inf" || word == "-infdb" || word == "-oo" || word == "-oodb"))
    {
        normalised = 0.0f;
        return true;
    }
    if (!splitNumber(text, value, unit))
    {
        error = "value '" + text + "' for " + p.panelName + " is not a number";
        return false;
    }

    // In range, or pulled into it when the caller asks for clamping.
    const auto fit = [outOfRange](double& v, double lo, double hi)
    {
        if (inRange(v, lo, hi))
            return true;
        if (outOfRange == OutOfRange::reject)
            return false;
        v = v < lo ? lo : hi;
        return true;
    };
    double x = 0.0;
    if (unit == "%")
    {
        // The slider's position, whatever the unit it shows.
        if (!fit(value, 0.0, 100.0))
            return rangeError(p, text, "0..100%", error);
        x = value / 100.0;
    }
    else if (p.unit == ParameterUnit::Pattern && unit.empty())
    {
        if (!fit(value, p.minimum, p.maximum))
            return rangeError(p, text, rangeText(p), error);
        x = unitToKnob(index, value);
    }
    else if ((p.unit == ParameterUnit::FrontAngle || p.unit == ParameterUnit::SurroundAngle) &&
             isDegrees(unit))
    {
        if (!fit(value, p.minimum, p.maximum))
            return rangeError(p, text, rangeText(p) + " degrees", error);
        x = unitToKnob(index, value);
    }
    else if (p.unit == ParameterUnit::DelayMs && (unit.empty() || unit == "ms"))
    {
        if (!fit(value, p.minimum, p.maximum))
            return rangeError(p, text, rangeText(p) + " ms", error);
        x = unitToKnob(index, value);
    }
    else if (p.unit == ParameterUnit::CornerKHz && (unit.empty() || unit == "khz" || unit == "hz"))
    {
        double kHz = unit == "hz" ? value / 1000.0 : value;
        if (!fit(kHz, p.minimum, p.maximum))
            return rangeError(p, text, rangeText(p) + " kHz", error);
        x = unitToKnob(index, kHz);
    }
    else if (p.unit == ParameterUnit::LevelDb && (unit.empty() || unit == "db"))
    {
        // Levels are gains up to 1: 0 dB is the loudest setting. Typed text reaches below
        // the range's floor (-80 dB is a gain, not silence), so the gain is formed here.
        if (value > 1e-9 && outOfRange == OutOfRange::reject)
            return rangeError(p, text, rangeText(p) + " dB", error);
        x = std::pow(10.0, value / 20.0);
        x = x > 1.0 ? 1.0 : x;
    }
    else
    {
        error = "unit '" + unit + "' does not fit " + p.panelName + " (" + unitSyntaxHelp(p.unit) +
                ", or 0..100%)";
        return false;
    }
    normalised = static_cast<float>(x);
    return true;
}

bool parseHeadControlText(int control, const std::string& rawText, double& value)
{
    const HeadControlSpec& spec = headControlSpec(control);
    const std::string text = trim(rawText);
    const std::string word = lower(text);
    if (spec.kind == HeadControlKind::Toggle)
    {
        bool on = false;
        if (!switchWord(word, on))
            return false;
        value = on ? 1.0 : 0.0;
        return true;
    }
    double number = 0.0;
    std::string unit;
    if (!splitNumber(text, number, unit))
        return false;
    if (spec.kind == HeadControlKind::Degrees ? !isDegrees(unit) : !unit.empty())
        return false;
    if (spec.kind == HeadControlKind::Port)
        number = std::round(number);
    value = number < spec.minimum ? spec.minimum : number > spec.maximum ? spec.maximum : number;
    return true;
}

} // namespace kalvo
