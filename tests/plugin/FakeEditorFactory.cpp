#include "FakeEditor.h"
#include "KalvoEditorFactory.h"

AEffEditor* createKalvoEditor(AudioEffectX* effect)
{
    if (!FakeEditor::enabled())
        return nullptr;
    FakeEditor* editor = new FakeEditor(effect);
    effect->setEditor(editor);
    return editor;
}
