#include "Vst3Support.h"

namespace kalvo::vst3adapter
{
namespace
{

/// Decodes one UTF-8 sequence at `s`; stores its length and the code point, or 0 for
/// a byte that does not start a valid sequence.
unsigned decodeUtf8(const unsigned char* s, int& length)
{
    const unsigned c = s[0];
    int need = 0;
    unsigned cp = 0;
    if (c < 0x80)
    {
        length = 1;
        return c;
    }
    if ((c & 0xE0) == 0xC0)
        need = 1, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        need = 2, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        need = 3, cp = c & 0x07;
    else
        return length = 0, 0;
    for (int i = 1; i <= need; ++i)
    {
        if ((s[i] & 0xC0) != 0x80)
            return length = 0, 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    // Overlong forms and surrogates are not valid UTF-8.
    static const unsigned kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[need] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return length = 0, 0;
    length = need + 1;
    return cp;
}

} // namespace

void copyToUtf16(vst3::char16* dst, std::size_t capacity, const char* src)
{
    if (!dst || capacity == 0)
        return;
    std::size_t n = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(src ? src : "");
    while (*s)
    {
        int length = 0;
        unsigned cp = decodeUtf8(s, length);
        if (length == 0)
        {
            cp = *s; // a lone 8-bit character
            length = 1;
        }
        const std::size_t units = cp >= 0x10000 ? 2 : 1;
        if (n + units >= capacity)
            break;
        if (units == 2)
        {
            cp -= 0x10000;
            dst[n++] = static_cast<vst3::char16>(0xD800 + (cp >> 10));
            dst[n++] = static_cast<vst3::char16>(0xDC00 + (cp & 0x3FF));
        }
        else
            dst[n++] = static_cast<vst3::char16>(cp);
        s += length;
    }
    dst[n] = 0;
}

void copyToUtf8(char* dst, std::size_t capacity, const vst3::char16* src, std::size_t srcCapacity)
{
    if (!dst || capacity == 0)
        return;
    std::size_t n = 0;
    for (std::size_t i = 0; src && i < srcCapacity && src[i] != 0; ++i)
    {
        unsigned cp = src[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < srcCapacity && src[i + 1] >= 0xDC00 &&
            src[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (src[++i] - 0xDC00u);
        else if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = 0xFFFD; // an unpaired half
        char out[4];
        std::size_t len = 0;
        if (cp < 0x80)
            out[len++] = static_cast<char>(cp);
        else if (cp < 0x800)
        {
            out[len++] = static_cast<char>(0xC0 | (cp >> 6));
            out[len++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        else if (cp < 0x10000)
        {
            out[len++] = static_cast<char>(0xE0 | (cp >> 12));
            out[len++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[len++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        else
        {
            out[len++] = static_cast<char>(0xF0 | (cp >> 18));
            out[len++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out[len++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[len++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        if (n + len >= capacity)
            break;
        for (std::size_t k = 0; k < len; ++k)
            dst[n++] = out[k];
    }
    dst[n] = 0;
}

void copyText(char* dst, std::size_t capacity, const char* src)
{
    if (!dst || capacity == 0)
        return;
    std::size_t n = 0;
    for (; src && src[n] != 0 && n + 1 < capacity; ++n)
        dst[n] = src[n];
    dst[n] = 0;
}

} // namespace kalvo::vst3adapter
