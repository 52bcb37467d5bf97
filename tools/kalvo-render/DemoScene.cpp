#include "DemoScene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace render
{
namespace
{

const double kPi = 3.14159265358979323846;
// Each burst: noise high-passed at 300 Hz (above the side shelf's boost),
// scaled to this RMS (-20 dBFS).
const double kBurstRms = 0.1;

// A small deterministic noise generator, so that the demo is the same on
// every run and every machine.
class Noise
{
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0; // -1 .. 1
    }

private:
    uint32_t state_;
};

int64_t framesOf(double seconds, int rate)
{
    return static_cast<int64_t>(std::llround(seconds * rate));
}

} // namespace

const std::vector<DemoSource>& demoSources()
{
    static const std::vector<DemoSource> sources = {
        {"centre", 0.0},       {"front left", -30.0}, {"front right", 30.0},
        {"left side", -110.0}, {"right side", 110.0}, {"behind", 180.0},
    };
    return sources;
}

double demoSourceRms()
{
    return kBurstRms;
}

std::array<std::vector<double>, 3> synthesiseDemo(int rate, const DemoTiming& timing)
{
    const int64_t gap = framesOf(timing.gapSeconds, rate);
    const int64_t burst = framesOf(timing.burstSeconds, rate);
    const size_t sources = demoSources().size();
    const size_t total = static_cast<size_t>((gap + burst) * static_cast<int64_t>(sources) + gap);
    std::array<std::vector<double>, 3> mics;
    for (auto& m : mics)
        m.assign(total, 0.0);

    // Uniform noise has an RMS of 1/sqrt(3); the high-pass takes a little more.
    const double hpPole = std::exp(-2.0 * kPi * 300.0 / rate);
    const int64_t fade = framesOf(0.005, rate); // 5 ms fades against clicks
    for (size_t s = 0; s < sources; ++s)
    {
        const double a = demoSources()[s].azimuthDeg * kPi / 180.0;
        const double front = 0.5 * (1.0 + std::cos(a));
        const double rear = 0.5 * (1.0 - std::cos(a));
        const double side = -std::sin(a);
        Noise noise(0x4b61u + static_cast<uint32_t>(s) * 7919u);
        std::vector<double> sig(static_cast<size_t>(burst));
        double prevX = 0.0, prevY = 0.0, sum = 0.0;
        for (int64_t i = 0; i < burst; ++i)
        {
            const double x = noise.next();
            const double y = hpPole * (prevY + x - prevX); // one-pole high-pass
            prevX = x;
            prevY = y;
            double env = 1.0;
            if (i < fade)
                env = static_cast<double>(i) / fade;
            else if (i >= burst - fade)
                env = static_cast<double>(burst - 1 - i) / fade;
            sig[static_cast<size_t>(i)] = y * env;
            sum += y * y;
        }
        const double scale = kBurstRms / std::sqrt(sum / static_cast<double>(burst));
        const size_t start = static_cast<size_t>(gap + static_cast<int64_t>(s) * (gap + burst));
        for (size_t i = 0; i < sig.size(); ++i)
        {
            const double v = sig[i] * scale;
            mics[0][start + i] = front * v;
            mics[1][start + i] = side * v;
            mics[2][start + i] = rear * v;
        }
    }
    return mics;
}

DemoMeter::DemoMeter(int sampleRate, OutputLayout layout, const DemoTiming& timing)
    : rate_(sampleRate), layout_(layout), timing_(timing), sums_(demoSources().size())
{
    for (Sums& s : sums_)
        s.energy.assign(layoutInfo(layout).channelNames.size(), 0.0);
}

