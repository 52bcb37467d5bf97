// The state both VST 3 parts keep in a host's session: a small versioned record of the
// thirteen knob positions, 60 bytes.
//
//   bytes 0..3   "KLV3"
//   bytes 4..7   format version, little-endian (1)
//   bytes 8..59  the 13 knob positions as IEEE single-precision floats, little-endian
//
// The headphone build follows it with the head controls' record, 40 bytes:
//
//   bytes 0..3   "KLVH"
//   bytes 4..7   format version, little-endian (1)
//   bytes 8..39  the 8 head controls in their own units (degrees, 0/1, the UDP port) as
//                IEEE single-precision floats, little-endian
//
// A headphone state without it (saved by an older build) is taken with the head controls
// at their defaults.
//
// The controller's own state (what the host keeps of the edit controller) is the same records
// followed by the panel's zoom, 12 bytes, so that a session reopens the panel at the size the
// user chose:
//
//   bytes 0..3   "KLVZ"
//   bytes 4..7   format version, little-endian (1)
//   bytes 8..11  the zoom as an IEEE single-precision float, little-endian: 1 to 3, or 0 to
//                follow the host
//
// A controller state without it (saved by an older build) follows the host.
//
// The floats are the effect's own values bit for bit, so loading a saved state restores
// the sound exactly. A record that is short, longer than 60 bytes, of another version,
// or carries a value that is not a knob position (outside 0..1, not a number) is refused
// as a whole: nothing of it is applied.
#pragma once

#include "Vst3Interface.h"
#include "effect/HeadControls.h"
#include "effect/KalvoProgram.h"

namespace kalvo::vst3adapter
{

constexpr int kStateVersion = 1;
constexpr int kStateSize = 8 + 4 * kNumParameters;

constexpr int kHeadStateSize = 8 + 4 * kNumHeadControls;
constexpr int kZoomStateSize = 8 + 4;

/// Writes the record of `knobs` to `stream`, then, given `head`, the head controls' record, then,
/// given `zoom`, the zoom's record; false if the stream took less than all of it.
bool writeState(vst3::IBStream* stream, const float (&knobs)[kNumParameters], const float* head = nullptr,
                const float* zoom = nullptr);
/// Reads a record from `stream` into `knobs` and, given `head` (kNumHeadControls values), the
/// head controls' record if one follows, and given `zoom`, the zoom's record if one follows
/// (else 0); false (and nothing touched) for a refused one.
bool readState(vst3::IBStream* stream, float (&knobs)[kNumParameters], float* head = nullptr,
               float* zoom = nullptr);

} // namespace kalvo::vst3adapter
