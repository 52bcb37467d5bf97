// The LV2 bundle's description, written from the parameter table when the bundle is
// built, so that no copy of a parameter fact is kept by hand.
#pragma once

#include <string>

namespace kalvo::lv2
{

/// manifest.ttl: the plug-in, its UI and its presets, with the files that describe them; the
/// headphone plug-in too when it has a binary.
std::string manifestTurtle(const char* dspBinary, const char* uiBinary, const char* binauralBinary = nullptr);
/// The plug-in's description: identity, ports, port group, UI. `version` is "1.1.0".
std::string pluginTurtle(const char* version);
/// binaural.ttl: the headphone plug-in, which shares the panel and the controls' indices.
std::string binauralTurtle(const char* version);
/// presets.ttl: the five factory programs, by the names the VST 2.4 build gives them.
std::string presetsTurtle();

/// The shortest decimal text, in parameter `index`'s unit, that a host reading it as a
/// 32-bit float turns back into exactly the knob position `knob`. A port's float in
/// degrees is coarser than the knob's float near some positions (0.64 lies between two
/// port values): then the text of the nearest knob position a port can carry, and
/// `exact` false.
std::string unitText(int index, float knob, bool& exact);

} // namespace kalvo::lv2
