// The boundary between the portable toolkit and its backends. Portable code sees only these
// types; a drawing backend (cairo) implements Surface and Image, a window-system backend (x11 or
// headless) implements NativeWindow, the clock and the popup menu service. The build picks the
// backend by linking one of kalvo_gui_x11 or kalvo_gui_headless; the Windows build links
// kalvo_gui_win32, which implements both halves on Win32 and GDI.
#pragma once

#include "gui/CColor.h"
#include "gui/CConventions.h"
#include "gui/CGeometry.h"

#include <cstddef>
#include <memory>

struct VstKeyCode;

namespace kalvo::platform
{

/// Everything a drawing operation needs besides its geometry. All coordinates that reach a
/// Surface are surface pixels: the draw context has already added its draw offset.
struct DrawAttributes
{
    CRect clip;                       ///< drawing outside is discarded
    CColor frameColor = kWhiteCColor; ///< lines and outlines
    CColor fillColor = kBlackCColor;  ///< fills and opaque text boxes
    CColor fontColor = kWhiteCColor;  ///< text
    long lineWidth = 1;               ///< pixels
    long lineStyle = 0;               ///< 0 solid, 1 dotted (dash and gap one line width each)
    long drawMode = 0;                ///< 0 copy, 1 OR, 2 inverted XOR, 3 anti-aliased
    const char* fontFamily = "Arial"; ///< family name as in the standard font table
    long fontSize = 12;               ///< font cell height, pixels
    long fontStyle = 0;               ///< 1 bold, 2 italic, 4 underlined
};

/// How an image is put onto a surface.
enum class ImageBlend
{
    opaque,   ///< copy the pixels
    keyed,    ///< pixels whose RGB equal the key colour are left untouched
    ownAlpha, ///< blended by the image's own alpha channel
};

/// A decoded picture (32-bit pixels). Created by loadImage or createImage.
class Image
{
public:
    virtual ~Image() = default;
    virtual long width() const = 0;
    virtual long height() const = 0;
    /// True when the picture carries an alpha channel of its own (a PNG with alpha).
    virtual bool hasAlpha() const = 0;
};

/// A pixel surface with the toolkit's integer pixel rules: fills cover columns left..right-1 and
/// rows top..bottom-1, strokes run through pixel centres, copy mode draws without anti-aliasing.
class Surface
{
public:
    virtual ~Surface() = default;
    /// The size in the caller's (panel) pixels.
    virtual long width() const = 0;
    virtual long height() const = 0;
    /// Pixels of the surface per panel pixel: 1, or the panel's zoom (2 on a 200 % desktop).
    virtual double scale() const { return 1.0; }

    /// Fills columns r.left..r.right-1, rows r.top..r.bottom-1 with state.fillColor.
    virtual void fillRect(const CRect& r, const DrawAttributes& state) = 0;
    /// Strokes a polyline through the centres of the given pixels, closed when asked.
    virtual void strokePolyline(const CPoint* points, long count, bool closed,
                                const DrawAttributes& state) = 0;
    /// Strokes `count` separate segments, segment k from points[2k] to points[2k+1].
    virtual void strokeSegments(const CPoint* points, long count, const DrawAttributes& state) = 0;
    /// Fills the polygon whose corners are the centres of the given pixels.
    virtual void fillPolygon(const CPoint* points, long count, const DrawAttributes& state) = 0;
    /// Ellipse inscribed in r: filled over the box, outlined through the border pixels' centres.
    virtual void drawEllipse(const CRect& r, bool fill, bool stroke, const DrawAttributes& state) = 0;
    /// Arc of the ellipse inscribed in r from startDeg to endDeg (degrees, counter-clockwise from
    /// 3 o'clock); `pie` closes it through the centre, fill and stroke as asked.
    virtual void drawArc(const CRect& r, double startDeg, double endDeg, bool pie, bool fill, bool stroke,
                         const DrawAttributes& state) = 0;
    /// Reads one pixel; transparent black outside the surface.
    virtual CColor getPixel(const CPoint& p) = 0;
    /// Fills the 4-connected region of p's colour with state.fillColor, within the clip.
    virtual void floodFill(const CPoint& p, const DrawAttributes& state) = 0;

    /// Advance width of one line of text in the state's font, pixels.
    virtual long textWidth(const char* text, const DrawAttributes& state) = 0;
    /// Draws one line vertically centred in r, clipped to r and to the state's clip. align 0:
    /// starts at r.left + 1; 1: centred; 2: ends at r.right. `opaque` paints the text's cell in
    /// state.fillColor first.
    virtual void drawText(const char* text, const CRect& r, long align, bool opaque,
                          const DrawAttributes& state) = 0;

