#include "OutputFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace render
{
namespace
{

constexpr const char* kTemporaryInfix = ".kalvo-render-";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr int kMaxSymlinkHops = 40; // as the kernel's own limit

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process's umask, read where the system shows it: setting it to find
// it out would, for that moment, let a file that another thread of a batch
// creates get the wrong permissions.
mode_t currentUmask()
{
    if (std::FILE* status = std::fopen("/proc/self/status", "r"))
    {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "Umask:", 6) == 0)
            {
                char* end = nullptr;
                mask = static_cast<unsigned>(std::strtoul(line + 6, &end, 8));
                found = end != line + 6;
            }
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

mode_t newFileMode()
{
    return 0666 & ~currentUmask();
}

uint32_t le32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

bool prepareOutputTarget(const std::string& path, std::string& target, mode_t& mode, std::string& error)
{
    std::string current = path;
    for (int hop = 0; hop < kMaxSymlinkHops; ++hop)
    {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0)
        {
            if (errno != ENOENT)
            {
                error = "cannot write '" + path + "': " + std::strerror(errno);
                return false;
            }
            target = current; // a new file (or a link to one still to be made)
            mode = newFileMode();
            return true;
        }
        if (S_ISLNK(st.st_mode))
        {
            std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
            const ssize_t n = ::readlink(current.c_str(), link.data(), link.size() - 1);
            if (n < 0)
            {
                error = "cannot follow the link '" + current + "': " + std::strerror(errno);
                return false;
            }
            const std::string to(link.data(), static_cast<size_t>(n));
            current = (!to.empty() && to[0] == '/') ? to : folderOf(current) + "/" + to;
            continue;
        }
        if (!S_ISREG(st.st_mode))
        {
            error = "'" + path + "' exists and is not a regular file; choose a file name for the output";
            return false;
        }
        // Root passes the access check on any file: the permission bits decide.
        if ((st.st_mode & 0222) == 0 || ::access(current.c_str(), W_OK) != 0)
        {
            error = "'" + path + "' is write-protected; it is not replaced";
            return false;
        }
        target = current;
        mode = st.st_mode & 07777;
        return true;
    }
    error = "cannot write '" + path + "': too many levels of symbolic links";
    return false;
}

std::string temporaryPathFor(const std::string& target)
{
    return target + kTemporaryInfix + std::to_string(::getpid()) + kTemporarySuffix;
}

int removeStaleTemporaries(const std::string& target)
{
    const std::string folder = folderOf(target);
    const std::string prefix = nameOf(target) + kTemporaryInfix;
    const std::string suffix = kTemporarySuffix;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        // A run that is still going keeps its file.
        if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            stale.push_back(folder + "/" + name);
    }
    ::closedir(dir);
    int removed = 0;
    for (const std::string& path : stale)
        removed += ::unlink(path.c_str()) == 0;
    return removed;
}

bool setWaveChannelMask(const std::string& path, uint32_t mask)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool done = false;
    unsigned char head[12];
    if (::pread(fd, head, sizeof head, 0) == sizeof head && std::memcmp(head + 8, "WAVE", 4) == 0 &&
        (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0))
    {
        off_t pos = 12;
        for (int chunk = 0; chunk < 64 && !done; ++chunk)
        {
            unsigned char c[8 + 24];
            if (::pread(fd, c, sizeof c, pos) != static_cast<ssize_t>(sizeof c))
                break;
            const uint32_t size = le32(c + 4);
            if (std::memcmp(c, "fmt ", 4) == 0)
            {
                // WAVE_FORMAT_EXTENSIBLE: tag 0xFFFE, the mask 20 bytes into the chunk.
                if (size < 40 || c[8] != 0xFE || c[9] != 0xFF)
                    break;
                const unsigned char bytes[4] = {
                    static_cast<unsigned char>(mask), static_cast<unsigned char>(mask >> 8),
                    static_cast<unsigned char>(mask >> 16), static_cast<unsigned char>(mask >> 24)};
                done = ::pwrite(fd, bytes, 4, pos + 8 + 20) == 4;
                break;
            }
            pos += 8 + static_cast<off_t>(size) + (size & 1);
        }
    }
    ::close(fd);
    return done;
}

} // namespace render
