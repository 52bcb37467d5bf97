#include "SoundOutput.h"

#include "IxmlTracks.h"
#include "OutputFiles.h"
#include "WaveChunks.h"

#include <sndfile.h>

#include <fcntl.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace render
{

// Triangular dither of one step peak: the sum of two uniform values, which
// makes the rounding error independent of the signal. Seeded the same on
// every run, so that a decode is reproducible.
class Dither
{
public:
    /// Noise in steps, -1 .. 1.
    double next() { return uniform() + uniform() - 1.0; }

private:
    double uniform()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) * (1.0 / 9007199254740992.0); // 0 .. 1
    }
    uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

namespace
{

// Plain WAV sizes are 32-bit: data and chunks together stay below this.
constexpr uint64_t kWavSizeLimit = 0xFFFFFFFFull;

int bytesPerSample(SampleFormat f)
{
    switch (f)
    {
    case SampleFormat::Pcm16:
        return 2;
    case SampleFormat::Pcm24:
        return 3;
    case SampleFormat::Float32:
        return 4;
    case SampleFormat::Float64:
        return 8;
    }
    return 4;
}

int subtype(SampleFormat f)
{
    switch (f)
    {
    case SampleFormat::Pcm16:
        return SF_FORMAT_PCM_16;
    case SampleFormat::Pcm24:
        return SF_FORMAT_PCM_24;
    case SampleFormat::Float32:
        return SF_FORMAT_FLOAT;
    case SampleFormat::Float64:
        return SF_FORMAT_DOUBLE;
    }
    return SF_FORMAT_FLOAT;
}

std::string stem(const std::string& path)
{
    const std::string ext = ".wav";
    if (path.size() > ext.size())
    {
        std::string tail = path.substr(path.size() - ext.size());
        for (char& c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ext)
            return path.substr(0, path.size() - ext.size());
    }
    return path;
}

// The fixed part of a broadcast-wave chunk before its coding history:
// description, originator, reference, date, time, time reference, version,
// UMID, loudness and reserved bytes.
constexpr size_t kBextHistoryOffset = 256 + 32 + 32 + 10 + 8 + 8 + 2 + 64 + 10 + 180;

// Room for the chunks before and after the data: a plain WAV file of
// `dataBytes` plus these stays below 4 GiB, or RF64 is chosen.
uint64_t metadataBytes(const OutputSpec& spec)
{
    const uint64_t header = 1024;
    const uint64_t bext =
        spec.hasBroadcastInfo ? 8 + kBextHistoryOffset + sizeof spec.broadcastInfo.coding_history : 0;
    const uint64_t ixml = spec.ixml.empty() ? 0 : 8 + spec.ixml.size() + 256 * (spec.channelNames.size() + 1);
    return header + bext + ixml;
}

// EBU's coding-history line for one file of the output.
std::string historyLine(const OutputSpec& spec, int channels)
{
    const int bits = spec.format == SampleFormat::Pcm16     ? 16
                     : spec.format == SampleFormat::Pcm24   ? 24
                     : spec.format == SampleFormat::Float32 ? 32
                                                            : 64;
    const std::string mode = channels == 1   ? "mono"
                             : channels == 2 ? "stereo"
                                             : std::to_string(channels) + "chn";
    std::string text = spec.historyText;
    std::replace(text.begin(), text.end(), ',', ' '); // commas separate the line's fields
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }),
               text.end());
    return "A=PCM,F=" + std::to_string(spec.sampleRate) + ",W=" + std::to_string(bits) + ",M=" + mode +
           ",T=" + text + "\r\n";
}

} // namespace

std::vector<std::string> outputPaths(const OutputSpec& spec)
{
    if (!spec.monoFiles)
        return {spec.path};
    std::vector<std::string> paths;
    const std::string base = stem(spec.path);
    for (const std::string& name : spec.channelNames)
        paths.push_back(base + "." + name + ".wav");
    return paths;
}

