// The editor picture, drawn by the editor itself in an in-memory window.

#include "EditorPicture.h"

#include "editor/EditorSnapshot.h"
#include "editor/KalvoEditor.h"
#include "effect/Kalvo.h"
#include "tools/kalvo-render/files/OutputFiles.h"
#include "vst2/AudioEffect.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace render
{

bool editorPictureAvailable()
{
    return true;
}

bool writeEditorPicture(AEffect* effect, const std::string& pngPath, std::string& error)
{
    if (!effect || !effect->object)
    {
        error = "no effect to draw";
        return false;
    }
    // A decode builds no editor; the picture needs one, made here once.
    auto* kalvo = dynamic_cast<Kalvo*>(static_cast<AudioEffect*>(effect->object));
    if (kalvo && !kalvo->getEditor())
        kalvo->setEditor(new (std::nothrow) KalvoEditor(kalvo, kalvo->getRules()));
    // Replaced the way the sound files are: through links, never over a
    // write-protected file, under a temporary name until complete.
    std::string target;
    mode_t mode = 0;
    if (!prepareOutputTarget(pngPath, target, mode, error))
        return false;
    removeStaleTemporaries(target);
    const std::string temp = temporaryPathFor(target);
    if (!renderEditorSnapshot(*static_cast<AudioEffect*>(effect->object), temp.c_str()))
    {
        ::unlink(temp.c_str());
        error = "cannot write the editor picture '" + pngPath + "'";
        return false;
    }
    ::chmod(temp.c_str(), mode);
    if (std::rename(temp.c_str(), target.c_str()) != 0)
    {
        error = "cannot write '" + pngPath + "': " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace render
