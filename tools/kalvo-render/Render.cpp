#include "Render.h"

#include "tools/kalvo-render/layouts/AmbisonicEncoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace render
{
namespace
{

constexpr int kMaxDecodedChannels = 6;

// One decoded block on its way to the writer, and its samples already in
// the file's format when the decoding thread converts them. The memory is
// left as the system hands it out, untouched: every sample is written before
// it is read, and a short file then never touches (nor pays the page faults
// for) the parts of the blocks it does not fill.
template <typename Sample> struct Block
{
    Block(int size, int channels, size_t packedBytes)
    {
        for (int c = 0; c < channels; ++c)
        {
            data[c].reset(new Sample[static_cast<size_t>(size)]); // NOLINT(cppcoreguidelines-owning-memory)
            ptr[c] = data[c].get();
        }
        if (packedBytes > 0)
            bytes.reset(new unsigned char[packedBytes]); // NOLINT(cppcoreguidelines-owning-memory)
    }
    std::unique_ptr<Sample[]> data[kMaxDecodedChannels];
    Sample* ptr[kMaxDecodedChannels] = {};
    int frames = 0;
    std::unique_ptr<unsigned char[]> bytes;
};

// Decoding and writing overlap: the writer thread finishes and writes one
// block while the effect decodes the next. Blocks cycle between a free list
// and a ready queue; the writer never sees a block the decoder still fills.
template <typename Sample> class BlockPipe
{
public:
    /// Up to `count` blocks, each made when first needed: a file shorter
    /// than a block uses one or two.
    BlockPipe(int blockSize, int channels, size_t packedBytes, int count)
        : blockSize_(blockSize), channels_(channels), packedBytes_(packedBytes), count_(count)
    {
    }

    /// A block to fill; null once the writer has failed.
    Block<Sample>* acquire()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (free_.empty() && static_cast<int>(blocks_.size()) < count_ && !failed_)
        {
            blocks_.emplace_back(new Block<Sample>(blockSize_, channels_, packedBytes_));
            return blocks_.back().get();
        }
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

    /// The consumer gives up: acquire() answers null from now on.
    void cancel()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
        changed_.notify_all();
    }

    /// The next filled block; null once the pipe is closed and empty.
    Block<Sample>* take()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || closed_; });
        if (ready_.empty())
            return nullptr;
        Block<Sample>* b = ready_.front();
        ready_.pop_front();
        return b;
    }

    /// Gives a taken block back to be filled again.
    void release(Block<Sample>* b)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(b);
        changed_.notify_all();
    }

    /// The consumer's loop: hands each block to `consume` (which answers
    /// false on a failed write) until the pipe is closed and empty.
    template <typename Consume> bool drain(Consume&& consume)
    {
        while (Block<Sample>* b = take())
        {
            if (!consume(*b))
            {
                cancel();
                return false;
            }
            release(b);
        }
        return true;
    }

private:
    int blockSize_;
    int channels_;
    size_t packedBytes_;
    int count_;
    std::vector<std::unique_ptr<Block<Sample>>> blocks_;
    std::deque<Block<Sample>*> free_, ready_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    bool failed_ = false;
};

// Replaces samples that are not finite by silence; answers how many. A not-a-
// number would otherwise stay in the effect's filters for the rest of the file.
template <typename Sample> int64_t sanitise(Sample* const* in, int frames)
{
    int64_t bad = 0;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < frames; ++i)
        {
            const Sample v = in[c][i];
            // v - v is 0 for every finite v and NaN for NaN and the infinities.
            if (!(v - v == Sample(0))) // NOLINT(misc-redundant-expression)
            {
                in[c][i] = Sample(0);
                ++bad;
            }
        }
    return bad;
}