SoundOutput::SoundOutput() = default;

void SoundOutput::openForMeasuring(const OutputSpec& spec)
{
    spec_ = spec;
    measuring_ = true;
}

SoundOutput::~SoundOutput()
{
    if (!committed_)
        abandon();
}

bool SoundOutput::open(const OutputSpec& spec, std::string& error)
{
    spec_ = spec;
    finalPaths_ = outputPaths(spec);
    if (spec.dither && (spec.format == SampleFormat::Pcm16 || spec.format == SampleFormat::Pcm24))
        dither_ = std::make_unique<Dither>();
    const int channels = static_cast<int>(spec.channelNames.size());
    const int channelsEach = spec.monoFiles ? 1 : channels;
    const uint64_t dataBytes =
        static_cast<uint64_t>(spec.frames > 0 ? spec.frames : 0) * channelsEach * bytesPerSample(spec.format);
    rf64_ = spec.forceRf64 || dataBytes + metadataBytes(spec) > kWavSizeLimit;
    historyLine_ = historyLine(spec, channelsEach);

    for (const std::string& path : finalPaths_)
    {
        std::string target;
        mode_t mode = 0;
        if (!prepareOutputTarget(path, target, mode, error))
        {
            abandon();
            return false;
        }
        removeStaleTemporaries(target);
        const std::string temp = temporaryPathFor(target);
        int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno == EEXIST && ::unlink(temp.c_str()) == 0) // this process's number, reused
            fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0)
        {
            error = "cannot create '" + path + "': " + std::strerror(errno);
            abandon();
            return false;
        }
        targets_.push_back(target);
        tempPaths_.push_back(temp);
        ::fchmod(fd, mode); // the umask does not cut down the permissions of a replaced file
        SF_INFO info{};
        info.samplerate = spec.sampleRate;
        info.channels = channelsEach;
        const int container = rf64_ ? SF_FORMAT_RF64 : (spec.monoFiles ? SF_FORMAT_WAV : SF_FORMAT_WAVEX);
        info.format = container | subtype(spec.format);
        SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
        if (!file)
        {
            error = "cannot write '" + path + "': " + sf_strerror(nullptr);
            ::close(fd);
            abandon();
            return false;
        }
        files_.push_back(file);
        if (spec.hasBroadcastInfo)
        {
            // The input's history, then this decode's line (when it fits).
            BroadcastInfo bi = spec.broadcastInfo;
            const size_t room = sizeof bi.coding_history;
            std::string history(bi.coding_history, strnlen(bi.coding_history, room));
            if (!history.empty() && history.back() != '\n')
                history += "\r\n";
            if (history.size() + historyLine_.size() < room)
                history += historyLine_;
            std::memset(bi.coding_history, 0, room);
            std::memcpy(bi.coding_history, history.data(), history.size());
            bi.coding_history_size = static_cast<uint32_t>(history.size());
            // Some containers carry no broadcast chunk; the audio matters more.
            sf_command(file, SFC_SET_BROADCAST_INFO, &bi, sizeof bi);
        }
    }
    return true;
}

