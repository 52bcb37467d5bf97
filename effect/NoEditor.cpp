#include "KalvoEditorFactory.h"

// Stand-in for builds without the editor: the effect then reports no editor.
AEffEditor* createKalvoEditor(AudioEffectX*)
{
    return nullptr;
}
