#pragma once

#include "dsp/KalvoAlgo.h"

#include <vector>

/// Three input and six output channels of n frames, zeroed, with the pointer
/// tables processSamples takes.
struct EngineBuffers
{
    explicit EngineBuffers(int frames)
        : n(frames), in(3, std::vector<double>(frames)), out(6, std::vector<double>(frames))
    {
        for (int c = 0; c < 3; ++c)
            inPtr[c] = in[c].data();
        for (int c = 0; c < 6; ++c)
            outPtr[c] = out[c].data();
    }
    void process(KalvoAlgo& algo) { algo.processSamples(inPtr, outPtr, n); }

    int n;
    std::vector<std::vector<double>> in;  // M, S, Mr
    std::vector<std::vector<double>> out; // L, R, C, silence, Ls, Rs
    const double* inPtr[3];
    double* outPtr[6];
};

/// Input channel indices.
enum
{
    kInM = 0,
    kInS = 1,
    kInMr = 2
};
/// Output channel indices.
enum
{
    kOutL = 0,
    kOutR = 1,
    kOutC = 2,
    kOutLfe = 3,
    kOutLs = 4,
    kOutRs = 5
};
