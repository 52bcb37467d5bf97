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
};

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
            std::vector<Sample>& buf = scratch(static_cast<Sample*>(nullptr));
            if (buf.size() < static_cast<size_t>(n) * channels)
                buf.resize(static_cast<size_t>(n) * channels);
            const int want = static_cast<int>(std::min<int64_t>(n, f.remaining));
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
