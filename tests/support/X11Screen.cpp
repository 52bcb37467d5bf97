#include "X11Screen.h"

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#ifndef KALVO_SNAPSHOT_COMMAND
#error "KALVO_SNAPSHOT_COMMAND must name the built kalvo-snapshot"
#endif

namespace kalvo::editortest
{

// ---- User ----

struct User::Impl
{
    Display* display = nullptr;
};

User::User() : impl(new Impl)
{
    impl->display = XOpenDisplay(nullptr);
}

User::~User()
{
    if (impl->display)
        XCloseDisplay(impl->display);
    delete impl;
}

void User::moveTo(long x, long y)
{
    XTestFakeMotionEvent(impl->display, DefaultScreen(impl->display), static_cast<int>(x),
                         static_cast<int>(y), CurrentTime);
    XSync(impl->display, False);
}

void User::press(unsigned button)
{
    XTestFakeButtonEvent(impl->display, button, True, CurrentTime);
    XSync(impl->display, False);
}

void User::release(unsigned button)
{
    XTestFakeButtonEvent(impl->display, button, False, CurrentTime);
    XSync(impl->display, False);
}

void User::click(long x, long y, unsigned button)
{
    moveTo(x, y);
    press(button);
    release(button);
}

void User::escape()
{
    typeKey(XK_Escape);
}

void User::typeKey(unsigned long keysym)
{
    const KeyCode code = XKeysymToKeycode(impl->display, static_cast<KeySym>(keysym));
    XTestFakeKeyEvent(impl->display, code, True, CurrentTime);
    XTestFakeKeyEvent(impl->display, code, False, CurrentTime);
    XSync(impl->display, False);
}

void User::typeText(const char* text)
{
    // Printable ASCII characters are their own keysyms.
    for (const char* c = text; c && *c; ++c)
        typeKey(*c == '\b' ? XK_BackSpace : *c == '\n' ? XK_Return : static_cast<unsigned long>(*c));
}

void User::sendKey(unsigned long window, unsigned long keysym)
{
    XEvent event{};
    XKeyEvent& key = event.xkey;
    key.display = impl->display;
    key.window = window;
    key.root = DefaultRootWindow(impl->display);
    key.time = CurrentTime;
    key.same_screen = True;
    key.keycode = XKeysymToKeycode(impl->display, static_cast<KeySym>(keysym));
    for (int type : {KeyPress, KeyRelease})
    {
        key.type = type;
        XSendEvent(impl->display, window, False, NoEventMask, &event);
    }
    XSync(impl->display, False);
}

std::vector<unsigned long> User::overrideRedirectWindows()
{
    std::vector<unsigned long> found;
    for (unsigned long w : childrenOf(DefaultRootWindow(impl->display)))
    {
        XWindowAttributes a;
        if (XGetWindowAttributes(impl->display, w, &a) && a.override_redirect && a.map_state == IsViewable)
            found.push_back(w);
    }
    return found;
}

std::vector<long> User::geometry(unsigned long window)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(impl->display, window, &a))
        return {};
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(impl->display, window, DefaultRootWindow(impl->display), 0, 0, &x, &y, &child);
    return {x, y, x + a.width, y + a.height};
}

unsigned long User::waitForNewPopup(const std::vector<unsigned long>& before)
{
    for (int i = 0; i < 600; i++)
    {
        for (unsigned long w : overrideRedirectWindows())
            if (std::find(before.begin(), before.end(), w) == before.end())
                return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
}

bool User::pointerFree()
{
    const int result = XGrabPointer(impl->display, DefaultRootWindow(impl->display), False, ButtonPressMask,
                                    GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
    if (result == GrabSuccess)
        XUngrabPointer(impl->display, CurrentTime);
    XSync(impl->display, False);
    return result == GrabSuccess;
}

std::vector<unsigned long> User::childrenOf(unsigned long window)
{
    std::vector<unsigned long> found;
    ::Window rootReturn, parent;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(impl->display, window, &rootReturn, &parent, &children, &count))
        return found;
    found.assign(children, children + count);
    if (children)
        XFree(children);
    return found;
}

int User::serverClients()
{
    int event = 0, error = 0;
    if (!XResQueryExtension(impl->display, &event, &error))
        return -1;
    int count = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(impl->display, &count, &clients))
        return -1;
    XFree(clients);
    return count;
}

