#include "Vst3State.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace kalvo::vst3adapter
{
namespace
{

constexpr char kTag[4] = {'K', 'L', 'V', '3'};
constexpr char kHeadTag[4] = {'K', 'L', 'V', 'H'};
constexpr int kHeadStateVersion = 1;

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

/// A record: its tag, its version, then `count` floats as their bits, little-endian.
void putRecord(unsigned char* record, const char (&tag)[4], std::uint32_t version, const float* values,
               int count)
{
    std::memcpy(record, tag, 4);
    putU32(record + 4, version);
    for (int i = 0; i < count; ++i)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &values[i], 4);
        putU32(record + 8 + 4 * i, bits);
    }
}

} // namespace

bool writeState(vst3::IBStream* stream, const float (&knobs)[kNumParameters], const float* head)
{
    if (!stream)
        return false;
    unsigned char record[kStateSize];
    putRecord(record, kTag, kStateVersion, knobs, kNumParameters);
    vst3::int32 written = 0;
    if (stream->write(record, kStateSize, &written) != vst3::kResultOk || written != kStateSize)
        return false;
    if (!head)
        return true;
    unsigned char headRecord[kHeadStateSize];
    putRecord(headRecord, kHeadTag, kHeadStateVersion, head, kNumHeadControls);
    written = 0;
    return stream->write(headRecord, kHeadStateSize, &written) == vst3::kResultOk &&
           written == kHeadStateSize;
}

bool readState(vst3::IBStream* stream, float (&knobs)[kNumParameters], float* head)
{
    if (!stream)
        return false;
    unsigned char record[kStateSize];
    if (!readFully(stream, record, kStateSize))
        return false;
    if (std::memcmp(record, kTag, 4) != 0 || getU32(record + 4) != kStateVersion)
        return false;
    // Our records are the whole stream: anything after them is not ours to ignore. The head
    // controls' record may follow in the headphone build; an older state ends without it.
    unsigned char extra[kHeadStateSize] = {};
    vst3::int32 n = 0;
    float headValues[kNumHeadControls] = {};
    bool withHead = false;
    if (stream->read(extra, 1, &n) == vst3::kResultOk && n > 0)
    {
        if (!head || !readFully(stream, extra + 1, kHeadStateSize - 1) ||
            std::memcmp(extra, kHeadTag, 4) != 0 || getU32(extra + 4) != kHeadStateVersion)
            return false;
        for (int c = 0; c < kNumHeadControls; ++c)
        {
            const std::uint32_t bits = getU32(extra + 8 + 4 * c);
            std::memcpy(&headValues[c], &bits, 4);
            const HeadControlSpec& spec = headControlSpec(c);
            if (!(headValues[c] >= spec.minimum && headValues[c] <= spec.maximum))
                return false;
        }
        if (stream->read(extra, 1, &n) == vst3::kResultOk && n > 0)
            return false;
        withHead = true;
    }
    float values[kNumParameters];
    for (int i = 0; i < kNumParameters; ++i)
    {
        const std::uint32_t bits = getU32(record + 8 + 4 * i);
        std::memcpy(&values[i], &bits, 4);
        if (!(values[i] >= 0.0f && values[i] <= 1.0f))
            return false;
    }
    std::memcpy(knobs, values, sizeof(values));
    if (withHead)
        std::memcpy(head, headValues, sizeof(headValues));
    return true;
}

} // namespace kalvo::vst3adapter
