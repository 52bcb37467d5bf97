#include "Vst3State.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace kalvo::vst3adapter
{
namespace
{

constexpr char kTag[4] = {'K', 'L', 'V', '3'};

void putU32(unsigned char* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t getU32(const unsigned char* at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return v;
}

/// Reads exactly `size` bytes, allowing the stream short reads; false if it ran out.
bool readFully(vst3::IBStream* stream, unsigned char* buffer, vst3::int32 size)
{
    vst3::int32 got = 0;
    while (got < size)
    {
        vst3::int32 n = 0;
        if (stream->read(buffer + got, size - got, &n) != vst3::kResultOk || n <= 0 || n > size - got)
            return false;
        got += n;
    }
    return true;
}

} // namespace

bool writeState(vst3::IBStream* stream, const float (&knobs)[kNumParameters])
{
    if (!stream)
        return false;
    unsigned char record[kStateSize];
    std::memcpy(record, kTag, 4);
    putU32(record + 4, kStateVersion);
    for (int i = 0; i < kNumParameters; ++i)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &knobs[i], 4);
        putU32(record + 8 + 4 * i, bits);
    }
    vst3::int32 written = 0;
    return stream->write(record, kStateSize, &written) == vst3::kResultOk && written == kStateSize;
}

bool readState(vst3::IBStream* stream, float (&knobs)[kNumParameters])
{
    if (!stream)
        return false;
    unsigned char record[kStateSize];
    if (!readFully(stream, record, kStateSize))
        return false;
    if (std::memcmp(record, kTag, 4) != 0 || getU32(record + 4) != kStateVersion)
        return false;
    // Our record is the whole stream: anything after it is not ours to ignore.
    unsigned char extra = 0;
    vst3::int32 n = 0;
    if (stream->read(&extra, 1, &n) == vst3::kResultOk && n > 0)
        return false;
    float values[kNumParameters];
    for (int i = 0; i < kNumParameters; ++i)
    {
        const std::uint32_t bits = getU32(record + 8 + 4 * i);
        std::memcpy(&values[i], &bits, 4);
        if (!(values[i] >= 0.0f && values[i] <= 1.0f))
            return false;
    }
    std::memcpy(knobs, values, sizeof(values));
    return true;
}

} // namespace kalvo::vst3adapter
