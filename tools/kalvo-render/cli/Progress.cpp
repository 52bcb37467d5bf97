#include "Progress.h"

#include "DisplayWidth.h"

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

int terminalWidth(std::FILE* out, int columns)
{
    if (columns > 0)
        return columns;
    // Asked at every redraw: the terminal may be resized during a long run.
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// `text` after a bar of `fraction` that fits `columns` less one (a line that
// fills the last column wraps on some terminals), blanking what a longer
// line drawn before left; answers the new line's width.
int drawLine(std::FILE* out, int columns, double fraction, const std::string& text, int drawnWidth)
{
    const int room = columns - 1;
    std::string line = text;
    const int barWidth = std::min(30, room - displayWidth(line) - 2);
    if (barWidth >= 5)
    {
        const int filled = static_cast<int>(std::min(1.0, std::max(0.0, fraction)) * barWidth);
        line = "[" + std::string(static_cast<size_t>(filled), '#') +
               std::string(static_cast<size_t>(barWidth - filled), '.') + "]" + line;
    }
    else if (displayWidth(line) > room)
        line.resize(static_cast<size_t>(room > 0 ? room : 0));
    const int length = displayWidth(line);
    const int clearTo = std::min(drawnWidth, room);
    if (length < clearTo)
        line += std::string(static_cast<size_t>(clearTo - length), ' ');
    std::fprintf(out, "\r%s", line.c_str());
    std::fflush(out);
    return length;
}

void clearLine(std::FILE* out, int columns, int drawnWidth)
{
    const int clearTo = std::max(0, std::min(drawnWidth, columns - 1));
    std::fprintf(out, "\r%s\r", std::string(static_cast<size_t>(clearTo), ' ').c_str());
    std::fflush(out);
}

} // namespace

Progress::Progress(bool enabled, int64_t totalFrames, int sampleRate, std::FILE* out, int columns)
    : enabled_(enabled && totalFrames > 0), total_(totalFrames), rate_(sampleRate > 0 ? sampleRate : 1),
      out_(out), columns_(columns), start_(std::chrono::steady_clock::now()), last_(start_)
{
}

int Progress::width() const
{
    return terminalWidth(out_, columns_);
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

    drawnWidth_ = drawLine(out_, width(), fraction, text, drawnWidth_);
}

void Progress::finish()
{
    if (enabled_ && drawn_)
        clearLine(out_, width(), drawnWidth_);
    drawn_ = false;
    drawnWidth_ = 0;
}

BatchProgress::BatchProgress(bool enabled, int files, int64_t totalFrames, std::FILE* out, int columns)
    : enabled_(enabled && files > 0), files_(files), total_(totalFrames > 0 ? totalFrames : 1), out_(out),
      columns_(columns), start_(std::chrono::steady_clock::now()), last_(start_)
{
}

void BatchProgress::File::update(int64_t framesDone)
{
    const int64_t now = std::min(framesDone, frames_);
    if (finished_ || now <= reported_)
        return;
    batch_.add(now - reported_, false);
    reported_ = now;
}

void BatchProgress::File::finish()
{
    if (finished_)
        return;
    finished_ = true;
    // A file that failed part way counts in full: nothing more of it is coming.
    batch_.add(frames_ - reported_, true);
    reported_ = frames_;
}

void BatchProgress::add(int64_t frames, bool fileDone)
{
    done_ += frames;
    if (fileDone)
        ++filesDone_;
    if (!enabled_)
        return;
    // One thread draws; the others do not wait for it.
    std::unique_lock<std::mutex> lock(drawing_, std::try_to_lock);
    if (!lock.owns_lock())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100) && !fileDone)
        return;
    last_ = now;
    draw();
}

void BatchProgress::draw()
{
    drawn_ = true;
    const int64_t done = done_.load();
    const double fraction = static_cast<double>(done) / static_cast<double>(total_);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char left[48] = "";
    if (done > 0 && elapsed > 1.0)
    {
        char time[32];
        formatTime(time, sizeof time,
                   elapsed * static_cast<double>(total_ - done) / static_cast<double>(done));
        std::snprintf(left, sizeof left, "  %s left", time);
    }
    char text[160];
    std::snprintf(text, sizeof text, " %d of %d files  %3d%%%s", filesDone_.load(), files_,
                  static_cast<int>(std::min(1.0, fraction) * 100), left);
    drawnWidth_ = drawLine(out_, terminalWidth(out_, columns_), fraction, text, drawnWidth_);
}

void BatchProgress::finish()
{
    std::lock_guard<std::mutex> lock(drawing_);
    if (enabled_ && drawn_)
        clearLine(out_, terminalWidth(out_, columns_), drawnWidth_);
    drawn_ = false;
    drawnWidth_ = 0;
}

} // namespace render
