#pragma once

// A one-line progress bar on standard error, drawn only when it is a
// terminal: "[#########.........]  45%  4:30 of 10:00  38x".

#include <chrono>
#include <cstdint>

namespace render
{

class Progress
{
public:
    /// `enabled` false draws nothing (quiet, or not a terminal).
    Progress(bool enabled, int64_t totalFrames, int sampleRate);
    /// Reports frames done; redraws at most ten times a second.
    void update(int64_t framesDone);
    /// Clears the line.
    void finish();

    /// True when standard error is a terminal.
    static bool stderrIsTerminal();

private:
    bool enabled_;
    int64_t total_;
    int rate_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

} // namespace render
