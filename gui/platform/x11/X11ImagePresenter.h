// Copies what the cairo backend drew to an X drawable with plain Xlib requests. The window and
// the popup menus draw into image surfaces of their own and show them through this, so that no
// cairo xlib surface (and none of its per-connection state) is ever tied to a Display.
#pragma once

#include "gui/platform/Platform.h"

#include <X11/Xlib.h>
#include <cairo.h>

#include <cstdint>

namespace kalvo::x11
{

/// How a visual stores a colour in a pixel value.
struct PixelFormat
{
    /// From a visual of the given depth. Only TrueColor visuals have masks; other classes get
    /// a format that answers `black` or `white` by brightness.
    static PixelFormat of(Display* display, int screen, Visual* visual, int depth);

    /// The pixel value for an RGB24 pixel (0x00RRGGBB) of the back buffer.
    unsigned long pixel(std::uint32_t rgb) const;

    /// The visual stores 0x00RRGGBB as it is (24-bit TrueColor with the usual masks).
    bool storesRgb24() const;

    Visual* visual = nullptr;
    bool trueColor = false;
    unsigned long redMask = 0, greenMask = 0, blueMask = 0;
    int depth = 0;
    unsigned long black = 0, white = 1; ///< used when the visual is not TrueColor
};

/// Puts rectangles of an RGB24 image surface on one drawable. Owns one GC of the drawable.
class ImagePresenter
{
public:
    ImagePresenter(Display* display, Drawable target, const PixelFormat& format);
    ~ImagePresenter();
    ImagePresenter(const ImagePresenter&) = delete;
    ImagePresenter& operator=(const ImagePresenter&) = delete;

    /// Copies `area` of `image` (an RGB24 image surface) to the same place of the drawable.
    /// Only queues the requests: the caller flushes or syncs.
    void present(cairo_surface_t* image, const CRect& area);

    /// The back buffer's rows go to the server as they are, without conversion.
    bool sendsRowsUnconverted() const { return unconverted; }

private:
    void presentConverted(const unsigned char* pixels, int stride, const CRect& area);

    Display* display;
    Drawable target;
    PixelFormat format;
    GC gc = nullptr;
    bool unconverted = false;
};

} // namespace kalvo::x11
