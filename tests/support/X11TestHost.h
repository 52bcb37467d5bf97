// Plays a host on a real X server for the toolkit's tests: a top-level window to open frames
// in, pointer and button events through the XTest extension, and pixel read-back.
#pragma once

#include "gui/CColor.h"
#include "gui/CGeometry.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kalvo::x11test
{

/// True when DISPLAY names a server that can be opened and has the XTest extension.
bool serverAvailable();

class TestHost
{
public:
    /// A mapped top-level window of width x height at (x, y) of the screen, filled with `background`.
    TestHost(long width, long height, long x = 0, long y = 0, CColor background = CColor{64, 64, 64, 255});
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    bool ok() const;
    /// The window id as a host passes it to effEditOpen.
    void* handle() const;

    /// Moves the real pointer to (x, y) of this window.
    void movePointer(long x, long y);
    void pressButton(int button);
    void releaseButton(int button);
    /// Moves there, presses and releases `button` (1 left, 2 middle, 3 right, 4-7 wheel).
    void click(long x, long y, int button = 1);
    /// Presses or releases a modifier key: 's' Shift, 'c' Control, 'a' Alt.
    void modifier(char which, bool down);
    /// Sets the root window's resources (RESOURCE_MANAGER, as a desktop's settings daemon does,
    /// e.g. "Xft.dpi:\t192\n"), or removes them for null. Connections opened afterwards read them.
    void setDesktopResources(const char* resources);
    /// Waits until the server has handled everything sent so far; drops the host's own events.
    void sync();

    /// Pixels of this window (including the frame drawn in it) as 0x00RRGGBB, row by row.
    std::vector<std::uint32_t> readPixels(const CRect& area);
    CColor pixel(long x, long y);
    /// Destroys the host's window (and with it the children in it), as a host closing its window
    /// before closing the editor does.
    void destroyWindow();
    /// How many child windows this window has now.
    int childCount();
    /// Opens a second, unrelated top-level window sitting over `area` of this one and takes it
    /// away again, which makes the server send the covered windows an expose.
    void coverAndUncover(const CRect& area);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace kalvo::x11test
