// Bounded fuzzing of the built Kalvo.so through everything a host can reach:
// random opcodes, indices, values and pointers (valid or null), parameter
// indices and values (NaN and infinities included), processing calls with odd
// sizes, null and aliased buffers, and host answers that change under it.
// No crash, no sanitizer report, and afterwards the audio recovers.
#include "tests/support/PluginLibrary.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace
{

constexpr int kMaxFrames = 3000;

class Fuzzer
{
public:
    Fuzzer(AEffect* effect, TestHost& host, unsigned seed) : e(effect), host(host), rng(seed) {}

    void step()
    {
        switch (pick(0, 9))
        {
        case 0:
        case 1:
        case 2:
            dispatchSomething();
            break;
        case 3:
        case 4:
            e->setParameter(e, index(), value());
            break;
        case 5:
            (void)e->getParameter(e, index());
            break;
        case 6:
            processSingle();
            break;
        case 7:
            processDouble();
            break;
        case 8:
            changeHostAnswers();
            break;
        default:
            call(e, effMainsChanged, 0, pick(0, 1));
            break;
        }
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(int percent) { return pick(0, 99) < percent; }

    VstInt32 index()
    {
        switch (pick(0, 3))
        {
        case 0:
            return pick(0, 12);
        case 1:
            return pick(13, 30);
        case 2:
            return pick(-5, 40);
        default:
            return static_cast<VstInt32>(rng());
        }
    }

    float value()
    {
        const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                                  std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::max(),
                                  -std::numeric_limits<float>::max(),
                                  std::numeric_limits<float>::denorm_min(),
                                  0.0f,
                                  1.0f,
                                  -1.0f,
                                  1e9f};
        if (chance(30))
            return specials[pick(0, 9)];
        if (chance(50))
            return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
        return std::uniform_real_distribution<float>(-10.0f, 10.0f)(rng);
    }

    VstIntPtr bigValue()
    {
        switch (pick(0, 3))
        {
        case 0:
            return pick(-3, 10);
        case 1:
            return static_cast<VstIntPtr>(rng());
        case 2:
            return -static_cast<VstIntPtr>(rng());
        default:
            return static_cast<VstIntPtr>(static_cast<std::uint64_t>(rng()) << 32 | rng());
        }
    }

    VstSpeakerArrangement* randomArrangement(VstSpeakerArrangement& a)
    {
        if (chance(10))
            return nullptr;
        std::memset(&a, pick(0, 255), sizeof(a));
        a.type = pick(-3, 30);
        a.numChannels = chance(80) ? pick(-2, 10) : static_cast<VstInt32>(rng());
        return &a;
    }

    void dispatchSomething()
    {
        VstInt32 opcode = pick(-2, 85);
        // Opening the editor needs a real window, and closing ends the instance:
        // the fuzzer leaves those to the dedicated tests.
        if (opcode == effClose || opcode == effEditOpen || opcode == effEditClose)
            opcode = effGetVstVersion;
        const VstInt32 idx = index();
        const float opt = value();
        char textBuffer[512];
        for (char& c : textBuffer)
            c = static_cast<char>(pick(1, 255));
        textBuffer[pick(0, 511)] = 0;
        textBuffer[511] = 0;

        VstSpeakerArrangement in{}, out{};
        VstSpeakerArrangement* slotIn = nullptr;
        VstSpeakerArrangement* slotOut = nullptr;
        ERect* rect = nullptr;
        void* chunk = nullptr;

        switch (opcode)
        {
        case effSetSpeakerArrangement:
            call(e, opcode, idx, reinterpret_cast<VstIntPtr>(randomArrangement(in)), randomArrangement(out),
                 opt);
            break;
        case effGetSpeakerArrangement:
            call(e, opcode, idx, chance(90) ? reinterpret_cast<VstIntPtr>(&slotIn) : 0,
                 chance(90) ? &slotOut : nullptr, opt);
            if (slotIn && slotOut && chance(50)) // offer them straight back
                call(e, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(slotIn), slotOut);
            break;
        case effEditGetRect:
            call(e, opcode, idx, bigValue(), chance(80) ? &rect : nullptr, opt);
            break;
        case effGetChunk:
            call(e, opcode, idx, bigValue(), chance(80) ? &chunk : nullptr, opt);
            break;
        case effSetChunk:
            call(e, opcode, idx, pick(0, 511), chance(80) ? textBuffer : nullptr, opt);
            break;
        case effProcessEvents:
        case effProcessVarIo:
        case effOfflineNotify:
        case effOfflinePrepare:
        case effOfflineRun:
        case effGetParameterProperties:
        case effGetInputProperties:
        case effGetOutputProperties:
        case effGetMidiProgramName:
        case effGetCurrentMidiProgram:
        case effGetMidiProgramCategory:
        case effGetMidiKeyName:
        case effBeginLoadBank:
        case effBeginLoadProgram:
        {
            // Records this effect does not read; a zeroed area stands in for them.
            alignas(16) char record[1024] = {};
            call(e, opcode, idx, bigValue(), chance(80) ? record : nullptr, opt);
            break;
        }
        case effSetSampleRate:
            call(e, opcode, idx, bigValue(), nullptr, chance(50) ? value() * 100000.0f : value());
            break;
        default:
            // Text opcodes and everything else: a writable text or null.
            call(e, opcode, idx, bigValue(), chance(85) ? textBuffer : nullptr, opt);
            break;
        }
    }

    template <typename Sample>
    void process(void (*entry)(AEffect*, Sample**, Sample**, VstInt32),
                 std::vector<std::vector<Sample>>& pool)
    {
        const VstInt32 frames = chance(10) ? pick(-5, 0) : pick(1, kMaxFrames);
        Sample* in[6];
        Sample* out[6];
        for (int c = 0; c < 6; ++c)
        {
            in[c] = chance(8) ? nullptr : pool[pick(0, 7)].data();
            out[c] = chance(8) ? nullptr : pool[pick(0, 7)].data(); // may alias inputs and each other
        }
        for (int k = 0; k < 3; ++k)
        {
            std::vector<Sample>& buffer = pool[pick(0, 7)];
            const int at = pick(0, kMaxFrames - 1);
            buffer[at] = chance(50) ? static_cast<Sample>(value()) : std::numeric_limits<Sample>::quiet_NaN();
        }
        entry(e, chance(3) ? nullptr : in, chance(3) ? nullptr : out, frames);
    }

    void processSingle() { process<float>(e->processReplacing, floatPool); }
    void processDouble() { process<double>(e->processDoubleReplacing, doublePool); }

    void changeHostAnswers()
    {
        const VstIntPtr rates[] = {0, -1, 22050, 44100, 48000, 96000, 192000, 1, 4000000000LL};
        const VstIntPtr blocks[] = {0, -1, 1, 64, 512, 5461, 8192, 1 << 20, 1LL << 40};
        host.sampleRate = rates[pick(0, 8)];
        host.blockSize = blocks[pick(0, 8)];
    }

    AEffect* e;
    TestHost& host;
    std::mt19937 rng;
    std::vector<std::vector<float>> floatPool{8, std::vector<float>(kMaxFrames, 0.1f)};
    std::vector<std::vector<double>> doublePool{8, std::vector<double>(kMaxFrames, 0.1)};
};

} // namespace

