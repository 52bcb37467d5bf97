// How the X11 backend turns the back buffer's RGB24 pixels into the pixel values of a visual,
// and the converting path on a real server (a 32-bit visual, whose alpha must come out opaque).
// GoogleTest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include "gui/platform/x11/X11ImagePresenter.h"
#include "tests/support/X11TestHost.h"

#include <X11/Xutil.h>

using kalvo::x11::ImagePresenter;
using kalvo::x11::PixelFormat;

namespace
{
PixelFormat trueColor(int depth, unsigned long red, unsigned long green, unsigned long blue)
{
    PixelFormat format;
    format.trueColor = true;
    format.depth = depth;
    format.redMask = red;
    format.greenMask = green;
    format.blueMask = blue;
    return format;
}
} // namespace

TEST(X11PixelFormat, ScalesChannelsIntoTheMasksOfTheVisual)
{
    const PixelFormat rgb24 = trueColor(24, 0xff0000, 0x00ff00, 0x0000ff);
    EXPECT_TRUE(rgb24.storesRgb24());
    EXPECT_EQ(rgb24.pixel(0x123456), 0x123456ul);

    // The same depth with red and blue swapped needs conversion.
    const PixelFormat bgr24 = trueColor(24, 0x0000ff, 0x00ff00, 0xff0000);
    EXPECT_FALSE(bgr24.storesRgb24());
    EXPECT_EQ(bgr24.pixel(0x123456), 0x563412ul);

    // 5-6-5: full scale stays full scale, mid grey rounds to the nearest step of each channel.
    const PixelFormat rgb16 = trueColor(16, 0xf800, 0x07e0, 0x001f);
    EXPECT_FALSE(rgb16.storesRgb24());
    EXPECT_EQ(rgb16.pixel(0xffffff), 0xfffful);
    EXPECT_EQ(rgb16.pixel(0xff0000), 0xf800ul);
    EXPECT_EQ(rgb16.pixel(0x000000), 0x0000ul);
    EXPECT_EQ(rgb16.pixel(0x808080), (16ul << 11) | (32ul << 5) | 16ul);

    // A 32-bit visual keeps alpha in the bits no channel uses: the window must be opaque.
    const PixelFormat argb32 = trueColor(32, 0xff0000, 0x00ff00, 0x0000ff);
    EXPECT_FALSE(argb32.storesRgb24());
    EXPECT_EQ(argb32.pixel(0x123456), 0xff123456ul);
}

TEST(X11PixelFormat, AVisualWithoutColourGetsBlackOrWhiteByBrightness)
{
    PixelFormat grey;
    grey.depth = 1;
    grey.black = 1;
    grey.white = 0;
    EXPECT_FALSE(grey.storesRgb24());
    EXPECT_EQ(grey.pixel(0xffffff), 0ul);
    EXPECT_EQ(grey.pixel(0x000000), 1ul);
    EXPECT_EQ(grey.pixel(0x00ff00), 0ul); // green alone is bright
    EXPECT_EQ(grey.pixel(0x0000ff), 1ul); // blue alone is dark
}

TEST(X11ImagePresenter, ConvertsRowsForA32BitVisualAndPutsOnlyTheGivenArea)
{
    if (!kalvo::x11test::serverAvailable())
        GTEST_SKIP() << "no X server (DISPLAY not set)";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const int screen = DefaultScreen(display);
    XVisualInfo wanted{};
    wanted.screen = screen;
    wanted.depth = 32;
    wanted.c_class = TrueColor;
    int found = 0;
    XVisualInfo* info =
        XGetVisualInfo(display, VisualScreenMask | VisualDepthMask | VisualClassMask, &wanted, &found);
    if (!info || found == 0)
    {
        XCloseDisplay(display);
        GTEST_SKIP() << "the server has no 32-bit TrueColor visual";
    }
    Visual* visual = info[0].visual;
    XFree(info);

    const ::Window root = RootWindow(display, screen);
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(display, root, visual, AllocNone);
    attributes.border_pixel = 0;
    attributes.background_pixel = 0; // transparent black
    attributes.override_redirect = True;
    attributes.event_mask = StructureNotifyMask;
    // Out of the way of the other tests' windows, which could hide part of it.
    const ::Window window = XCreateWindow(
        display, root, DisplayWidth(display, screen) - 20, DisplayHeight(display, screen) - 20, 8, 4, 0, 32,
        InputOutput, visual, CWColormap | CWBorderPixel | CWBackPixel | CWOverrideRedirect | CWEventMask,
        &attributes);
    XMapRaised(display, window);
    XEvent event;
    do
        XNextEvent(display, &event);
    while (event.type != MapNotify);
    const PixelFormat format = PixelFormat::of(display, screen, visual, 32);
    unsigned long readBack[2] = {};
    {
        ImagePresenter presenter(display, window, format);
        EXPECT_FALSE(presenter.sendsRowsUnconverted());
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 4);
        cairo_t* cr = cairo_create(image);
        cairo_set_source_rgb(cr, 0x12 / 255.0, 0x34 / 255.0, 0x56 / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
        presenter.present(image, CRect(2, 1, 6, 3));
        cairo_surface_destroy(image);
        XSync(display, False);
        XImage* shown = XGetImage(display, window, 0, 0, 8, 4, AllPlanes, ZPixmap);
        ASSERT_NE(shown, nullptr);
        readBack[0] = XGetPixel(shown, 3, 2); // inside the area
        readBack[1] = XGetPixel(shown, 7, 3); // outside it
        XDestroyImage(shown);
    }
    EXPECT_EQ(readBack[0] & 0xffffffff, 0xff123456ul);
    EXPECT_EQ(readBack[1] & 0xffffff, 0ul);
    XDestroyWindow(display, window);
    XFreeColormap(display, attributes.colormap);
    XCloseDisplay(display);
}
