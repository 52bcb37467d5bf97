// The layouts beyond 5.1: Ambisonics from ideal capsules, binaural through
// head-related responses.

#include "TestFiles.h"
#include "tools/kalvo-render/DemoScene.h"
#include "tools/kalvo-render/Render.h"
#include "tools/kalvo-render/host/EffectHost.h"
#include "tools/kalvo-render/host/LinkedEffect.h"
#include "tools/kalvo-render/layouts/AmbisonicEncoder.h"
#include "tools/kalvo-render/layouts/Binaural.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace render;

namespace
{

// Decodes the demo scene in `layout` through the whole run and measures it.
DemoMeter measureDemo(OutputLayout layout, const HeadResponses* responses)
{
    constexpr int kRate = 48000;
    testfiles::ScratchDir dir;
    auto source = memorySource(synthesiseDemo(kRate), kRate);
    EffectHost host(&linkedEffectEntry, kRate, 4096);
    EXPECT_TRUE(host.ok());
    RenderSettings settings;
    settings.layout = layout;
    settings.headResponses = responses;
    OutputSpec spec;
    spec.path = dir.file("demo.wav");
    spec.sampleRate = kRate;
    spec.frames = source->frames();
    spec.channelNames = layoutInfo(layout).channelNames;
    spec.channelMask = layoutInfo(layout).channelMask;
    SoundOutput output;
    std::string error;
    EXPECT_TRUE(output.open(spec, error)) << error;
    DemoMeter meter(kRate, layout);
    Progress quiet(false, 0, kRate);
    RenderResult result;
    EXPECT_TRUE(render::render(
        *source, host, settings, output, quiet, nullptr,
        [&](const double* const* out, int channels, int n, int64_t first)
        { meter.add(out, channels, n, first); },
        result, error))
        << error;
    testfiles::Sound written;
    EXPECT_TRUE(testfiles::readSound(spec.path, written));
    EXPECT_EQ(written.info.frames, source->frames()); // no frame lost or added
    EXPECT_EQ(written.info.channels, static_cast<int>(spec.channelNames.size()));
    return meter;
}

} // namespace

TEST(AmbisonicEncoder, IdealCapsulesGiveTheFirstOrderFieldExactly)
{
    // A plane wave from azimuth a (counter-clockwise, to the left) reaches the
    // capsules as M = (1 + cos a) / 2, S = sin a, Mr = (1 - cos a) / 2; SN3D
    // first order is W = 1, Y = sin a, Z = 0, X = cos a.
    constexpr int n = 24;
    std::vector<double> m(n), s(n), r(n);
    for (int i = 0; i < n; ++i)
    {
        const double a = 2.0 * M_PI * i / n;
        m[i] = 0.5 * (1.0 + std::cos(a));
        s[i] = std::sin(a);
        r[i] = 0.5 * (1.0 - std::cos(a));
    }
    const double* in[3] = {m.data(), s.data(), r.data()};
    std::vector<double> ch[4];
    double* out[4];
    for (int c = 0; c < 4; ++c)
    {
        ch[c].assign(n, -7.0);
        out[c] = ch[c].data();
    }
    encodeFirstOrder(in, out, n, AmbisonicOrdering::AmbiX, 1.0);
    for (int i = 0; i < n; ++i)
    {
        const double a = 2.0 * M_PI * i / n;
        EXPECT_NEAR(ch[0][i], 1.0, 1e-15) << i;         // W
        EXPECT_NEAR(ch[1][i], std::sin(a), 1e-15) << i; // Y
        EXPECT_EQ(ch[2][i], 0.0) << i;                  // Z
        EXPECT_NEAR(ch[3][i], std::cos(a), 1e-15) << i; // X
    }
    // FuMa: W X Y Z, W at 1/sqrt(2); the side gain scales Y alone.
    encodeFirstOrder(in, out, n, AmbisonicOrdering::FuMa, 2.0);
    for (int i = 0; i < n; ++i)
    {
        const double a = 2.0 * M_PI * i / n;
        EXPECT_NEAR(ch[0][i], std::sqrt(0.5), 1e-15) << i;
        EXPECT_NEAR(ch[1][i], std::cos(a), 1e-15) << i;
        EXPECT_NEAR(ch[2][i], 2.0 * std::sin(a), 1e-15) << i;
        EXPECT_EQ(ch[3][i], 0.0) << i;
    }
}

TEST(AmbisonicEncoder, DemoSourcesDecodeToTheirDirections)
{
    const DemoMeter meter = measureDemo(OutputLayout::AmbiX, nullptr);
    for (size_t s = 0; s < demoSources().size(); ++s)
    {
        const double want = demoSources()[s].azimuthDeg;
        const double got = meter.directionDeg(static_cast<int>(s));
        EXPECT_NEAR(std::remainder(got - want, 360.0), 0.0, 0.5) << demoSources()[s].label;
        EXPECT_NEAR(meter.levelDb(static_cast<int>(s), 0), 0.0, 0.05); // W is the omni
    }
}

TEST(Binaural, ASourceOnOneSideIsLouderInThatEar)
{
    HeadResponses responses;
    std::string error;
    ASSERT_TRUE(loadHeadResponses(kDefaultHrtfPath, 48000, responses, error)) << error;
    // The measured set at 44.1 kHz, resampled to 48 kHz: 512 taps become 558.
    EXPECT_NEAR(responses.length, 558, 2);
    const DemoMeter meter = measureDemo(OutputLayout::Binaural, &responses);
    enum
    {
        kLeftEar,
        kRightEar
    };
    for (size_t s = 0; s < demoSources().size(); ++s)
    {
        const double azimuth = demoSources()[s].azimuthDeg;
        const double left = meter.levelDb(static_cast<int>(s), kLeftEar);
        const double right = meter.levelDb(static_cast<int>(s), kRightEar);
        if (azimuth < 0)
            EXPECT_GT(left, right + 3.0) << demoSources()[s].label;
        else if (azimuth > 0 && azimuth < 180)
            EXPECT_GT(right, left + 3.0) << demoSources()[s].label;
        else
            EXPECT_NEAR(left, right, 0.5) << demoSources()[s].label;
        EXPECT_LT(std::max(left, right), 6.0); // the headroom keeps the ears below full scale
    }

    EXPECT_FALSE(loadHeadResponses("/nonexistent/set.sofa", 48000, responses, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    testfiles::ScratchDir dir;
    std::ofstream(dir.file("notes.sofa")) << "not a measurement";
    EXPECT_FALSE(loadHeadResponses(dir.file("notes.sofa"), 48000, responses, error));
    EXPECT_NE(error.find("not a SOFA file"), std::string::npos) << error;
}
