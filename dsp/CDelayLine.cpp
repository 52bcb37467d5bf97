#include "CDelayLine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
/// Largest sample count a conversion may produce; keeps int arithmetic defined
/// for absurd rates or lengths (about 24 hours at 384 kHz... far beyond any use).
constexpr double kMaxSampleCount = 1 << 30;

/// int(ms * samplingRate * factor), with the product limited to 0..kMaxSampleCount
/// so that the truncation is always defined. Equal to the plain cast in range.
int truncateToSamples(double ms, double samplingRate)
{
    double v = ms * samplingRate * CDelayLine::kMsToSeconds;
    if (!(v > 0.0))
        v = 0.0;
    else if (v > kMaxSampleCount)
        v = kMaxSampleCount;
    return static_cast<int>(v);
}

bool isUsableRate(double sr)
{
    return std::isfinite(sr) && sr > 0.0;
}
} // namespace

CDelayLine::CDelayLine(double delayMs, double samplingRate, int numChannels, double maxDelayMs,
                       FadeStepPrecision fadeStepPrecision)
    : delayMs(0.0), samplingRate(isUsableRate(samplingRate) ? samplingRate : 44100.0),
      numChannels(numChannels > 0 ? numChannels : 0),
      maxDelayMs(std::isfinite(maxDelayMs) && maxDelayMs > 0.0 ? maxDelayMs : 0.0),
      fadeStepPrecision(fadeStepPrecision)
{
    if (std::isfinite(delayMs))
        this->delayMs = delayMs < 0.0 ? 0.0 : (delayMs > this->maxDelayMs ? this->maxDelayMs : delayMs);
    changeTimeMs = kDefaultChangeTimeMs;
    updateChangeSamples();
    resize();
    writePos = delaySamples;
    readPos = newReadPos = 0;
    fadeGain = 1.0;
    fadeCounter = 1;
    fadeState = 0;
    reset();
}

void CDelayLine::resize()
{
    bufferLength = truncateToSamples(maxDelayMs, samplingRate) + 1;
    // The write comes before the read in a frame, so a delay of d samples needs
    // d + 1 slots; keep room for the one-sample minimum delay.
    if (bufferLength < 2)
        bufferLength = 2;
    // assign() keeps the old storage when it is large enough: a rate change back
    // and forth allocates nothing.
    buffers.assign(static_cast<size_t>(bufferLength) * static_cast<size_t>(numChannels), 0.0);
    delaySamples = truncateToSamples(delayMs, samplingRate) + 1;
    if (delaySamples > bufferLength - 1)
        delaySamples = bufferLength - 1;
}

void CDelayLine::updateChangeSamples() noexcept
{
    changeSamples = truncateToSamples(changeTimeMs, samplingRate);
    // A fade shorter than one sample completes in one frame.
    if (changeSamples < 1)
        changeSamples = 1;
    if (fadeStepPrecision == FadeStepPrecision::kSingle)
        fadeStep = static_cast<double>(1.0f / static_cast<float>(changeSamples));
    else
        fadeStep = 1.0 / changeSamples;
}

void CDelayLine::reset() noexcept
{
    for (double& s : buffers)
        s = 0.0;
    readPos = newReadPos = 0;
    fadeState = 0;
    writePos = delaySamples;
}

void CDelayLine::setDelay(double ms) noexcept
{
    if (!std::isfinite(ms))
        return;
    if (ms < 0.0)
        ms = 0.0;
    else if (ms > maxDelayMs)
        ms = maxDelayMs;
    delayMs = ms;
    if (fadeState != 0)
    {
        fadeState = 2;
        pendingDelayMs = ms;
        return;
    }
    startFade(ms);
}

void CDelayLine::startFade(double ms) noexcept
{
    fadeState = 1;
    fadeGain = 1.0;
    fadeCounter = changeSamples;
    runningFadeStep = fadeStep;
    delaySamples = truncateToSamples(ms, samplingRate) + 1;
    if (delaySamples > bufferLength - 1)
        delaySamples = bufferLength - 1;
    newReadPos = writePos - delaySamples;
    if (newReadPos < 0)
        newReadPos += bufferLength;
}

void CDelayLine::setChangeTime(double ms) noexcept
{
    if (!std::isfinite(ms))
        return;
    changeTimeMs = ms;
    updateChangeSamples();
}

