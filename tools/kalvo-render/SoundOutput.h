#pragma once

// Where the six decoded channels go: one 6-channel WAV file (L, R, C, LFE,
// Ls, Rs, WAVE_FORMAT_EXTENSIBLE with the 5.1 channel mask 0x3F; RF64 when
// the data would pass 4 GiB) or six mono WAV files. Everything is written to
// temporary files beside the outputs and renamed only by commit(), so a
// failed or interrupted run leaves no half-written output behind.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sndfile.h>

namespace render
{

class Dither;

enum class SampleFormat
{
    Pcm16,
    Pcm24,
    Float32,
    Float64
};

struct OutputSpec
{
    std::string path;       ///< the 6-channel file, or the name the mono files derive from
    bool monoFiles = false; ///< six mono files: NAME.L.wav, NAME.R.wav, ... (NAME = path less ".wav")
    SampleFormat format = SampleFormat::Pcm24;
    int sampleRate = 48000;
    int64_t frames = 0;     ///< expected length, which decides between WAV and RF64
    bool forceRf64 = false; ///< RF64 even for short files
    bool dither = false;    ///< triangular dither before rounding to 16 or 24 bits
    /// Broadcast-wave chunk to write (time stamp and description of the
    /// recording), when the input had one.
    bool hasBroadcastInfo = false;
    SF_BROADCAST_INFO broadcastInfo{};
};

/// The final file names an output spec produces (1 or 6), channel order.
std::vector<std::string> outputPaths(const OutputSpec& spec);

/// Channel names in output order.
extern const char* const kOutputChannelNames[6];

class SoundOutput
{
public:
    SoundOutput();
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    /// Creates the temporary files. False with a one-line reason in `error`.
    bool open(const OutputSpec& spec, std::string& error);
    /// Appends `frames` frames of six channels.
    bool write(const double* const channels[6], int frames, std::string& error);
    bool write(const float* const channels[6], int frames, std::string& error);
    /// Finishes the files and moves them to their final names.
    bool commit(std::string& error);
    /// Closes and deletes the temporary files (also done by the destructor
    /// when commit() has not succeeded).
    void abandon();

    /// Samples outside -1..1 that a fixed-point format had to clip.
    int64_t clippedSamples() const { return clipped_; }
    /// True when the 6-channel file is written as RF64.
    bool isRf64() const { return rf64_; }

private:
    template <typename Sample> bool writeAny(const Sample* const channels[6], int frames, std::string& error);

    OutputSpec spec_;
    std::vector<std::string> finalPaths_;
    std::vector<std::string> tempPaths_;
    std::vector<SNDFILE*> files_;
    std::vector<unsigned char> packed_; ///< interleaved little-endian samples
    std::unique_ptr<Dither> dither_;
    int64_t clipped_ = 0;
    bool rf64_ = false;
    bool committed_ = false;
};

} // namespace render
