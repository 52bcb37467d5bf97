#pragma once

// Helpers of the kalvo-render tests: a scratch folder that removes itself,
// sound files written and read with libsndfile, and running the program.

#include <sndfile.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testfiles
{

class ScratchDir
{
public:
    ScratchDir()
    {
        char templ[] = "/tmp/kalvo-render-test-XXXXXX";
        path_ = ::mkdtemp(templ) ? templ : "";
    }
    ~ScratchDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    /// Names of the files in the folder, sorted.
    std::vector<std::string> list() const { return listOf(path_); }

    /// Names of the files in `folder`, sorted.
    static std::vector<std::string> listOf(const std::string& folder)
    {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(folder.c_str()))
        {
            while (dirent* e = ::readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    names.push_back(e->d_name);
            ::closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

/// Interleaved samples of a file and its description.
struct Sound
{
    SF_INFO info{};
    std::vector<double> samples;
    double at(int64_t frame, int channel) const
    {
        return samples[static_cast<size_t>(frame) * info.channels + static_cast<size_t>(channel)];
    }
};

inline bool writeSound(const std::string& path, int format, int rate, int channels,
                       const std::vector<double>& interleaved)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    sf_writef_double(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    return sf_close(f) == 0;
}

inline bool readSound(const std::string& path, Sound& sound)
{
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &sound.info);
    if (!f)
        return false;
    sound.samples.resize(static_cast<size_t>(sound.info.frames * sound.info.channels));
    sf_readf_double(f, sound.samples.data(), sound.info.frames);
    sf_close(f);
    return true;
}

/// A 3-channel 24-bit recording of independent white noise on each capsule,
/// each channel reaching full scale: the hottest diffuse take there is.
/// `level` scales it (0.5 peaks at -6 dBFS).
inline bool writeFullScaleTake(const std::string& path, int64_t frames, double level = 1.0, int rate = 48000)
{
    std::vector<double> x(static_cast<size_t>(frames) * 3);
    uint32_t state = 2463534242u;
    for (double& v : x)
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        v = level * (static_cast<double>(state) / 2147483647.5 - 1.0);
    }
    x[0] = level; // full scale reached exactly, whatever the noise does
    return writeSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, rate, 3, x);
}

/// The largest magnitude of any sample of a file; -1 when it cannot be read.
inline double filePeak(const std::string& path)
{
    Sound s;
    if (!readSound(path, s))
        return -1.0;
    double peak = 0.0;
    for (double v : s.samples)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

/// A take as a multitrack field recorder writes it: 24-bit tracks, a
/// broadcast-wave chunk with the time of day it starts at and an iXML
/// chunk with scene, take, tape, timecode and a name for every track.
/// Track k holds a square wave of its own level, (k + 1) / 16 and the
/// opposite sign every 10 frames, so that every track can be told apart.
struct Take
{
    int rate = 48000;
    std::vector<std::string> trackNames{"MID", "SIDE", "REAR", "BOOM", "LAV 1", "LAV 2", "MIX L", "MIX R"};
    int64_t frames = 4800;
    uint64_t timeReference = 3600ull * 48000; ///< frames since midnight: 01:00:00 at 48 kHz
    bool ixml = true;
    std::string scene = "12", take = "3";
    std::string codingHistory = "A=PCM,F=48000,W=24,M=8chn,T=field recorder\r\n";

    double sample(int track, int64_t frame) const
    {
        return (frame / 10 % 2 ? -1.0 : 1.0) * (track + 1) / 16.0;
    }
    std::string ixmlDocument() const
    {
        std::string x =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n  <IXML_VERSION>2.10</IXML_VERSION>\n"
            "  <SCENE>" +
            scene + "</SCENE>\n  <TAKE>" + take +
            "</TAKE>\n  <TAPE>DAY04</TAPE>\n"
            "  <NOTE>wind from the left &amp; a plane</NOTE>\n"
            "  <SPEED>\n    <TIMECODE_RATE>25/1</TIMECODE_RATE>\n"
            "    <TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>" +
            std::to_string(timeReference >> 32) +
            "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\n    <TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>" +
            std::to_string(timeReference & 0xFFFFFFFFu) +
            "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\n  </SPEED>\n  <TRACK_LIST>\n"
            "    <TRACK_COUNT>" +
            std::to_string(trackNames.size()) + "</TRACK_COUNT>\n";
        for (size_t k = 0; k < trackNames.size(); ++k)
            x += "    <TRACK>\n      <CHANNEL_INDEX>" + std::to_string(k + 1) +
                 "</CHANNEL_INDEX>\n      <INTERLEAVE_INDEX>" + std::to_string(k + 1) +
                 "</INTERLEAVE_INDEX>\n      <NAME>" + trackNames[k] + "</NAME>\n    </TRACK>\n";
        return x + "  </TRACK_LIST>\n</BWFXML>\n";
    }
};

inline bool writeTake(const std::string& path, const Take& take)
{
    SF_INFO info{};
    info.samplerate = take.rate;
    info.channels = static_cast<int>(take.trackNames.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    SF_BROADCAST_INFO bi{};
    std::strcpy(bi.description, "Scene 12 take 3");
    std::strcpy(bi.originator, "field recorder");
    std::strcpy(bi.origination_date, "2026-12-08");
    std::strcpy(bi.origination_time, "14:03:00");
    bi.time_reference_low = static_cast<uint32_t>(take.timeReference);
    bi.time_reference_high = static_cast<uint32_t>(take.timeReference >> 32);
    std::strncpy(bi.coding_history, take.codingHistory.c_str(), sizeof bi.coding_history - 1);
    bi.coding_history_size = static_cast<uint32_t>(std::strlen(bi.coding_history));
    bool ok = sf_command(f, SFC_SET_BROADCAST_INFO, &bi, sizeof bi) == SF_TRUE;
    std::string xml = take.ixmlDocument();
    SF_CHUNK_INFO chunk{};
    std::strcpy(chunk.id, "iXML");
    chunk.id_size = 4;
    chunk.data = &xml[0];
    chunk.datalen = static_cast<unsigned>(xml.size());
    ok = ok && (!take.ixml || sf_set_chunk(f, &chunk) == SF_ERR_NO_ERROR);
    std::vector<double> x(static_cast<size_t>(take.frames) * take.trackNames.size());
    for (int64_t i = 0; i < take.frames; ++i)
        for (size_t k = 0; k < take.trackNames.size(); ++k)
            x[static_cast<size_t>(i) * take.trackNames.size() + k] = take.sample(static_cast<int>(k), i);
    ok = ok && sf_writef_double(f, x.data(), take.frames) == take.frames;
    return sf_close(f) == 0 && ok;
}

/// The iXML chunk of a file as libsndfile finds it; empty when there is none.
inline std::string readIxmlWithLibsndfile(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return {};
    SF_CHUNK_INFO chunk{};
    std::strcpy(chunk.id, "iXML");
    chunk.id_size = 4;
    std::string body;
    if (SF_CHUNK_ITERATOR* it = sf_get_chunk_iterator(f, &chunk))
    {
        SF_CHUNK_INFO data{};
        if (sf_get_chunk_size(it, &data) == SF_ERR_NO_ERROR && data.datalen > 0)
        {
            body.assign(data.datalen, '\0');
            data.data = &body[0];
            if (sf_get_chunk_data(it, &data) != SF_ERR_NO_ERROR)
                body.clear();
        }
    }
    sf_close(f);
    return body.substr(0, body.find('\0'));
}

/// The text between <tag> and </tag>, each time it stands in `xml`.
inline std::vector<std::string> xmlValues(const std::string& xml, const std::string& tag)
{
    std::vector<std::string> values;
    const std::string open = "<" + tag + ">", close = "</" + tag + ">";
    for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1))
    {
        const size_t end = xml.find(close, at);
        if (end == std::string::npos)
            break;
        values.push_back(xml.substr(at + open.size(), end - at - open.size()));
    }
    return values;
}

inline std::string readText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<unsigned char> readBytes(const std::string& path, size_t count)
{
    std::vector<unsigned char> bytes(count);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

/// Starts kalvo-render (or `program`) with `args`; its standard output and
/// error go to files.
inline pid_t startTool(const std::vector<std::string>& args, const std::string& outPath,
                       const std::string& errPath, const char* program = KALVO_RENDER_PATH)
{
    pid_t pid = ::fork();
    if (pid == 0)
    {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program, argv.data());
        ::_exit(127);
    }
    return pid;
}

inline int waitTool(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

/// Runs kalvo-render to the end; answers its exit code, with what it printed.
struct ToolRun
{
    int exitCode = -1;
    std::string out, err;
};

inline ToolRun runTool(const ScratchDir& dir, const std::vector<std::string>& args,
                       const char* program = KALVO_RENDER_PATH)
{
    ToolRun run;
    // Beside the scratch folder, not in it, so that its listing shows only what the program made.
    const std::string outPath = dir.path() + ".stdout";
    const std::string errPath = dir.path() + ".stderr";
    run.exitCode = waitTool(startTool(args, outPath, errPath, program));
    run.out = readText(outPath);
    run.err = readText(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

} // namespace testfiles
