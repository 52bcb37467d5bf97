// The editor picture in builds that have no editor.

#include "EditorPicture.h"

namespace render
{

bool editorPictureAvailable()
{
    return false;
}

bool writeEditorPicture(AEffect*, const std::string&, std::string& error)
{
    error = "--snapshot needs the plug-in's editor, which this build does not include";
    return false;
}

} // namespace render
