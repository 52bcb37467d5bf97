#include "SoundInput.h"

#include "IxmlTracks.h"
#include "WaveChunks.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

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

bool parseTrackList(const std::string& text, std::vector<std::string>& tracks, std::string& error)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(text.substr(start, comma - start));
    parts.push_back(text.substr(start));
    for (std::string& p : parts)
    {
        const size_t a = p.find_first_not_of(' ');
        p = a == std::string::npos ? std::string() : p.substr(a, p.find_last_not_of(' ') - a + 1);
        if (p.empty())
            parts.clear();
    }
    if (parts.size() != 3)
    {
        error = "--tracks expects three tracks, front mid, side and rear mid, by number or name "
                "(--tracks 1,2,3 or --tracks MID,SIDE,REAR), not '" +
                text + "'";
        return false;
    }
    tracks = parts;
    return true;
}

namespace
{

// Shared by every thread of a batch: libsndfile reports a failed open in one
// process-wide place.
std::mutex gOpenMutex;

constexpr int kIgnored = -1; // a track --tracks did not pick

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "1 MID, 2 SIDE, 3 BOOM" (numbers only where the file names no track).
std::string trackListText(const std::vector<std::string>& names)
{
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i ? ", " : "") + std::to_string(i + 1) + (names[i].empty() ? "" : " " + names[i]);
    return text;
}

// The channel (from 0) of each role's track by the name the recorder gave
// it: MID or FRONT, SIDE, REAR or BACK within the name, or just M, F, S, R.
// False unless each role has exactly one track.
bool rolesByName(const std::vector<std::string>& names, int found[3])
{
    found[0] = found[1] = found[2] = -1;
    bool clear = true;
    for (size_t i = 0; i < names.size(); ++i)
    {
        const std::string n = upper(names[i]);
        auto has = [&](const char* word) { return n.find(word) != std::string::npos; };
        const int role = has("REAR") || has("BACK") || n == "R"               ? kRearMid
                         : has("SIDE") || n == "S"                            ? kSide
                         : has("MID") || has("FRONT") || n == "M" || n == "F" ? kFrontMid
                                                                              : kIgnored;
        if (role == kIgnored)
            continue;
        clear = clear && found[role] < 0;
        found[role] = static_cast<int>(i);
    }
    return clear && found[0] >= 0 && found[1] >= 0 && found[2] >= 0;
}

// The --tracks line for a file: by the recorder's names when they say which
// track is which, else by number.
std::string suggestedTracks(const std::vector<std::string>& names)
{
    int found[3];
    if (!rolesByName(names, found))
        return "1,2,3";
    // Names with a comma or that differ only in case would not pick them back.
    std::string line;
    for (int role = 0; role < 3; ++role)
    {
        const std::string& name = names[static_cast<size_t>(found[role])];
        for (size_t j = 0; j < names.size(); ++j)
            if (static_cast<int>(j) != found[role] && upper(names[j]) == upper(name))
                return "1,2,3";
        if (name.find(',') != std::string::npos || name.find('\'') != std::string::npos)
            return "1,2,3";
        line += (role ? "," : "") + name;
    }
    return line.find(' ') == std::string::npos ? line : "'" + line + "'";
}

// "2 channels (1 L, 2 R)": what a file holds, with the names it gives them.
std::string channelsText(const std::vector<std::string>& names)
{
    const size_t n = names.size();
    std::string text = std::to_string(n) + (n == 1 ? " channel" : " channels");
    bool anyName = false;
    for (const std::string& name : names)
        anyName = anyName || !name.empty();
    return anyName ? text + " (" + trackListText(names) + ")" : text;
}

