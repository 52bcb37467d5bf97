#include "AmbisonicEncoder.h"

namespace render
{

template <typename Sample>
void encodeFirstOrder(const Sample* const in[3], Sample* const out[4], int frames, AmbisonicOrdering ordering,
                      double sideGain) noexcept
{
    const Sample* front = in[0];
    const Sample* side = in[1];
    const Sample* rear = in[2];
    const Sample g = static_cast<Sample>(sideGain);
    const bool fuma = ordering == AmbisonicOrdering::FuMa;
    const Sample wScale = fuma ? static_cast<Sample>(0.70710678118654752) : Sample(1);
    Sample* w = out[0];
    Sample* x = out[fuma ? 1 : 3];
    Sample* y = out[fuma ? 2 : 1];
    Sample* z = out[fuma ? 3 : 2];
    for (int i = 0; i < frames; ++i)
    {
        w[i] = (front[i] + rear[i]) * wScale;
        x[i] = front[i] - rear[i];
        y[i] = side[i] * g;
        z[i] = Sample(0);
    }
}

template void encodeFirstOrder<float>(const float* const[3], float* const[4], int, AmbisonicOrdering,
                                      double) noexcept;
template void encodeFirstOrder<double>(const double* const[3], double* const[4], int, AmbisonicOrdering,
                                       double) noexcept;

} // namespace render
