// The frame's native child window on X11: created directly in the host's window on a Display
// connection of its own, drawn into an image back buffer whose damaged areas are put on the
// window with plain Xlib requests, fed with events from the editor's idle calls. Nothing here starts a thread
// or keeps process-wide state.
#include "X11ImagePresenter.h"
#include "X11Menu.h"
#include "gui/HostToolkit.h"
#include "gui/platform/cairo/CairoBackend.h"
#include "vst2/VstInterface.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace kalvo::x11
{

namespace
{
// Counts the X errors reported while an ErrorTrap is in place.
thread_local int trappedErrors = 0;

int trapError(Display*, XErrorEvent*)
{
    trappedErrors++;
    return 0;
}

// Installs an error handler for the calls in its scope and puts the previous one back, so that
// an error on the editor's connection (a host that destroyed its window first, a bad window id)
// never reaches the host's handler or Xlib's default, which ends the process. Only calls that
// wait for the server (XSync, replies, reading events) report their errors inside the scope.
class ErrorTrap
{
public:
    ErrorTrap() : before(trappedErrors), previous(XSetErrorHandler(trapError)) {}
    ~ErrorTrap() { XSetErrorHandler(previous); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    bool failed() const { return trappedErrors != before; }

private:
    int before;
    int (*previous)(Display*, XErrorEvent*);
};

// Window pixels covering `panelPixels` at `scale`: 841 at 1.25 needs 1052.
long toWindowPixels(long panelPixels, double scale)
{
    return static_cast<long>(std::ceil(static_cast<double>(panelPixels) * scale - 1e-9));
}

// Converts an X button-and-modifier state to the toolkit's bits (Ctrl is the command key).
long buttonsFromState(unsigned int state)
{
    long bits = 0;
    if (state & Button1Mask)
        bits |= kButtonLeft;
    if (state & Button2Mask)
        bits |= kButtonMiddle;
    if (state & Button3Mask)
        bits |= kButtonRight;
    if (state & ShiftMask)
        bits |= kModifierShift;
    if (state & ControlMask)
        bits |= kModifierCommand;
    if (state & Mod1Mask)
        bits |= kModifierAlt;
    return bits;
}

unsigned int cursorShape(CCursorType type)
{
    switch (type)
    {
    case kCursorWait:
        return XC_watch;
    case kCursorHSize:
        return XC_sb_h_double_arrow;
    case kCursorVSize:
        return XC_sb_v_double_arrow;
    case kCursorSizeAll:
        return XC_fleur;
    case kCursorNESWSize:
        return XC_bottom_left_corner;
    case kCursorNWSESize:
        return XC_bottom_right_corner;
    case kCursorCopy:
        return XC_plus;
    case kCursorNotAllowed:
        return XC_X_cursor;
    case kCursorHand:
        return XC_hand2;
    default:
        return XC_left_ptr;
    }
}

constexpr int kCursorCount = kCursorHand + 1;

// The events the child window selects. Not the keys: selecting them would take the keys pressed
// over the panel from the host (its shortcuts, the transport's space bar). A host that passes a
// key on sends it to the window, and such an event reaches the client that made the window
// whatever it selects (takeKeys).
// Motion only while a button is held, for drags; the press's implicit grab brings the motion and
// the release here also when the pointer leaves the window.
constexpr long kWindowEvents =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | StructureNotifyMask;

unsigned char virtualKey(KeySym sym)
{
    if (sym >= XK_F1 && sym <= XK_F12)
        return static_cast<unsigned char>(VKEY_F1 + (sym - XK_F1));
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return static_cast<unsigned char>(VKEY_NUMPAD0 + (sym - XK_KP_0));
    switch (sym)
    {
    case XK_BackSpace:
        return VKEY_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab: // Shift-Tab
        return VKEY_TAB;
    case XK_Return:
        return VKEY_RETURN;
    case XK_KP_Enter:
        return VKEY_ENTER;
    case XK_Escape:
        return VKEY_ESCAPE;
    case XK_space:
        return VKEY_SPACE;
    case XK_Home:
        return VKEY_HOME;
    case XK_End:
        return VKEY_END;
    case XK_Left:
        return VKEY_LEFT;
    case XK_Up:
        return VKEY_UP;
    case XK_Right:
        return VKEY_RIGHT;
    case XK_Down:
        return VKEY_DOWN;
    case XK_Prior:
        return VKEY_PAGEUP;
    case XK_Next:
        return VKEY_PAGEDOWN;
    case XK_Insert:
        return VKEY_INSERT;
    case XK_Delete:
        return VKEY_DELETE;
    case XK_Shift_L:
    case XK_Shift_R:
        return VKEY_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
        return VKEY_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
        return VKEY_ALT;
    default:
        return 0;
    }
}

// An X key event as the toolkit's key code: the virtual key where there is one, otherwise the
// printable character; Ctrl is the command modifier, as for the pointer.
VstKeyCode keyCodeOf(XKeyEvent& event)
{
    char text[8] = {};
    KeySym sym = NoSymbol;
    XLookupString(&event, text, sizeof text, &sym, nullptr);
    VstKeyCode code{0, virtualKey(sym), 0};
    if (sym >= 0x20 && sym <= 0x7e)
        code.character = static_cast<VstInt32>(sym);
    if (event.state & ShiftMask)
        code.modifier |= MODIFIER_SHIFT;
    if (event.state & ControlMask)
        code.modifier |= MODIFIER_COMMAND;
    if (event.state & Mod1Mask)
        code.modifier |= MODIFIER_ALTERNATE;
    return code;
}
} // namespace

class X11Window;

// A surface on the window's back buffer; flushing copies what was drawn to the window.
class X11Surface : public cairo::CairoSurface
{
public:
    X11Surface(X11Window& owner, cairo_surface_t* backBuffer, std::shared_ptr<cairo::FontCache> fonts,
               double scale)
        : CairoSurface(backBuffer, std::move(fonts), scale), owner(owner)
    {
    }
    void flush() override;

private:
    X11Window& owner;
};

class X11Window : public platform::NativeWindow
{
public:
    /// `bounds` in window pixels; `scale` window pixels per panel pixel.
    X11Window(Display* display, ::Window window, Visual* visual, int depth, const CRect& bounds,
              platform::WindowListener& listener, double scale)
        : display(display), window(window), listener(&listener), area(bounds), scale(scale)
    {
        screen = DefaultScreen(display);
        backBuffer = cairo_image_surface_create(CAIRO_FORMAT_RGB24, bounds.width(), bounds.height());
        presenter = std::make_unique<ImagePresenter>(display, window,
                                                     PixelFormat::of(display, screen, visual, depth));
    }

    ~X11Window() override
    {
        *alive = false;
        // The keys go back to whoever had them before an open text field took them.
        takeKeyboardFocus(false);
        {
            // The host may have destroyed its window, and ours with it, before closing us.
            ErrorTrap trap;
            presenter.reset();
            for (Cursor& cursor : cursors)
            {
                if (cursor != None)
                    XFreeCursor(display, cursor);
            }
            if (!gone)
                XDestroyWindow(display, window);
            XSync(display, False);
        }
        cairo_surface_destroy(backBuffer);
        XCloseDisplay(display);
    }

    /// Copies the back buffer's `drawn` area to the window.
    void show(const CRect& drawn)
    {
        CRect r = drawn;
        r.bound(CRect(0, 0, area.width(), area.height()));
        if (r.isEmpty() || gone)
            return;
        ErrorTrap trap;
        presenter->present(backBuffer, r);
        // Wait until the server has it: whoever looks next (the host, a screenshot) sees it.
        XSync(display, False);
        if (trap.failed())
            gone = true;
    }

    std::unique_ptr<platform::Surface> createSurface() override
    {
        return std::make_unique<X11Surface>(*this, backBuffer, fonts, scale);
    }

    long pointerButtons() override
    {
        queryPointer();
        return buttonsFromState(pointerMask);
    }

    CPoint pointerPosition() override
    {
        queryPointer();
        return toPanel(pointer);
    }

    CRect bounds() override
    {
        return CRect(area.left, area.top,
                     area.left + static_cast<long>(std::floor(area.width() / scale + 1e-9)),
                     area.top + static_cast<long>(std::floor(area.height() / scale + 1e-9)));
    }

    bool rescale(platform::WindowListener& newListener, double newScale, long width, long height) override
    {
        if (!(newScale > 0.0))
            return false;
        listener = &newListener;
        scale = newScale;
        setSize(width, height); // a back buffer of the new size; the new frame paints all of it
        return true;
    }

    void setSize(long width, long height) override
    {
        width = std::max(1L, toWindowPixels(width, scale));
        height = std::max(1L, toWindowPixels(height, scale));
        if (!gone)
            XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
        cairo_surface_t* fresh =
            cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height));
        cairo_t* cr = cairo_create(fresh);
        cairo_set_source_surface(cr, backBuffer, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(backBuffer);
        backBuffer = fresh;
        area.setWidth(width);
        area.setHeight(height);
        XFlush(display);
    }

    void setPosition(long x, long y) override
    {
        if (!gone)
            XMoveWindow(display, window, static_cast<int>(x), static_cast<int>(y));
        area.moveTo(x, y);
        XFlush(display);
    }

    CPoint screenOrigin() override
    {
        int x = 0, y = 0;
        ::Window child;
        if (gone)
            return CPoint(0, 0);
        ErrorTrap trap;
        XTranslateCoordinates(display, window, RootWindow(display, screen), 0, 0, &x, &y, &child);
        return CPoint(x, y);
    }

    void setCursor(CCursorType type) override
    {
        if (gone)
            return;
        if (type == kCursorDefault || type < 0 || type >= kCursorCount)
        {
            XUndefineCursor(display, window);
        }
        else
        {
            if (cursors[type] == None)
                cursors[type] = XCreateFontCursor(display, cursorShape(type));
            XDefineCursor(display, window, cursors[type]);
        }
        XFlush(display);
    }

    void pumpEvents() override
    {
        if (dispatching > 0)
        {
            // Inside a mouse call (a tracking loop): only repaints, the rest waits its turn.
            while (deliverOnePendingRepaint())
            {
            }
            return;
        }
        const std::shared_ptr<bool> stillAlive = alive;
        dispatching++;
        CRect damage;
        while (*stillAlive)
        {
            XEvent event;
            if (!nextEvent(event))
                break;
            if (event.xany.window != window)
                continue;
            switch (event.type)
            {
            case DestroyNotify:
                gone = true;
                break;
            case Expose:
                damage = damage.unite(CRect(event.xexpose.x, event.xexpose.y,
                                            event.xexpose.x + event.xexpose.width,
                                            event.xexpose.y + event.xexpose.height));
                if (event.xexpose.count == 0)
                {
                    const CRect damaged = damage;
                    damage = CRect();
                    listener->platformPaint(toPanel(damaged));
                }
                break;
            case ButtonPress:
                dispatchButton(event.xbutton);
                break;
            case MotionNotify:
                listener->platformMouseMoved(toPanel(CPoint(event.xmotion.x, event.xmotion.y)),
                                             buttonsFromState(event.xmotion.state));
                break;
            case ButtonRelease:
                if (event.xbutton.button >= Button1 && event.xbutton.button <= Button3)
                {
                    // The state holds what was down before the release.
                    const unsigned int released = event.xbutton.button == Button1   ? Button1Mask
                                                  : event.xbutton.button == Button2 ? Button2Mask
                                                                                    : Button3Mask;
                    listener->platformMouseUp(toPanel(CPoint(event.xbutton.x, event.xbutton.y)),
                                              buttonsFromState(event.xbutton.state & ~released));
                }
                break;
            case KeyPress:
            case KeyRelease:
                if (takingKeys || holdingFocus)
                    listener->platformKey(keyCodeOf(event.xkey), event.type == KeyPress);
                break;
            case ConfigureNotify:
                area =
                    CRect(event.xconfigure.x, event.xconfigure.y, event.xconfigure.x + event.xconfigure.width,
                          event.xconfigure.y + event.xconfigure.height);
                break;
            default:
                break;
            }
        }
        if (*stillAlive)
            dispatching--;
    }

    bool deliverOnePendingRepaint() override
    {
        XEvent event;
        {
            ErrorTrap trap;
            const bool found = XCheckTypedWindowEvent(display, window, Expose, &event);
            if (trap.failed())
                gone = true;
            if (!found)
                return false;
        }
        CRect damage(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                     event.xexpose.y + event.xexpose.height);
        // One expose arrives as several rectangles; they make one repaint.
        while (event.xexpose.count > 0 && XCheckTypedWindowEvent(display, window, Expose, &event))
            damage =
                damage.unite(CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                   event.xexpose.y + event.xexpose.height));
        dispatching++;
        const std::shared_ptr<bool> stillAlive = alive;
        listener->platformPaint(toPanel(damage));
        if (*stillAlive)
            dispatching--;
        return true;
    }

    bool reportsPointerMotion() const override { return true; }

    int eventDescriptor() const override { return ConnectionNumber(display); }

    long showPopupMenu(const platform::PopupMenu& menu, const CPoint& where) override
    {
        return runPopupMenu(MenuHost{display, window, screen, fonts}, menu, where);
    }

    void* nativeHandle() override { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }

    void takeKeys() override { takingKeys = true; }

    void takeKeyboardFocus(bool take) override
    {
        if (gone || take == holdingFocus)
            return;
        ErrorTrap trap;
        if (take)
        {
            int revert = 0;
            XGetInputFocus(display, &focusBefore, &revert);
            XSelectInput(display, window, kWindowEvents | KeyPressMask | KeyReleaseMask);
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
        }
        else
        {
            XSelectInput(display, window, kWindowEvents);
            // Back to the window that had the keys, unless the user gave them elsewhere meanwhile.
            ::Window now = None;
            int revert = 0;
            XGetInputFocus(display, &now, &revert);
            if (now == window && focusBefore != None)
                XSetInputFocus(display, focusBefore, RevertToParent, CurrentTime);
            focusBefore = None;
        }
        XSync(display, False);
        holdingFocus = take;
    }

private:
    // The next event of the connection, false when none is waiting; errors that arrive with it
    // stay here.
    bool nextEvent(XEvent& event)
    {
        ErrorTrap trap;
        const bool have = XPending(display) > 0;
        if (have)
            XNextEvent(display, &event);
        return have;
    }

    void queryPointer()
    {
        if (gone)
        {
            pointerMask = 0;
            return;
        }
        ErrorTrap trap;
        ::Window root, child;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        if (XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask) && !trap.failed())
        {
            pointer = CPoint(x, y);
            pointerMask = mask;
        }
        else
        {
            // Without a window there is no pointer over it and no button held.
            pointerMask = 0;
            gone = true;
        }
    }

    // Window pixels to panel pixels: a point to the panel pixel it lies in, a rectangle to the
    // panel pixels it touches.
    CPoint toPanel(const CPoint& p) const
    {
        return CPoint(static_cast<long>(std::floor(p.x / scale)), static_cast<long>(std::floor(p.y / scale)));
    }
    CRect toPanel(const CRect& r) const
    {
        return CRect(
            static_cast<long>(std::floor(r.left / scale)), static_cast<long>(std::floor(r.top / scale)),
            static_cast<long>(std::ceil(r.right / scale)), static_cast<long>(std::ceil(r.bottom / scale)));
    }

    void dispatchButton(const XButtonEvent& button)
    {
        const CPoint where = toPanel(CPoint(button.x, button.y));
        switch (button.button)
        {
        case Button1:
        case Button2:
        case Button3:
        {
            // The state holds what was down before this press; the press itself is added so
            // that a click released before it is handled still counts.
            const unsigned int pressed = button.button == Button1   ? Button1Mask
                                         : button.button == Button2 ? Button2Mask
                                                                    : Button3Mask;
            listener->platformMouseDown(where, buttonsFromState(button.state | pressed));
            break;
        }
        case 4:
            listener->platformWheel(where, kWheelAxisY, 1.0f);
            break;
        case 5:
            listener->platformWheel(where, kWheelAxisY, -1.0f);
            break;
        case 6:
            listener->platformWheel(where, kWheelAxisX, -1.0f);
            break;
        case 7:
            listener->platformWheel(where, kWheelAxisX, 1.0f);
            break;
        default:
            break;
        }
    }

    Display* display;
    ::Window window;
    int screen = 0;
    platform::WindowListener* listener; ///< the frame served now
    cairo_surface_t* backBuffer = nullptr;
    std::unique_ptr<ImagePresenter> presenter; ///< puts the back buffer on the window
    std::shared_ptr<cairo::FontCache> fonts = std::make_shared<cairo::FontCache>();
    CRect area;        ///< position in the host's window and size, window pixels
    double scale;      ///< window pixels per panel pixel
    bool gone = false; ///< the server destroyed the window (with the host's window)
    CPoint pointer;
    unsigned int pointerMask = 0;
    Cursor cursors[kCursorCount] = {};
    int dispatching = 0;
    bool takingKeys = false;
    bool holdingFocus = false;   ///< a text field holds the keyboard focus
    ::Window focusBefore = None; ///< where the keys went before it took them
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

