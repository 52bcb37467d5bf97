#include "X11TestHost.h"

#include <cstring>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <unistd.h>

// fontconfig keeps its configuration and font caches for the life of the process; in the
// sanitizer build of the X11 tests they are not leaks (the thousand-cycle test measures
// per-editor growth itself).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace kalvo::x11test
{

namespace
{
// An X server resets itself when its last client leaves and refuses connections meanwhile, so
// the tests keep one connection open for the life of the test process.
Display* keeper = nullptr;
} // namespace

bool serverAvailable()
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return false;
    // A server still resetting after the previous test process may refuse for a moment.
    for (int attempt = 0; !keeper && attempt < 40; attempt++)
    {
        keeper = XOpenDisplay(nullptr);
        if (!keeper)
            usleep(50000);
    }
    if (!keeper)
        return false;
    int event = 0, error = 0, major = 0, minor = 0;
    return XTestQueryExtension(keeper, &event, &error, &major, &minor);
}

struct TestHost::Impl
{
    Display* display = nullptr;
    ::Window window = 0;
    int screen = 0;
    long width = 0;
    long height = 0;
};

TestHost::TestHost(long width, long height, long x, long y, CColor background)
    : impl(std::make_unique<Impl>())
{
    impl->display = XOpenDisplay(nullptr);
    if (!impl->display)
        return;
    impl->screen = DefaultScreen(impl->display);
    impl->width = width;
    impl->height = height;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = (static_cast<unsigned long>(background.red) << 16) |
                                  (static_cast<unsigned long>(background.green) << 8) | background.blue;
    attributes.override_redirect = True; // placed exactly at (0, 0), with or without a window manager
    attributes.event_mask = StructureNotifyMask | ExposureMask;
    impl->window = XCreateWindow(impl->display, RootWindow(impl->display, impl->screen), static_cast<int>(x),
                                 static_cast<int>(y), static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWBackPixel | CWOverrideRedirect | CWEventMask, &attributes);
    XMapRaised(impl->display, impl->window);
    XEvent event;
    do
        XWindowEvent(impl->display, impl->window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
    XSync(impl->display, False);
}

void TestHost::destroyWindow()
{
    if (impl->window)
        XDestroyWindow(impl->display, impl->window);
    impl->window = 0;
    XSync(impl->display, True);
}

TestHost::~TestHost()
{
    if (!impl->display)
        return;
    if (impl->window)
        XDestroyWindow(impl->display, impl->window);
    XSync(impl->display, False);
    XCloseDisplay(impl->display);
}

bool TestHost::ok() const
{
    return impl->display != nullptr;
}

void* TestHost::handle() const
{
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(impl->window));
}

void TestHost::movePointer(long x, long y)
{
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(impl->display, impl->window, RootWindow(impl->display, impl->screen),
                          static_cast<int>(x), static_cast<int>(y), &rootX, &rootY, &child);
    XTestFakeMotionEvent(impl->display, impl->screen, rootX, rootY, CurrentTime);
    XSync(impl->display, False);
}

void TestHost::pressButton(int button)
{
    XTestFakeButtonEvent(impl->display, static_cast<unsigned>(button), True, CurrentTime);
    XSync(impl->display, False);
}

void TestHost::releaseButton(int button)
{
    XTestFakeButtonEvent(impl->display, static_cast<unsigned>(button), False, CurrentTime);
    XSync(impl->display, False);
}

void TestHost::click(long x, long y, int button)
{
    movePointer(x, y);
    pressButton(button);
    releaseButton(button);
}

void TestHost::modifier(char which, bool down)
{
    const KeySym sym = which == 's' ? XK_Shift_L : which == 'c' ? XK_Control_L : XK_Alt_L;
    const KeyCode code = XKeysymToKeycode(impl->display, sym);
    XTestFakeKeyEvent(impl->display, code, down ? True : False, CurrentTime);
    XSync(impl->display, False);
}

void TestHost::setDesktopResources(const char* resources)
{
    const ::Window root = RootWindow(impl->display, impl->screen);
    if (resources)
        XChangeProperty(impl->display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources),
                        static_cast<int>(std::strlen(resources)));
    else
        XDeleteProperty(impl->display, root, XA_RESOURCE_MANAGER);
    XSync(impl->display, False);
}

void TestHost::sync()
{
    // The host reads none of its own events: drop them so that its queue does not grow.
    XSync(impl->display, True);
}

std::vector<std::uint32_t> TestHost::readPixels(const CRect& area)
{
    std::vector<std::uint32_t> out;
    XSync(impl->display, False);
    XImage* image =
        XGetImage(impl->display, impl->window, area.left, area.top, static_cast<unsigned>(area.width()),
                  static_cast<unsigned>(area.height()), AllPlanes, ZPixmap);
    if (!image)
        return out;
    for (int y = 0; y < area.height(); y++)
        for (int x = 0; x < area.width(); x++)
        {
            const unsigned long p = XGetPixel(image, x, y);
            const auto channel = [p](unsigned long mask)
            {
                if (!mask)
                    return 0u;
                unsigned long m = mask, v = p & mask;
                while (!(m & 1))
                {
                    m >>= 1;
                    v >>= 1;
                }
                return static_cast<unsigned>(v * 255 / m);
            };
            out.push_back((channel(image->red_mask) << 16) | (channel(image->green_mask) << 8) |
                          channel(image->blue_mask));
        }
    XDestroyImage(image);
    return out;
}

CColor TestHost::pixel(long x, long y)
{
    const std::vector<std::uint32_t> p = readPixels(CRect(x, y, x + 1, y + 1));
    if (p.empty())
        return CColor{0, 0, 0, 0};
    return CColor{static_cast<std::uint8_t>(p[0] >> 16), static_cast<std::uint8_t>(p[0] >> 8),
                  static_cast<std::uint8_t>(p[0]), 255};
}

int TestHost::childCount()
{
    ::Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(impl->display, impl->window, &root, &parent, &children, &count))
        return -1;
    if (children)
        XFree(children);
    return static_cast<int>(count);
}

void TestHost::coverAndUncover(const CRect& area)
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0xffffff;
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(impl->display, impl->window, RootWindow(impl->display, impl->screen), area.left,
                          area.top, &rootX, &rootY, &child);
    const ::Window cover = XCreateWindow(impl->display, RootWindow(impl->display, impl->screen), rootX, rootY,
                                         static_cast<unsigned>(area.width()),
                                         static_cast<unsigned>(area.height()), 0, CopyFromParent, InputOutput,
                                         CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
    XMapRaised(impl->display, cover);
    XSync(impl->display, False);
    XDestroyWindow(impl->display, cover);
    XSync(impl->display, False);
}

} // namespace kalvo::x11test