// The writer's side: the layout's channels from a decoded block, handed to
// the observer and the output.
template <typename Sample> class LayoutWriter
{
public:
    LayoutWriter(const RenderSettings& settings, SoundOutput& output, const BlockObserver& observer)
        : layout_(settings.layout), output_(output), observer_(observer)
    {
        if (layout_ == OutputLayout::Binaural && settings.headResponses)
            binaural_ = std::make_unique<BinauralConvolver>(*settings.headResponses, settings.head);
    }

    /// Whether the decoding thread converts the samples to the file's format
    /// itself, while they are still in its cache: when the layout's channels
    /// are decoded channels as they stand and nobody watches them. The
    /// writer then only writes, and the two threads share the work evenly.
    bool packsOnDecoder() const { return !binaural_ && !observer_; }

    bool consume(const Block<Sample>& b, std::string& error)
    {
        if (packsOnDecoder())
            return output_.writePacked(b.bytes.get(), b.frames, error);
        if (binaural_)
        {
            left_.clear();
            right_.clear();
            binaural_->process(b.ptr, b.frames, left_, right_);
            return emitEars(error);
        }
        // Stereo is the first two channels of the 5.1 decode; the others
        // write every channel they decoded.
        return emit(b.ptr, layoutInfo(layout_).channelNames.size(), b.frames, error);
    }

    bool finish(std::string& error)
    {
        if (!binaural_)
            return true;
        left_.clear();
        right_.clear();
        binaural_->finish(left_, right_);
        return emitEars(error);
    }

private:
    bool emitEars(std::string& error)
    {
        const float* ears[2] = {left_.data(), right_.data()};
        return emit(ears, 2, static_cast<int>(left_.size()), error);
    }

    template <typename T> bool emit(const T* const* channels, size_t count, int frames, std::string& error)
    {
        if (frames <= 0)
            return true;
        if (observer_)
            observe(channels, static_cast<int>(count), frames);
        written_ += frames;
        return output_.write(channels, frames, error);
    }

    void observe(const double* const* channels, int count, int frames)
    {
        observer_(channels, count, frames, written_);
    }

    void observe(const float* const* channels, int count, int frames)
    {
        const double* ptr[kMaxDecodedChannels];
        for (int c = 0; c < count; ++c)
        {
            widened_[c].assign(channels[c], channels[c] + frames);
            ptr[c] = widened_[c].data();
        }
        observer_(ptr, count, frames, written_);
    }

    OutputLayout layout_;
    SoundOutput& output_;
    const BlockObserver& observer_;
    std::unique_ptr<BinauralConvolver> binaural_;
    std::vector<float> left_, right_;
    std::vector<double> widened_[kMaxDecodedChannels];
    int64_t written_ = 0;
};

template <typename Sample>
bool run(FrameSource& source, EffectHost& host, const RenderSettings& settings, SoundOutput& output,
         ProgressReport& progress, const volatile std::sig_atomic_t* stop, const BlockObserver& observer,
         RenderResult& result, std::string& error)
{
    if (settings.layout == OutputLayout::Binaural && !settings.headResponses)
    {
        error = "binaural output needs head-related responses";
        return false;
    }
    const bool ambisonic = !layoutInfo(settings.layout).usesEffect;
    const AmbisonicOrdering ordering =
        settings.layout == OutputLayout::FuMa ? AmbisonicOrdering::FuMa : AmbisonicOrdering::AmbiX;
    const double sideGain = std::pow(10.0, settings.sideGainDb / 20.0);
    const int blockSize = host.blockSize();
    // A block on its way through the threads holds several processing calls'
    // worth (at least 32768 frames): every handoff between the threads costs
    // system calls, and with blocks of 8192 frames a 10-minute decode took
    // about 15 % longer.
    // A short file goes through in processing calls' worth instead: its
    // blocks are then used again and again, and it touches a few hundred
    // kilobytes of fresh memory rather than all of its length in doubles
    // (the page faults were most of a one-second decode's time).
    constexpr int64_t kShortFileFrames = 4 * 32768;
    const int perBlock = source.frames() < kShortFileFrames ? 1 : (32768 + blockSize - 1) / blockSize;
    const int capacity = blockSize * perBlock;
    if (output.channels() != static_cast<int>(layoutInfo(settings.layout).channelNames.size()))
    {
        error = "the output is not open for the layout's channels";
        return false;
    }

    // Three threads: a reader fills blocks of the capsule signals, this one
    // decodes them (and converts them to the file's format when it can), the
    // writer finishes the layout and writes.
    BlockPipe<Sample> inputs(capacity, 3, 0, 4);
    const bool checkInputs = source.mayHoldNonFinite();
    std::string readError;
    bool readFailed = false;
    int64_t nonFinite = 0;
    std::thread reader(
        [&]
        {
            while (Block<Sample>* b = inputs.acquire())
            {
                const int n = source.read(b->ptr, capacity);
                readFailed = n < 0;
                if (readFailed)
                    readError = source.error();
                b->frames = n > 0 ? n : 0;
                if (checkInputs)
                    nonFinite += sanitise(b->ptr, b->frames);
                inputs.submit(b);
                if (n <= 0)
                    break; // an empty block marks the end
            }
            inputs.close();
        });

    LayoutWriter<Sample> layoutWriter(settings, output, observer);
    const bool packHere = layoutWriter.packsOnDecoder();
    BlockPipe<Sample> outputs(capacity, ambisonic ? 4 : 6, packHere ? output.packedBytes(capacity) : 0, 8);
    std::string writeError;
    bool writeOk = true;
    std::thread writer(
        [&]
        {
            writeOk =
                outputs.drain([&](const Block<Sample>& b) { return layoutWriter.consume(b, writeError); }) &&
                layoutWriter.finish(writeError);
        });

    bool ok = true;
    int64_t done = 0;
    while (ok)
    {
        Block<Sample>* input = inputs.take();
        if (!input || input->frames == 0)
        {
            if (input)
                inputs.release(input);
            break; // the end, or a read error that follows
        }
        Block<Sample>* block = outputs.acquire();
        if (!block)
        {
            inputs.release(input);
            break; // the writer failed; its error follows
        }
        block->frames = 0;
        while (block->frames < input->frames)
        {
            if (stop && *stop)
            {
                error = "interrupted";
                ok = false;
                break;
            }
            const int at = block->frames;
            const int n = std::min(blockSize, input->frames - at);
            Sample* in[3] = {input->ptr[0] + at, input->ptr[1] + at, input->ptr[2] + at};
            Sample* out[kMaxDecodedChannels];
            for (int c = 0; c < kMaxDecodedChannels; ++c)
                out[c] = block->ptr[c] ? block->ptr[c] + at : nullptr;
            if (ambisonic)
                encodeFirstOrder(in, out, n, ordering, sideGain);
            else
                host.process(in, out, n);
            block->frames += n;
            done += n;
        }
        inputs.release(input);
        if (packHere)
            output.pack(block->ptr, block->frames, block->bytes.get());
        outputs.submit(block);
        progress.update(done);
    }
    inputs.cancel(); // a reader waiting for a free block stops
    reader.join();
    outputs.close();
    writer.join();
    result.nonFiniteInputs = nonFinite;
    if (!writeOk)
    {
        error = writeError;
        return false;
    }
    if (ok && readFailed)
    {
        error = readError;
        ok = false;
    }
    result.frames = done;
    return ok;
}

} // namespace

