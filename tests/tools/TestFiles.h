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
#include <cstdio>
#include <cstdlib>
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
    std::vector<std::string> list() const
    {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(path_.c_str()))
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
