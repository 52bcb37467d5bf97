#pragma once

// A one-line progress bar on standard error, drawn only when it is a
// terminal: "[#########.........]  45%  4:30 of 10:00  38x". It fits the
// terminal's width (one column to spare, so that the line never wraps):
// the bar shrinks first, then goes, and on a very narrow terminal the text
// is cut.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace render
{

/// What a decoding run tells about its progress.
class ProgressReport
{
public:
    virtual ~ProgressReport() = default;
    /// Frames of the recording done so far.
    virtual void update(int64_t framesDone) = 0;
    /// The run is over.
    virtual void finish() = 0;
};

class Progress : public ProgressReport
{
public:
    /// `enabled` false draws nothing (quiet, or not a terminal). `columns` 0
    /// asks the terminal behind `out` for its width at every redraw.
    Progress(bool enabled, int64_t totalFrames, int sampleRate, std::FILE* out = stderr, int columns = 0);
    /// Reports frames done; redraws at most ten times a second.
    void update(int64_t framesDone) override;
    /// Clears the line.
    void finish() override;

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

/// One line for a whole batch, "[######......]  7 of 20 files  35%  2:10 left",
/// fed by the files decoding at once from their own threads. The share done
/// and the time left are counted in frames of sound, so that a long take
/// weighs as much as it takes.
class BatchProgress
{
public:
    /// `totalFrames` of all the batch's recordings together.
    BatchProgress(bool enabled, int files, int64_t totalFrames, std::FILE* out = stderr, int columns = 0);

    /// The progress of one file of the batch.
    class File : public ProgressReport
    {
    public:
        File(BatchProgress& batch, int64_t frames) : batch_(batch), frames_(frames) {}
        void update(int64_t framesDone) override;
        /// Counts the file as done (also when it failed: it is no longer waited for).
        void finish() override;

    private:
        BatchProgress& batch_;
        int64_t frames_;
        int64_t reported_ = 0;
        bool finished_ = false;
    };

    /// Clears the line.
    void finish();

private:
    void add(int64_t frames, bool fileDone);
    void draw();

    bool enabled_;
    int files_;
    int64_t total_;
    std::FILE* out_;
    int columns_;
    std::atomic<int64_t> done_{0};
    std::atomic<int> filesDone_{0};
    std::mutex drawing_;
    int drawnWidth_ = 0;
    std::chrono::steady_clock::time_point start_, last_;
    bool drawn_ = false;
};

} // namespace render
