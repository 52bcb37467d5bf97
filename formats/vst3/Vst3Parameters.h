// The effect's parameters as a VST 3 host sees them: a translation of the parameter
// table. Ids 0..12 are the VST 2 indices and their normalised values the VST 2 knob
// positions, so automation draws the same curve in either build; plain values are the
// panel's units. Id 14 picks one of the five factory programs (the host's program
// list); ids 20..27 carry the eight meter readings from the processor to the editor as
// read-only output parameters. The headphone build adds the head controls as ids 40..47
// (normalised across each control's range) and the head tracker's status as the read-only
// id 48.
#pragma once

#include "Vst3Interface.h"

struct KalvoBuildRules;

namespace kalvo::vst3adapter
{

constexpr vst3::ParamID kProgramParamId = 14;
constexpr vst3::ParamID kFirstMeterParamId = 20;
constexpr int kMeterCount = 8;
constexpr vst3::ProgramListID kFactoryProgramListId = 1;
/// Knob parameters, the program selector, the meters.
constexpr int kVst3ParameterCount = 13 + 1 + kMeterCount;
constexpr vst3::ParamID kFirstHeadParamId = 40;
constexpr int kHeadParamCount = 8;
constexpr vst3::ParamID kTrackerStatusParamId = kFirstHeadParamId + kHeadParamCount;
/// The headphone build's: the 5.1 build's, the head controls, the tracker's status.
constexpr int kVst3HeadphoneParameterCount = kVst3ParameterCount + kHeadParamCount + 1;

constexpr bool isKnobParam(vst3::ParamID id)
{
    return id < 13;
}
constexpr bool isMeterParam(vst3::ParamID id)
{
    return id >= kFirstMeterParamId && id < kFirstMeterParamId + kMeterCount;
}
constexpr bool isHeadParam(vst3::ParamID id)
{
    return id >= kFirstHeadParamId && id < kFirstHeadParamId + kHeadParamCount;
}
/// The id of the parameter at list position `index` (0..21, 0..30 in the headphone build), or
/// kNoParamId.
vst3::ParamID paramIdAt(int index);

/// The normalised value that selects factory program `program` (0..4) and back.
double programToNormalized(int program);
int normalizedToProgram(double normalized);

/// Fills the host's description of the parameter at list position `index`; false if none.
/// Positions past the 5.1 build's are the headphone build's.
bool describeParameter(int index, vst3::ParameterInfo& info);
/// Plain value (the panel's unit; the program number; the meter's level) for a normalised one.
double normalizedToPlain(vst3::ParamID id, double normalized);
/// The normalised value for a plain one, clamped to 0..1.
double plainToNormalized(vst3::ParamID id, double plain);
/// The panel's text for a normalised value (UTF-8 or the rules' 8-bit degree sign); false
/// for an unknown id. `text` holds at least 64 bytes.
bool formatParameter(vst3::ParamID id, double normalized, char* text, const KalvoBuildRules& rules);
/// Reads typed text (UTF-8) as `kalvo-render --set` reads a value (the table's reader): a
/// number in the panel's unit with an optional unit word, a percentage of the slider, or a
/// word (on/off, off for the low-pass, -inf for silence, a pattern's name); for the program
/// selector a program's name. False for text that names no value, or one out of range.
bool parseParameter(vst3::ParamID id, const char* text, double& normalized, const KalvoBuildRules& rules);

} // namespace kalvo::vst3adapter