std::map<std::string, long> User::resourcesOfOwner(unsigned long id)
{
    std::map<std::string, long> found;
    int event = 0, error = 0;
    if (!XResQueryExtension(impl->display, &event, &error))
        return found;
    int count = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(impl->display, &count, &clients))
        return found;
    XID base = 0;
    bool owned = false;
    for (int i = 0; i < count; i++)
        if ((id & ~clients[i].resource_mask) == clients[i].resource_base)
        {
            base = clients[i].resource_base;
            owned = true;
        }
    XFree(clients);
    int types = 0;
    XResType* perType = nullptr;
    if (!owned || !XResQueryClientResources(impl->display, base, &types, &perType))
        return found;
    for (int i = 0; i < types; i++)
    {
        char* name = XGetAtomName(impl->display, perType[i].resource_type);
        if (name)
        {
            found[name] = perType[i].count;
            XFree(name);
        }
    }
    XFree(perType);
    return found;
}

std::string describe(const std::map<std::string, long>& resources)
{
    std::string text;
    for (const auto& [type, count] : resources)
        text += type + " " + std::to_string(count) + "; ";
    return text;
}

// ---- Watchdog ----

struct Watchdog::Impl
{
    std::mutex lock;
    std::condition_variable wake;
    bool finished = false;
    std::atomic<bool> fired{false};
    std::thread thread;
};

Watchdog::Watchdog(int seconds) : impl(new Impl)
{
    impl->thread = std::thread(
        [this, seconds]
        {
            std::unique_lock<std::mutex> guard(impl->lock);
            if (impl->wake.wait_for(guard, std::chrono::seconds(seconds), [this] { return impl->finished; }))
                return;
            impl->fired = true;
            User hand;
            hand.release(1);
            hand.escape();
        });
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> guard(impl->lock);
        impl->finished = true;
    }
    impl->wake.notify_all();
    impl->thread.join();
    delete impl;
}

bool Watchdog::fired() const
{
    return impl->fired;
}

// ---- images ----

Image loadPng(const std::string& path)
{
    Image image;
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(png) == CAIRO_STATUS_SUCCESS)
    {
        // Painted over black, as an opaque image is shown.
        image.width = cairo_image_surface_get_width(png);
        image.height = cairo_image_surface_get_height(png);
        cairo_surface_t* flat = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(image.width),
                                                           static_cast<int>(image.height));
        cairo_t* cr = cairo_create(flat);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
        cairo_set_source_surface(cr, png, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(flat);
        const unsigned char* data = cairo_image_surface_get_data(flat);
        const int stride = cairo_image_surface_get_stride(flat);
        for (long y = 0; y < image.height; y++)
        {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            for (long x = 0; x < image.width; x++)
                image.pixels.push_back(row[x] & 0xffffffu);
        }
        cairo_surface_destroy(flat);
    }
    cairo_surface_destroy(png);
    return image;
}

std::string exactly(float value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
    return text;
}

Image headlessPanel(const std::vector<std::string>& settings)
{
    char path[] = "/tmp/kalvo-headless-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return Image{};
    close(fd);
    std::string command = std::string("\"") + KALVO_SNAPSHOT_COMMAND + "\" \"" + path + "\"";
    for (const std::string& s : settings)
        command += " " + s;
    Image image;
    if (std::system(command.c_str()) == 0)
        image = loadPng(path);
    unlink(path);
    return image;
}

Difference compare(const Image& expected, const std::vector<std::uint32_t>& shown, long left, long top,
                   long width, long height, int tolerance, const std::vector<std::vector<long>>& excluded)
{
    Difference d;
    for (long y = 0; y < height; y++)
        for (long x = 0; x < width; x++)
        {
            const long px = left + x, py = top + y;
            bool skip = false;
            for (const std::vector<long>& r : excluded)
                skip = skip || (px >= r[0] && px < r[2] && py >= r[1] && py < r[3]);
            if (skip)
                continue;
            const std::uint32_t a = expected.at(px, py);
            const std::uint32_t b = shown[static_cast<size_t>(y * width + x)];
            d.add(a, b, tolerance, px, py);
        }
    return d;
}

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

long openDescriptors()
{
    long count = 0;
    if (DIR* dir = opendir("/proc/self/fd"))
    {
        while (readdir(dir))
            count++;
        closedir(dir);
    }
    return count;
}

} // namespace kalvo::editortest
