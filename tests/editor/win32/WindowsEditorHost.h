// Plays a Windows host around the built Kalvo.dll: loads it with LoadLibrary, creates effects
// through VSTPluginMain with a recording callback, opens their editors in top-level windows of
// its own and runs the message loop with effEditIdle, as hosts do. The user acts through the
// system's input queue (SendInput, SetCursorPos); the eyes read the window's pixels back. Runs
// under Wine in Xvfb in CI.
#pragma once

#include "tests/support/PixelDifference.h"

#include "tests/support/EditorInstance.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalvo::wintest
{

constexpr long kPanelWidth = 841;
constexpr long kPanelHeight = 453;

using hosttest::automate;
using hosttest::beginEdit;
using hosttest::describe;
using hosttest::endEdit;
using hosttest::HostEvent;

/// The loaded plug-in library (loaded once, kept for the process), or null.
void* pluginModule();

/// True when windows can be made (Wine needs an X server for them).
bool windowsAvailable();

/// A host's editor window: a borderless top-level window at a screen position, so that its
/// client pixels are the screen's from (left, top).
class ParentWindow
{
public:
    ParentWindow(long width, long height, long left = 0, long top = 0);
    ~ParentWindow();
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;

    void* handle() const { return window; }
    /// The editor's child windows in it.
    std::vector<void*> children() const;
    /// Destroys the window now, as a host that closes its window before the editor.
    void destroy();

private:
    void* window = nullptr;
};

/// One effect as a host holds it, with its own record of host requests; its idle calls deliver the
/// waiting messages of this thread first, as a host's message loop does.
class Instance : public hosttest::EditorInstance
{
public:
    Instance();
    ~Instance() override;

protected:
    void pumpWindowSystem() override;
};

/// A window's class name, its text, and its rectangle in its parent {left, top, right, bottom}.
std::wstring windowClassName(void* window);
std::wstring windowText(void* window);
std::vector<long> windowRect(void* window);
/// True while the plug-in library has a window class of that name registered.
bool classRegistered(const std::wstring& className);

/// Posts a wheel message of `notches` (positive: away from the user) to `window`, as the system
/// sends one with the pointer at screen position (x, y).
void postWheel(void* window, long x, long y, int notches);

/// A popup menu as the user sees it; rectangles in screen pixels {left, top, right, bottom}.
struct PopupMenuSeen
{
    std::vector<long> window;
    std::vector<std::vector<long>> items;
    std::vector<std::wstring> texts;
    std::vector<bool> checked;
};

/// The user's hand on the system's pointer, in screen pixels. Usable from any thread.
namespace hand
{
void moveTo(long x, long y);
void press();
void release();
void click(long x, long y);
/// Types `text` on the keyboard: digits, letters, '.', '-', '\b' (backspace) and '\n' (Enter).
void typeText(const char* text);
/// The popup menu shown now, waiting up to `ms` milliseconds for one; no items when none showed.
PopupMenuSeen waitForPopupMenu(int ms = 3000);
} // namespace hand

/// Pixels as 0x00RRGGBB, row by row.
struct Image
{
    long width = 0;
    long height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(long x, long y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

/// A bitmap file, or an empty image when it cannot be read.
Image loadBitmapFile(const std::string& path);
/// The bitmap resource `id` of the plug-in library.
Image pluginBitmap(long id);
/// What the window shows in `area` (client pixels {left, top, right, bottom}).
Image readWindow(void* window, const std::vector<long>& area);

using testsupport::Difference;
std::string describe(const Difference& d);
/// Compares `shown`, whose origin lies at (left, top) of `expected`, with that part of `expected`;
/// only pixels inside one of `included` count when it is not empty, and never those inside one of
/// `excluded` (rectangles {left, top, right, bottom} in `expected`'s pixels).
Difference compare(const Image& expected, const Image& shown, long left, long top, int tolerance,
                   const std::vector<std::vector<long>>& excluded = {},
                   const std::vector<std::vector<long>>& included = {});

/// Like compare, but a pixel also matches when one of `expected`'s pixels next to it (a one-pixel
/// shift in any direction) is within the tolerance: for anti-aliased text and lines that two
/// rasterisers place a little differently.
Difference compareNear(const Image& expected, const Image& shown, int tolerance,
                       const std::vector<std::vector<long>>& included);

/// GDI objects and USER objects (windows, menus) this process holds now.
struct GuiObjects
{
    long gdi = 0;
    long user = 0;
};
GuiObjects guiObjects();

} // namespace kalvo::wintest
