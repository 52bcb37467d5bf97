#include "effect/KalvoEditorFactory.h"
#include "tests/support/FakeEditor.h"

AEffEditor* createKalvoEditor(AudioEffectX* effect)
{
    if (!FakeEditor::enabled())
        return nullptr;
    FakeEditor* editor = new FakeEditor(effect);
    effect->setEditor(editor);
    return editor;
}