namespace
{

// Full scale of the fixed-point formats: a sample read back by libsndfile as
// x / 2^(bits-1) round-trips exactly. 1.0 itself becomes the largest code.
template <int Bits> struct FixedPoint
{
    static constexpr double kScale = static_cast<double>(1 << (Bits - 1));
    static constexpr double kMax = kScale - 1.0;
    static constexpr double kMin = -kScale;
};

// What packing learns about the samples it converts: how many went beyond
// full scale and the largest magnitude, both after the gain.
struct SampleLevels
{
    int64_t beyond = 0;
    double peak = 0.0;
};

// One sample to a fixed-point code: clipped to the format's range, rounded
// to nearest (ties to even, as lrint), and silence for not-a-number.
// With a dither, exact zeros stay digital silence (the low-frequency
// channel, muted groups).
template <int Bits, typename Sample>
inline int32_t toFixed(Sample v, double gain, Dither* dither, SampleLevels& levels)
{
    const double x0 = static_cast<double>(v) * gain;
    levels.beyond += std::fabs(x0) > 1.0;
    double x = x0 * FixedPoint<Bits>::kScale;
    if (dither && x0 != 0.0)
        x += dither->next();
    x = x > FixedPoint<Bits>::kMax ? FixedPoint<Bits>::kMax : x;
    x = x < FixedPoint<Bits>::kMin ? FixedPoint<Bits>::kMin : x;
    x = x == x ? x : 0.0;
    return static_cast<int32_t>(std::lrint(x));
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "WAV data is little-endian; this packing assumes the host is too");

// Fixed-point codes of Bits / 8 bytes without dither, for a channel count
// known when compiling: the channel pointers stay in registers and the
// clipping needs no branches. The same codes as toFixed: not-a-number is
// silence, the range is clipped, the rest rounds to nearest, ties to even.
template <int Bits, int Channels, typename Sample>
void packPlain(const Sample* const* in, int frames, double gain, unsigned char* out, SampleLevels& levels)
{
    constexpr int bytes = Bits / 8;
    const Sample* p[Channels];
    for (int c = 0; c < Channels; ++c)
        p[c] = in[c];
    int64_t beyond = 0; // a local count keeps the loop out of memory
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < Channels; ++c, out += bytes)
        {
            const double x0 = static_cast<double>(p[c][i]) * gain;
            beyond += std::fabs(x0) > 1.0;
            double x = x0 * FixedPoint<Bits>::kScale;
            x = x == x ? x : 0.0;
            x = x < FixedPoint<Bits>::kMax ? x : FixedPoint<Bits>::kMax;
            x = x > FixedPoint<Bits>::kMin ? x : FixedPoint<Bits>::kMin;
            const int32_t code = static_cast<int32_t>(std::lrint(x));
            std::memcpy(out, &code, bytes == 2 ? 2 : 4);
        }
    levels.beyond += beyond;
}

// Planar samples to little-endian interleaved fixed-point bytes, `channels`
// wide: the common channel counts without dither take the fast path.
template <int Bits, typename Sample>
void packFixed(const Sample* const* in, int channels, int frames, double gain, Dither* dither,
               unsigned char* out, SampleLevels& levels)
{
    if (!dither)
        switch (channels)
        {
        case 1:
            return packPlain<Bits, 1>(in, frames, gain, out, levels);
        case 2:
            return packPlain<Bits, 2>(in, frames, gain, out, levels);
        case 4:
            return packPlain<Bits, 4>(in, frames, gain, out, levels);
        case 6:
            return packPlain<Bits, 6>(in, frames, gain, out, levels);
        default:
            break;
        }
    constexpr int bytes = Bits / 8;
    SampleLevels local = levels;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c, out += bytes)
        {
            const int32_t code = toFixed<Bits>(in[c][i], gain, dither, local);
            std::memcpy(out, &code, bytes == 2 ? 2 : 4);
        }
    levels = local;
}

// Floating-point samples: the gain in double precision, then the format.
// Nothing is clipped.
template <typename Out, typename Sample>
void packFloat(const Sample* const* in, int channels, int frames, double gain, unsigned char* out)
{
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c, out += sizeof(Out))
        {
            const Out v = static_cast<Out>(static_cast<double>(in[c][i]) * gain);
            std::memcpy(out, &v, sizeof(Out));
        }
}

