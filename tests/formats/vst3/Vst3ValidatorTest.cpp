// The built Kalvo.vst3 module under the abuse plug-in validators put a VST 3 plug-in through:
// hostile audio and parameter values, every rate and block size, damaged and random states,
// every bus arrangement, lifecycle cycles and many instances at once.
#include "Vst3Module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace vst3test;

namespace
{

constexpr vst3::int32 kMaxBlock = 16384;
constexpr int kLfe = 3;
constexpr vst3::ParamID kProgramId = 14;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

/// One instance with room for its largest block: three inputs, six outputs and one guard
/// frame behind each output that no call may touch.
template <typename Sample> struct Rig
{
    Instance plugin;
    std::vector<std::vector<Sample>> in, out;
    Sample* inPtr[3];
    Sample* outPtr[6];

    explicit Rig(double rate = 48000.0, vst3::int32 maxBlock = 4096)
        : plugin(rate, maxBlock, sizeof(Sample) == 8 ? vst3::kSample64 : vst3::kSample32),
          in(3, std::vector<Sample>(static_cast<size_t>(maxBlock))),
          out(6, std::vector<Sample>(static_cast<size_t>(maxBlock) + 1))
    {
        for (int c = 0; c < 3; ++c)
            inPtr[c] = in[static_cast<size_t>(c)].data();
        for (int c = 0; c < 6; ++c)
            outPtr[c] = out[static_cast<size_t>(c)].data();
    }
    void noise(std::mt19937& rng)
    {
        std::uniform_real_distribution<double> d(-0.5, 0.5);
        for (auto& ch : in)
            for (Sample& s : ch)
                s = static_cast<Sample>(d(rng));
    }
    void fill(Sample v)
    {
        for (auto& ch : in)
            std::fill(ch.begin(), ch.end(), v);
    }
    /// Processes `frames` out of place (or in place: L, R, C over the inputs).
    ::testing::AssertionResult run(vst3::int32 frames, vst3::IParameterChanges* changes = nullptr,
                                   bool inPlace = false)
    {
        Sample* outs[6];
        for (int c = 0; c < 6; ++c)
        {
            outs[c] = inPlace && c < 3 ? inPtr[c] : outPtr[c];
            out[static_cast<size_t>(c)][static_cast<size_t>(frames)] = Sample(-7);
        }
        if (plugin.process(inPtr, outs, frames, changes) != vst3::kResultOk)
            return ::testing::AssertionFailure() << "process refused " << frames << " frames";
        for (int c = 0; c < 6; ++c)
        {
            if (out[static_cast<size_t>(c)][static_cast<size_t>(frames)] != Sample(-7))
                return ::testing::AssertionFailure() << "channel " << c << " written past " << frames;
            for (vst3::int32 i = 0; i < frames; ++i)
            {
                const Sample s = outs[c][i];
                if (!std::isfinite(s))
                    return ::testing::AssertionFailure() << "channel " << c << " frame " << i << ": " << s;
                if (c == kLfe && s != Sample(0))
                    return ::testing::AssertionFailure() << "LFE frame " << i << ": " << s;
            }
        }
        return ::testing::AssertionSuccess();
    }
};

std::vector<unsigned char> stateOf(vst3::IComponent* component)
{
    MemoryStream stream;
    EXPECT_EQ(component->getState(&stream), vst3::kResultOk);
    return stream.bytes;
}

/// A stream whose reads fail after `goodBytes` bytes (a file on a vanished disk).
class FailingStream : public MemoryStream
{
public:
    FailingStream(std::vector<unsigned char> bytes, vst3::int64 goodBytes)
        : MemoryStream(std::move(bytes)), goodBytes(goodBytes)
    {
    }
    vst3::tresult KALVO_VST3_API read(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesRead) override
    {
        if (position >= goodBytes)
        {
            if (numBytesRead)
                *numBytesRead = 0;
            return vst3::kResultFalse;
        }
        return MemoryStream::read(
            buffer, std::min<vst3::int32>(numBytes, static_cast<vst3::int32>(goodBytes - position)),
            numBytesRead);
    }
    vst3::int64 goodBytes;
};

/// A stream as a real host declares it: the interface's slots in the interface's order, but
/// the host's own class, not ours. The module must call it through the slots alone; it
/// cannot know the host's type (a sanitizer's type check of it would abort the host).
class ForeignStream
{
public:
    explicit ForeignStream(MemoryStream& memory) : memory(memory) {}
    virtual vst3::tresult KALVO_VST3_API queryInterface(const vst3::TUID, void** obj)
    {
        *obj = nullptr;
        return vst3::kNoInterface;
    }
    virtual vst3::uint32 KALVO_VST3_API addRef() { return 1; }
    virtual vst3::uint32 KALVO_VST3_API release() { return 1; }
    virtual vst3::tresult KALVO_VST3_API read(void* buffer, vst3::int32 n, vst3::int32* got)
    {
        return memory.read(buffer, n, got);
    }
    virtual vst3::tresult KALVO_VST3_API write(void* buffer, vst3::int32 n, vst3::int32* put)
    {
        return memory.write(buffer, n, put);
    }
    virtual vst3::tresult KALVO_VST3_API seek(vst3::int64 pos, vst3::int32 mode, vst3::int64* result)
    {
        return memory.seek(pos, mode, result);
    }
    virtual vst3::tresult KALVO_VST3_API tell(vst3::int64* pos) { return memory.tell(pos); }
    vst3::IBStream* asStream() { return reinterpret_cast<vst3::IBStream*>(this); }

private:
    MemoryStream& memory;
};

template <typename Sample> void hostileInputsLeaveFiniteOutput()
{
    const Sample nan = std::numeric_limits<Sample>::quiet_NaN();
    const Sample inf = std::numeric_limits<Sample>::infinity();
    const Sample tiny = std::numeric_limits<Sample>::denorm_min();
    std::mt19937 rng(11);
    Rig<Sample> rig(48000.0, 1024);
    ParamChanges longDelay;
    longDelay.add(5, 0, 1.0); // the longest rear delay holds a bad sample the longest
    rig.noise(rng);
    ASSERT_TRUE(rig.run(1024, &longDelay));
    // Non-finite input: its own frame may carry it, and the surrounds once more as the delay
    // line gives it back 55 ms later; after that, nothing of it is left.
    for (Sample bad : {nan, inf, -inf})
    {
        rig.noise(rng);
        rig.in[static_cast<size_t>(rng() % 3)][rng() % 1024] = bad;
        for (int block = 0; block < 4; ++block)
        {
            rig.run(1024);
            rig.noise(rng);
        }
        for (int block = 0; block < 44; ++block)
        {
            rig.noise(rng);
            ASSERT_TRUE(rig.run(1024)) << bad << ", block " << block + 4 << " after";
        }
    }
    // Finite input, however odd, gives finite output straight away.
    for (Sample level : {tiny, -tiny, std::numeric_limits<Sample>::min() / 3, Sample(1)})
        for (int period : {2, 7, 64, 1000})
        {
            for (auto& ch : rig.in)
                for (size_t i = 0; i < ch.size(); ++i)
                    ch[i] = (i / static_cast<size_t>(period)) % 2 ? level : -level;
            for (int block = 0; block < 4; ++block)
                ASSERT_TRUE(rig.run(1024)) << level << " period " << period;
        }
    // Full-scale squares through every parameter at its ends and at random values,
    // including values a host should not send.
    const double odd[] = {0.0, 1.0, -1.0, 2.0, kNaN, kInf, -kInf, 1e300};
    for (int round = 0; round < 200; ++round)
    {
        ParamChanges changes;
        for (vst3::ParamID id = 0; id < 13; ++id)
            changes.add(id, 0,
                        round % 3 == 0 ? odd[rng() % 8]
                                       : (round % 3 == 1 ? double(rng() % 2) : rng() / 4294967295.0));
        for (auto& ch : rig.in)
            for (size_t i = 0; i < ch.size(); ++i)
                ch[i] = (i / (1 + round % 50)) % 2 ? Sample(1) : Sample(-1);
        ASSERT_TRUE(rig.run(256, &changes)) << "round " << round;
    }
}

/// The fastest of several timings of `blocks` blocks of `frames`.
template <typename F> double fastestSeconds(int repetitions, F&& work)
{
    double best = 1e30;
    for (int r = 0; r < repetitions; ++r)
    {
        const auto start = std::chrono::steady_clock::now();
        work();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

} // namespace

TEST(Vst3Validator, OutputsAreFiniteAndTheLfeSilentWhateverTheInputAndTheParameters)
{
    hostileInputsLeaveFiniteOutput<float>();
    hostileInputsLeaveFiniteOutput<double>();
}

TEST(Vst3Validator, SubnormalInputCostsNoMoreThanNoise)
{
    // A denormal-unaware filter runs many times slower on subnormals. Each kind of input is
    // timed several times and the fastest run kept, so that a busy machine does not decide.
    for (vst3::int32 size : {vst3::kSample32, vst3::kSample64})
    {
        Instance plugin(48000.0, 512, size);
        std::vector<std::vector<double>> buffers(9, std::vector<double>(512));
        std::vector<std::vector<float>> buffers32(9, std::vector<float>(512));
        const auto timeWith = [&](double value, bool noise)
        {
            std::mt19937 rng(3);
            for (int c = 0; c < 3; ++c)
                for (int i = 0; i < 512; ++i)
                {
                    const double v = noise ? std::uniform_real_distribution<double>(-0.5, 0.5)(rng) : value;
                    buffers[static_cast<size_t>(c)][static_cast<size_t>(i)] = v;
                    buffers32[static_cast<size_t>(c)][static_cast<size_t>(i)] = static_cast<float>(v);
                }
            double* in64[3] = {buffers[0].data(), buffers[1].data(), buffers[2].data()};
            double* out64[6] = {buffers[3].data(), buffers[4].data(), buffers[5].data(),
                                buffers[6].data(), buffers[7].data(), buffers[8].data()};
            float* in32[3] = {buffers32[0].data(), buffers32[1].data(), buffers32[2].data()};
            float* out32[6] = {buffers32[3].data(), buffers32[4].data(), buffers32[5].data(),
                               buffers32[6].data(), buffers32[7].data(), buffers32[8].data()};
            return fastestSeconds(7,
                                  [&]
                                  {
                                      for (int block = 0; block < 64; ++block)
                                          size == vst3::kSample64 ? plugin.process(in64, out64, 512)
                                                                  : plugin.process(in32, out32, 512);
                                  });
        };
        const double tiny = size == vst3::kSample64 ? std::numeric_limits<double>::denorm_min() * 3
                                                    : std::numeric_limits<float>::denorm_min() * 3;
        timeWith(0.0, true); // warm up
        const double noise = timeWith(0.0, true);
        const double subnormal = timeWith(tiny, false);
        EXPECT_LT(subnormal / noise, 4.0) << (size == vst3::kSample64 ? "double" : "float");
    }
}

TEST(Vst3Validator, ProcessesAtEveryRateAndBlockSizeInPlaceOrNot)
{
    // Whatever the blocks, the sound is the same: one block of the whole signal against
    // sizes from 1 frame up and random sizes within the announced largest, with empty
    // blocks among them, out of place and in place.
    std::mt19937 rng(5);
    for (double rate : {1000.0, 8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0, 768000.0})
    {
        Rig<float> whole(rate, kMaxBlock);
        whole.noise(rng);
        const auto signal = whole.in;
        ASSERT_TRUE(whole.run(kMaxBlock)) << rate;
        const auto reference = whole.out;

        for (int mode = 0; mode < 4; ++mode)
        {
            const bool inPlace = mode % 2 == 1;
            Rig<float> pieces(rate, kMaxBlock);
            std::vector<std::vector<float>> got(6, std::vector<float>(kMaxBlock));
            vst3::int32 done = 0;
            for (int block = 0; done < kMaxBlock; ++block)
            {
                vst3::int32 n = mode < 2
                                    ? std::min<vst3::int32>(1 << (block % 15), kMaxBlock - done)
                                    : std::uniform_int_distribution<vst3::int32>(0, kMaxBlock - done)(rng);
                if (block % 5 == 4)
                    n = 0;
                for (int c = 0; c < 3; ++c)
                    std::copy(signal[c].begin() + done, signal[c].begin() + done + n, pieces.in[c].begin());
                ASSERT_TRUE(pieces.run(n, nullptr, inPlace)) << rate << " block of " << n;
                for (int c = 0; c < 6; ++c)
                {
                    const float* from = inPlace && c < 3 ? pieces.inPtr[c] : pieces.outPtr[c];
                    std::copy(from, from + n, got[c].begin() + done);
                }
                done += n;
            }
            for (int c = 0; c < 6; ++c)
                ASSERT_EQ(std::memcmp(got[c].data(), reference[c].data(), sizeof(float) * kMaxBlock), 0)
                    << "rate " << rate << " mode " << mode << " channel " << c;
        }
    }

    // Rates the effect cannot run at are refused, not taken and ignored.
    Instance plugin(48000.0, 512, vst3::kSample32, false);
    for (double rate : {0.0, -48000.0, 500.0, 2e6, kNaN, kInf})
    {
        vst3::ProcessSetup setup{vst3::kRealtime, vst3::kSample32, 512, rate};
        EXPECT_NE(plugin.processor->setupProcessing(setup), vst3::kResultOk) << rate;
    }
    vst3::ProcessSetup badBlock{vst3::kRealtime, vst3::kSample32, 0, 48000.0};
    EXPECT_NE(plugin.processor->setupProcessing(badBlock), vst3::kResultOk);
}

TEST(Vst3Validator, ProcessingWithoutAudioBuffersStillTakesTheParameters)
{
    Instance plugin;
    ParamChanges changes;
    changes.add(4, 17, 0.125);
    vst3::ProcessData data{};
    data.processMode = vst3::kRealtime;
    data.numSamples = 0; // a parameter flush: no frames, no buses
    data.inputParameterChanges = &changes;
    EXPECT_EQ(plugin.processor->process(data), vst3::kResultOk);
    float v = 0;
    std::memcpy(&v, &stateOf(plugin.component)[8 + 4 * 4], 4);
    EXPECT_EQ(v, 0.125f);
    data.symbolicSampleSize = vst3::kSample64;
    data.numSamples = 512; // frames announced, but numInputs and numOutputs 0
    changes.clear();
    changes.add(4, 511, 0.5);
    EXPECT_EQ(plugin.processor->process(data), vst3::kResultOk);
    std::memcpy(&v, &stateOf(plugin.component)[8 + 4 * 4], 4);
    EXPECT_EQ(v, 0.5f);
}

TEST(Vst3Validator, SurvivesParameterFuzzingAndEndsOnEachQueuesLastValue)
{
    std::mt19937 rng(7);
    Rig<double> rig(44100.0, 512);
    const double specials[] = {kNaN, kInf, -kInf, -0.5, 1.5, 1e300, -0.0, 0.0, 1.0};
    for (int round = 0; round < 300; ++round)
    {
        const vst3::int32 frames = static_cast<vst3::int32>(rng() % 513);
        ParamChanges changes;
        double expected[13];
        for (int i = 0; i < 13; ++i)
        {
            float v = 0;
            std::memcpy(&v, &stateOf(rig.plugin.component)[static_cast<size_t>(8 + 4 * i)], 4);
            expected[i] = v;
        }
        bool program = false;
        const int queues = 1 + static_cast<int>(rng() % 8);
        for (int q = 0; q < queues; ++q)
        {
            // Known, unknown, read-only and program ids alike.
            const vst3::ParamID id = rng() % 3 ? rng() % 13 : 13 + rng() % 19;
            vst3::int32 index = 0;
            ParamQueue* queue = static_cast<ParamQueue*>(changes.addParameterData(id, index));
            queue->points.reserve(1000);
            const int points = round % 10 == 0 ? 1000 : 1 + static_cast<int>(rng() % 40);
            for (int p = 0; p < points; ++p)
            {
                // Offsets sorted, every one of the block, unsorted, negative or past the end.
                const vst3::int32 offset = round % 4 == 0   ? p % std::max(frames, 1)
                                           : round % 4 == 1 ? static_cast<vst3::int32>(rng() % (frames + 1))
                                           : round % 4 == 2 ? static_cast<vst3::int32>(rng() % 2000) - 500
                                                            : std::min(p, frames);
                const double value = rng() % 4 ? rng() / 4294967295.0 : specials[rng() % 9];
                if (queue->addPoint(offset, value, index) == vst3::kResultOk && id < 13 &&
                    std::isfinite(value))
                    expected[id] = static_cast<float>(std::clamp(value, 0.0, 1.0));
            }
            program = program || id == kProgramId; // a program replaces the values
        }
        rig.noise(rng);
        ASSERT_TRUE(rig.run(frames, &changes)) << "round " << round;
        const auto state = stateOf(rig.plugin.component);
        for (int i = 0; i < 13; ++i)
        {
            float v = 0;
            std::memcpy(&v, &state[static_cast<size_t>(8 + 4 * i)], 4);
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << i;
            if (!program)
            {
                ASSERT_EQ(v, static_cast<float>(expected[i])) << "round " << round << " parameter " << i;
            }
        }
    }
}

TEST(Vst3Validator, EveryShownTextTypedBackLandsOnItsValueAndDefaultsAreAsDeclared)
{
    Instance plugin;
    vst3::IEditController* c = plugin.controller;
    const auto fresh = stateOf(plugin.component);
    for (vst3::int32 index = 0; index < c->getParameterCount(); ++index)
    {
        vst3::ParameterInfo info{};
        ASSERT_EQ(c->getParameterInfo(index, info), vst3::kResultOk);
        EXPECT_GE(info.defaultNormalizedValue, 0.0);
        EXPECT_LE(info.defaultNormalizedValue, 1.0);
        EXPECT_EQ(c->getParamNormalized(info.id), info.defaultNormalizedValue) << info.id;
        if (info.id < 13)
        {
            float v = 0;
            std::memcpy(&v, &fresh[8 + 4 * info.id], 4);
            EXPECT_EQ(v, static_cast<float>(info.defaultNormalizedValue)) << "processor default " << info.id;
        }
        if (info.flags & vst3::kIsReadOnly)
            continue;
        const int steps = info.stepCount > 0 ? info.stepCount : 400;
        for (int k = 0; k <= steps; ++k)
        {
            const double value = static_cast<double>(k) / steps;
            vst3::String128 shown{};
            ASSERT_EQ(c->getParamStringByValue(info.id, value, shown), vst3::kResultOk);
            double typed = -1.0;
            ASSERT_EQ(c->getParamValueByString(info.id, shown, typed), vst3::kResultOk)
                << info.id << " '" << utf8(shown) << "'";
            vst3::String128 again{};
            c->getParamStringByValue(info.id, typed, again);
            // The same text again, or a value the shown number stands for as well: rounding
            // makes 19.95 kHz show "20.0", which typed back is the top (shown "off"), and
            // -0.04 dB show "-0.0dB", which typed back is 0 dB.
            if (utf8(again) != utf8(shown))
            {
                const std::string text = utf8(shown);
                const size_t point = text.find('.');
                ASSERT_NE(text.find_first_of("0123456789"), std::string::npos) << info.id << " " << text;
                int decimals = 0;
                while (point != std::string::npos && point + 1 + decimals < text.size() &&
                       std::isdigit(static_cast<unsigned char>(text[point + 1 + decimals])))
                    ++decimals;
                double halfDigit = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9);
                // The panel's level display shows 20 log10(gain + 0.0002), typed decibels are
                // 20 log10(gain): near -40 dB the two part by up to 0.2 dB.
                if (utf8(info.units) == "dB")
                    halfDigit += 0.2;
                ASSERT_LE(std::fabs(c->normalizedParamToPlain(info.id, typed) -
                                    c->normalizedParamToPlain(info.id, value)),
                          halfDigit)
                    << info.id << " '" << text << "' typed back as " << typed << " from " << value << ": "
                    << c->normalizedParamToPlain(info.id, typed) << " vs "
                    << c->normalizedParamToPlain(info.id, value);
            }
            if (info.stepCount > 0)
            {
                ASSERT_EQ(typed, value) << info.id;
            }
        }
    }
}

TEST(Vst3Validator, StatesThatAreNotOursChangeNothingAndOursRoundTripExactly)
{
    Instance plugin;
    ParamChanges changes;
    const float knobs[13] = {0.1f, 0.9f, 0.3f, 0.25f, 0.7f, 0.4f, 0.8f, 0.6f, 0.2f, 0.5f, 1.0f, 0.0f, 1.0f};
    for (vst3::ParamID id = 0; id < 13; ++id)
        changes.add(id, 0, knobs[id]);
    float* none[6] = {};
    plugin.process(none, none, 0, &changes);
    const auto good = stateOf(plugin.component);

    // get -> set -> get gives the same bytes, for both parts.
    MemoryStream stream(good);
    ASSERT_EQ(plugin.component->setState(&stream), vst3::kResultOk);
    EXPECT_EQ(stateOf(plugin.component), good);
    stream.rewind();
    ASSERT_EQ(plugin.controller->setComponentState(&stream), vst3::kResultOk);
    MemoryStream controllerState;
    ASSERT_EQ(plugin.controller->getState(&controllerState), vst3::kResultOk);
    controllerState.rewind();
    ASSERT_EQ(plugin.controller->setState(&controllerState), vst3::kResultOk);
    MemoryStream again;
    plugin.controller->getState(&again);
    EXPECT_EQ(again.bytes, controllerState.bytes);

    const auto controllerValues = [&]
    {
        std::vector<double> v;
        for (vst3::ParamID id = 0; id < 13; ++id)
            v.push_back(plugin.controller->getParamNormalized(id));
        return v;
    };
    const auto before = controllerValues();
    std::mt19937 rng(13);
    // Failing reads at every position; then thousands of random streams and damaged copies
    // of the good one. Each is refused and changes nothing, or is taken whole.
    for (int trial = -61; trial < 4000; ++trial)
    {
        std::vector<unsigned char> bytes = good;
        if (trial >= 0 && trial % 2 == 0)
        {
            bytes.resize(rng() % 130);
            for (unsigned char& b : bytes)
                b = static_cast<unsigned char>(rng());
            if (bytes.size() >= 8 && trial % 8 == 0)
                std::memcpy(bytes.data(), "KLV3\1\0\0\0", 8); // our tag, then noise
        }
        else if (trial >= 0)
            for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips)
                bytes[rng() % bytes.size()] ^= static_cast<unsigned char>(1u << (rng() % 8));
        for (int part = 0; part < 3; ++part)
        {
            FailingStream stream(bytes, trial < 0 ? trial + 61 : std::numeric_limits<vst3::int64>::max());
            FailingStream* s = &stream;
            const vst3::tresult r = part == 0   ? plugin.component->setState(s)
                                    : part == 1 ? plugin.controller->setComponentState(s)
                                                : plugin.controller->setState(s);
            if (r == vst3::kResultOk)
            {
                ASSERT_EQ(bytes.size(), good.size()) << "trial " << trial << " part " << part;
                if (part == 0)
                {
                    ASSERT_EQ(stateOf(plugin.component), bytes) << "trial " << trial;
                }
                // Taken: back to the good one for the next trial.
                MemoryStream restore(good);
                part == 0 ? plugin.component->setState(&restore)
                          : plugin.controller->setComponentState(&restore);
            }
            else
            {
                ASSERT_EQ(stateOf(plugin.component), good) << "trial " << trial << " part " << part;
                ASSERT_EQ(controllerValues(), before) << "trial " << trial << " part " << part;
            }
        }
    }
    EXPECT_NE(plugin.controller->setComponentState(nullptr), vst3::kResultOk);
    EXPECT_NE(plugin.controller->setState(nullptr), vst3::kResultOk);
    EXPECT_NE(plugin.component->getState(nullptr), vst3::kResultOk);

