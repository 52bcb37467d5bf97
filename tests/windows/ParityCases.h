// The settings and input signals on which the Windows build must reproduce the build machine's
// build of the effect, and the file that carries the build machine's results across. Shared by
// the native reference writer (MakeParityReference.cpp) and the test under Wine
// (KalvoParityTest.cpp), so both sides drive the effect through exactly the same calls.
#pragma once

#include "tests/support/TestHost.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace parity
{

constexpr int kChannels = 6;
constexpr int kParameters = 13;
constexpr int kMeters = 8;
constexpr int kFirstMeter = 20;
constexpr int kTextSize = 64;

/// A parameter set by the host before block `block` is processed.
struct Change
{
    int block;
    int index;
    float value;
};

struct Case
{
    const char* name;
    float sampleRate;
    int blockSize;
    int blocks;
    /// Factory preset sent on index 14 (1 to 5), or 0 to set `values` instead.
    int preset;
    float values[kParameters];
    std::vector<Change> changes;
};

/// Factory presets, odd settings at odd rates and block sizes, the extremes, and the surround
/// delay and angles changed while the audio runs (the delay glides over 250 ms).
inline std::vector<Case> cases()
{
    const float mid[kParameters] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0};
    std::vector<Case> all;
    for (int preset = 1; preset <= 5; ++preset)
        all.push_back({"factory preset", 44100.0f, 512, 6, preset, {}, {}});
    all.push_back({"odd settings, 48 kHz, 333-frame blocks",
                   48000.0f,
                   333,
                   12,
                   0,
                   {0.13f, 0.71f, 0.97f, 0.21f, 0.83f, 0.45f, 0.31f, 0.66f, 0.92f, 0.05f, 0, 0, 0},
                   {}});
    all.push_back({"extremes and mutes, 96 kHz",
                   96000.0f,
                   1024,
                   4,
                   0,
                   {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 0, 1},
                   {{2, 11, 1.0f}, {3, 10, 0.0f}, {3, 6, 1.0f}}});
    all.push_back({"delay and angles moving while playing, 44.1 kHz",
                   44100.0f,
                   1000,
                   16,
                   0,
                   {mid[0], mid[1], mid[2], mid[3], mid[4], 0.1f, mid[6], mid[7], mid[8], mid[9], 0, 0, 0},
                   {{2, 5, 0.9f}, {5, 3, 0.95f}, {7, 5, 0.2f}, {9, 4, 0.1f}, {12, 6, 0.05f}}});
    all.push_back({"tiny blocks, 22.05 kHz", 22050.0f, 7, 300, 3, {}, {{150, 5, 1.0f}}});
    return all;
}

/// Deterministic noise with 24-bit integer samples, exact in both precisions on every system.
class Noise
{
public:
    explicit Noise(std::uint32_t seed) : state(seed ? seed : 1u) {}
    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const auto sample = static_cast<std::int32_t>(state >> 8) - (1 << 23);
        return static_cast<double>(sample) / 16777216.0; // within +-0.5
    }

private:
    std::uint32_t state;
};

template <typename Sample> struct PathResult
{
    std::vector<Sample> samples; ///< channel after channel, blocks * blockSize frames each
    float meters[kMeters] = {};  ///< parameters 20 to 27 after the last block
};

struct CaseResult
{
    PathResult<float> single;
    PathResult<double> twice; ///< the double-precision path
    /// effGetParamDisplay of parameters 0 to 12 after the last block.
    char displays[kParameters][kTextSize] = {};
};

inline VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

