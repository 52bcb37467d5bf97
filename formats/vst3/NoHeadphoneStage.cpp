// A build without headphone monitoring (no libmysofa or liblo: the Windows build): the module
// offers the 5.1 classes alone.
#include "HeadphoneStage.h"

namespace kalvo::vst3adapter
{

bool headphonesAvailable()
{
    return false;
}

std::unique_ptr<HeadphoneStage> createHeadphoneStage()
{
    return nullptr;
}

} // namespace kalvo::vst3adapter
