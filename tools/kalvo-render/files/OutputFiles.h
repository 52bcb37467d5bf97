#pragma once

// Safe replacement of output files. An output is written under a temporary
// name beside its final place and renamed over it only when complete, so a
// failed run leaves the old file as it was. Beyond that:
//
// - an output that is a symbolic link is written through to the file it
//   points to; the link stays a link;
// - an existing output that is write-protected is refused, as cp refuses it
//   (also for root, whom the system would let through), and one that is not a
//   regular file (a folder, a device such as /dev/null) is refused too; a
//   replaced file keeps its permissions;
// - the temporary name says what it is, "take.wav.kalvo-render-4711.tmp"
//   (4711 being the writing process), so that one left behind by a killed
//   run is recognised and removed by the next run into the same output,
//   while a run still going keeps its own.

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace render
{

/// Where an output named `path` is to be written: the file at the end of its
/// symbolic links. False with a one-line reason in `error` when the output
/// may not be replaced. `mode` receives the permissions the new file gets.
bool prepareOutputTarget(const std::string& path, std::string& target, mode_t& mode, std::string& error);

/// The temporary name this process uses for `target`.
std::string temporaryPathFor(const std::string& target);

/// Removes temporary files of `target` left by runs whose process is gone;
/// answers how many.
int removeStaleTemporaries(const std::string& target);

/// Sets the speaker mask of a WAVE_FORMAT_EXTENSIBLE file (WAV or RF64) in
/// place. False when the file has no such format chunk.
bool setWaveChannelMask(const std::string& path, uint32_t mask);

} // namespace render