/// Runs one case through a fresh effect on one processing path.
template <typename Sample>
void run(AEffect* e, TestHost& host, const Case& c, std::uint32_t seed, PathResult<Sample>& result)
{
    host.sampleRate = static_cast<VstIntPtr>(c.sampleRate);
    host.blockSize = c.blockSize;
    dispatch(e, effOpen);
    dispatch(e, effSetSampleRate, 0, 0, nullptr, c.sampleRate);
    dispatch(e, effSetBlockSize, 0, c.blockSize);
    dispatch(e, effMainsChanged, 0, 0);
    dispatch(e, effMainsChanged, 0, 1);
    if (c.preset > 0)
        e->setParameter(e, 14, static_cast<float>(c.preset));
    else
        for (int i = 0; i < kParameters; ++i)
            e->setParameter(e, i, c.values[i]);

    std::vector<Noise> noise;
    for (int ch = 0; ch < kChannels; ++ch)
        noise.emplace_back(seed * 7919u + static_cast<std::uint32_t>(ch) + 1u);
    const std::size_t frames = static_cast<std::size_t>(c.blocks) * static_cast<std::size_t>(c.blockSize);
    result.samples.assign(kChannels * frames, Sample(0));
    ChannelBuffers<Sample> in(c.blockSize), out(c.blockSize);
    for (int b = 0; b < c.blocks; ++b)
    {
        for (const Change& change : c.changes)
            if (change.block == b)
                e->setParameter(e, change.index, change.value);
        for (int ch = 0; ch < kChannels; ++ch)
            for (int i = 0; i < c.blockSize; ++i)
                in.data[ch][i] = static_cast<Sample>(noise[ch].next());
        if constexpr (sizeof(Sample) == sizeof(float))
            e->processReplacing(e, in.ptrs, out.ptrs, c.blockSize);
        else
            e->processDoubleReplacing(e, in.ptrs, out.ptrs, c.blockSize);
        for (int ch = 0; ch < kChannels; ++ch)
            std::memcpy(&result.samples[ch * frames + static_cast<std::size_t>(b) * c.blockSize],
                        out.data[ch].data(), sizeof(Sample) * c.blockSize);
    }
    for (int m = 0; m < kMeters; ++m)
        result.meters[m] = e->getParameter(e, kFirstMeter + m);
}

/// Runs one case on both paths, each through a fresh effect from `create`.
template <typename Create>
CaseResult runBoth(Create create, TestHost& host, const Case& c, std::uint32_t seed)
{
    CaseResult result;
    AEffect* e = create();
    if (!e)
        return result;
    run(e, host, c, seed, result.single);
    for (int i = 0; i < kParameters; ++i)
        dispatch(e, effGetParamDisplay, i, 0, result.displays[i]);
    dispatch(e, effClose);
    e = create();
    if (!e)
        return result;
    run(e, host, c, seed, result.twice);
    dispatch(e, effClose);
    return result;
}

// ---- the reference file: a magic line, then per case the two paths and the texts ----

constexpr char kMagic[] = "Kalvo parity reference 1\n";

template <typename T> bool writeVector(std::FILE* f, const std::vector<T>& v)
{
    const std::uint64_t n = v.size();
    return std::fwrite(&n, sizeof n, 1, f) == 1 && std::fwrite(v.data(), sizeof(T), v.size(), f) == v.size();
}

template <typename T> bool readVector(std::FILE* f, std::vector<T>& v)
{
    std::uint64_t n = 0;
    if (std::fread(&n, sizeof n, 1, f) != 1 || n > (1u << 26))
        return false;
    v.resize(static_cast<std::size_t>(n));
    return std::fread(v.data(), sizeof(T), v.size(), f) == v.size();
}

inline bool writeResults(const char* path, const std::vector<CaseResult>& results)
{
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(kMagic, 1, sizeof kMagic - 1, f) == sizeof kMagic - 1;
    const std::uint32_t count = static_cast<std::uint32_t>(results.size());
    ok = ok && std::fwrite(&count, sizeof count, 1, f) == 1;
    for (const CaseResult& r : results)
    {
        ok = ok && writeVector(f, r.single.samples) &&
             std::fwrite(r.single.meters, sizeof r.single.meters, 1, f) == 1;
        ok = ok && writeVector(f, r.twice.samples) &&
             std::fwrite(r.twice.meters, sizeof r.twice.meters, 1, f) == 1;
        ok = ok && std::fwrite(r.displays, sizeof r.displays, 1, f) == 1;
    }
    return std::fclose(f) == 0 && ok;
}

inline bool readResults(const char* path, std::vector<CaseResult>& results)
{
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    char magic[sizeof kMagic - 1];
    std::uint32_t count = 0;
    bool ok = std::fread(magic, 1, sizeof magic, f) == sizeof magic &&
              std::memcmp(magic, kMagic, sizeof magic) == 0 && std::fread(&count, sizeof count, 1, f) == 1 &&
              count < 1000;
    results.assign(ok ? count : 0, CaseResult{});
    for (CaseResult& r : results)
    {
        ok = ok && readVector(f, r.single.samples) &&
             std::fread(r.single.meters, sizeof r.single.meters, 1, f) == 1;
        ok = ok && readVector(f, r.twice.samples) &&
             std::fread(r.twice.meters, sizeof r.twice.meters, 1, f) == 1;
        ok = ok && std::fread(r.displays, sizeof r.displays, 1, f) == 1;
    }
    std::fclose(f);
    return ok;
}

} // namespace parity