// The largest magnitude in one channel's samples, in a loop of its own
// with four running maxima in registers, so that no maximum waits for the
// one before (a single running maximum made a long decode a tenth slower).
// Not-a-number is passed over: it becomes silence.
template <typename Sample> double channelPeak(const Sample* p, int frames)
{
    Sample m0 = 0, m1 = 0, m2 = 0, m3 = 0;
    int i = 0;
    for (; i + 4 <= frames; i += 4)
    {
        const Sample a0 = std::fabs(p[i]), a1 = std::fabs(p[i + 1]);
        const Sample a2 = std::fabs(p[i + 2]), a3 = std::fabs(p[i + 3]);
        m0 = a0 > m0 ? a0 : m0;
        m1 = a1 > m1 ? a1 : m1;
        m2 = a2 > m2 ? a2 : m2;
        m3 = a3 > m3 ? a3 : m3;
    }
    for (; i < frames; ++i)
    {
        const Sample a = std::fabs(p[i]);
        m0 = a > m0 ? a : m0;
    }
    m0 = m1 > m0 ? m1 : m0;
    m2 = m3 > m2 ? m3 : m2;
    return static_cast<double>(m2 > m0 ? m2 : m0);
}

// Planar samples to little-endian interleaved bytes, `channels` wide.
// `out` has 4 bytes of room beyond the data: 24-bit codes are stored as
// 4-byte words whose top byte the next store overwrites.
template <typename Sample>
void packFrames(const Sample* const* in, int channels, int frames, SampleFormat format, double gain,
                Dither* dither, unsigned char* out, SampleLevels& levels)
{
    switch (format)
    {
    case SampleFormat::Pcm16:
        packFixed<16>(in, channels, frames, gain, dither, out, levels);
        break;
    case SampleFormat::Pcm24:
        packFixed<24>(in, channels, frames, gain, dither, out, levels);
        break;
    case SampleFormat::Float32:
        packFloat<float>(in, channels, frames, gain, out);
        break;
    case SampleFormat::Float64:
        packFloat<double>(in, channels, frames, gain, out);
        break;
    }
}

} // namespace

size_t SoundOutput::packedBytes(int frames) const
{
    if (measuring_)
        return 4;
    // Each file's bytes one after the other; 4 bytes of room at the end for
    // the 24-bit packing's overlapping stores.
    return static_cast<size_t>(frames > 0 ? frames : 0) * spec_.channelNames.size() *
               static_cast<size_t>(bytesPerSample(spec_.format)) +
           4;
}

template <typename Sample>
void SoundOutput::packAny(const Sample* const* channels, int frames, unsigned char* bytes)
{
    if (frames <= 0)
        return;
    SampleLevels levels{clipped_, peak_};
    for (size_t c = 0; c < spec_.channelNames.size(); ++c)
        levels.peak = std::max(levels.peak, channelPeak(channels[c], frames) * std::fabs(spec_.gain));
    const int channelsEach = spec_.monoFiles ? 1 : static_cast<int>(spec_.channelNames.size());
    const size_t fileBytes = static_cast<size_t>(frames) * channelsEach * bytesPerSample(spec_.format);
    for (size_t f = 0; f < files_.size(); ++f)
        packFrames(spec_.monoFiles ? channels + f : channels, channelsEach, frames, spec_.format, spec_.gain,
                   dither_.get(), bytes + f * fileBytes, levels);
    // Floating-point files hold what is beyond full scale; only fixed point clips.
    const bool clips = spec_.format == SampleFormat::Pcm16 || spec_.format == SampleFormat::Pcm24;
    clipped_ = clips ? levels.beyond : 0;
    peak_ = levels.peak;
}

void SoundOutput::pack(const double* const* channels, int frames, unsigned char* bytes)
{
    packAny(channels, frames, bytes);
}

void SoundOutput::pack(const float* const* channels, int frames, unsigned char* bytes)
{
    packAny(channels, frames, bytes);
}

bool SoundOutput::writePacked(const unsigned char* bytes, int frames, std::string& error)
{
    if (frames <= 0 || measuring_)
        return true;
    const int channelsEach = spec_.monoFiles ? 1 : static_cast<int>(spec_.channelNames.size());
    const size_t fileBytes = static_cast<size_t>(frames) * channelsEach * bytesPerSample(spec_.format);
    for (size_t f = 0; f < files_.size(); ++f)
        if (sf_write_raw(files_[f], bytes + f * fileBytes, static_cast<sf_count_t>(fileBytes)) !=
            static_cast<sf_count_t>(fileBytes))
        {
            error = "cannot write '" + finalPaths_[f] +
                    "': " + (sf_error(files_[f]) ? sf_strerror(files_[f]) : std::strerror(errno));
            return false;
        }
    return true;
}

