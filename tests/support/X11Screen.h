// The user at an X server, for tests of panels in real windows (Xvfb in CI): hands that move
// and press the real pointer through XTest, eyes on windows and the server's resource counts,
// images from PNG files and the headless snapshot command, and their comparison with pixels read
// from a window. Shared by the hosts of the VST editor and of the LV2 panel.
#pragma once

#include "PixelDifference.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kalvo::editortest
{

std::string describe(const std::map<std::string, long>& resources);

/// The user at the screen, on a connection of their own, so that they can act while the
/// plug-in's thread sits in a modal loop. Coordinates are the screen's.
class User
{
public:
    User();
    ~User();
    User(const User&) = delete;
    User& operator=(const User&) = delete;

    void moveTo(long x, long y);
    void press(unsigned button = 1);
    void release(unsigned button = 1);
    void click(long x, long y, unsigned button = 1);
    void escape();
    /// Presses and releases the key of `keysym` (X11/keysym.h).
    void typeKey(unsigned long keysym);
    /// Types printable ASCII text on the keyboard; '\b' is BackSpace, '\n' Return.
    void typeText(const char* text);
    /// Passes the key of `keysym` on to `window` as a host does: a press and a release sent to it,
    /// which reach the client that made the window.
    void sendKey(unsigned long window, unsigned long keysym);
    /// Mapped override-redirect top-level windows (menus, our own parent windows), as ids.
    std::vector<unsigned long> overrideRedirectWindows();
    /// Screen rectangle {left, top, right, bottom} of a top-level window.
    std::vector<long> geometry(unsigned long window);
    /// Waits up to about three seconds for an override-redirect window not in `before`; 0 if none.
    unsigned long waitForNewPopup(const std::vector<unsigned long>& before);
    bool pointerFree();
    std::vector<unsigned long> childrenOf(unsigned long window);

    /// Clients connected to the server now (X-Resource extension); -1 without the extension.
    int serverClients();
    /// Resources held by the client that created resource `id`, counted by type ("WINDOW",
    /// "PIXMAP", "GC", "CURSOR", "PICTURE"...); empty without the extension or owner.
    std::map<std::string, long> resourcesOfOwner(unsigned long id);

private:
    struct Impl;
    Impl* impl;
};

/// Releases the pointer button and presses Escape on its own connection when a test is still
/// running after `seconds`, so that a broken gesture fails instead of hanging the suite.
class Watchdog
{
public:
    explicit Watchdog(int seconds = 8);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    bool fired() const;

private:
    struct Impl;
    Impl* impl;
};

/// Pixels as 0x00RRGGBB, row by row.
struct Image
{
    long width = 0;
    long height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(long x, long y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Image loadPng(const std::string& path);
/// The panel as the headless snapshot command renders it for these INDEX=VALUE settings.
Image headlessPanel(const std::vector<std::string>& settings);
/// Text of a float that reads back as the same float.
std::string exactly(float value);

using testsupport::Difference;
/// Compares `shown` (read from the window, origin at `left`, `top` of the panel) with the same
/// area of `expected`, leaving out the rectangles of `excluded` ({left, top, right, bottom}).
Difference compare(const Image& expected, const std::vector<std::uint32_t>& shown, long left, long top,
                   long width, long height, int tolerance,
                   const std::vector<std::vector<long>>& excluded = {});

/// Resident set size of this process in bytes.
long residentBytes();
long openDescriptors();

} // namespace kalvo::editortest
