#pragma once

// The chunks of a WAV or RF64 file as they stand on disk. libsndfile keeps
// the broadcast-wave chunk of a take but not its iXML chunk (scene, take,
// tape, the recorder's track names), so those are read and written here.
//
// A RIFF file is "RIFF" <size> "WAVE" followed by chunks of <id> <size>
// <body>, each body padded to an even length; RF64 holds its large sizes in
// a "ds64" chunk instead, where 0xFFFFFFFF stands in the 32-bit fields.

#include <cstdint>
#include <string>
#include <vector>

namespace render
{

struct WaveChunk
{
    std::string id;      ///< four characters: "fmt ", "bext", "iXML", "data", ...
    uint64_t offset = 0; ///< of the body, from the start of the file
    uint64_t size = 0;   ///< of the body, without the pad byte
};

/// The chunks of a WAV or RF64 file in file order; empty when the file is
/// not one. A chunk that runs past the end of the file (a recording cut off)
/// ends the list.
std::vector<WaveChunk> listWaveChunks(const std::string& path);

/// The body of the first chunk with the four-character `id`. False when the
/// file has none, cannot be read, or the chunk is longer than `maxBytes`.
bool readWaveChunk(const std::string& path, const std::string& id, std::string& body,
                   uint64_t maxBytes = 64ull << 20);

/// Appends a chunk after the file's last one and updates the container's
/// size (in the RIFF header, or in ds64 for RF64). False, leaving the file
/// as it was, when it is neither or a plain WAV file would pass 4 GiB.
bool appendWaveChunk(const std::string& path, const std::string& id, const std::string& body);

/// Rewrites the body of the first chunk `id` in place with `body`, which
/// must be at most as long as the chunk; the rest is filled with zero bytes.
bool overwriteWaveChunk(const std::string& path, const std::string& id, const std::string& body);

} // namespace render
