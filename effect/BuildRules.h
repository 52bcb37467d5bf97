// The handful of texts and small rules in which the builds differ, in one table.
// The Linux build follows the Windows rules, except that texts with a degree
// sign carry it as UTF-8 (the Windows build writes the single Windows-1252 byte
// 0xB0, which is invalid UTF-8 and shows as garbage on Linux hosts and in X11
// text). The Mac rules stay available so that both rule sets can be exercised.
#pragma once

#include "dsp/CDelayLine.h" // FadeStepPrecision

#include <cstdint>

/// Which speaker arrangements the effect accepts for its input.
enum class InputArrangementRule
{
    kAtMostSix, ///< any channel count from 0 to 6
    kExactlySix ///< exactly 6 channels
};

struct KalvoBuildRules
{
    /// Short name of the rule set: "linux", "windows" or "mac".
    const char* name;
    /// true: the entry point creates a KalvoEdit (names "KalvoEditGUI", editor attached
    /// after the effect is built); false: a Kalvo that attaches its editor while it is built.
    bool createsKalvoEdit;
    /// Answer to effGetVendorVersion: the build's version in four digits (1100 for 1.1.0).
    std::int32_t vendorVersion;
    InputArrangementRule inputArrangement;
    /// Appended to whole degrees by the degree converters ("%3.0f" + suffix).
    const char* degreeSuffix;
    /// Names of the five factory presets, program entries 4 to 8.
    const char* presetNames[5];
    /// How the delay line forms the per-frame step of its cross-fade.
    FadeStepPrecision fadeStepPrecision;
    /// Editor: a control is marked dirty after the user changed it.
    bool markControlDirtyAfterEdit;
    /// Editor: the level meters draw through an offscreen.
    bool metersUseOffscreen;
    /// Editor: the six entries of the preset menu.
    const char* presetMenuEntries[6];
};

const KalvoBuildRules& windowsRules();
const KalvoBuildRules& macRules();
const KalvoBuildRules& linuxRules();
/// The rule set named "linux", "windows" or "mac"; null for any other name.
const KalvoBuildRules* rulesNamed(const char* name);
/// The rule set this build was configured with (CMake option KALVO_RULES).
const KalvoBuildRules& buildRules();