TEST(KalvoFuzz, RandomHostCallsNeitherCrashNorLeaveTheAudioStuck)
{
    TestHost host;
    PluginLibrary library;
    ASSERT_TRUE(library.loaded()) << library.error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    long steps = 0;
    for (unsigned round = 0; std::chrono::steady_clock::now() < deadline && round < 200; ++round)
    {
        host.sampleRate = 44100;
        host.blockSize = 512;
        AEffect* e = library.create(TestHost::callback);
        ASSERT_NE(e, nullptr);
        {
            Fuzzer fuzzer(e, host, 1000 + round);
            for (int i = 0; i < 400 && std::chrono::steady_clock::now() < deadline; ++i, ++steps)
                fuzzer.step();
        }

        // A sane state again: every parameter set, switched off and on with a host
        // that answers; after the delay line and filters flushed, all is finite.
        host.sampleRate = 44100;
        host.blockSize = 512;
        const float sane[13] = {0.36f, 0.36f, 0.36f, 0.8f, 0.6f, 0.2f, 1.0f,
                                1.0f,  1.0f,  1.0f,  0.0f, 0.0f, 0.0f};
        for (VstInt32 i = 0; i < 13; ++i)
            e->setParameter(e, i, sane[i]);
        if (round % 2 == 0) // odd rounds recover without the reset a resume brings
        {
            call(e, effMainsChanged, 0, 0);
            call(e, effMainsChanged, 0, 1);
        }
        ChannelBuffers<float> in(512, 0.0f), out(512);
        for (int i = 0; i < 512; ++i)
            in.data[0][i] = in.data[1][i] = 0.3f * static_cast<float>(std::sin(0.1 * i));
        for (int block = 0; block < 60; ++block)
            e->processReplacing(e, in.ptrs, out.ptrs, 512);
        for (int c = 0; c < 6; ++c)
            for (float s : out.data[c])
                ASSERT_TRUE(std::isfinite(s)) << "round " << round << " channel " << c;
        for (VstInt32 m = 20; m <= 27; ++m)
            ASSERT_TRUE(std::isfinite(e->getParameter(e, m))) << "round " << round << " meter " << m;
        EXPECT_EQ(call(e, effClose), 1);
    }
    EXPECT_GT(steps, 1000);
}
