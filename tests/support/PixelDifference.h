// How far a picture read back from a window lies from the reference: the tally both the
// X11 and the Windows editor hosts keep while they compare pixel by pixel.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace kalvo::testsupport
{

struct Difference
{
    long pixels = 0;    ///< pixels with any channel differing by more than the tolerance
    int maxChannel = 0; ///< the largest difference of one channel, in levels of 255
    long firstX = -1, firstY = -1;

    /// Counts the pixel at (x, y): `expected` and `shown` as 0x..RRGGBB.
    void add(std::uint32_t expected, std::uint32_t shown, int tolerance, long x, long y)
    {
        int worst = 0;
        for (int shift = 0; shift <= 16; shift += 8)
            worst = std::max(worst, std::abs(static_cast<int>((expected >> shift) & 0xff) -
                                             static_cast<int>((shown >> shift) & 0xff)));
        maxChannel = std::max(maxChannel, worst);
        if (worst <= tolerance)
            return;
        if (pixels == 0)
        {
            firstX = x;
            firstY = y;
        }
        ++pixels;
    }
};

} // namespace kalvo::testsupport
