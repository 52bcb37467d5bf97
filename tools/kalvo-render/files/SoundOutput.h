#pragma once

// Where the decoded channels go: one multi-channel WAV file
// (WAVE_FORMAT_EXTENSIBLE with the layout's channel mask, 0x3F for 5.1; RF64
// when the data would pass 4 GiB) or one mono WAV file per channel.
// Everything is written to temporary files beside the outputs and renamed only
// by commit(), so a failed or interrupted run leaves no half-written output
// behind; OutputFiles.h says how existing outputs are treated.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sndfile.h>

#include "SoundInput.h"
#include "tools/kalvo-render/layouts/OutputLayout.h"

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
    std::string path; ///< the multi-channel file, or the name the mono files derive from
    bool monoFiles =
        false; ///< one mono file per channel: NAME.L.wav, NAME.R.wav, ... (NAME = path less ".wav")
    /// The channels in file order; they also name the mono files.
    std::vector<std::string> channelNames = surroundChannelNames();
    uint32_t channelMask = 0x3F; ///< speaker mask of the multi-channel file
    SampleFormat format = SampleFormat::Pcm24;
    int sampleRate = 48000;
    int64_t frames = 0;     ///< expected length, which decides between WAV and RF64
    bool forceRf64 = false; ///< RF64 even for short files
    bool dither = false;    ///< triangular dither before rounding to 16 or 24 bits
    /// Linear gain applied to every sample in double precision before it is
    /// converted to the file's format (--gain, --normalize); 1 leaves the
    /// samples bit for bit as decoded.
    double gain = 1.0;
    /// Broadcast-wave chunk to write (time stamp and description of the
    /// recording), when the input had one. Its coding history gains a line
    /// for this decode: "A=PCM,F=48000,W=24,M=6chn,T=" + historyText.
    bool hasBroadcastInfo = false;
    BroadcastInfo broadcastInfo{};
    std::string historyText;
    /// The recording's iXML document, written into every file with a track
    /// list of that file's own channels; empty for none.
    std::string ixml;
};

/// The final file names an output spec produces (one, or one per channel).
std::vector<std::string> outputPaths(const OutputSpec& spec);

class SoundOutput
{
public:
    SoundOutput();
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    /// Creates the temporary files. False with a one-line reason in `error`.
    bool open(const OutputSpec& spec, std::string& error);
    /// Opens no file: the samples are only measured (peakLevel()), for the
    /// first pass of a normalisation. commit() then writes nothing.
    void openForMeasuring(const OutputSpec& spec);
    /// Appends `frames` frames of every channel of the output.
    bool write(const double* const* channels, int frames, std::string& error);
    bool write(const float* const* channels, int frames, std::string& error);

    /// The two halves of write(), for a caller that converts on one thread
    /// and writes on another: pack() turns `frames` frames of every channel
    /// into the files' bytes in `bytes` (packedBytes(frames) of them), and
    /// writePacked() appends those bytes. Blocks must be packed in the order
    /// they are written, one at a time (dither and the clip count carry on
    /// from block to block).
    size_t packedBytes(int frames) const;
    void pack(const double* const* channels, int frames, unsigned char* bytes);
    void pack(const float* const* channels, int frames, unsigned char* bytes);
    bool writePacked(const unsigned char* bytes, int frames, std::string& error);
    /// Finishes the files and moves them to their final names.
    bool commit(std::string& error);
    /// Closes and deletes the temporary files (also done by the destructor
    /// when commit() has not succeeded).
    void abandon();

    /// Samples outside -1..1 that a fixed-point format had to clip.
    int64_t clippedSamples() const { return clipped_; }
    /// The largest magnitude of any sample after the gain, before clipping
    /// (1 is full scale); 0 for silence.
    double peakLevel() const { return peak_; }
    /// Channels written per frame (over all files).
    int channels() const { return static_cast<int>(spec_.channelNames.size()); }
    /// True when the multi-channel file is written as RF64.
    bool isRf64() const { return rf64_; }

private:
    /// The chunks libsndfile does not write as they should be: this decode's
    /// line closes the coding history, the iXML chunk follows the data.
    bool finishMetadata(size_t file);
    template <typename Sample> void packAny(const Sample* const* channels, int frames, unsigned char* bytes);

    OutputSpec spec_;
    std::vector<std::string> finalPaths_; ///< as the user named them
    std::vector<std::string> targets_;    ///< the files they stand for, past symbolic links
    std::vector<std::string> tempPaths_;
    std::vector<SNDFILE*> files_;
    std::vector<unsigned char> packed_; ///< interleaved little-endian samples
    std::string historyLine_;           ///< the line this decode adds to the coding history
    std::unique_ptr<Dither> dither_;
    int64_t clipped_ = 0;
    double peak_ = 0.0;
    bool measuring_ = false;
    bool rf64_ = false;
    bool committed_ = false;
};

} // namespace render
