#include "LinkedEffect.h"

#include "dsp/KalvoAlgo.h"
#include "effect/Kalvo.h"

namespace render
{

AEffect* linkedEffectEntry(audioMasterCallback host)
{
    return kalvoPluginMain(host);
}

void switchOffMetering(AEffect* effect)
{
    if (!effect || effect->magic != kEffectMagic || !effect->object)
        return;
    if (auto* kalvo = dynamic_cast<Kalvo*>(static_cast<AudioEffect*>(effect->object)))
        kalvo->getAlgo().meteringEnabled = false;
}

} // namespace render
