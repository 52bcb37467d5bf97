// Kalvo.dll under Wine against the build machine's build of the same effect (the reference file
// written by kalvo-parity-reference): the same settings and input give the same output. The
// single-precision path must match bit for bit; the double path within 1e-12 of the channel's
// peak, because another C library's tan, pow and log10 may differ in the last bit.
#include "ParityCases.h"
#include "tests/support/PluginLibrary.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#ifndef KALVO_PARITY_REFERENCE
#error "KALVO_PARITY_REFERENCE must name the reference file"
#endif

namespace
{

/// The first sample (channel, frame) where the two differ by more than the tolerance, as text;
/// empty when none does.
template <typename Sample>
std::string firstDifference(const std::vector<Sample>& got, const std::vector<Sample>& want,
                            double relativeToPeak)
{
    if (got.size() != want.size())
        return "lengths " + std::to_string(got.size()) + " and " + std::to_string(want.size());
    const std::size_t frames = want.size() / parity::kChannels;
    for (int ch = 0; ch < parity::kChannels; ++ch)
    {
        const auto begin = want.begin() + static_cast<std::ptrdiff_t>(ch * frames);
        double peak = 0.0;
        for (auto it = begin; it != begin + static_cast<std::ptrdiff_t>(frames); ++it)
            peak = std::max(peak, std::fabs(static_cast<double>(*it)));
        const double tolerance = relativeToPeak * peak;
        for (std::size_t i = 0; i < frames; ++i)
        {
            const Sample a = got[ch * frames + i];
            const Sample b = want[ch * frames + i];
            const bool same = relativeToPeak == 0.0 ? std::memcmp(&a, &b, sizeof a) == 0
                                                    : std::fabs(static_cast<double>(a) - b) <= tolerance;
            if (!same)
            {
                char text[160];
                std::snprintf(text, sizeof text, "channel %d frame %zu: %.17g instead of %.17g", ch, i,
                              static_cast<double>(a), static_cast<double>(b));
                return text;
            }
        }
    }
    return {};
}

} // namespace

TEST(KalvoDll, ProcessesLikeTheLinuxBuild)
{
    std::vector<parity::CaseResult> reference;
    ASSERT_TRUE(parity::readResults(KALVO_PARITY_REFERENCE, reference)) << KALVO_PARITY_REFERENCE;
    const std::vector<parity::Case> cases = parity::cases();
    ASSERT_EQ(reference.size(), cases.size()) << "the reference file is out of date";

    TestHost host;
    PluginLibrary library;
    ASSERT_TRUE(library.loaded()) << library.error;
    const auto create = [&library] { return library.create(TestHost::callback); };
    for (std::size_t i = 0; i < cases.size(); ++i)
    {
        SCOPED_TRACE(std::string("case ") + std::to_string(i) + ": " + cases[i].name);
        const parity::CaseResult got = parity::runBoth(create, host, cases[i], static_cast<std::uint32_t>(i));
        const parity::CaseResult& want = reference[i];
        EXPECT_EQ(firstDifference(got.single.samples, want.single.samples, 0.0), "") << "single precision";
        EXPECT_EQ(firstDifference(got.twice.samples, want.twice.samples, 1e-12), "") << "double precision";
        for (int m = 0; m < parity::kMeters; ++m)
        {
            EXPECT_EQ(got.single.meters[m], want.single.meters[m]) << "meter " << m;
            EXPECT_NEAR(got.twice.meters[m], want.twice.meters[m], 1e-6f) << "meter " << m;
        }
        for (int p = 0; p < parity::kParameters; ++p)
            EXPECT_STREQ(got.displays[p], want.displays[p]) << "display of parameter " << p;
    }
}
