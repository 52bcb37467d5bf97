#pragma once

// What a take says about itself, read from its chunks without opening the
// sound: the broadcast-wave chunk (the date it was recorded, its time of day
// as samples since midnight, its coding history) and the iXML document
// (project, scene, take, tape, timecode rate). A batch names its outputs
// after these and recognises the files an earlier decode wrote.

#include "IxmlTracks.h"

#include <cstdint>
#include <string>

namespace render
{

struct TakeMetadata
{
    int sampleRate = 0; ///< from the format chunk; 0 when the file is no WAV
    bool hasBext = false;
    std::string originationDate; ///< "2026-12-08" as the chunk has it; empty when blank
    uint64_t timeReference = 0;  ///< samples since midnight
    std::string codingHistory;
    bool hasIxml = false;
    IxmlFacts ixml;
};

/// Reads a WAV or RF64 file's chunks; other files (FLAC) answer with nothing set.
TakeMetadata readTakeMetadata(const std::string& path);

/// The time of day `samples` after midnight at `sampleRate`, as a file name
/// can hold it: "14-03-07-12" (hours, minutes, seconds, frames) at the
/// timecode rate `rate` ("25/1", "30000/1001", "24"), drop-frame when `flag`
/// is "DF" at 29.97 or 59.94; "14-03-07" when there is no rate.
std::string timecodeText(uint64_t samples, int sampleRate, const std::string& rate, const std::string& flag);

} // namespace render