    // Two instances given the same state and the same input sound the same, bit for bit.
    std::vector<float> outputs[2];
    for (auto& output : outputs)
    {
        Rig<float> rig(48000.0, 1024);
        MemoryStream s(good);
        ASSERT_EQ(rig.plugin.component->setState(&s), vst3::kResultOk);
        std::mt19937 same(21);
        for (int block = 0; block < 8; ++block)
        {
            rig.noise(same);
            ASSERT_TRUE(rig.run(1024));
            for (int c = 0; c < 6; ++c)
                output.insert(output.end(), rig.out[c].begin(), rig.out[c].end() - 1);
        }
    }
    EXPECT_TRUE(outputs[0] == outputs[1]);
}

TEST(Vst3Validator, BusesKeepTheirOneShapeAndOutOfRangeIndicesAreRefused)
{
    Instance plugin(44100.0, 512, vst3::kSample32, false);
    vst3::IComponent* c = plugin.component;
    vst3::IAudioProcessor* p = plugin.processor;
    const vst3::SpeakerArrangement shapes[] = {0,
                                               vst3::kSpeakerC,
                                               vst3::kSpeakerL | vst3::kSpeakerR,
                                               vst3::kArrangement30Cine,
                                               vst3::kArrangement30Music,
                                               vst3::kArrangement51,
                                               vst3::kArrangement51 & ~vst3::SpeakerArrangement{8},
                                               vst3::kArrangement51 | (vst3::SpeakerArrangement{1} << 40),
                                               ~vst3::SpeakerArrangement{0}};
    for (vst3::SpeakerArrangement in : shapes)
        for (vst3::SpeakerArrangement out : shapes)
            for (vst3::int32 numIns : {0, 1, 2})
                for (vst3::int32 numOuts : {0, 1, 2})
                {
                    vst3::SpeakerArrangement ins[2] = {in, in}, outs[2] = {out, out};
                    const bool ours = in == vst3::kArrangement30Cine && out == vst3::kArrangement51 &&
                                      numIns == 1 && numOuts == 1;
                    EXPECT_EQ(p->setBusArrangements(ins, numIns, outs, numOuts),
                              ours ? vst3::kResultTrue : vst3::kResultFalse)
                        << in << " " << out << " " << numIns << " " << numOuts;
                    vst3::SpeakerArrangement now = 0;
                    ASSERT_EQ(p->getBusArrangement(vst3::kInput, 0, now), vst3::kResultOk);
                    ASSERT_EQ(now, vst3::kArrangement30Cine);
                    ASSERT_EQ(p->getBusArrangement(vst3::kOutput, 0, now), vst3::kResultOk);
                    ASSERT_EQ(now, vst3::kArrangement51);
                }
    EXPECT_NE(p->setBusArrangements(nullptr, 1, nullptr, 1), vst3::kResultTrue);

    vst3::BusInfo info{};
    vst3::SpeakerArrangement arr = 0;
    for (vst3::int32 index : {-1, 1, 2, 1 << 30})
        for (vst3::BusDirection dir : {vst3::kInput, vst3::kOutput})
        {
            EXPECT_NE(c->getBusInfo(vst3::kAudio, dir, index, info), vst3::kResultOk);
            EXPECT_NE(c->activateBus(vst3::kAudio, dir, index, 1), vst3::kResultOk);
            EXPECT_NE(p->getBusArrangement(dir, index, arr), vst3::kResultOk);
        }
    EXPECT_NE(c->getBusInfo(vst3::kEvent, vst3::kInput, 0, info), vst3::kResultOk);
    EXPECT_NE(c->getBusInfo(vst3::kAudio, 7, 0, info), vst3::kResultOk);
    EXPECT_NE(c->activateBus(vst3::kEvent, vst3::kInput, 0, 1), vst3::kResultOk);
    EXPECT_NE(p->getBusArrangement(7, 0, arr), vst3::kResultOk);

    auto* units = query<vst3::IUnitInfo>(plugin.controller);
    ASSERT_NE(units, nullptr);
    vst3::ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), vst3::kResultOk);
    vst3::String128 name{};
    vst3::UnitInfo unit{};
    for (vst3::int32 index : {-1, 5, 1 << 30})
        EXPECT_NE(units->getProgramName(list.id, index, name), vst3::kResultOk) << index;
    EXPECT_NE(units->getProgramName(list.id + 1, 0, name), vst3::kResultOk);
    EXPECT_NE(units->getProgramListInfo(1, list), vst3::kResultOk);
    EXPECT_NE(units->getProgramListInfo(-1, list), vst3::kResultOk);
    EXPECT_NE(units->getUnitInfo(1, unit), vst3::kResultOk);
    EXPECT_NE(units->getUnitInfo(-1, unit), vst3::kResultOk);
    units->release();
}

