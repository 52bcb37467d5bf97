// Small helpers the VST 3 adapter's objects share: an atomic reference count, the
// query of one interface on an object that implements several, and text copies
// between the effect's 8-bit texts and the interface's UTF-16 buffers.
#pragma once

#include "Vst3Interface.h"

#include <atomic>
#include <cstddef>

namespace kalvo::vst3adapter
{

/// The count every adapter object starts with (the creator's reference) and the
/// behaviour of release at zero (the object deletes itself).
class RefCount
{
public:
    vst3::uint32 add() { return ++count; }
    /// The new count; the caller deletes the object at 0.
    vst3::uint32 drop() { return --count; }

private:
    std::atomic<vst3::uint32> count{1};
};

/// queryInterface for one interface `I` of `object`: on a match stores the pointer adjusted
/// to that base, takes a reference and answers true.
template <typename I, typename Object> bool offerInterface(const char* requested, Object* object, void** obj)
{
    if (!I::iid.matches(requested))
        return false;
    *obj = static_cast<I*>(object);
    object->addRef();
    return true;
}

/// Copies an 8-bit text into a UTF-16 buffer of `capacity` units, always terminated. The
/// text is read as UTF-8; a byte that does not start a valid sequence stands for the
/// character of the same number (so the Windows rules' single degree byte 0xB0 reads as
/// U+00B0, like the UTF-8 degree sign of the Linux rules).
void copyToUtf16(vst3::char16* dst, std::size_t capacity, const char* src);
/// Copies a UTF-16 text (NUL-terminated, at most `srcCapacity` units read) into `dst` as
/// UTF-8, always terminated within `capacity` bytes.
void copyToUtf8(char* dst, std::size_t capacity, const vst3::char16* src, std::size_t srcCapacity);
/// Copies an 8-bit text into a fixed char buffer, cut to fit and terminated.
void copyText(char* dst, std::size_t capacity, const char* src);

} // namespace kalvo::vst3adapter
