// Every fact about the effect's thirteen parameters, in one table: the names hosts, the
// panel and the command line use, the symbol newer plug-in formats store sessions by, the
// unit the panel shows with its scale, range and default, the host's display text, and
// the panel's display text.
//
// The knob position (0..1) stays the currency between host, effect, editor and engine;
// the unit is what people read and type. Each caller keeps its own precision: the panel
// converts in single precision, the host text and the command line in double, so each
// row's scale (a knobmap::KnobMapping, shared with the engine's setters) offers both forms
// instead of one compromise.
#pragma once

#include "KalvoProgram.h"
#include "dsp/KnobMapping.h"

#include <string>

struct KalvoBuildRules;

namespace kalvo
{

/// What a parameter's value means on the panel.
enum class ParameterUnit
{
    Pattern,       ///< omni share 0..1 (1 omni, 0.5 cardioid, 0 figure of eight)
    FrontAngle,    ///< degrees 0..90 from the front: 90 p
    SurroundAngle, ///< degrees 90..180 from the front: 90 + 90 p
    DelayMs,       ///< milliseconds 0..55: 55 p
    CornerKHz,     ///< kHz 1..20, 20 meaning off: 1 + 19 p
    LevelDb,       ///< linear gain p shown in dB: 20 log10 p; the range's minimum is silence
    Switch         ///< off 0, on exactly 1
};

/// A first-order pattern with a name, as omni share.
struct NamedPattern
{
    const char* name;  ///< the word the command line takes ("cardioid")
    const char* label; ///< as a host lists it ("cardioid", "figure of eight")
    double omniShare;
};

/// How the VST 2.4 host's display text shows a parameter (the number without its label).
enum class HostText
{
    Unit,      ///< the value in the unit, converted in double and shown as a float
    PanelUnit, ///< the value in the unit as the panel computes it, in single precision
    Decibels,  ///< the knob position as a gain in dB, "-oo" for silence
    None       ///< no text (the mutes)
};

/// A row of the table: the scale with its range in the unit (`minimum`, `maximum`), then
/// the names and texts.
struct ParameterSpec : knobmap::KnobMapping
{
    int index;             ///< the host's parameter index, 0..12
    const char* hostName;  ///< VST 2 name ("" for the mutes)
    const char* hostLabel; ///< VST 2 label
    const char* codeName;  ///< the name the code uses ("CenterMute" where the host name is empty)
    const char* panelName; ///< the control after its place on the panel ("SurroundVolume")
    const char* title;     ///< the same in words, for hosts that show a name ("Surround Volume")
    const char* section;   ///< the panel's heading over the control ("VOLUME")
    const char* symbol;    ///< the stable symbol sessions store ("surround_volume")
    ParameterUnit unit;
    const char* unitLabel; ///< the unit as hosts show it ("deg", "ms", "kHz", "dB", "")
    HostText hostText;
    float defaultKnob; ///< a fresh program's knob position
};

/// The parameters by index 0..12.
const ParameterSpec& parameterSpec(int index);
/// The named patterns, strongest omni share first; `count` receives their number.
const NamedPattern* namedPatterns(int& count);

/// The value in the unit for knob position p, computed in double (host texts, plain
/// values of newer formats): 90 p degrees, 90 + 90 p degrees, 55 p ms, 1 + 19 p kHz,
/// 20 log10 p dB. Levels below the range's minimum give the minimum.
double knobToUnit(int index, double knob);
/// The knob position for a value in the unit, as `kalvo-render --set` reads a number:
/// degrees / 90, (degrees - 90) / 90, ms / 55, (kHz - 1) / 19, 10^(dB / 20) (0 at the
/// minimum and below), patterns as they are, switches 1 from 0.5 up; clamped to 0..1.
/// A value that is not a number gives -1.
double unitToKnob(int index, double unitValue);

/// The value the panel's numeric display holds for knob position p, in single precision
/// as the editor computes it (levels in dB with the panel's floor, so silence reads "-oo").
float panelValue(int index, float knob);
/// The panel's display converter for parameter `index` (null: the display's own "%2.2f");
/// the switches, which have no display, get null too.
using DisplayConverter = void (*)(float, char*);
DisplayConverter panelConverter(int index);
/// The text the panel shows for knob position p under `rules` (the degree sign is a
/// per-build text); `text` holds at least 64 bytes. Switches read "on" or "off".
void formatPanelText(int index, float knob, char* text, const KalvoBuildRules& rules);

/// One of the eight level meters the engine feeds (0..1, the panel meters' scale).
struct MeterSpec
{
    const char* symbol; ///< "meter_front_mid"
    const char* title;  ///< "Front Mid Level"
};
constexpr int kNumMeters = kLastMeter - kFirstMeter + 1;
/// Meter 0..7 in the engine's order: front mid, rear mid, side, C, L, R, Ls, Rs
/// (parameters 20 to 27).
const MeterSpec& meterSpec(int meter);
/// A meter reading as the newer formats hand it to hosts' generic controls: exact 0 below a
/// millionth of the scale. The engine's meters never quite reach their floor (their smoothing
/// keeps an offset of 1e-20 against subnormal numbers), which hosts would show as "1e-20" on
/// silence; a millionth of the 0..1 scale lies far below the panel's first LED.
inline float hostMeterValue(float level)
{
    return level < 1e-6f ? 0.0f : level;
}

/// The 13 knob positions of factory preset 0..4 (program entries 4 to 8); null otherwise.
const float* factoryPresetValues(int preset);

/// Index of a parameter by its panel name, host name, code name or symbol, ignoring case,
/// spaces, hyphens and underscores; -1 when there is none.
int findParameterByName(const char* name);

/// The key typed names are matched by: letters and digits only, lower case.
/// "Surround Volume", "surround_volume" and "SurroundVolume" give "surroundvolume";
/// "Figure of Eight" and "figure-of-eight" give "figureofeight".
std::string nameKey(const std::string& text);

} // namespace kalvo