// The error for a file with fewer than the three signals a decode needs.
std::string tooFewTracks(const std::string& path, const std::vector<std::string>& names)
{
    std::string text = "'" + path + "' has " + channelsText(names) +
                       "; a decode needs three: front mid, side and rear mid. ";
    if (names.size() == 1)
        return text + "If it is one capsule of three mono files, give all three: kalvo-render '" + path +
               "' SIDE.wav REAR.wav OUT.wav";
    return text + "Its tracks are not a surround M/S recording on their own; with the third in a file of its "
                  "own, give three mono files: kalvo-render FRONT.wav SIDE.wav REAR.wav OUT.wav";
}

// Which role each channel of a file carries, from the --tracks picks.
bool pickTracks(const std::string& path, const std::vector<std::string>& names,
                const std::vector<std::string>& tracks, std::vector<int>& roles, std::string& error)
{
    const int channels = static_cast<int>(names.size());
    if (channels < 3)
    {
        error = "--tracks: " + tooFewTracks(path, names);
        return false;
    }
    roles.assign(names.size(), kIgnored);
    bool anyName = false;
    for (const std::string& n : names)
        anyName = anyName || !n.empty();
    for (int role = 0; role < 3; ++role)
    {
        const std::string& pick = tracks[static_cast<size_t>(role)];
        int channel = -1; // 0-based
        if (pick.find_first_not_of("0123456789") == std::string::npos)
        {
            const long number = pick.size() > 6 ? 0 : std::strtol(pick.c_str(), nullptr, 10);
            if (number < 1 || number > channels)
            {
                error = "--tracks: '" + path + "' has no track " + pick + "; its tracks are " +
                        trackListText(names) + "; e.g. --tracks " + suggestedTracks(names);
                return false;
            }
            channel = static_cast<int>(number - 1);
        }
        else
        {
            std::vector<int> matches;
            for (int c = 0; c < channels; ++c)
                if (!names[static_cast<size_t>(c)].empty() &&
                    upper(names[static_cast<size_t>(c)]) == upper(pick))
                    matches.push_back(c);
            if (matches.empty())
            {
                error = anyName ? "--tracks: no track of '" + path + "' is named '" + pick +
                                      "'; its tracks are " + trackListText(names) + "; e.g. --tracks " +
                                      suggestedTracks(names)
                                : "--tracks: '" + path + "' has " + std::to_string(channels) +
                                      " tracks and names none (it has no iXML track list); pick three by "
                                      "number, e.g. --tracks 1,2,3";
                return false;
            }
            if (matches.size() > 1)
            {
                error = "--tracks: '" + pick + "' names tracks " + std::to_string(matches[0] + 1) + " and " +
                        std::to_string(matches[1] + 1) + " of '" + path + "' (" + trackListText(names) +
                        "); pick that one by number instead, e.g. " + std::to_string(matches[0] + 1);
                return false;
            }
            channel = matches[0];
        }
        if (roles[static_cast<size_t>(channel)] != kIgnored)
        {
            error = "--tracks picks track " + std::to_string(channel + 1) + " of '" + path +
                    "' twice; front mid, side and rear mid are three different tracks of its " +
                    trackListText(names) + ", e.g. --tracks " + suggestedTracks(names);
            return false;
        }
        roles[static_cast<size_t>(channel)] = role;
    }
    return true;
}

// One open file and the roles of its channels.
struct OpenFile
{
    SNDFILE* file = nullptr;
    SF_INFO info{};
    std::string path;
    std::vector<int> roles; // kIgnored for a track nobody picked
    int64_t remaining = 0;  // frames the header promises still
    int64_t missing = 0;    // frames the header promised that were not there
    int rawWidth = 0;       // bytes per sample when the data is read raw, else 0
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

