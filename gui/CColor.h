// 8-bit RGBA colours and the standard colour constants.
#pragma once

#include <cstdint>

/// A colour with 8 bits per channel, stored red, green, blue, alpha; alpha 255 is opaque.
struct CColor
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    constexpr bool operator==(const CColor& o) const
    {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    constexpr bool operator!=(const CColor& o) const { return !(*this == o); }
    /// True when red, green and blue match (alpha ignored), the test colour keying uses.
    constexpr bool sameRGB(const CColor& o) const
    {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

/// Builds a colour from its four channels.
constexpr CColor MakeCColor(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255)
{
    return CColor{r, g, b, a};
}

static_assert(sizeof(CColor) == 4, "a colour fits in one 32-bit word");

inline constexpr CColor kTransparentCColor = {255, 255, 255, 0};
inline constexpr CColor kBlackCColor = {0, 0, 0, 255};
inline constexpr CColor kWhiteCColor = {255, 255, 255, 255};
inline constexpr CColor kGreyCColor = {127, 127, 127, 255};
inline constexpr CColor kRedCColor = {255, 0, 0, 255};
inline constexpr CColor kGreenCColor = {0, 255, 0, 255};
inline constexpr CColor kBlueCColor = {0, 0, 255, 255};
inline constexpr CColor kYellowCColor = {255, 255, 0, 255};
inline constexpr CColor kCyanCColor = {0, 255, 255, 255};
inline constexpr CColor kMagentaCColor = {255, 0, 255, 255};
inline constexpr CColor kOrangeCColor = {247, 148, 29, 255};
