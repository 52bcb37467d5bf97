// kalvo-parity-reference OUT: runs the parity cases through the effect as built for the build
// machine and writes what it produced, for the Windows build's test under Wine to compare with.
#include "ParityCases.h"
#include "effect/Kalvo.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: kalvo-parity-reference OUT\n");
        return 2;
    }
    TestHost host;
    const auto create = [] { return kalvoPluginMain(TestHost::callback); };
    const std::vector<parity::Case> cases = parity::cases();
    std::vector<parity::CaseResult> results;
    for (std::size_t i = 0; i < cases.size(); ++i)
        results.push_back(parity::runBoth(create, host, cases[i], static_cast<std::uint32_t>(i)));
    if (!parity::writeResults(argv[1], results))
    {
        std::fprintf(stderr, "kalvo-parity-reference: cannot write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
