#include "Progress.h"

#include <unistd.h>

#include <cstdio>

namespace render
{
namespace
{

void formatTime(char* out, size_t size, double seconds)
{
    const long s = static_cast<long>(seconds);
    if (s >= 3600)
        std::snprintf(out, size, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
    else
        std::snprintf(out, size, "%ld:%02ld", s / 60, s % 60);
}

} // namespace

Progress::Progress(bool enabled, int64_t totalFrames, int sampleRate)
    : enabled_(enabled && totalFrames > 0), total_(totalFrames), rate_(sampleRate > 0 ? sampleRate : 1),
      start_(std::chrono::steady_clock::now()), last_(start_)
{
}

bool Progress::stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void Progress::update(int64_t framesDone)
{
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100) && framesDone < total_)
        return;
    last_ = now;
    drawn_ = true;
    const double fraction = static_cast<double>(framesDone) / static_cast<double>(total_);
    const int width = 30;
    char bar[width + 1];
    const int filled = static_cast<int>(fraction * width);
    for (int i = 0; i < width; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[width] = '\0';
    char done[48], all[48];
    formatTime(done, sizeof done, static_cast<double>(framesDone) / rate_);
    formatTime(all, sizeof all, static_cast<double>(total_) / rate_);
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double speed = elapsed > 0 ? (static_cast<double>(framesDone) / rate_) / elapsed : 0.0;
    std::fprintf(stderr, "\r[%s] %3d%%  %s of %s  %.0fx ", bar, static_cast<int>(fraction * 100), done, all,
                 speed);
    std::fflush(stderr);
}

void Progress::finish()
{
    if (enabled_ && drawn_)
    {
        std::fprintf(stderr, "\r%70s\r", "");
        std::fflush(stderr);
    }
    drawn_ = false;
}

} // namespace render
