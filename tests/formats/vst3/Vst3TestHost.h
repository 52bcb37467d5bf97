// The host side of the VST 3 interface as the tests play it: streams, parameter change
// lists, a component handler that records the edits it receives, and a loaded module
// with helpers to create and set up the two parts.
#pragma once

#include "formats/vst3/Vst3Interface.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace vst3test
{

/// A host object living on the stack or in a fixture: counts references but never deletes
/// itself; answers its own interface and FUnknown.
template <typename I> class HostObject : public I
{
public:
    vst3::tresult KALVO_VST3_API queryInterface(const vst3::TUID requested, void** obj) override
    {
        if (I::iid.matches(requested) || vst3::FUnknown::iid.matches(requested))
        {
            *obj = static_cast<I*>(this);
            addRef();
            return vst3::kResultOk;
        }
        *obj = nullptr;
        return vst3::kNoInterface;
    }
    vst3::uint32 KALVO_VST3_API addRef() override { return ++refs; }
    vst3::uint32 KALVO_VST3_API release() override { return --refs; }
    std::atomic<vst3::uint32> refs{1};
};

/// A stream over memory; `readLimit` caps each read to test short reads.
class MemoryStream : public HostObject<vst3::IBStream>
{
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<unsigned char> bytes) : bytes(std::move(bytes)) {}

    vst3::tresult KALVO_VST3_API read(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesRead) override
    {
        const vst3::int64 left = static_cast<vst3::int64>(bytes.size()) - position;
        vst3::int32 n =
            static_cast<vst3::int32>(std::max<vst3::int64>(0, std::min<vst3::int64>(numBytes, left)));
        n = std::min(n, readLimit);
        if (n > 0)
            std::memcpy(buffer, bytes.data() + position, static_cast<size_t>(n));
        position += n;
        if (numBytesRead)
            *numBytesRead = n;
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API write(void* buffer, vst3::int32 numBytes,
                                       vst3::int32* numBytesWritten) override
    {
        if (numBytes < 0)
            return vst3::kInvalidArgument;
        const size_t end = static_cast<size_t>(position) + static_cast<size_t>(numBytes);
        if (bytes.size() < end)
            bytes.resize(end);
        std::memcpy(bytes.data() + position, buffer, static_cast<size_t>(numBytes));
        position = static_cast<vst3::int64>(end);
        if (numBytesWritten)
            *numBytesWritten = numBytes;
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API seek(vst3::int64 pos, vst3::int32 mode, vst3::int64* result) override
    {
        const vst3::int64 base = mode == vst3::kIBSeekSet   ? 0
                                 : mode == vst3::kIBSeekCur ? position
                                                            : static_cast<vst3::int64>(bytes.size());
        if (base + pos < 0)
            return vst3::kInvalidArgument;
        position = base + pos;
        if (result)
            *result = position;
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API tell(vst3::int64* pos) override
    {
        if (pos)
            *pos = position;
        return vst3::kResultOk;
    }
    void rewind() { position = 0; }

    std::vector<unsigned char> bytes;
    vst3::int64 position = 0;
    vst3::int32 readLimit = 1 << 30;
};

class ParamQueue : public HostObject<vst3::IParamValueQueue>
{
public:
    explicit ParamQueue(vst3::ParamID id) : id(id) { points.reserve(64); }
    vst3::ParamID KALVO_VST3_API getParameterId() override { return id; }
    vst3::int32 KALVO_VST3_API getPointCount() override { return static_cast<vst3::int32>(points.size()); }
    vst3::tresult KALVO_VST3_API getPoint(vst3::int32 index, vst3::int32& offset,
                                          vst3::ParamValue& value) override
    {
        if (index < 0 || index >= getPointCount())
            return vst3::kInvalidArgument;
        offset = points[static_cast<size_t>(index)].first;
        value = points[static_cast<size_t>(index)].second;
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API addPoint(vst3::int32 offset, vst3::ParamValue value,
                                          vst3::int32& index) override
    {
        if (points.size() == points.capacity())
            return vst3::kResultFalse; // a real host's queues have a fixed size too
        index = getPointCount();
        points.emplace_back(offset, value);
        return vst3::kResultOk;
    }
    vst3::ParamID id;
    std::vector<std::pair<vst3::int32, double>> points;
};

/// A list of parameter queues with room for every parameter, allocated up front.
class ParamChanges : public HostObject<vst3::IParameterChanges>
{
public:
    ParamChanges()
    {
        for (vst3::ParamID id = 0; id < 64; ++id)
            storage.emplace_back(id);
        used.reserve(storage.size());
    }
    vst3::int32 KALVO_VST3_API getParameterCount() override { return static_cast<vst3::int32>(used.size()); }
    vst3::IParamValueQueue* KALVO_VST3_API getParameterData(vst3::int32 index) override
    {
        return index >= 0 && index < getParameterCount() ? used[static_cast<size_t>(index)] : nullptr;
    }
    vst3::IParamValueQueue* KALVO_VST3_API addParameterData(const vst3::ParamID& id,
                                                            vst3::int32& index) override
    {
        for (size_t i = 0; i < used.size(); ++i)
            if (used[i]->id == id)
                return index = static_cast<vst3::int32>(i), used[i];
        if (id >= storage.size())
            return nullptr;
        index = static_cast<vst3::int32>(used.size());
        used.push_back(&storage[id]);
        return used.back();
    }
    /// Adds a point for `id`.
    void add(vst3::ParamID id, vst3::int32 offset, double value)
    {
        vst3::int32 index = 0;
        addParameterData(id, index)->addPoint(offset, value, index);
    }
    /// The last point sent for `id`, or -1.
    double last(vst3::ParamID id) const
    {
        for (const ParamQueue* q : used)
            if (q->id == id && !q->points.empty())
                return q->points.back().second;
        return -1.0;
    }
    void clear()
    {
        for (ParamQueue* q : used)
            q->points.clear();
        used.clear();
    }
    std::deque<ParamQueue> storage; ///< queue i for parameter id i
    std::vector<ParamQueue*> used;
};

/// Records what the plug-in tells the host: "begin 3", "perform 3 0.5", "end 3", "restart 4".
class RecordingHandler : public HostObject<vst3::IComponentHandler>
{
public:
    vst3::tresult KALVO_VST3_API beginEdit(vst3::ParamID id) override
    {
        events.push_back("begin " + std::to_string(id));
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API performEdit(vst3::ParamID id, vst3::ParamValue value) override
    {
        events.push_back("perform " + std::to_string(id));
        values.emplace_back(id, value);
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API endEdit(vst3::ParamID id) override
    {
        events.push_back("end " + std::to_string(id));
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API restartComponent(vst3::int32 flags) override
    {
        events.push_back("restart " + std::to_string(flags));
        return vst3::kResultOk;
    }
    std::vector<std::string> events;
    std::vector<std::pair<vst3::ParamID, double>> values;
};

/// Queries interface I from `unknown`; null if it is not there.
template <typename I> I* query(vst3::FUnknown* unknown)
{
    void* obj = nullptr;
    if (!unknown || unknown->queryInterface(I::iid.bytes, &obj) != vst3::kResultOk)
        return nullptr;
    return static_cast<I*>(obj);
}

/// UTF-16 text to UTF-8 (the plug-in's texts are Latin-1 or ASCII in these tests, plus °).
inline std::string utf8(const vst3::char16* text)
{
    std::string out;
    for (; *text; ++text)
    {
        const unsigned c = *text;
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

/// UTF-8 text (up to three-byte sequences) to UTF-16.
inline std::u16string utf16(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0xE0 && i + 2 < text.size())
        {
            out += static_cast<char16_t>(((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) |
                                         (text[i + 2] & 0x3F));
            i += 2;
        }
        else if (c >= 0xC0 && i + 1 < text.size())
        {
            out += static_cast<char16_t>(((c & 0x1F) << 6) | (text[i + 1] & 0x3F));
            i += 1;
        }
        else
            out += static_cast<char16_t>(c);
    }
    return out;
}

} // namespace vst3test
