// The standard font table, selected with the build's rules.
#pragma once

/// One standard font: family name and the size used when a caller passes size 0.
struct CFontDesc
{
    const char* family;
    long size;
};

/// Entry `index` (0..7) of the standard font table; any other index gives entry 0. The Linux
/// and Windows rules use "Arial" (resolved by fontconfig to a metric-compatible face), the Mac
/// rules "Helvetica".
const CFontDesc& standardFont(long index);