    bool open(const std::vector<std::string>& paths, const ChannelOrder& order,
              const std::vector<std::string>& tracks, std::string& error)
    {
        if (!tracks.empty() && paths.size() != 1)
        {
            error = "--tracks picks the tracks of one polyphonic file, not of three mono files";
            return false;
        }
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
            {
                std::lock_guard<std::mutex> lock(gOpenMutex);
                f.file = sf_open(paths[i].c_str(), SFM_READ, &f.info);
                if (!f.file)
                {
                    error = "cannot read '" + paths[i] + "': " + sf_strerror(nullptr);
                    return false;
                }
            }
            files_.push_back(f);
            // A recorder's iXML is a few kilobytes; a chunk of megabytes is not one.
            constexpr uint64_t kMaxIxmlBytes = 1 << 20;
            std::string xml;
            const bool hasIxml = readWaveChunk(paths[i], "iXML", xml, kMaxIxmlBytes);
            if (hasIxml && ixml_.empty())
                ixml_ = xml;
            const IxmlFacts facts = readIxml(xml, f.info.channels);
            if (hasIxml && !facts.parsed)
                addWarning("the iXML chunk of '" + paths[i] + "' is not well-formed XML (" + facts.error +
                           "); its tracks have no names, and the decode keeps the chunk as it is");
            const std::vector<std::string>& names = facts.trackNames;
            if (!tracks.empty())
            {
                if (!pickTracks(paths[i], names, tracks, files_.back().roles, error))
                    return false;
            }
            else if (channelsEach == 3 && f.info.channels > 3)
            {
                error = "'" + paths[i] + "' has " + std::to_string(f.info.channels) + " tracks (" +
                        trackListText(names) + "); pick the front mid, side and rear mid with --tracks " +
                        suggestedTracks(names);
                return false;
            }
            else if (f.info.channels != channelsEach)
            {
                if (channelsEach == 3)
                    error = tooFewTracks(paths[i], names);
                else
                    error =
                        "'" + paths[i] + "' has " + channelsText(names) +
                        ", expected 1: three mono files are one capsule each" +
                        (f.info.channels == 3 ? "; a 3-channel recording is decoded alone: kalvo-render '" +
                                                    paths[i] + "' OUT.wav"
                         : f.info.channels > 3 ? "; a take of " + std::to_string(f.info.channels) +
                                                     " tracks is decoded alone: kalvo-render '" + paths[i] +
                                                     "' OUT.wav --tracks " + suggestedTracks(names)
                                               : std::string());
                return false;
            }
            if (f.info.frames < 0)
            {
                error = "cannot tell the length of '" + paths[i] + "'";
                return false;
            }
            int named[3];
            if (tracks.empty() && channelsEach == 3 && rolesByName(names, named) &&
                (order[static_cast<size_t>(named[0])] != kFrontMid ||
                 order[static_cast<size_t>(named[1])] != kSide))
            {
                // The recorder's names disagree with the order the tracks are taken in.
                const char* letters = "FSR";
                addWarning("'" + paths[i] + "' names its tracks " + trackListText(names) +
                           " but they are taken as " + letters[order[0]] + letters[order[1]] +
                           letters[order[2]] +
                           " (F front mid, S side, R rear mid); if the names are right, use --tracks " +
                           suggestedTracks(names));
            }
            if (tracks.empty() && channelsEach == 3)
                files_.back().roles.assign(order.begin(), order.end());
            else if (tracks.empty())
                files_.back().roles.assign(1, order[i]);
            // libsndfile sizes a cut-off WAV file by what is there; the header says
            // how much should have been, and the run tells what is missing.
            const int64_t declared = declaredWaveFrames(paths[i]);
            files_.back().info.frames = std::max<int64_t>(f.info.frames, declared);
            files_.back().remaining = files_.back().info.frames;
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
            {
                addWarning("the input files differ in length; the shorter ones are padded with silence");
                break;
            }
        return true;
    }

