// The view's optional interface through which a host tells it the desktop's zoom. Kept beside
// the view, the one place that answers it.
#pragma once

#include "formats/vst3/Vst3Interface.h"

namespace vst3
{

class IPlugViewContentScaleSupport : public FUnknown
{
public:
    static constexpr Uid iid{0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F};
    /// Window pixels per view pixel the host draws at (2 on a desktop at 200 %); kResultTrue
    /// when the view follows it.
    virtual tresult KALVO_VST3_API setContentScaleFactor(float factor) = 0;
};

} // namespace vst3