    /// Copies source pixels srcRect to this surface with srcRect's corner at dest, discarding what
    /// falls outside `clip` (this surface's pixels) or outside either surface.
    virtual void copyFrom(Surface& source, const CRect& srcRect, const CPoint& dest, const CRect& clip) = 0;
    /// Image pixel (srcOffset.x + i, srcOffset.y + j) lands on (dest.left + i, dest.top + j) for
    /// 0 <= i < dest width, 0 <= j < dest height, within `clip`; pixels outside the image are not
    /// drawn. `alpha` is a constant opacity applied on top (255 opaque).
    virtual void drawImage(const Image& image, const CRect& dest, const CPoint& srcOffset, ImageBlend blend,
                           const CColor& key, unsigned char alpha, const CRect& clip) = 0;

    /// Pushes pending drawing to where it is shown (a window); a no-op for pure memory surfaces.
    virtual void flush() = 0;
};

// ---- drawing backend (kalvo_gui_cairo) ----

/// A width x height (panel pixels) surface of 8-bit RGBA pixels at `scale` pixels per panel
/// pixel, or null when it cannot be allocated.
std::unique_ptr<Surface> createOffscreenSurface(long width, long height, double scale = 1.0);
/// An empty (transparent black) 32-bit image, or null.
std::unique_ptr<Image> createImage(long width, long height);
/// Decodes the image embedded under `id` (see EmbeddedImages.h); null when there is none.
std::unique_ptr<Image> loadImage(long id);
/// The image `id` drawn for `scale` pixels per panel pixel where the binary carries such a set
/// (the panel's images at 2x, and on Linux at 3x), else null; its width and height are still in
/// panel pixels.
std::unique_ptr<Image> loadImageForScale(long id, double scale);
/// Decodes PNG bytes; null when they are not a readable PNG.
std::unique_ptr<Image> decodePng(const unsigned char* data, std::size_t size);
/// A surface drawing straight into the image's pixels (the image must outlive it), or null.
std::unique_ptr<Surface> createImageSurface(Image& image);
/// A copy of the surface's pixels as a new image, or null.
std::unique_ptr<Image> snapshotSurface(Surface& surface);

// ---- window-system backend (kalvo_gui_x11 or kalvo_gui_headless) ----

/// One entry of a popup menu handed to the menu service.
struct PopupMenuItem
{
    enum Flags : unsigned
    {
        kSeparator = 1,    ///< a line, not choosable
        kDisabled = 2,     ///< shown greyed, not choosable
        kTitle = 4,        ///< shown, not choosable
        kChecked = 8,      ///< shows a check mark
        kColumnBreak = 16, ///< starts a new column of the menu
    };
    const char* text = "";                     ///< label as shown
    unsigned flags = 0;                        ///< Flags bits
    const struct PopupMenu* subMenu = nullptr; ///< hangs a submenu here when set
    long id = -1;                              ///< answered when this item is chosen
};

/// A menu: its items in order.
struct PopupMenu
{
    const PopupMenuItem* items = nullptr;
    long count = 0;
    const char* fontFamily = "Arial"; ///< the items' font, as in the standard font table
    long fontSize = 12;               ///< pixels
    long fontStyle = 0;               ///< 1 bold, 2 italic, 4 underlined
    bool followsRightButton = false;  ///< opened by the right button: items can be chosen with it
};

/// Receives the events of a native window; the frame implements it.
class WindowListener
{
public:
    /// A damaged rectangle (window pixels) must be drawn.
    virtual void platformPaint(const CRect& damaged) = 0;
    /// A button went down at `where` (window pixels) with the given button and modifier bits.
    virtual void platformMouseDown(const CPoint& where, long buttons) = 0;
    /// The pointer moved to `where` (window pixels) with a button held; `buttons` are the buttons
    /// and modifiers now. Only from windows that report pointer motion.
    virtual void platformMouseMoved(const CPoint& where, long buttons)
    {
        (void)where;
        (void)buttons;
    }
    /// A button went up at `where`; `buttons` are those still held afterwards.
    virtual void platformMouseUp(const CPoint& where, long buttons)
    {
        (void)where;
        (void)buttons;
    }
    /// The wheel turned by `distance` notches (positive away from the user / to the right).
    virtual void platformWheel(const CPoint& where, CMouseWheelAxis axis, float distance) = 0;
    /// The window system destroyed the window on its own (with the host's window); nothing more
    /// arrives, and drawing into it shows nothing.
    virtual void platformDestroyed() = 0;
    /// A key the host sent to the window went down (or up), once the window takes keys
    /// (NativeWindow::takeKeys).
    virtual void platformKey(const VstKeyCode& key, bool down)
    {
        (void)key;
        (void)down;
    }
    /// The desktop's zoom where the window shows may have changed (moved to a monitor of another
    /// scale, or the display's scale was changed); desktopScale tells the new one.
    virtual void platformDesktopScaleChanged() {}

protected:
    ~WindowListener() = default;
};

/// The frame's native child window inside the host's window. Destroying it destroys every
/// native resource it made and waits until the window system has done so.
class NativeWindow
{
public:
    virtual ~NativeWindow() = default;

