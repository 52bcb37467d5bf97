// The editor picture, drawn by the editor itself in an in-memory window.

#include "EditorPicture.h"

#include "AudioEffect.h"
#include "EditorSnapshot.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    const std::string temp = pngPath + ".tmp-" + std::to_string(::getpid()) + ".png";
    if (!renderEditorSnapshot(*static_cast<AudioEffect*>(effect->object), temp.c_str()))
    {
        ::unlink(temp.c_str());
        error = "cannot write the editor picture '" + pngPath + "'";
        return false;
    }
    if (std::rename(temp.c_str(), pngPath.c_str()) != 0)
    {
        error = "cannot write '" + pngPath + "': " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace render
