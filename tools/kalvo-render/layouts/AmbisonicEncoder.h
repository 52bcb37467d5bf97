#pragma once

// First-order Ambisonics straight from the three capsules, taken as ideal:
// the front cardioid M = (1 + cos a) / 2, the rear cardioid Mr = (1 - cos a) / 2
// and the figure of eight S = sin a, positive to the left (a counter-clockwise
// from the front). Their sum is an omni and their difference a forward figure
// of eight, so
//
//   W = M + Mr,  X = M - Mr,  Y = S,  Z = 0   (SN3D: W = 1, X = cos a, Y = sin a)
//
// A source 90 degrees to the left (M = Mr = 0.5, S = 1) gives W = 1, X = 0,
// Y = 1. AmbiX stores W Y Z X (ACN order); FuMa stores W X Y Z with W scaled
// by 1/sqrt(2) (0.7071). The plug-in's side gain and bass shelf belong to its
// 5.1 decode and are not applied. Stateless; nothing is allocated.

namespace render
{

enum class AmbisonicOrdering
{
    AmbiX, ///< W Y Z X, SN3D
    FuMa   ///< W X Y Z, W at 1/sqrt(2)
};

/// Encodes `frames` frames of the capsules (in[0] front mid, in[1] side,
/// in[2] rear mid) into four channels. `sideGain` (linear) scales the figure
/// of eight, for a capsule whose sensitivity differs from the cardioids'.
template <typename Sample>
void encodeFirstOrder(const Sample* const in[3], Sample* const out[4], int frames, AmbisonicOrdering ordering,
                      double sideGain) noexcept;

} // namespace render
