// An in-memory window system for tests and snapshots: the host's window is a HostWindow object,
// the frame's child an image, and pointer, buttons and clock are what the test says they are.
#pragma once

#include "gui/platform/Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalvo::headless
{

class Window;

/// One scripted pointer state: position (window pixels) and CButton bits.
struct PointerState
{
    CPoint where;
    long buttons = 0;
};

/// Plays the host's parent window: pass handle() where a host passes its native window.
/// Destroying it first destroys the children as a window system would: their listeners hear it.
class HostWindow
{
public:
    HostWindow();
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    void* handle() { return this; }
    /// The child opened in this window most recently and still alive, or null.
    Window* child() const;
    /// How many children are alive now.
    long childCount() const { return static_cast<long>(children.size()); }

private:
    friend class Window;
    std::vector<Window*> children;
};

/// The frame's child window. Tests read its pixels and play the user on it.
class Window : public platform::NativeWindow
{
public:
    /// A window of `size` panel pixels at `scale` window pixels per panel pixel. Its pixels,
    /// presses and pointer positions are the window's; the listener hears panel pixels.
    Window(HostWindow* host, const CRect& size, platform::WindowListener& listener, double scale = 1.0);
    ~Window() override;

    // ---- what the test does ----
    /// Colour of one window pixel (alpha 255); transparent black outside.
    CColor pixel(long x, long y) const;
    /// All pixels row by row as 0x00RRGGBB.
    std::vector<std::uint32_t> pixels() const;
    long width() const;
    long height() const;
    bool writePng(const char* path) const;
    /// Queues a repaint of `damaged`, delivered by the next pump (or deliverOnePendingRepaint).
    void expose(const CRect& damaged);
    /// Delivers a repaint of `damaged` at once.
    void paintNow(const CRect& damaged);
    long pendingRepaints() const;
    /// Drops the queued repaints (a window the host has not shown yet).
    void discardPendingRepaints();
    /// A button press at `where` with these bits, delivered at once; the pointer is there with
    /// those buttons down until the test changes it or a script takes over.
    void press(const CPoint& where, long buttons);
    /// A wheel turn at `where`, delivered at once.
    void wheel(const CPoint& where, float distance, CMouseWheelAxis axis = kWheelAxisY);
    /// Sets the pointer without an event.
    void setPointer(const CPoint& where, long buttons);
    /// States that successive polls of the buttons step through (a drag loop's view of the
    /// user); the last state stays.
    void scriptPointer(const std::vector<PointerState>& states);
    /// How often the buttons were polled.
    long buttonPolls() const;
    /// The last cursor set.
    CCursorType cursor() const;
    /// The item id the next popup menu answers (-1, or an item a user could not choose, dismisses it).
    void setMenuChoice(long id);
    /// Texts of the items of the last popup menu shown, with submenus flattened in order.
    const std::vector<std::string>& lastMenuTexts() const;
    long menusShown() const;
    /// Position of the last popup menu in window pixels.
    CPoint lastMenuPosition() const;
    /// The last popup menu answers to the right button (it was opened with it).
    bool lastMenuFollowsRightButton() const;

    // ---- NativeWindow ----
    std::unique_ptr<platform::Surface> createSurface() override;
    long pointerButtons() override;
    CPoint pointerPosition() override;
    CRect bounds() override;
    void setSize(long width, long height) override;
    void setPosition(long x, long y) override;
    CPoint screenOrigin() override;
    void setCursor(CCursorType type) override;
    void pumpEvents() override;
    bool deliverOnePendingRepaint() override;
    long showPopupMenu(const platform::PopupMenu& menu, const CPoint& where) override;

private:
    friend class HostWindow;
    struct Impl;
    std::unique_ptr<Impl> impl;
};

/// The headless millisecond clock: it moves only when told to (and by sleepMs).
void setTicks(long ms);
void advanceTicks(long ms);

} // namespace kalvo::headless