void X11Surface::flush()
{
    CairoSurface::flush();
    owner.show(takeDamage());
}

} // namespace kalvo::x11

namespace kalvo::platform
{

std::unique_ptr<NativeWindow> createChildWindow(void* parent, const CRect& size, WindowListener& listener,
                                                double scale)
{
    if (!parent || !(scale > 0.0))
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    const ::Window parentWindow = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(parent));
    const unsigned width = static_cast<unsigned>(std::max(1L, x11::toWindowPixels(size.width(), scale)));
    const unsigned height = static_cast<unsigned>(std::max(1L, x11::toWindowPixels(size.height(), scale)));

    // A bad parent id must not end the host's process.
    XSync(display, False);
    x11::ErrorTrap trap;
    XSetWindowAttributes attributes{};
    attributes.event_mask = x11::kWindowEvents;
    attributes.background_pixmap = None;
    attributes.bit_gravity = NorthWestGravity;
    const ::Window window =
        XCreateWindow(display, parentWindow, 0, 0, width, height, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWEventMask | CWBackPixmap | CWBitGravity, &attributes);
    XMapWindow(display, window);
    XSync(display, False);
    XWindowAttributes placed{};
    if (trap.failed() || !XGetWindowAttributes(display, window, &placed) || trap.failed())
    {
        XCloseDisplay(display);
        return nullptr;
    }
    const CRect bounds(placed.x, placed.y, placed.x + static_cast<long>(width),
                       placed.y + static_cast<long>(height));
    return std::make_unique<x11::X11Window>(display, window, placed.visual, placed.depth, bounds, listener,
                                            scale);
}