    int sampleRate() const override { return rate_; }
    int64_t frames() const override { return frames_; }
    std::string error() const override { return error_; }
    std::string warning() const override { return warning_; }
    std::string shortfallWarning() const override
    {
        std::string names;
        for (const OpenFile& f : files_)
            if (f.missing > 0)
                names += (names.empty() ? "'" : ", '") + f.path + "'";
        if (names.empty())
            return {};
        return names + " ended " + durationText(frames_ - position_, rate_) +
               " before the header said (a recording cut off?); decoded the " +
               durationText(position_, rate_) + " that were there";
    }
    bool broadcastInfo(BroadcastInfo& info) const override
    {
        for (const OpenFile& f : files_)
        {
            info = BroadcastInfo{};
            if (sf_command(f.file, SFC_GET_BROADCAST_INFO, &info, sizeof info) == SF_TRUE)
                return true;
        }
        return false;
    }
    std::string ixml() const override { return ixml_; }
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
    // Several things worth telling are told on one line.
    void addWarning(const std::string& line) { warning_ += (warning_.empty() ? "" : "; ") + line; }

    static sf_count_t readFrames(SNDFILE* f, double* buf, sf_count_t n) { return sf_readf_double(f, buf, n); }
    static sf_count_t readFrames(SNDFILE* f, float* buf, sf_count_t n) { return sf_readf_float(f, buf, n); }
    std::vector<double>& scratch(double*) { return scratchDouble_; }
    std::vector<float>& scratch(float*) { return scratchFloat_; }

    template <typename Sample> int readAny(Sample* const out[3], int count)
    {
        const int64_t left = frames_ - position_;
        const int n = static_cast<int>(std::min<int64_t>(count, left));
        if (n <= 0 || endedEarly_)
            return 0;
        int longest = 0; // frames any file still delivered in this call
        for (OpenFile& f : files_)
        {
            const int channels = f.info.channels;
            const int want = static_cast<int>(std::min<int64_t>(n, f.remaining));
            int got = 0;
            if (want > 0 && f.rawWidth)
            {
                const size_t frameBytes = static_cast<size_t>(channels) * f.rawWidth;
                const size_t bytes = static_cast<size_t>(want) * frameBytes;
                if (raw_.size() < bytes)
                    raw_.resize(bytes);
                const sf_count_t read = sf_read_raw(f.file, raw_.data(), static_cast<sf_count_t>(bytes));
                got = read > 0 ? static_cast<int>(static_cast<size_t>(read) / frameBytes) : 0;
                for (int c = 0; c < channels; ++c)
                    if (f.roles[static_cast<size_t>(c)] != kIgnored)
                        unpackRaw(raw_.data(), f.rawWidth, channels, c, got,
                                  out[f.roles[static_cast<size_t>(c)]]);
            }
            else if (want > 0)
            {
                std::vector<Sample>& buf = scratch(static_cast<Sample*>(nullptr));
                if (buf.size() < static_cast<size_t>(want) * channels)
                    buf.resize(static_cast<size_t>(want) * channels);
                const sf_count_t read = readFrames(f.file, buf.data(), want);
                got = read > 0 ? static_cast<int>(read) : 0;
                for (int c = 0; c < channels; ++c)
                {
                    if (f.roles[static_cast<size_t>(c)] == kIgnored)
                        continue;
                    Sample* dst = out[f.roles[static_cast<size_t>(c)]];
                    const Sample* src = buf.data() + c;
                    for (int i = 0; i < got; ++i)
                        dst[i] = src[static_cast<size_t>(i) * channels];
                }
            }
            if (got < want)
            {
                if (sf_error(f.file))
                {
                    error_ = "cannot read '" + f.path + "': " + sf_strerror(f.file);
                    return -1;
                }
                // The file ends before its header says: what is there is decoded.
                f.missing = f.remaining - got;
            }
            f.remaining = got < want ? 0 : f.remaining - got;
            longest = std::max(longest, got);
            for (int c = 0; c < channels; ++c)
                if (f.roles[static_cast<size_t>(c)] != kIgnored)
                {
                    Sample* dst = out[f.roles[static_cast<size_t>(c)]];
                    std::fill(dst + got, dst + n, Sample(0)); // padding of a shorter file
                }
        }
        // When every file is at its end the recording is over, even if a
        // header promised more.
        bool allEnded = true;
        for (const OpenFile& f : files_)
            allEnded = allEnded && f.remaining == 0;
        int delivered = n;
        if (allEnded && position_ + n < frames_)
        {
            delivered = longest;
            endedEarly_ = true;
        }
        position_ += delivered;
        return delivered;
    }

