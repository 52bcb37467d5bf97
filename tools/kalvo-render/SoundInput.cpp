#include "SoundInput.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace render
{

bool parseChannelOrder(const std::string& text, ChannelOrder& order, std::string& error)
{
    std::string letters;
    for (char c : text)
        if (c != ',' && c != ' ')
            letters += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool seen[3] = {false, false, false};
    if (letters.size() == 3)
        for (size_t i = 0; i < 3; ++i)
        {
            char c = letters[i];
            int role = (c == 'F' || c == 'M') ? kFrontMid : (c == 'S' ? kSide : (c == 'R' ? kRearMid : -1));
            if (role < 0 || seen[role])
                break;
            seen[role] = true;
            order[i] = static_cast<MicRole>(role);
        }
    if (!(seen[0] && seen[1] && seen[2]))
    {
        error = "--order expects the letters F (front mid), S (side) and R (rear mid) once each, not '" +
                text + "'";
        return false;
    }
    return true;
}

namespace
{

// One open file and the roles of its channels.
struct OpenFile
{
    SNDFILE* file = nullptr;
    SF_INFO info{};
    std::string path;
    std::vector<MicRole> roles;
    int64_t remaining = 0; // frames still in the file
    int rawWidth = 0;      // bytes per sample when the data is read raw, else 0
};

// Bytes per sample of little-endian PCM 16 and 24 and float data in the WAV
// family, which is read raw and converted here at a fraction of the cost;
// 0 for everything else, which libsndfile converts. Both give the same
// values: x / 2^15 and x / 2^23 are exact in float and double.
int rawSampleWidth(const SF_INFO& info)
{
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int endian = info.format & SF_FORMAT_ENDMASK;
    if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64) ||
        endian != SF_ENDIAN_FILE)
        return 0;
    switch (info.format & SF_FORMAT_SUBMASK)
    {
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_FLOAT:
        return 4;
    default:
        return 0;
    }
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "raw WAV data is read as little-endian");

template <typename Sample>
void unpackRaw(const unsigned char* raw, int width, int channels, int channel, int frames, Sample* dst)
{
    const size_t stride = static_cast<size_t>(width) * channels;
    const unsigned char* p = raw + static_cast<size_t>(width) * channel;
    switch (width)
    {
    case 2:
        for (int i = 0; i < frames; ++i, p += stride)
        {
            int16_t x;
            std::memcpy(&x, p, 2);
            dst[i] = static_cast<Sample>(x * (1.0 / 32768.0));
        }
        break;
    case 3:
        for (int i = 0; i < frames; ++i, p += stride)
        {
            const int32_t x =
                static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                     static_cast<uint32_t>(p[2]) << 24) >>
                8;
            dst[i] = static_cast<Sample>(x * (1.0 / 8388608.0));
        }
        break;
    default:
        for (int i = 0; i < frames; ++i, p += stride)
        {
            float x;
            std::memcpy(&x, p, 4);
            dst[i] = static_cast<Sample>(x);
        }
        break;
    }
}

class FileSource : public FrameSource
{
public:
    ~FileSource() override
    {
        for (OpenFile& f : files_)
            if (f.file)
                sf_close(f.file);
    }

    bool open(const std::vector<std::string>& paths, const ChannelOrder& order, std::string& error)
    {
        const int channelsEach = paths.size() == 1 ? 3 : 1;
        for (size_t i = 0; i < paths.size(); ++i)
        {
            OpenFile f;
            f.path = paths[i];
            struct stat st;
            if (::stat(paths[i].c_str(), &st) != 0)
            {
                error = "cannot open '" + paths[i] + "': " + std::strerror(errno);
                return false;
            }
            if (S_ISDIR(st.st_mode))
            {
                error = "'" + paths[i] + "' is a directory, not a sound file";
                return false;
            }
            f.file = sf_open(paths[i].c_str(), SFM_READ, &f.info);
            if (!f.file)
            {
                error = "cannot read '" + paths[i] + "': " + sf_strerror(nullptr);
                return false;
            }
            files_.push_back(f);
            if (f.info.channels != channelsEach)
            {
                error = "'" + paths[i] + "' has " + std::to_string(f.info.channels) + " channel" +
                        (f.info.channels == 1 ? "" : "s") + ", expected " +
                        (channelsEach == 3 ? "3 (front mid, side, rear mid) or three mono files" : "1");
                return false;
            }
            if (f.info.frames < 0)
            {
                error = "cannot tell the length of '" + paths[i] + "'";
                return false;
            }
            if (channelsEach == 3)
                files_.back().roles.assign(order.begin(), order.end());
            else
                files_.back().roles.assign(1, order[i]);
            files_.back().remaining = f.info.frames;
            files_.back().rawWidth = rawSampleWidth(f.info);
        }
        rate_ = files_[0].info.samplerate;
        frames_ = 0;
        for (const OpenFile& f : files_)
        {
            if (f.info.samplerate != rate_)
            {
                error = "'" + f.path + "' runs at " + std::to_string(f.info.samplerate) + " Hz but '" +
                        files_[0].path + "' at " + std::to_string(rate_) + " Hz";
                return false;
            }
            frames_ = std::max<int64_t>(frames_, f.info.frames);
        }
        if (rate_ <= 0)
        {
            error = "'" + files_[0].path + "' has no valid sample rate";
            return false;
        }
        for (const OpenFile& f : files_)
            if (f.info.frames != frames_)
                warning_ = "the input files differ in length; the shorter ones are padded with silence";
        return true;
    }

