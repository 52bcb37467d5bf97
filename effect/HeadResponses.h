#pragma once

// Head-related impulse responses for the binaural renderer, read from a SOFA
// file (AES69) with libmysofa. The reader lives here, not beside the renderer:
// the engine floor takes the responses as plain arrays and stays free of the
// library, while the plug-in formats and kalvo-render, which sit above this
// floor, share one reader.
//
// libmysofa resamples the measurements to the rate asked for (the set Debian
// ships, 512 taps at 44.1 kHz, becomes 558 taps at 48 kHz) and normalises
// their level: a speaker straight ahead reaches each ear at about its own level.

#include "dsp/BinauralRenderer.h"

#include <string>

namespace kalvo
{

/// The Debian package's measured set (libmysofa1).
constexpr const char* kDefaultHrtfPath = "/usr/share/libmysofa/default.sofa";

/// The grid the responses are taken on: every 5 degrees around the head,
/// every 10 degrees from straight down to straight up.
constexpr int kHrirAzimuths = 72;
constexpr int kHrirElevations = 19;

/// Reads the responses on the grid from a SOFA file, resampled to
/// `sampleRate` and with each measurement's onset delay in front, so that
/// the measured interaural time difference is kept. False with a one-line
/// reason in `error`. Allocates and reads files: not for the audio thread.
bool loadHrirGrid(const std::string& sofaPath, double sampleRate, HrirGrid& grid, std::string& error);

} // namespace kalvo
