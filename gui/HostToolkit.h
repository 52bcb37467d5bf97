// What the host's widget toolkit does to the sizes a plug-in's panel asks for.
#pragma once

namespace kalvo
{

/// The zoom the host's toolkit applies to the window sizes a plug-in asks it for and to its own
/// widgets: a GTK host under GDK_SCALE=2 makes a requested 841 x 453 window 1682 x 906 pixels, a
/// Qt host under QT_SCALE_FACTOR=1.5 1262 x 680. 1 when neither asks for a zoom of 1 to 4.
double hostToolkitScale();

} // namespace kalvo
