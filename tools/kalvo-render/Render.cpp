#include "Render.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace render
{
namespace
{

// One decoded block on its way to the writer.
template <typename Sample> struct Block
{
    explicit Block(int size)
    {
        for (int c = 0; c < 6; ++c)
        {
            data[c].assign(static_cast<size_t>(size), Sample(0));
            ptr[c] = data[c].data();
        }
    }
    std::vector<Sample> data[6];
    Sample* ptr[6];
    int frames = 0;
};

// Decoding and writing overlap: the writer thread converts and writes one
// block while the effect decodes the next. Blocks cycle between a free list
// and a ready queue; the writer never sees a block the decoder still fills.
template <typename Sample> class BlockPipe
{
public:
    BlockPipe(int blockSize, int count)
    {
        for (int i = 0; i < count; ++i)
        {
            blocks_.emplace_back(new Block<Sample>(blockSize));
            free_.push_back(blocks_.back().get());
        }
    }

    /// A block to fill; null once the writer has failed.
    Block<Sample>* acquire()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty() || failed_; });
        if (failed_)
            return nullptr;
        Block<Sample>* b = free_.front();
        free_.pop_front();
        return b;
    }

    void submit(Block<Sample>* b)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_.push_back(b);
        changed_.notify_all();
    }

    /// No more blocks will come.
    void close()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

    /// The writer's loop; answers false after the first failed write.
    bool drain(SoundOutput& output, std::string& error)
    {
        for (;;)
        {
            Block<Sample>* b = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return !ready_.empty() || closed_; });
                if (ready_.empty())
                    return true;
                b = ready_.front();
                ready_.pop_front();
            }
            const Sample* const* channels = b->ptr;
            const bool ok = output.write(channels, b->frames, error);
            std::lock_guard<std::mutex> lock(mutex_);
            if (!ok)
            {
                failed_ = true;
                changed_.notify_all();
                return false;
            }
            free_.push_back(b);
            changed_.notify_all();
        }
    }

private:
    std::vector<std::unique_ptr<Block<Sample>>> blocks_;
    std::deque<Block<Sample>*> free_, ready_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    bool failed_ = false;
};

void observe(const BlockObserver& observer, double* const* out, int frames, int64_t first,
             std::vector<double>*)
{
    observer(out, frames, first);
}

void observe(const BlockObserver& observer, float* const* out, int frames, int64_t first,
             std::vector<double>* widened)
{
    const double* ptr[6];
    for (int c = 0; c < 6; ++c)
    {
        widened[c].assign(out[c], out[c] + frames);
        ptr[c] = widened[c].data();
    }
    observer(ptr, frames, first);
}

// Replaces samples that are not finite by silence; answers how many. A not-a-
// number would otherwise stay in the effect's filters for the rest of the file.
template <typename Sample> int64_t sanitise(Sample* const* in, int frames)
{
    int64_t bad = 0;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < frames; ++i)
        {
            const Sample v = in[c][i];
            if (!(v - v == Sample(0)))
            {
                in[c][i] = Sample(0);
                ++bad;
            }
        }
    return bad;
}

template <typename Sample>
bool run(FrameSource& source, EffectHost& host, SoundOutput& output, Progress& progress,
         const volatile std::sig_atomic_t* stop, const BlockObserver& observer, RenderResult& result,
         std::string& error)
{
    const int blockSize = host.blockSize();
    std::vector<Sample> inputs[3];
    Sample* in[3];
    for (int c = 0; c < 3; ++c)
    {
        inputs[c].assign(static_cast<size_t>(blockSize), Sample(0));
        in[c] = inputs[c].data();
    }
    std::vector<double> widened[6];
    // A block on its way to the writer holds several processing calls' worth
    // (at least 8192 frames), so that small host blocks cost no extra handoffs.
    const int perBlock = (8192 + blockSize - 1) / blockSize;
    BlockPipe<Sample> pipe(blockSize * perBlock, 8);
    const bool checkInputs = source.mayHoldNonFinite();
    std::string writeError;
    bool writeOk = true;
    std::thread writer([&] { writeOk = pipe.drain(output, writeError); });

    bool ok = true;
    bool ended = false;
    int64_t done = 0;
    while (ok && !ended)
    {
        Block<Sample>* block = pipe.acquire();
        if (!block)
            break; // the writer failed; its error follows
        block->frames = 0;
        for (int call = 0; call < perBlock; ++call)
        {
            if (stop && *stop)
            {
                error = "interrupted";
                ok = false;
                break;
            }
            const int n = source.read(in, blockSize);
            if (n < 0)
            {
                error = source.error();
                ok = false;
                break;
            }
            if (n == 0)
            {
                ended = true;
                break;
            }
            if (checkInputs)
                result.nonFiniteInputs += sanitise(in, n);
            Sample* out[6];
            for (int c = 0; c < 6; ++c)
                out[c] = block->ptr[c] + block->frames;
            host.process(in, out, n);
            if (observer)
                observe(observer, out, n, done, widened);
            block->frames += n;
            done += n;
        }
        pipe.submit(block); // also a partial or empty last block
        progress.update(done);
    }
    pipe.close();
    writer.join();
    if (!writeOk)
    {
        error = writeError;
        return false;
    }
    result.frames = done;
    return ok;
}

} // namespace

void applySettings(EffectHost& host, const RenderSettings& settings)
{
    if (settings.preset > 0)
        host.selectPreset(settings.preset);
    for (const auto& s : settings.settings)
        host.setParameter(s.first, s.second);
    if (settings.prepare)
        settings.prepare(host.effect());
}

bool render(FrameSource& source, EffectHost& host, const RenderSettings& settings, SoundOutput& output,
            Progress& progress, const volatile std::sig_atomic_t* stop, const BlockObserver& observer,
            RenderResult& result, std::string& error)
{
    const auto start = std::chrono::steady_clock::now();
    bool ok = settings.singlePrecision
                  ? run<float>(source, host, output, progress, stop, observer, result, error)
                  : run<double>(source, host, output, progress, stop, observer, result, error);
    progress.finish();
    if (ok)
        ok = output.commit(error);
    else
        output.abandon();
    result.clippedSamples = output.clippedSamples();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok;
}

} // namespace render
