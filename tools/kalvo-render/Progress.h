#pragma once

// A one-line progress bar on standard error, drawn only when it is a
// terminal: "[#########.........]  45%  4:30 of 10:00  38x". It fits the
// terminal's width (one column to spare, so that the line never wraps):
// the bar shrinks first, then goes, and on a very narrow terminal the text
// is cut.

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace render
{

class Progress
{
public:
    /// `enabled` false draws nothing (quiet, or not a terminal). `columns` 0
    /// asks the terminal behind `out` for its width at every redraw.
    Progress(bool enabled, int64_t totalFrames, int sampleRate, std::FILE* out = stderr, int columns = 0);
    /// Reports frames done; redraws at most ten times a second.
    void update(int64_t framesDone);
    /// Clears the line.
    void finish();

    /// True when standard error is a terminal.
    static bool stderrIsTerminal();

private:
    int width() const;

    bool enabled_;
    int64_t total_;
    int rate_;
    std::FILE* out_;
    int columns_;
    int drawnWidth_ = 0; ///< characters of the line last drawn
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

} // namespace render