    /// A surface over the window's pixels, for one draw context. Its `flush` shows the drawing.
    virtual std::unique_ptr<Surface> createSurface() = 0;
    /// Currently pressed buttons and held modifiers, as CButton bits.
    virtual long pointerButtons() = 0;
    /// Current pointer position in window pixels.
    virtual CPoint pointerPosition() = 0;
    /// Position (in the host's window) and size of the child.
    virtual CRect bounds() = 0;
    virtual void setSize(long width, long height) = 0;
    virtual void setPosition(long x, long y) = 0;
    /// Position of the window's origin on the screen (for popup menus).
    virtual CPoint screenOrigin() = 0;
    virtual void setCursor(CCursorType type) = 0;
    /// True when the window reports the pointer's motion while a button is held and the button's
    /// release (platformMouseMoved, platformMouseUp), so that a drag can follow events instead of
    /// polling the pointer.
    virtual bool reportsPointerMotion() const { return false; }
    /// Delivers all pending events to the listener. Re-entered from inside a mouse call (a
    /// tracking loop's idle pump) it delivers only repaints.
    virtual void pumpEvents() = 0;
    /// Delivers at most one pending repaint; true when one was delivered.
    virtual bool deliverOnePendingRepaint() = 0;
    /// The file descriptor that becomes readable when events for this window wait (the X
    /// connection), for hosts that run the editor from their own event loop and call
    /// pumpEvents when it is readable; -1 where the window system delivers events itself.
    virtual int eventDescriptor() const { return -1; }
    /// Calls `tick(context)` about every `periodMs` from the window system's own message
    /// loop, for hosts that give the editor no idle calls; false where the window system has
    /// no such timer (on X11 the host's run loop drives the editor). One per window; it stops
    /// with stopTimer or with the window.
    virtual bool startTimer(long periodMs, void (*tick)(void*), void* context)
    {
        (void)periodMs;
        (void)tick;
        (void)context;
        return false;
    }
    virtual void stopTimer() {}
    /// Shows a popup menu modally at `where` (window pixels); answers the chosen item's id or -1.
    virtual long showPopupMenu(const PopupMenu& menu, const CPoint& where) = 0;
    /// The window as the window system names it (an X11 window id in the pointer's bits), for
    /// hosts that want the plug-in's own window back; null when the backend has no such name.
    virtual void* nativeHandle() { return nullptr; }
    /// Hands the keys the host sends to the window (the way LV2 hosts pass keys to an X11 UI) to
    /// the listener. Off by default: VST hosts pass keys through their own calls, and the window
    /// would see each of them twice.
    virtual void takeKeys() {}
    /// While a text field is open: takes the keyboard focus for the window (true), so that typed
    /// keys reach the listener instead of the host and its shortcuts, and hands it back to the
    /// window that had it (false). Nothing where the host passes keys through its own calls.
    virtual void takeKeyboardFocus(bool take) { (void)take; }
    /// Serves a new frame at another zoom: events go to `newListener`, and the window becomes
    /// `width` x `height` panel pixels at `newScale`. The host keeps the window it was given, so
    /// a handle it holds stays good. False where the backend cannot; the frame then makes a new
    /// window.
    virtual bool rescale(WindowListener& newListener, double newScale, long width, long height)
    {
        (void)newListener;
        (void)newScale;
        (void)width;
        (void)height;
        return false;
    }
};

/// Creates a visible child of `size` (panel pixels) at (0, 0) in the host's window `parent`,
/// `scale` window pixels per panel pixel, routing its events to `listener` in panel pixels; null
/// when `parent` is null or creation fails.
std::unique_ptr<NativeWindow> createChildWindow(void* parent, const CRect& size, WindowListener& listener,
                                                double scale = 1.0);
/// The desktop's own zoom where the host's window `nearWindow` shows (X11: the Xft.dpi resource
/// / 96; Windows: the DPI of the window's monitor as its awareness sees it / 96; without a window,
/// the system's), or 1 where it says none.
double desktopScale(void* nearWindow = nullptr);
/// True where the backend draws at other scales than 1 (cairo); false where it draws the panel
/// at its own size only (GDI), so that the panel keeps scale 1 there.
bool scalesDrawing();
/// Milliseconds of a monotonic clock (wraps like a 32-bit tick count).
long ticksMs();
/// Waits about `ms` milliseconds (the headless backend advances its clock instead).
void sleepMs(long ms);
/// The longest gap between two clicks of a double click, milliseconds.
long doubleClickTimeMs();
/// Starts what the window system needs on the calling thread for one editor (OLE on Windows);
/// true when endEditorSession must be called once for it, on the same thread.
bool startEditorSession();
void endEditorSession();

} // namespace kalvo::platform
