#include "Lv2Turtle.h"

#include "Lv2BinauralPorts.h"
#include "Lv2Ports.h"
#include "effect/BuildRules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kalvo::lv2
{
namespace
{

const char* const kPrefixes = "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
                              "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";

// The factory programs as the VST 2.4 build on Linux names them (degree signs in UTF-8).
const KalvoBuildRules& presetRules()
{
    return linuxRules();
}

std::string uri(const char* suffix)
{
    return std::string("<") + kPluginUri + suffix + ">";
}

std::string quoted(const char* text)
{
    std::string out = "\"";
    for (const char* c = text; *c; ++c)
    {
        if (*c == '"' || *c == '\\')
            out += '\\';
        out += *c;
    }
    return out + "\"";
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", v);
    std::string s = text;
    // Turtle reads a number without a point or exponent as an integer.
    if (s.find_first_of(".eEn") == std::string::npos)
        s += ".0";
    return s;
}

std::string decimal(const std::string& text)
{
    return text.find_first_of(".eE") == std::string::npos ? text + ".0" : text;
}

std::string presetUri(int preset)
{
    return uri(("#preset-" + std::to_string(preset + 1)).c_str());
}

const char* unitUri(ParameterUnit unit)
{
    switch (unit)
    {
    case ParameterUnit::FrontAngle:
    case ParameterUnit::SurroundAngle:
        return "units:degree";
    case ParameterUnit::DelayMs:
        return "units:ms";
    case ParameterUnit::CornerKHz:
        return "units:khz";
    case ParameterUnit::LevelDb:
        return "units:db";
    case ParameterUnit::Pattern:
    case ParameterUnit::Switch:
        break;
    }
    return nullptr;
}

std::string scalePoint(const char* label, double value)
{
    return "        lv2:scalePoint [ rdfs:label " + quoted(label) + " ; rdf:value " + number(value) +
           " ] ;\n";
}

std::string controlPort(int index)
{
    const ParameterSpec& spec = parameterSpec(index);
    bool exact = false;
    std::string out = "    [\n        a lv2:InputPort , lv2:ControlPort ;\n";
    out += "        lv2:index " + std::to_string(kFirstControl + index) + " ;\n";
    out += "        lv2:symbol " + quoted(spec.symbol) + " ;\n";
    out += "        lv2:name " + quoted(spec.title) + " ;\n";
    out += "        lv2:default " + decimal(unitText(index, spec.defaultKnob, exact)) + " ;\n";
    out += "        lv2:minimum " + number(spec.minimum) + " ;\n";
    out += "        lv2:maximum " + number(spec.maximum) + " ;\n";
    if (const char* unit = unitUri(spec.unit))
        out += std::string("        units:unit ") + unit + " ;\n";
    switch (spec.unit)
    {
    case ParameterUnit::Pattern:
    {
        int count = 0;
        const NamedPattern* patterns = namedPatterns(count);
        for (int i = 0; i < count; ++i)
            out += scalePoint(patterns[i].label, patterns[i].omniShare);
        break;
    }
    case ParameterUnit::CornerKHz:
        out += scalePoint("off", spec.maximum);
        break;
    case ParameterUnit::LevelDb:
        out += scalePoint("-inf", spec.minimum);
        break;
    case ParameterUnit::Switch:
        out += "        lv2:portProperty lv2:toggled , lv2:integer ;\n";
        break;
    default:
        break;
    }
    return out + "    ]";
}

} // namespace

std::string unitText(int index, float knob, bool& exact)
{
    const double unit = knobToUnit(index, static_cast<double>(knob));
    std::string nearest;
    double nearestError = 2.0;
    // Decimals rather than significant digits: Turtle reads a number with an exponent as
    // a double, which hosts hand on as a double, not as the port's float.
    for (int decimals = 0; decimals <= 9; ++decimals)
    {
        char text[48];
        std::snprintf(text, sizeof(text), "%.*f", decimals, unit);
        const float asHostStoresIt = std::strtof(text, nullptr);
        const double error =
            std::fabs(static_cast<float>(unitToKnob(index, static_cast<double>(asHostStoresIt))) - knob);
        if (error < nearestError)
        {
            nearest = text;
            nearestError = error;
        }
        if (error == 0.0)
            break;
    }
    exact = nearestError == 0.0;
    return nearest;
}

std::string manifestTurtle(const char* dspBinary, const char* uiBinary, const char* binauralBinary)
{
    std::string out = kPrefixes;
    out += uri("") + "\n    a lv2:Plugin ;\n    lv2:binary <" + dspBinary +
           "> ;\n    rdfs:seeAlso <kalvo.ttl> .\n\n";
    if (binauralBinary)
        out += std::string("<") + binaural::kPluginUri + ">\n    a lv2:Plugin ;\n    lv2:binary <" +
               binauralBinary + "> ;\n    rdfs:seeAlso <binaural.ttl> .\n\n";
    out += uri("#ui") + "\n    a ui:X11UI ;\n    ui:binary <" + uiBinary +
           "> ;\n    rdfs:seeAlso <kalvo.ttl> .\n";
    for (int p = 0; p < kNumFactoryPresets; ++p)
        out += "\n" + presetUri(p) + "\n    a pset:Preset ;\n    lv2:appliesTo " + uri("") +
               " ;\n    rdfs:label " + quoted(presetRules().presetNames[p]) +
               " ;\n    rdfs:seeAlso <presets.ttl> .\n";
    return out;
}

std::string pluginTurtle(const char* version)
{
    // The build's own version, "1.1.0": three numbers, each read up to the next dot.
    char* rest = nullptr;
    std::strtol(version, &rest, 10); // the major version is in the plug-in's URI, not here
    const long minor = *rest == '.' ? std::strtol(rest + 1, &rest, 10) : 0;
    const long micro = *rest == '.' ? std::strtol(rest + 1, &rest, 10) : 0;
    std::string out = kPrefixes;
    out += uri("#out") + "\n    a pg:FivePointOneGroup , pg:OutputGroup ;\n    lv2:symbol \"out\" ;\n"
                         "    rdfs:label \"5.1 output\" .\n\n";
    out += uri("") + "\n    a lv2:Plugin , lv2:SpatialPlugin , doap:Project ;\n";
    out += "    doap:name \"Zentri Surround Tool\" ;\n";
    out += "    doap:maintainer [ foaf:name \"Velmora\" ] ;\n";
    out += "    doap:release [ doap:revision " + quoted(version) + " ] ;\n";
    out += "    lv2:minorVersion " + std::to_string(minor) + " ;\n";
    out += "    lv2:microVersion " + std::to_string(micro) + " ;\n";
    out +=
        "    rdfs:comment \"Decodes a coincident surround M/S array (front cardioid, side figure of eight, "
        "rear cardioid) into 5.1 through five virtual first-order microphones.\" ;\n";
    out += "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n";
    out += "    ui:ui " + uri("#ui") + " ;\n";
    out += "    lv2:port\n";
    std::string ports;
    const auto add = [&ports](const std::string& port)
    {
        if (!ports.empty())
            ports += " ,\n";
        ports += port;
    };
    for (int c = 0; c < kNumAudioInputs; ++c)
        add("    [\n        a lv2:InputPort , lv2:AudioPort ;\n        lv2:index " +
            std::to_string(kFirstAudioInput + c) + " ;\n        lv2:symbol " +
            quoted(kAudioInputs[c].symbol) + " ;\n        lv2:name " + quoted(kAudioInputs[c].name) +
            " ;\n    ]");
    for (int c = 0; c < kNumAudioOutputs; ++c)
        add("    [\n        a lv2:OutputPort , lv2:AudioPort ;\n        lv2:index " +
            std::to_string(kFirstAudioOutput + c) + " ;\n        lv2:symbol " +
            quoted(kAudioOutputs[c].symbol) + " ;\n        lv2:name " + quoted(kAudioOutputs[c].name) +
            " ;\n        pg:group " + uri("#out") + " ;\n        lv2:designation " +
            kAudioOutputs[c].designation + " ;\n    ]");
    for (int i = 0; i < kNumParameters; ++i)
        add(controlPort(i));
    for (int m = 0; m < kNumMeters; ++m)
        add("    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index " +
            std::to_string(kFirstMeterPort + m) + " ;\n        lv2:symbol " + quoted(meterSpec(m).symbol) +
            " ;\n        lv2:name " + quoted(meterSpec(m).title) +
            " ;\n        lv2:default 0.0 ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n    ]");
    out += ports + " .\n\n";

    // The panel: an X11 window inside the host's, driven by the host's idle calls. It
    // learns every value, the meters' too, from port notifications, so it works with the
    // processing in another process.
    out += uri("#ui") + "\n    a ui:X11UI ;\n";
    out += "    lv2:requiredFeature ui:idleInterface , ui:parent ;\n";
    out += "    lv2:optionalFeature ui:resize , ui:touch , urid:map , opts:options ;\n";
    out += "    opts:supportedOption ui:scaleFactor ;\n";
    out += "    lv2:extensionData ui:idleInterface ;\n";
    std::string notes;
    const auto note = [&notes](const char* symbol)
    {
        if (!notes.empty())
            notes += " ,\n";
        notes += std::string("        [ ui:plugin ") + uri("") + " ; lv2:symbol " + quoted(symbol) +
                 " ; ui:protocol ui:floatProtocol ]";
    };
    for (int i = 0; i < kNumParameters; ++i)
        note(parameterSpec(i).symbol);
    for (int m = 0; m < kNumMeters; ++m)
        note(meterSpec(m).symbol);
    out += "    ui:portNotification\n" + notes + " .\n";
    return out;
}

namespace
{

std::string headControlPort(int control)
{
    const HeadControlSpec& spec = headControlSpec(control);
    std::string out = "    [\n        a lv2:InputPort , lv2:ControlPort ;\n";
    out += "        lv2:index " + std::to_string(binaural::headPort(control)) + " ;\n";
    out += "        lv2:symbol " + quoted(spec.symbol) + " ;\n";
    out += "        lv2:name " + quoted(spec.title) + " ;\n";
    out += "        lv2:default " + number(spec.defaultValue) + " ;\n";
    out += "        lv2:minimum " + number(spec.minimum) + " ;\n";
    out += "        lv2:maximum " + number(spec.maximum) + " ;\n";
    switch (spec.kind)
    {
    case HeadControlKind::Degrees:
        out += "        units:unit units:degree ;\n";
        break;
    case HeadControlKind::Toggle:
        out += "        lv2:portProperty lv2:toggled , lv2:integer ;\n";
        break;
    case HeadControlKind::Port:
        // A session keeps the port; it is no sound parameter to automate.
        out += "        lv2:portProperty lv2:integer ;\n";
        break;
    }
    return out + "    ]";
}

} // namespace

std::string binauralTurtle(const char* version)
{
    char* rest = nullptr;
    std::strtol(version, &rest, 10);
    const long minor = *rest == '.' ? std::strtol(rest + 1, &rest, 10) : 0;
    const long micro = *rest == '.' ? std::strtol(rest + 1, &rest, 10) : 0;
    const std::string self = std::string("<") + binaural::kPluginUri + ">";
    const std::string group = std::string("<") + binaural::kPluginUri + "-out>";
    std::string out = kPrefixes;
    out += group +
           "\n    a pg:StereoGroup , pg:OutputGroup ;\n    lv2:symbol \"out\" ;\n"
           "    rdfs:label " +
           quoted(kEarBusName) + " .\n\n";
    out += self + "\n    a lv2:Plugin , lv2:SpatialPlugin , doap:Project ;\n";
    out += "    doap:name \"Zentri Surround Tool Binaural\" ;\n";
    out += "    doap:maintainer [ foaf:name \"Velmora\" ] ;\n";
    out += "    doap:release [ doap:revision " + quoted(version) + " ] ;\n";
    out += "    lv2:minorVersion " + std::to_string(minor) + " ;\n";
    out += "    lv2:microVersion " + std::to_string(micro) + " ;\n";
    out += "    rdfs:comment \"Decodes a coincident surround M/S array into 5.1 as the Zentri Surround Tool "
           "does, and plays the 5.1 over virtual loudspeakers to headphones, turned with the listener's head "
           "(the head controls, or a head tracker sending OSC to the tracker port).\" ;\n";
    out += "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n";
    out += "    ui:ui " + uri("#ui") + " ;\n";
    out += "    lv2:port\n";
    std::string ports;
    const auto add = [&ports](const std::string& port)
    {
        if (!ports.empty())
            ports += " ,\n";
        ports += port;
    };
    for (int c = 0; c < kNumAudioInputs; ++c)
        add("    [\n        a lv2:InputPort , lv2:AudioPort ;\n        lv2:index " +
            std::to_string(binaural::kFirstAudioInput + c) + " ;\n        lv2:symbol " +
            quoted(kAudioInputs[c].symbol) + " ;\n        lv2:name " + quoted(kAudioInputs[c].name) +
            " ;\n    ]");
    for (int c = 0; c < kNumEarOutputs; ++c)
        add("    [\n        a lv2:OutputPort , lv2:AudioPort ;\n        lv2:index " +
            std::to_string(binaural::kFirstEarOutput + c) + " ;\n        lv2:symbol " +
            quoted(kEarOutputs[c].symbol) + " ;\n        lv2:name " + quoted(kEarOutputs[c].name) +
            " ;\n        pg:group " + group + " ;\n        lv2:designation " + kEarOutputs[c].designation +
            " ;\n    ]");
    for (int h = 0; h < binaural::kHeadPortsBeforeControls; ++h)
        add(headControlPort(h));
    for (int i = 0; i < kNumParameters; ++i)
        add(controlPort(i));
    for (int m = 0; m < kNumMeters; ++m)
        add("    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index " +
            std::to_string(kFirstMeterPort + m) + " ;\n        lv2:symbol " + quoted(meterSpec(m).symbol) +
            " ;\n        lv2:name " + quoted(meterSpec(m).title) +
            " ;\n        lv2:default 0.0 ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n    ]");
    for (int h = binaural::kHeadPortsBeforeControls; h < kNumHeadControls; ++h)
        add(headControlPort(h));
    add("    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index " +
        std::to_string(binaural::kStatusPort) +
        " ;\n        lv2:symbol \"tracker_status\" ;\n        lv2:name \"Tracker status\" ;\n"
        "        lv2:default 0.0 ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 2.0 ;\n"
        "        lv2:portProperty lv2:integer , lv2:enumeration ;\n" +
        scalePoint(trackerStatusText(TrackerStatus::Off), 0.0) +
        scalePoint(trackerStatusText(TrackerStatus::Listening), 1.0) +
        scalePoint(trackerStatusText(TrackerStatus::PortInUse), 2.0) + "    ]");
    out += ports + " .\n\n";

    // The 5.1 plug-in's panel serves this one too: the same controls and meters on the same ports.
    std::string notes;
    const auto note = [&notes, &self](const char* symbol)
    {
        if (!notes.empty())
            notes += " ,\n";
        notes += "        [ ui:plugin " + self + " ; lv2:symbol " + quoted(symbol) +
                 " ; ui:protocol ui:floatProtocol ]";
    };
    for (int i = 0; i < kNumParameters; ++i)
        note(parameterSpec(i).symbol);
    for (int m = 0; m < kNumMeters; ++m)
        note(meterSpec(m).symbol);
    out += uri("#ui") + "\n    ui:portNotification\n" + notes + " .\n";
    return out;
}

std::string presetsTurtle()
{
    std::string out = kPrefixes;
    for (int p = 0; p < kNumFactoryPresets; ++p)
    {
        const float* values = factoryPresetValues(p);
        out += presetUri(p) + "\n    a pset:Preset ;\n    lv2:appliesTo " + uri("") + " ;\n    rdfs:label " +
               quoted(presetRules().presetNames[p]) + " ;\n    lv2:port\n";
        for (int i = 0; i < kNumParameters; ++i)
        {
            bool exact = false;
            out += std::string("        [ lv2:symbol ") + quoted(parameterSpec(i).symbol) + " ; pset:value " +
                   decimal(unitText(i, values[i], exact)) + " ]" +
                   (i + 1 < kNumParameters ? " ,\n" : " .\n\n");
        }
    }
    return out;
}

} // namespace kalvo::lv2