    int sampleRate() const override { return rate_; }
    int64_t frames() const override { return frames_; }
    std::string error() const override { return error_; }
    std::string warning() const override { return warning_; }
    bool broadcastInfo(SF_BROADCAST_INFO& info) const override
    {
        for (const OpenFile& f : files_)
        {
            SF_BROADCAST_INFO bi{};
            if (sf_command(f.file, SFC_GET_BROADCAST_INFO, &bi, sizeof bi) == SF_TRUE)
            {
                info = bi;
                return true;
            }
        }
        return false;
    }
    bool mayHoldNonFinite() const override
    {
        for (const OpenFile& f : files_)
        {
            const int subtype = f.info.format & SF_FORMAT_SUBMASK;
            if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE)
                return true;
        }
        return false;
    }

    int read(double* const out[3], int count) override { return readAny(out, count); }
    int read(float* const out[3], int count) override { return readAny(out, count); }

private:
    static sf_count_t readFrames(SNDFILE* f, double* buf, sf_count_t n) { return sf_readf_double(f, buf, n); }
    static sf_count_t readFrames(SNDFILE* f, float* buf, sf_count_t n) { return sf_readf_float(f, buf, n); }
    std::vector<double>& scratch(double*) { return scratchDouble_; }
    std::vector<float>& scratch(float*) { return scratchFloat_; }

    template <typename Sample> int readAny(Sample* const out[3], int count)
    {
        const int64_t left = frames_ - position_;
        const int n = static_cast<int>(std::min<int64_t>(count, left));
        if (n <= 0)
            return 0;
        for (OpenFile& f : files_)
        {
            const int channels = f.info.channels;
            const int want = static_cast<int>(std::min<int64_t>(n, f.remaining));
            if (f.rawWidth)
            {
                const size_t bytes = static_cast<size_t>(want) * channels * f.rawWidth;
                if (raw_.size() < bytes)
                    raw_.resize(bytes);
                if (want > 0 && sf_read_raw(f.file, raw_.data(), static_cast<sf_count_t>(bytes)) !=
                                    static_cast<sf_count_t>(bytes))
                {
                    error_ = "cannot read '" + f.path +
                             "': " + (sf_error(f.file) ? sf_strerror(f.file) : "the file ends early");
                    return -1;
                }
                f.remaining -= want;
                for (int c = 0; c < channels; ++c)
                {
                    Sample* dst = out[f.roles[static_cast<size_t>(c)]];
                    unpackRaw(raw_.data(), f.rawWidth, channels, c, want, dst);
                    std::fill(dst + want, dst + n, Sample(0)); // padding of a shorter file
                }
                continue;
            }
            std::vector<Sample>& buf = scratch(static_cast<Sample*>(nullptr));
            if (buf.size() < static_cast<size_t>(n) * channels)
                buf.resize(static_cast<size_t>(n) * channels);
            sf_count_t got = want > 0 ? readFrames(f.file, buf.data(), want) : 0;
            if (got < want)
            {
                error_ = "cannot read '" + f.path +
                         "': " + (sf_error(f.file) ? sf_strerror(f.file) : "the file ends early");
                return -1;
            }
            f.remaining -= got;
            for (int c = 0; c < channels; ++c)
            {
                Sample* dst = out[f.roles[static_cast<size_t>(c)]];
                const Sample* src = buf.data() + c;
                for (int i = 0; i < want; ++i)
                    dst[i] = src[static_cast<size_t>(i) * channels];
                std::fill(dst + want, dst + n, Sample(0)); // padding of a shorter file
            }
        }
        position_ += n;
        return n;
    }

    std::vector<OpenFile> files_;
    int rate_ = 0;
    int64_t frames_ = 0;
    int64_t position_ = 0;
    std::vector<double> scratchDouble_;
    std::vector<float> scratchFloat_;
    std::vector<unsigned char> raw_;
    std::string error_;
    std::string warning_;
};

class MemorySource : public FrameSource
{
public:
    MemorySource(std::array<std::vector<double>, 3> signals, int rate)
        : signals_(std::move(signals)), rate_(rate)
    {
    }

    int sampleRate() const override { return rate_; }
    int64_t frames() const override { return static_cast<int64_t>(signals_[0].size()); }
    bool mayHoldNonFinite() const override { return false; }
    int read(double* const out[3], int count) override { return readAny(out, count); }
    int read(float* const out[3], int count) override { return readAny(out, count); }

private:
    template <typename Sample> int readAny(Sample* const out[3], int count)
    {
        const int n = static_cast<int>(std::min<int64_t>(count, frames() - position_));
        if (n <= 0)
            return 0;
        for (int r = 0; r < 3; ++r)
            for (int i = 0; i < n; ++i)
                out[r][i] =
                    static_cast<Sample>(signals_[static_cast<size_t>(r)][static_cast<size_t>(position_ + i)]);
        position_ += n;
        return n;
    }

    std::array<std::vector<double>, 3> signals_;
    int rate_;
    int64_t position_ = 0;
};

} // namespace

std::unique_ptr<FrameSource> openSoundInput(const std::vector<std::string>& paths, const ChannelOrder& order,
                                            std::string& error)
{
    if (paths.size() != 1 && paths.size() != 3)
    {
        error = "give one 3-channel input file or three mono files";
        return nullptr;
    }
    auto source = std::make_unique<FileSource>();
    if (!source->open(paths, order, error))
        return nullptr;
    return source;
}

std::unique_ptr<FrameSource> memorySource(std::array<std::vector<double>, 3> signals, int sampleRate)
{
    return std::make_unique<MemorySource>(std::move(signals), sampleRate);
}

} // namespace render
