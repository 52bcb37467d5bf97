#include "HostToolkit.h"

#include <algorithm>
#include <cstdlib>

namespace kalvo
{
namespace
{
/// The zoom in environment variable `variable`, or 1 when it is unset or holds none.
double zoomIn(const char* variable)
{
    const char* text = std::getenv(variable);
    if (!text || !*text)
        return 1.0;
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    return *end == '\0' && scale >= 1.0 && scale <= 4.0 ? scale : 1.0;
}
} // namespace

double hostToolkitScale()
{
    // The plug-in runs in the host's process, so the host's settings are ours to read.
    return std::max(zoomIn("GDK_SCALE"), zoomIn("QT_SCALE_FACTOR"));
}

} // namespace kalvo
