#include "Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

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

Progress::Progress(bool enabled, int64_t totalFrames, int sampleRate, std::FILE* out, int columns)
    : enabled_(enabled && totalFrames > 0), total_(totalFrames), rate_(sampleRate > 0 ? sampleRate : 1),
      out_(out), columns_(columns), start_(std::chrono::steady_clock::now()), last_(start_)
{
}

int Progress::width() const
{
    if (columns_ > 0)
        return columns_;
    // Asked at every redraw: the terminal may be resized during a long run.
    winsize size{};
    if (::ioctl(::fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
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
    char done[48], all[48], text[160];
    formatTime(done, sizeof done, static_cast<double>(framesDone) / rate_);
    formatTime(all, sizeof all, static_cast<double>(total_) / rate_);
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double speed = elapsed > 0 ? (static_cast<double>(framesDone) / rate_) / elapsed : 0.0;
    std::snprintf(text, sizeof text, " %3d%%  %s of %s  %.0fx", static_cast<int>(fraction * 100), done, all,
                  speed);

    // The last column stays free: a line that fills it wraps on some terminals.
    const int room = width() - 1;
    std::string line = text;
    const int barWidth = std::min(30, room - static_cast<int>(line.size()) - 2);
    if (barWidth >= 5)
    {
        const int filled = static_cast<int>(fraction * barWidth);
        line = "[" + std::string(static_cast<size_t>(filled), '#') +
               std::string(static_cast<size_t>(barWidth - filled), '.') + "]" + line;
    }
    else if (static_cast<int>(line.size()) > room)
        line.resize(static_cast<size_t>(room > 0 ? room : 0));
    // Blanks over what a longer earlier line left.
    const int length = static_cast<int>(line.size());
    const int clearTo = std::min(drawnWidth_, room);
    if (length < clearTo)
        line += std::string(static_cast<size_t>(clearTo - length), ' ');
    drawnWidth_ = length;
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
}

void Progress::finish()
{
    if (enabled_ && drawn_)
    {
        const int clearTo = std::max(0, std::min(drawnWidth_, width() - 1));
        std::fprintf(out_, "\r%s\r", std::string(static_cast<size_t>(clearTo), ' ').c_str());
        std::fflush(out_);
    }
    drawn_ = false;
    drawnWidth_ = 0;
}

} // namespace render
