// The sub-block stages compiled once per instruction set, and the choice among
// them at run time. The build targets plain x86-64; the wider variants are
// compiled here with a target attribute and run only where the processor and
// its operating system support them. Fused multiply-add stays off for the
// whole engine, so every variant computes the same bits.
#include "SubBlockStages.h"

namespace subblock
{
namespace
{
void baselineKernel(const Job& job)
{
    processSubBlock<2>(job);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void avx2Kernel(const Job& job)
{
    processSubBlock<4>(job);
}

__attribute__((target("avx512f,avx512dq,avx512vl,avx512bw"))) void avx512Kernel(const Job& job)
{
    processSubBlock<8>(job);
}
#endif
} // namespace

bool isSupported(Kernel kernel) noexcept
{
    switch (kernel)
    {
    case Kernel::kBaseline:
        return true;
#if defined(__x86_64__)
    case Kernel::kAvx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case Kernel::kAvx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
#endif
    default:
        return false;
    }
}

Kernel fastestKernel() noexcept
{
    for (Kernel k : {Kernel::kAvx512, Kernel::kAvx2})
        if (isSupported(k))
            return k;
    return Kernel::kBaseline;
}

KernelFunction kernelFunction(Kernel kernel) noexcept
{
    if (!isSupported(kernel))
        return baselineKernel;
    switch (kernel)
    {
#if defined(__x86_64__)
    case Kernel::kAvx2:
        return avx2Kernel;
    case Kernel::kAvx512:
        return avx512Kernel;
#endif
    default:
        return baselineKernel;
    }
}
} // namespace subblock