void CDelayLine::setMaxDelay(double ms)
{
    if (!std::isfinite(ms))
        return;
    maxDelayMs = ms > 0.0 ? ms : 0.0;
    if (delayMs > maxDelayMs)
        delayMs = maxDelayMs;
    resize();
    writePos = delaySamples;
    readPos = 0;
    reset();
}

void CDelayLine::setSamplingRate(double sr)
{
    if (!isUsableRate(sr))
        return;
    samplingRate = sr;
    resize();
    writePos = delaySamples;
    readPos = 0;
    reset();
}

void CDelayLine::finishFade() noexcept
{
    readPos = newReadPos;
    const bool pending = fadeState == 2;
    fadeState = 0;
    if (pending)
        startFade(pendingDelayMs);
}

void CDelayLine::processFrame(const double* in, double* out) noexcept
{
    const int channels = numChannels;
    for (int c = 0; c < channels; ++c)
        ring(c)[writePos] = in[c];
    if (++writePos == bufferLength)
        writePos = 0;

    if (fadeState == 0)
    {
        for (int c = 0; c < channels; ++c)
            out[c] = ring(c)[readPos];
        if (++readPos == bufferLength)
            readPos = 0;
        return;
    }

    fadeGain = fadeGain - runningFadeStep;
    for (int c = 0; c < channels; ++c)
        out[c] = fadeGain * ring(c)[readPos] + (1.0 - fadeGain) * ring(c)[newReadPos];
    if (++readPos == bufferLength)
        readPos = 0;
    if (++newReadPos == bufferLength)
        newReadPos = 0;
    if (--fadeCounter <= 0)
        finishFade();
}

void CDelayLine::processFrames(const double* const* in, double* const* out, int n) noexcept
{
    const int channels = numChannels;
    int i = 0;
    while (i < n)
    {
        if (fadeState != 0)
        {
            // Frame by frame to the end of the fade (or of the block).
            const int count = std::min(n - i, std::max(fadeCounter, 1));
            for (const int end = i + count; i < end; ++i)
            {
                for (int c = 0; c < channels; ++c)
                    ring(c)[writePos] = in[c][i];
                if (++writePos == bufferLength)
                    writePos = 0;
                fadeGain = fadeGain - runningFadeStep;
                for (int c = 0; c < channels; ++c)
                    out[c][i] = fadeGain * ring(c)[readPos] + (1.0 - fadeGain) * ring(c)[newReadPos];
                if (++readPos == bufferLength)
                    readPos = 0;
                if (++newReadPos == bufferLength)
                    newReadPos = 0;
            }
            fadeCounter -= count;
            if (fadeCounter <= 0)
                finishFade();
            continue;
        }

        // Steady: write a span, then read one. The span stops at either ring end
        // and before the write would reach a slot this span still has to read
        // (only possible when the read position lies ahead of the write position).
        int room = readPos - writePos;
        if (room <= 0)
            room += bufferLength;
        const int count = std::min({n - i, bufferLength - writePos, bufferLength - readPos, room});
        const size_t bytes = sizeof(double) * static_cast<size_t>(count);
        for (int c = 0; c < channels; ++c)
            std::memcpy(ring(c) + writePos, in[c] + i, bytes);
        for (int c = 0; c < channels; ++c)
            std::memcpy(out[c] + i, ring(c) + readPos, bytes);
        writePos += count;
        if (writePos == bufferLength)
            writePos = 0;
        readPos += count;
        if (readPos == bufferLength)
            readPos = 0;
        i += count;
    }
}

int CDelayLine::processSamples(const double* const* in, double* const* out, int n) noexcept
{
    const int channels = numChannels;
    for (int i = 0; i < n; ++i)
    {
        for (int c = 0; c < channels; ++c)
            ring(c)[writePos] = in[c][i];
        if (++writePos == bufferLength)
            writePos = 0;
        for (int c = 0; c < channels; ++c)
            out[c][i] = ring(c)[readPos];
        if (++readPos == bufferLength)
            readPos = 0;
        // The new read position keeps its distance to the write position, so a
        // fade that resumes afterwards still lands on the requested delay.
        if (fadeState != 0 && ++newReadPos == bufferLength)
            newReadPos = 0;
    }
    return n > 0 ? n : 0;
}
