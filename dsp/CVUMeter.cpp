#include "CVUMeter.h"

#include <cmath>

CVUMeter::CVUMeter() : sampleRate(44100.0)
{
    init();
}

CVUMeter::CVUMeter(double sampleRate) : sampleRate(sampleRate)
{
    init();
}

void CVUMeter::init() noexcept
{
    minDb = -40.0;
    maxDb = 0.0;
    scale = 1.0 / (maxDb - minDb);
    setAttTime(kDefaultAttTimeMs);
    setRelTime(kDefaultRelTimeMs);
    value = 0.0;
}

void CVUMeter::setAttTime(double ms) noexcept
{
    attTime = ms;
    attCoef = std::exp(-1.0 / (ms * sampleRate * kMsToSeconds));
}

void CVUMeter::setRelTime(double ms) noexcept
{
    relTime = ms;
    relCoef = std::exp(-1.0 / (ms * sampleRate * kMsToSeconds));
}

void CVUMeter::setSampleRate(double sr) noexcept
{
    sampleRate = sr;
    setAttTime(attTime);
    setRelTime(relTime);
}

int CVUMeter::processSamples(const double* in, double* out, int n) noexcept
{
    for (int i = 0; i < n; ++i)
        out[i] = processSample(in[i]);
    return n > 0 ? n : 0;
}