TEST(Vst3Validator, LifecycleCyclesAndAHundredInstancesReleasedInRandomOrder)
{
    {
        Rig<float> rig(48000.0, 512);
        std::mt19937 rng(17);
        for (int cycle = 0; cycle < 20; ++cycle)
        {
            rig.plugin.stop();
            if (cycle % 4 == 0)
            {
                // Terminated and initialised again, as hosts do when they reload a plug-in.
                EXPECT_EQ(rig.plugin.component->terminate(), vst3::kResultOk);
                EXPECT_EQ(rig.plugin.component->initialize(nullptr), vst3::kResultOk);
                vst3::ProcessSetup setup{vst3::kRealtime, vst3::kSample32, 512,
                                         cycle % 8 ? 44100.0 : 96000.0};
                EXPECT_EQ(rig.plugin.processor->setupProcessing(setup), vst3::kResultOk);
            }
            EXPECT_EQ(rig.plugin.component->setActive(0), vst3::kResultOk) << "inactive twice";
            rig.plugin.start();
            EXPECT_EQ(rig.plugin.component->setActive(1), vst3::kResultOk) << "active twice";
            rig.noise(rng);
            ASSERT_TRUE(rig.run(512)) << cycle;
        }
    }
    std::vector<std::unique_ptr<Rig<float>>> many;
    for (int i = 0; i < 100; ++i)
    {
        many.push_back(std::make_unique<Rig<float>>(48000.0, 64));
        ASSERT_NE(many.back()->plugin.component, nullptr);
        ASSERT_TRUE(many.back()->run(64));
    }
    std::mt19937 rng(19);
    std::shuffle(many.begin(), many.end(), rng);
    while (!many.empty())
    {
        many.pop_back();
        if (!many.empty())
        {
            ASSERT_TRUE(many.front()->run(64));
        }
    }
}

TEST(Vst3Validator, TakesAndGivesStatesThroughAHostsOwnStreamClass)
{
    Instance plugin;
    MemoryStream saved;
    ForeignStream out(saved);
    ASSERT_EQ(plugin.component->getState(out.asStream()), vst3::kResultOk);
    ASSERT_EQ(saved.bytes, stateOf(plugin.component));
    for (int part = 0; part < 3; ++part)
    {
        saved.rewind();
        ForeignStream in(saved);
        EXPECT_EQ(part == 0   ? plugin.component->setState(in.asStream())
                  : part == 1 ? plugin.controller->setComponentState(in.asStream())
                              : plugin.controller->setState(in.asStream()),
                  vst3::kResultOk)
            << part;
    }
    MemoryStream controllerState;
    ForeignStream controllerOut(controllerState);
    EXPECT_EQ(plugin.controller->getState(controllerOut.asStream()), vst3::kResultOk);
    // The processor's record, then the panel's zoom.
    ASSERT_EQ(controllerState.bytes.size(), saved.bytes.size() + 12);
    EXPECT_TRUE(std::equal(saved.bytes.begin(), saved.bytes.end(), controllerState.bytes.begin()));
}