    std::vector<OpenFile> files_;
    int rate_ = 0;
    int64_t frames_ = 0;
    int64_t position_ = 0;
    bool endedEarly_ = false;
    std::vector<double> scratchDouble_;
    std::vector<float> scratchFloat_;
    std::vector<unsigned char> raw_;
    std::string error_;
    std::string warning_;
    std::string ixml_;
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

int64_t declaredWaveFrames(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    auto le = [](const unsigned char* p, int bytes)
    {
        uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | p[i];
        return v;
    };
    int64_t frames = -1;
    unsigned char head[12];
    if (std::fread(head, 1, sizeof head, f) == sizeof head && std::memcmp(head + 8, "WAVE", 4) == 0 &&
        (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0))
    {
        const bool rf64 = std::memcmp(head, "RF64", 4) == 0;
        uint64_t bigDataSize = 0;
        unsigned blockAlign = 0;
        long pos = 12;
        for (int chunk = 0; chunk < 64; ++chunk)
        {
            unsigned char c[8 + 24];
            if (std::fseek(f, pos, SEEK_SET) != 0 || std::fread(c, 1, 8, f) != 8)
                break;
            const uint64_t size = le(c + 4, 4);
            const size_t body = std::fread(c + 8, 1, 24, f);
            if (std::memcmp(c, "ds64", 4) == 0 && body >= 16)
                bigDataSize = le(c + 16, 8);
            else if (std::memcmp(c, "fmt ", 4) == 0 && body >= 14)
                blockAlign = static_cast<unsigned>(le(c + 8 + 12, 2));
            else if (std::memcmp(c, "data", 4) == 0)
            {
                uint64_t bytes = size;
                if (rf64 && size == 0xFFFFFFFFu)
                    bytes = bigDataSize;
                else if (size == 0xFFFFFFFFu)
                    bytes = 0;
                if (bytes > 0 && blockAlign > 0)
                    frames = static_cast<int64_t>(bytes / blockAlign);
                break;
            }
            pos += 8 + static_cast<long>(size) + static_cast<long>(size & 1);
        }
    }
    std::fclose(f);
    return frames;
}

std::string durationText(int64_t frames, int sampleRate)
{
    // Rounded to tenths first, so that 59.96 s reads 1:00.0, not 0:60.0.
    const long long tenths =
        sampleRate > 0 ? std::llround(static_cast<double>(frames) * 10.0 / sampleRate) : 0;
    const long long seconds = tenths / 10;
    char text[48];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60, tenths % 10);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", seconds / 60, seconds % 60, tenths % 10);
    return text;
}

std::unique_ptr<FrameSource> openSoundInput(const std::vector<std::string>& paths, const ChannelOrder& order,
                                            std::string& error)
{
    return openSoundInput(paths, order, {}, error);
}

std::unique_ptr<FrameSource> openSoundInput(const std::vector<std::string>& paths, const ChannelOrder& order,
                                            const std::vector<std::string>& tracks, std::string& error)
{
    if (paths.size() != 1 && paths.size() != 3)
    {
        error = "give one 3-channel input file or three mono files";
        return nullptr;
    }
    auto source = std::make_unique<FileSource>();
    if (!source->open(paths, order, tracks, error))
        return nullptr;
    return source;
}

std::unique_ptr<FrameSource> memorySource(std::array<std::vector<double>, 3> signals, int sampleRate)
{
    return std::make_unique<MemorySource>(std::move(signals), sampleRate);
}

} // namespace render
