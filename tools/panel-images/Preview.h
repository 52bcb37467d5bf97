#pragma once

// A picture of the panel as the editor will show it: the background with
// every control image placed at its rectangle, sample values in the displays
// and sample curves on the polar grid. Only for looking at the layout.

#include "PanelImages.h"

#include <string>
#include <vector>

namespace panel
{

/// Writes the composed panel to `path`; with `withAbout` the about image is
/// shown over it as after a click on the logo. False when writing failed.
bool writePreview(const std::vector<NumberedImage>& images, const std::string& path, bool withAbout);

} // namespace panel
