#include "effect/KalvoEditorFactory.h"

#include "KalvoEditor.h"
#include "effect/Kalvo.h"
#include "effect/RemoteEffect.h"

#include <new>

AEffEditor* createKalvoEditor(AudioEffectX* effect)
{
    if (!effect)
        return nullptr;
    // The editor follows the same build rules as the effect it belongs to.
    if (const auto* kalvo = dynamic_cast<Kalvo*>(effect))
        return new (std::nothrow) KalvoEditor(effect, kalvo->getRules());
    if (const auto* remote = dynamic_cast<RemoteEffect*>(effect))
        return new (std::nothrow) KalvoEditor(effect, remote->getRules(), remote->hasHeadControls());
    return new (std::nothrow) KalvoEditor(effect, buildRules());
}
