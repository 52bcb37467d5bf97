#include "KalvoEditorFactory.h"

#include "Kalvo.h"
#include "KalvoEditor.h"

#include <new>

AEffEditor* createKalvoEditor(AudioEffectX* effect)
{
    if (!effect)
        return nullptr;
    // The editor follows the same build rules as the effect it belongs to.
    const auto* kalvo = dynamic_cast<Kalvo*>(effect);
    return new (std::nothrow) KalvoEditor(effect, kalvo ? kalvo->getRules() : buildRules());
}
