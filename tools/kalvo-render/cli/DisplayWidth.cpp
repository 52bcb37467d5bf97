#include "DisplayWidth.h"

#include <cstdint>

namespace render
{
namespace
{

struct Range
{
    uint32_t first, last;
};

bool inRanges(uint32_t c, const Range* ranges, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (c >= ranges[i].first && c <= ranges[i].last)
            return true;
    return false;
}

// Combining marks and zero-width characters of the scripts file names use.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},   {0x064B, 0x065F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF},   {0x3099, 0x309A},
    {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters, and emoji.
constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x2E80, 0x303E},
    {0x3041, 0x33FF}, {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

int columnsOf(uint32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return 0;
    if (inRanges(c, kZeroWidth, sizeof kZeroWidth / sizeof kZeroWidth[0]))
        return 0;
    if (inRanges(c, kWide, sizeof kWide / sizeof kWide[0]))
        return 2;
    return 1;
}

} // namespace

int displayWidth(const std::string& text)
{
    int width = 0;
    for (size_t i = 0; i < text.size();)
    {
        const auto b = static_cast<unsigned char>(text[i]);
        const int length = b < 0x80           ? 1
                           : (b >> 5) == 0x6  ? 2
                           : (b >> 4) == 0xE  ? 3
                           : (b >> 3) == 0x1E ? 4
                                              : 0;
        uint32_t c = length == 1 ? b : length == 2 ? (b & 0x1Fu) : length == 3 ? (b & 0x0Fu) : (b & 0x07u);
        bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k)
        {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3Fu);
        }
        if (!valid)
        {
            ++width; // a stray byte
            ++i;
            continue;
        }
        width += columnsOf(c);
        i += static_cast<size_t>(length);
    }
    return width;
}

std::string padRight(const std::string& text, int columns)
{
    const int missing = columns - displayWidth(text);
    return missing > 0 ? text + std::string(static_cast<size_t>(missing), ' ') : text;
}

std::string padLeft(const std::string& text, int columns)
{
    const int missing = columns - displayWidth(text);
    return missing > 0 ? std::string(static_cast<size_t>(missing), ' ') + text : text;
}

} // namespace render