bool SoundOutput::write(const double* const* channels, int frames, std::string& error)
{
    if (packed_.size() < packedBytes(frames))
        packed_.resize(packedBytes(frames));
    pack(channels, frames, packed_.data());
    return writePacked(packed_.data(), frames, error);
}

bool SoundOutput::write(const float* const* channels, int frames, std::string& error)
{
    if (packed_.size() < packedBytes(frames))
        packed_.resize(packedBytes(frames));
    pack(channels, frames, packed_.data());
    return writePacked(packed_.data(), frames, error);
}

bool SoundOutput::commit(std::string& error)
{
    if (measuring_)
        return true;
    for (size_t i = 0; i < files_.size(); ++i)
    {
        int err = sf_error(files_[i]);
        int closed = sf_close(files_[i]);
        files_[i] = nullptr;
        if (err != 0 || closed != 0)
        {
            error = "cannot finish '" + finalPaths_[i] + "': " + sf_error_number(err ? err : closed);
            abandon();
            return false;
        }
        // libsndfile chooses the speaker mask by the channel count alone (four
        // channels would read as quadraphonic speakers): set the layout's own.
        if (!spec_.monoFiles && !setWaveChannelMask(tempPaths_[i], spec_.channelMask))
        {
            error = "cannot finish '" + finalPaths_[i] + "': its channel mask could not be written";
            abandon();
            return false;
        }
        if (!finishMetadata(i))
        {
            error = "cannot finish '" + finalPaths_[i] + "': its iXML chunk could not be written";
            abandon();
            return false;
        }
    }
    files_.clear();
    for (size_t i = 0; i < tempPaths_.size(); ++i)
        if (std::rename(tempPaths_[i].c_str(), targets_[i].c_str()) != 0)
        {
            error = "cannot rename '" + tempPaths_[i] + "' to '" + targets_[i] + "': " + std::strerror(errno);
            // Files already moved stay; the rest are removed.
            tempPaths_.erase(tempPaths_.begin(), tempPaths_.begin() + static_cast<long>(i));
            abandon();
            return false;
        }
    tempPaths_.clear();
    committed_ = true;
    return true;
}

bool SoundOutput::finishMetadata(size_t file)
{
    const std::string& path = tempPaths_[file];
    std::string bext;
    if (spec_.hasBroadcastInfo && readWaveChunk(path, "bext", bext) && bext.size() > kBextHistoryOffset)
    {
        // libsndfile adds a line of its own after ours, naming itself as the
        // coder; the decode is ours, so the history ends with our line.
        const size_t ours = bext.rfind(historyLine_);
        if (ours != std::string::npos && ours >= kBextHistoryOffset)
        {
            bext.resize(ours + historyLine_.size());
            overwriteWaveChunk(path, "bext", bext);
        }
    }
    if (spec_.ixml.empty())
        return true;
    std::vector<IxmlTrack> tracks;
    const std::vector<std::string>& names = spec_.channelNames;
    for (size_t c = 0; c < names.size(); ++c)
        if (!spec_.monoFiles || c == file)
            tracks.push_back(
                {names[c], static_cast<int>(c) + 1, spec_.monoFiles ? 1 : static_cast<int>(c) + 1});
    return appendWaveChunk(path, "iXML", ixmlWithTracks(spec_.ixml, tracks));
}

void SoundOutput::abandon()
{
    for (SNDFILE* f : files_)
        if (f)
            sf_close(f);
    files_.clear();
    for (const std::string& temp : tempPaths_)
        ::unlink(temp.c_str());
    tempPaths_.clear();
}

} // namespace render
