#include "EditorSnapshot.h"

#include "gui/AEffGUIEditor.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "vst2/AudioEffect.h"

bool renderEditorSnapshot(AudioEffect& effect, const char* pngPath, int idleCalls, double scale)
{
    auto* editor = dynamic_cast<AEffGUIEditor*>(effect.getEditor());
    if (!editor || !pngPath)
        return false;
    const bool wasOpen = editor->isOpen();
    if (wasOpen)
        editor->close();

    const double userScale = editor->getUserScale();
    editor->setUserScale(scale);
    kalvo::headless::HostWindow host;
    if (!editor->open(host.handle()) || !host.child())
    {
        editor->close();
        editor->setUserScale(userScale);
        return false;
    }
    kalvo::headless::Window& window = *host.child();
    for (int i = 0; i < idleCalls; ++i)
        editor->idle();
    window.paintNow(CRect(0, 0, window.width(), window.height()));
    const bool written = window.writePng(pngPath);
    editor->close();
    editor->setUserScale(userScale);
    return written;
}
