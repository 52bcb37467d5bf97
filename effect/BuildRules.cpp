#include "BuildRules.h"

#include "KalvoVersion.h"

#include <cstring>

#ifndef KALVO_RULES_NAME
#define KALVO_RULES_NAME "linux"
#endif

namespace
{

const KalvoBuildRules kWindows = {
    "windows",
    false,
    kKalvoVendorVersion,
    InputArrangementRule::kAtMostSix,
    "\xB0",
    {"5-Channel", "4-Channel optimized", "XY Stereo 90\xB0", "XY Stereo 60\xB0", "5-Channel Musical"},
    FadeStepPrecision::kDouble,
    true,
    true,
    {"< Select Preset >", "5 Channel", "4 Channel", "Stereo 45\xB0", "Stereo 60\xB0", "5 Channel musical"},
};

// The Mac rules keep the Mac build's own answers, among them the vendor version
// of the release it shipped with (1.0.0), whatever this build's version is.
const KalvoBuildRules kMac = {
    "mac",
    true,
    1000,
    InputArrangementRule::kExactlySix,
    "deg",
    {"5-Channel", "4-Channel optimized", "XY Stereo 90", "XY Stereo 60", "5-Channel Musical"},
    FadeStepPrecision::kSingle,
    false,
    false,
    {"< Select Preset >", "5 Channel", "4 Channel", "Stereo 45 degree", "Stereo 60 degree",
     "5 Channel musical"},
};

// Windows rules with the degree sign as UTF-8 (U+00B0 is C2 B0).
const KalvoBuildRules kLinux = {
    "linux",
    false,
    kKalvoVendorVersion,
    InputArrangementRule::kAtMostSix,
    "\xC2\xB0",
    {"5-Channel", "4-Channel optimized", "XY Stereo 90\xC2\xB0", "XY Stereo 60\xC2\xB0", "5-Channel Musical"},
    FadeStepPrecision::kDouble,
    true,
    true,
    {"< Select Preset >", "5 Channel", "4 Channel", "Stereo 45\xC2\xB0", "Stereo 60\xC2\xB0",
     "5 Channel musical"},
};

} // namespace

const KalvoBuildRules& windowsRules()
{
    return kWindows;
}

const KalvoBuildRules& macRules()
{
    return kMac;
}

const KalvoBuildRules& linuxRules()
{
    return kLinux;
}

const KalvoBuildRules* rulesNamed(const char* name)
{
    if (!name)
        return nullptr;
    for (const KalvoBuildRules* rules : {&kLinux, &kWindows, &kMac})
        if (std::strcmp(rules->name, name) == 0)
            return rules;
    return nullptr;
}

const KalvoBuildRules& buildRules()
{
    // The build system validates the name; an unknown one falls back to Linux.
    static const KalvoBuildRules* const rules = rulesNamed(KALVO_RULES_NAME);
    return rules ? *rules : kLinux;
}