bool scalesDrawing()
{
    return true;
}

double desktopScale(void* nearWindow)
{
    (void)nearWindow; // one resolution for every screen of the display
    // A host whose toolkit was told to zoom (a GTK host under GDK_SCALE, a Qt one under
    // QT_SCALE_FACTOR) draws its own widgets that much larger and gives the panel a window of
    // that size, whatever the desktop's fonts say; the panel follows the larger of the two.
    const double toolkit = hostToolkitScale();
    // The desktop's font resolution as its settings daemon publishes it on the root window
    // (Xft.dpi: 192 on a desktop at 200 %), against the 96 of an unscaled one.
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return toolkit;
    double scale = 1.0;
    if (const char* resources = XResourceManagerString(display))
    {
        const std::string all(resources);
        const std::string key = "Xft.dpi:";
        size_t at = all.find(key);
        while (at != std::string::npos && at != 0 && all[at - 1] != '\n')
            at = all.find(key, at + 1);
        if (at != std::string::npos)
        {
            const double dpi = std::strtod(all.c_str() + at + key.size(), nullptr);
            if (dpi >= 96.0 * 0.5 && dpi <= 96.0 * 4.0)
                scale = dpi / 96.0;
        }
    }
    XCloseDisplay(display);
    return std::max(scale, toolkit);
}

long ticksMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Wraps like a 32-bit millisecond tick count.
    const std::uint64_t ms =
        static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(ms)));
}

void sleepMs(long ms)
{
    if (ms <= 0)
        return;
    timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

long doubleClickTimeMs()
{
    // X11 has no system-wide setting every desktop shares; this is the common default.
    return 400;
}

bool startEditorSession()
{
    // Each frame opens its own connection; an editor needs nothing set up beforehand.
    return false;
}

void endEditorSession() {}

} // namespace kalvo::platform
