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
constexpr char kZoomTag[4] = {'K', 'L', 'V', 'Z'};
constexpr int kZoomStateVersion = 1;

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

bool writeState(vst3::IBStream* stream, const float (&knobs)[kNumParameters], const float* head,
                const float* zoom)
{
    if (!stream)
        return false;
    unsigned char record[kStateSize];
    putRecord(record, kTag, kStateVersion, knobs, kNumParameters);
    const auto put = [stream](const unsigned char* bytes, vst3::int32 size)
    {
        vst3::int32 written = 0;
        return stream->write(const_cast<unsigned char*>(bytes), size, &written) == vst3::kResultOk &&
               written == size;
    };
    if (!put(record, kStateSize))
        return false;
    if (head)
    {
        unsigned char headRecord[kHeadStateSize];
        putRecord(headRecord, kHeadTag, kHeadStateVersion, head, kNumHeadControls);
        if (!put(headRecord, kHeadStateSize))
            return false;
    }
    if (zoom)
    {
        unsigned char zoomRecord[kZoomStateSize];
        putRecord(zoomRecord, kZoomTag, kZoomStateVersion, zoom, 1);
        if (!put(zoomRecord, kZoomStateSize))
            return false;
    }
    return true;
}

bool readState(vst3::IBStream* stream, float (&knobs)[kNumParameters], float* head, float* zoom)
{
    if (!stream)
        return false;
    unsigned char record[kStateSize];
    if (!readFully(stream, record, kStateSize))
        return false;
    if (std::memcmp(record, kTag, 4) != 0 || getU32(record + 4) != kStateVersion)
        return false;
    // Our records are the whole stream: anything after them is not ours to ignore. The head
    // controls' record may follow in the headphone build, then the zoom's in the controller's
    // state; an older state ends without them. Each record's tag says which it is.
    unsigned char extra[kHeadStateSize] = {};
    enum class Next
    {
        end,
        tag,
        broken
    };
    const auto nextTag = [&]
    {
        vst3::int32 n = 0;
        if (stream->read(extra, 1, &n) != vst3::kResultOk || n <= 0)
            return Next::end;
        return readFully(stream, extra + 1, 3) ? Next::tag : Next::broken;
    };
    float headValues[kNumHeadControls] = {};
    float zoomValue = 0.0f;
    bool withHead = false;
    Next next = nextTag();
    if (next == Next::tag && head && std::memcmp(extra, kHeadTag, 4) == 0)
    {
        if (!readFully(stream, extra + 4, kHeadStateSize - 4) || getU32(extra + 4) != kHeadStateVersion)
            return false;
        for (int c = 0; c < kNumHeadControls; ++c)
        {
            const std::uint32_t bits = getU32(extra + 8 + 4 * c);
            std::memcpy(&headValues[c], &bits, 4);
            const HeadControlSpec& spec = headControlSpec(c);
            if (!(headValues[c] >= spec.minimum && headValues[c] <= spec.maximum))
                return false;
        }
        withHead = true;
        next = nextTag();
    }
    if (next == Next::tag && zoom && std::memcmp(extra, kZoomTag, 4) == 0)
    {
        if (!readFully(stream, extra + 4, kZoomStateSize - 4) || getU32(extra + 4) != kZoomStateVersion)
            return false;
        const std::uint32_t bits = getU32(extra + 8);
        std::memcpy(&zoomValue, &bits, 4);
        if (!(zoomValue == 0.0f || (zoomValue >= 1.0f && zoomValue <= 3.0f)))
            return false;
        next = nextTag();
    }
    if (next != Next::end)
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
    if (withHead)
        std::memcpy(head, headValues, sizeof(headValues));
    if (zoom)
        *zoom = zoomValue;
    return true;
}

} // namespace kalvo::vst3adapter
