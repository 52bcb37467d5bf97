#pragma once

// A picture of the plug-in's editor panel with the effect's current settings,
// rendered without a window system. Builds without the editor answer false.

#include "vst2/VstInterface.h"

#include <string>

namespace render
{

/// True when this build can draw the editor.
bool editorPictureAvailable();

/// Writes the editor panel of the linked effect behind `effect` to `pngPath`
/// (through a temporary file renamed at the end). False with a one-line
/// reason in `error`.
bool writeEditorPicture(AEffect* effect, const std::string& pngPath, std::string& error);

} // namespace render
