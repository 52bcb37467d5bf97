#include "X11ImagePresenter.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

namespace kalvo::x11
{

namespace
{
bool hostIsLittleEndian()
{
    const std::uint32_t probe = 1;
    return *reinterpret_cast<const unsigned char*>(&probe) == 1;
}

/// An 8-bit channel scaled to the bits of `mask` and put in their place.
unsigned long channel(unsigned value, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1ul))
        shift++;
    const unsigned long top = mask >> shift; // all ones if the mask is contiguous
    return ((value * top + 127) / 255 << shift) & mask;
}

unsigned long depthBits(int depth)
{
    return depth >= static_cast<int>(8 * sizeof(unsigned long)) ? ~0ul : (1ul << depth) - 1;
}
} // namespace

PixelFormat PixelFormat::of(Display* display, int screen, Visual* visual, int depth)
{
    PixelFormat format;
    format.visual = visual;
    format.depth = depth;
    format.black = BlackPixel(display, screen);
    format.white = WhitePixel(display, screen);
    if (visual && visual->c_class == TrueColor)
    {
        format.trueColor = true;
        format.redMask = visual->red_mask;
        format.greenMask = visual->green_mask;
        format.blueMask = visual->blue_mask;
    }
    return format;
}

unsigned long PixelFormat::pixel(std::uint32_t rgb) const
{
    const unsigned r = (rgb >> 16) & 0xff, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
    if (!trueColor)
    {
        // Without a colour visual the best that stays free of colormap entries to release.
        return (r * 299 + g * 587 + b * 114) >= 128000 ? white : black;
    }
    // Bits of the depth that no channel uses (the alpha of a 32-bit visual) are set: opaque.
    const unsigned long spare = depthBits(depth) & ~(redMask | greenMask | blueMask);
    return channel(r, redMask) | channel(g, greenMask) | channel(b, blueMask) | spare;
}

bool PixelFormat::storesRgb24() const
{
    return trueColor && depth == 24 && redMask == 0xff0000ul && greenMask == 0x00ff00ul &&
           blueMask == 0x0000fful;
}

ImagePresenter::ImagePresenter(Display* display, Drawable target, const PixelFormat& format)
    : display(display), target(target), format(format)
{
    XGCValues values{};
    values.graphics_exposures = False;
    gc = XCreateGC(display, target, GCGraphicsExposures, &values);
    if (format.storesRgb24())
    {
        // The rows can go as they are when the server keeps 24-bit pixels in 32-bit units in
        // this machine's byte order.
        XImage* probe = XCreateImage(display, format.visual, static_cast<unsigned>(format.depth), ZPixmap, 0,
                                     nullptr, 1, 1, 32, 0);
        if (probe)
        {
            unconverted = probe->bits_per_pixel == 32 &&
                          probe->byte_order == (hostIsLittleEndian() ? LSBFirst : MSBFirst);
            XDestroyImage(probe);
        }
    }
}

ImagePresenter::~ImagePresenter()
{
    if (gc)
        XFreeGC(display, gc);
}

void ImagePresenter::present(cairo_surface_t* image, const CRect& area)
{
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    CRect r = area;
    r.bound(CRect(0, 0, width, height));
    if (r.isEmpty() || !gc)
        return;
    cairo_surface_flush(image);
    auto* pixels = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    if (!pixels)
        return;
    if (!unconverted)
    {
        presentConverted(pixels, stride, r);
        return;
    }
    // An XImage over the whole back buffer, borrowed for the request: Xlib copies the area out.
    XImage* whole = XCreateImage(display, format.visual, static_cast<unsigned>(format.depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(pixels), static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 32, stride);
    if (!whole)
        return;
    XPutImage(display, target, gc, whole, r.left, r.top, r.left, r.top, static_cast<unsigned>(r.width()),
              static_cast<unsigned>(r.height()));
    whole->data = nullptr; // the pixels stay cairo's
    XDestroyImage(whole);
}

void ImagePresenter::presentConverted(const unsigned char* pixels, int stride, const CRect& area)
{
    const unsigned w = static_cast<unsigned>(area.width());
    const unsigned h = static_cast<unsigned>(area.height());
    XImage* part = XCreateImage(display, format.visual, static_cast<unsigned>(format.depth), ZPixmap, 0,
                                nullptr, w, h, 32, 0);
    if (!part)
        return;
    // XDestroyImage releases the data with free().
    part->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(part->bytes_per_line) * h));
    if (!part->data)
    {
        XDestroyImage(part);
        return;
    }
    for (unsigned y = 0; y < h; y++)
    {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(pixels + (area.top + static_cast<long>(y)) * stride) +
            area.left;
        for (unsigned x = 0; x < w; x++)
            XPutPixel(part, static_cast<int>(x), static_cast<int>(y), format.pixel(row[x]));
    }
    XPutImage(display, target, gc, part, 0, 0, area.left, area.top, w, h);
    XDestroyImage(part);
}

} // namespace kalvo::x11