double decibels(double level)
{
    return level > 0.0 ? 20.0 * std::log10(level) : -HUGE_VAL;
}

double gainOfDecibels(double db)
{
    // 20 log10(2) dB per doubling.
    constexpr double kDbPerDoubling = 6.020599913279624;
    constexpr double kSnapDb = 0.001;
    const double doublings = std::round(db / kDbPerDoubling);
    if (std::fabs(db - doublings * kDbPerDoubling) < kSnapDb && std::fabs(doublings) < 1000.0)
        return std::ldexp(1.0, static_cast<int>(doublings));
    return std::pow(10.0, db / 20.0);
}

double normalizingGain(double peak, double targetDbfs)
{
    if (!(peak > 0.0) || !std::isfinite(peak))
        return 1.0;
    const double target = std::pow(10.0, targetDbfs / 20.0);
    double gain = target / peak;
    // Rounding may land the peak a hair above the target: a 0 dBFS target
    // would then count as clipped.
    while (peak * gain > target)
        gain = std::nextafter(gain, 0.0);
    return gain;
}

void applySettings(EffectHost& host, const RenderSettings& settings)
{
    if (settings.preset > 0)
        host.selectPreset(settings.preset);
    for (const auto& s : settings.settings)
        host.setParameter(s.first, s.second);
    // The recording starts with the settings in place, not with the delay gliding to its
    // length during the first quarter of a second.
    host.restart();
    if (settings.prepare)
        settings.prepare(host.effect());
}

bool render(FrameSource& source, EffectHost& host, const RenderSettings& settings, SoundOutput& output,
            ProgressReport& progress, const volatile std::sig_atomic_t* stop, const BlockObserver& observer,
            RenderResult& result, std::string& error)
{
    const auto start = std::chrono::steady_clock::now();
    bool ok = settings.singlePrecision
                  ? run<float>(source, host, settings, output, progress, stop, observer, result, error)
                  : run<double>(source, host, settings, output, progress, stop, observer, result, error);
    progress.finish();
    if (ok)
        ok = output.commit(error);
    else
        output.abandon();
    result.clippedSamples = output.clippedSamples();
    result.peak = output.peakLevel();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok;
}

} // namespace render