void DemoMeter::add(const double* const* out, int channels, int frames, int64_t firstFrame)
{
    const int64_t gap = framesOf(timing_.gapSeconds, rate_);
    const int64_t burst = framesOf(timing_.burstSeconds, rate_);
    const int64_t settle = framesOf(timing_.settleSeconds, rate_);
    const int64_t fade = framesOf(0.005, rate_);
    const bool fuma = layout_ == OutputLayout::FuMa;
    const bool ambisonic = fuma || layout_ == OutputLayout::AmbiX;
    const int x = fuma ? 1 : 3, y = fuma ? 2 : 1; // W is channel 0 in both
    channels = std::min(channels, static_cast<int>(sums_[0].energy.size()));
    for (int i = 0; i < frames; ++i)
    {
        const int64_t t = firstFrame + i - gap;
        if (t < 0)
            continue;
        const int64_t s = t / (gap + burst);
        const int64_t within = t % (gap + burst);
        if (s >= static_cast<int64_t>(sums_.size()) || within < settle || within >= burst - fade)
            continue;
        Sums& sum = sums_[static_cast<size_t>(s)];
        for (int c = 0; c < channels; ++c)
            sum.energy[static_cast<size_t>(c)] += out[c][i] * out[c][i];
        if (ambisonic && channels == 4)
        {
            sum.wx += out[0][i] * out[x][i];
            sum.wy += out[0][i] * out[y][i];
        }
        ++sum.count;
    }
}

double DemoMeter::levelDb(int source, int channel) const
{
    const Sums& s = sums_[static_cast<size_t>(source)];
    if (s.count == 0)
        return -HUGE_VAL;
    const double rms = std::sqrt(s.energy[static_cast<size_t>(channel)] / static_cast<double>(s.count));
    return rms > 0.0 ? 20.0 * std::log10(rms / kBurstRms) : -HUGE_VAL;
}

int DemoMeter::loudest(int source) const
{
    int best = 0;
    for (int c = 1; c < static_cast<int>(sums_[0].energy.size()); ++c)
        if (levelDb(source, c) > levelDb(source, best))
            best = c;
    return best;
}

double DemoMeter::directionDeg(int source) const
{
    const Sums& s = sums_[static_cast<size_t>(source)];
    // Ambisonic azimuth runs counter-clockwise (Y is positive to the left).
    return -std::atan2(s.wy, s.wx) * 180.0 / kPi;
}

std::string DemoMeter::table() const
{
    const LayoutInfo& info = layoutInfo(layout_);
    const bool ambisonic = layout_ == OutputLayout::AmbiX || layout_ == OutputLayout::FuMa;
    std::string out;
    char line[160];
    std::snprintf(line, sizeof line, "%-12s %7s ", "source", "azimuth");
    out += line;
    if (ambisonic)
        out += " decodes to  W level\n";
    else
    {
        for (const std::string& name : info.channelNames)
        {
            std::snprintf(line, sizeof line, "%8s", name.c_str());
            out += line;
        }
        out += "\n";
    }
    for (size_t s = 0; s < sums_.size(); ++s)
    {
        const int source = static_cast<int>(s);
        std::snprintf(line, sizeof line, "%-12s %7.0f ", demoSources()[s].label, demoSources()[s].azimuthDeg);
        out += line;
        if (ambisonic)
        {
            // Rounded before printing, so that no "-0" appears.
            const double direction = std::round(directionDeg(source));
            const double level = std::round(levelDb(source, 0) * 10.0) / 10.0;
            std::snprintf(line, sizeof line, "%11.0f %8.1f\n", direction + 0.0, level + 0.0);
            out += line;
            continue;
        }
        const double best = levelDb(source, loudest(source));
        for (int c = 0; c < static_cast<int>(info.channelNames.size()); ++c)
        {
            const double db = levelDb(source, c);
            // Channels within 0.05 dB of the loudest share its mark.
            const bool top = db > best - 0.05;
            if (db < -90.0)
                std::snprintf(line, sizeof line, "%8s", "--");
            else
                std::snprintf(line, sizeof line, "%7.1f%c", db, top ? '*' : ' ');
            out += line;
        }
        out += "\n";
    }
    return out;
}

} // namespace render
