// The frame's native child window on Windows: a window of the plug-in's own class inside the
// host's window, drawn into a back buffer whose damaged areas are copied to the window, fed with
// the messages the host's message loop dispatches to it.
#include "Win32Gdi.h"
#include "Win32Menu.h"
#include "vst2/VstInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace kalvo::win32
{

namespace
{
// ---- the window class ----

// One class per module, registered with the first frame and unregistered with the last.
struct WindowClass
{
    wchar_t name[40] = {};
    long users = 0;
    bool swappedButtons = false; ///< the system's swapped-buttons setting, read at registration
};
WindowClass windowClass;

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool acquireWindowClass()
{
    if (windowClass.users > 0)
    {
        windowClass.users++;
        return true;
    }
    HMODULE module = ownModule();
    char name[40];
    std::snprintf(name, sizeof name, "Plugin%p", static_cast<void*>(module));
    for (size_t i = 0; i < sizeof name && name[i]; i++)
        windowClass.name[i] = static_cast<wchar_t>(name[i]);
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.style = CS_GLOBALCLASS;
    description.lpfnWndProc = windowProcedure;
    description.hInstance = module;
    description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    description.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    description.lpszClassName = windowClass.name;
    if (!RegisterClassExW(&description))
        return false;
    windowClass.swappedButtons = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    windowClass.users = 1;
    return true;
}

void releaseWindowClass()
{
    if (windowClass.users <= 0)
        return;
    if (--windowClass.users == 0)
        UnregisterClassW(windowClass.name, ownModule());
}

// ---- pointer and keys ----

CPoint pointOf(LPARAM lParam)
{
    // Signed: a position left of or above the window is negative.
    return CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
}

bool held(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

// The buttons and modifiers a mouse message reports, with the button of the message itself:
// a click released before it is handled still counts.
long buttonsOfMessage(UINT message, WPARAM wParam)
{
    long bits = 0;
    if ((wParam & MK_LBUTTON) || message == WM_LBUTTONDOWN)
        bits |= kButtonLeft;
    if ((wParam & MK_MBUTTON) || message == WM_MBUTTONDOWN)
        bits |= kButtonMiddle;
    if ((wParam & MK_RBUTTON) || message == WM_RBUTTONDOWN)
        bits |= kButtonRight;
    if (wParam & MK_SHIFT)
        bits |= kModifierShift;
    if (wParam & MK_CONTROL)
        bits |= kModifierCommand;
    if (GetKeyState(VK_MENU) < 0)
        bits |= kModifierAlt;
    return bits;
}

// A Windows virtual key as the toolkit's, 0 for none (letters, digits and punctuation travel as
// characters).
unsigned char virtualKey(WPARAM key, LPARAM flags)
{
    if (key >= VK_F1 && key <= VK_F12)
        return static_cast<unsigned char>(VKEY_F1 + (key - VK_F1));
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return static_cast<unsigned char>(VKEY_NUMPAD0 + (key - VK_NUMPAD0));
    switch (key)
    {
    case VK_BACK:
        return VKEY_BACK;
    case VK_TAB:
        return VKEY_TAB;
    case VK_RETURN:
        // The keypad's Enter is the extended one.
        return (flags & (1L << 24)) ? VKEY_ENTER : VKEY_RETURN;
    case VK_ESCAPE:
        return VKEY_ESCAPE;
    case VK_SPACE:
        return VKEY_SPACE;
    case VK_HOME:
        return VKEY_HOME;
    case VK_END:
        return VKEY_END;
    case VK_LEFT:
        return VKEY_LEFT;
    case VK_UP:
        return VKEY_UP;
    case VK_RIGHT:
        return VKEY_RIGHT;
    case VK_DOWN:
        return VKEY_DOWN;
    case VK_PRIOR:
        return VKEY_PAGEUP;
    case VK_NEXT:
        return VKEY_PAGEDOWN;
    case VK_INSERT:
        return VKEY_INSERT;
    case VK_DELETE:
        return VKEY_DELETE;
    case VK_DECIMAL:
        return VKEY_DECIMAL;
    case VK_SUBTRACT:
        return VKEY_SUBTRACT;
    case VK_SHIFT:
        return VKEY_SHIFT;
    case VK_CONTROL:
        return VKEY_CONTROL;
    case VK_MENU:
        return VKEY_ALT;
    default:
        return 0;
    }
}

// A key message as the toolkit's key code: the virtual key where there is one, otherwise the
// printable character the keyboard's layout gives it with the modifiers held (read here rather
// than from WM_CHAR, which only comes where the host's loop translates messages); Ctrl is the
// command modifier, as for the pointer.
VstKeyCode keyCodeOf(WPARAM key, LPARAM flags)
{
    VstKeyCode code{0, virtualKey(key, flags), 0};
    if (code.virt == 0)
    {
        BYTE keys[256] = {};
        wchar_t typed[4] = {};
        if (GetKeyboardState(keys) &&
            ToUnicode(static_cast<UINT>(key), (static_cast<UINT>(flags) >> 16) & 0xff, keys, typed, 4, 0) ==
                1 &&
            typed[0] >= 0x20 && typed[0] <= 0x7e)
            code.character = static_cast<VstInt32>(typed[0]);
    }
    if (GetKeyState(VK_SHIFT) < 0)
        code.modifier |= MODIFIER_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0)
        code.modifier |= MODIFIER_COMMAND;
    if (GetKeyState(VK_MENU) < 0)
        code.modifier |= MODIFIER_ALTERNATE;
    return code;
}

LPCWSTR cursorShape(CCursorType type)
{
    switch (type)
    {
    case kCursorWait:
        return reinterpret_cast<LPCWSTR>(IDC_WAIT);
    case kCursorHSize:
        return reinterpret_cast<LPCWSTR>(IDC_SIZEWE);
    case kCursorVSize:
        return reinterpret_cast<LPCWSTR>(IDC_SIZENS);
    case kCursorSizeAll:
        return reinterpret_cast<LPCWSTR>(IDC_SIZEALL);
    case kCursorNESWSize:
        return reinterpret_cast<LPCWSTR>(IDC_SIZENESW);
    case kCursorNWSESize:
        return reinterpret_cast<LPCWSTR>(IDC_SIZENWSE);
    case kCursorCopy:
        return reinterpret_cast<LPCWSTR>(IDC_UPARROW);
    case kCursorNotAllowed:
        return reinterpret_cast<LPCWSTR>(IDC_NO);
    case kCursorHand:
        return reinterpret_cast<LPCWSTR>(IDC_HAND);
    default:
        return reinterpret_cast<LPCWSTR>(IDC_ARROW);
    }
}

// One notch of a wheel.
constexpr float kWheelNotch = 120.0f;

// WM_DPICHANGED_AFTERPARENT, which older SDK headers lack: sent to the child windows of a
// per-monitor aware window whose DPI changed.
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// The sizes and places the panel gives its window are in that window's own pixels, but Windows
// reads them in the DPI awareness of the calling thread, which a host may have set otherwise (an
// aware host thread opening the panel in a window it keeps unaware for older plug-ins). For the
// scope, the thread measures as `window` does. The calls are looked up at run time: older
// systems have one awareness per process and need nothing.
class MeasuredAs
{
public:
    explicit MeasuredAs(HWND window)
    {
        using ContextOfWindowFn = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
        HMODULE user = GetModuleHandleW(L"user32.dll");
        if (!user || !window)
            return;
        auto contextOf = reinterpret_cast<ContextOfWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(user, "GetWindowDpiAwarenessContext")));
        setContext = reinterpret_cast<SetThreadContextFn>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetThreadDpiAwarenessContext")));
        if (!contextOf || !setContext)
            return;
        if (DPI_AWARENESS_CONTEXT own = contextOf(window))
            previous = setContext(own);
    }
    ~MeasuredAs()
    {
        if (previous)
            setContext(previous);
    }
    MeasuredAs(const MeasuredAs&) = delete;
    MeasuredAs& operator=(const MeasuredAs&) = delete;

private:
    using SetThreadContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
    SetThreadContextFn setContext = nullptr;
    DPI_AWARENESS_CONTEXT previous = nullptr;
};
} // namespace

class Win32Window;

// A surface on the window's back buffer; flushing copies what was drawn to the window.
class WindowSurface : public Win32Surface
{
public:
    WindowSurface(Win32Window& owner, std::shared_ptr<GdiCanvas> backBuffer)
        : Win32Surface(std::move(backBuffer)), owner(owner)
    {
    }
    void flush() override;

private:
    Win32Window& owner;
};

class Win32Window : public platform::NativeWindow
{
public:
    /// `scale` window pixels per panel pixel; the back buffer has the window's pixels.
    Win32Window(HWND hwnd, std::shared_ptr<GdiCanvas> backBuffer, platform::WindowListener& listener,
                double scale)
        : hwnd(hwnd), listener(&listener), backBuffer(std::move(backBuffer)), scale(scale)
    {
    }

    ~Win32Window() override
    {
        *alive = false;
        if (!gone)
        {
            // Nothing reaches this object any more, not even the destruction's own messages.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            DestroyWindow(hwnd);
        }
        releaseWindowClass();
    }

    /// Copies the back buffer's `drawn` area to the window (to the paint context during a paint).
    void show(const CRect& drawn)
    {
        CRect r = drawn;
        r.bound(CRect(0, 0, backBuffer->width(), backBuffer->height()));
        if (r.isEmpty() || gone)
            return;
        if (painting)
        {
            // The paint handler copies its whole damaged area at its end.
            return;
        }
        HDC dc = GetDC(hwnd);
        if (!dc)
            return;
        GdiFlush();
        BitBlt(dc, static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.width()),
               static_cast<int>(r.height()), backBuffer->dc(), static_cast<int>(r.left),
               static_cast<int>(r.top), SRCCOPY);
        ReleaseDC(hwnd, dc);
    }

    std::unique_ptr<platform::Surface> createSurface() override
    {
        auto surface = std::make_unique<WindowSurface>(*this, backBuffer);
        if (scale == 1.0)
            return surface;
        return std::make_unique<ScaledSurface>(std::move(surface), scale);
    }

    bool rescale(platform::WindowListener& newListener, double newScale, long width, long height) override
    {
        if (!(newScale > 0.0))
            return false;
        listener = &newListener;
        scale = newScale;
        setSize(width, height);
        // All of it is drawn again at the new zoom, not only what the new size uncovers.
        if (!gone)
            InvalidateRect(hwnd, nullptr, FALSE);
        return true;
    }

    long pointerButtons() override
    {
        // The asynchronous state is the physical buttons': swapped back as the system swaps them.
        bool left = held(VK_LBUTTON);
        bool right = held(VK_RBUTTON);
        if (windowClass.swappedButtons)
            std::swap(left, right);
        long bits = 0;
        if (left)
            bits |= kButtonLeft;
        if (held(VK_MBUTTON))
            bits |= kButtonMiddle;
        if (right)
            bits |= kButtonRight;
        if (held(VK_SHIFT))
            bits |= kModifierShift;
        if (held(VK_CONTROL))
            bits |= kModifierCommand;
        if (held(VK_MENU))
            bits |= kModifierAlt;
        return bits;
    }

    CPoint pointerPosition() override
    {
        POINT p{};
        if (gone || !GetCursorPos(&p) || !ScreenToClient(hwnd, &p))
            return pointer;
        pointer = toPanel(CPoint(p.x, p.y));
        return pointer;
    }

    CRect bounds() override
    {
        if (!gone)
        {
            RECT r{};
            if (GetWindowRect(hwnd, &r))
            {
                MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
                area = CRect(r.left, r.top, r.left + toPanel(r.right - r.left),
                             r.top + toPanel(r.bottom - r.top));
            }
        }
        return area;
    }

    void setSize(long panelWidth, long panelHeight) override
    {
        const long width = std::max(1L, toWindow(panelWidth));
        const long height = std::max(1L, toWindow(panelHeight));
        if (width != backBuffer->width() || height != backBuffer->height())
        {
            // What was drawn stays, as the window keeps its contents until repainted.
            if (std::shared_ptr<GdiCanvas> fresh = GdiCanvas::create(width, height))
            {
                BitBlt(fresh->dc(), 0, 0, static_cast<int>(std::min(width, backBuffer->width())),
                       static_cast<int>(std::min(height, backBuffer->height())), backBuffer->dc(), 0, 0,
                       SRCCOPY);
                backBuffer = std::move(fresh);
            }
        }
        if (!gone)
        {
            MeasuredAs measure(hwnd);
            SetWindowPos(hwnd, nullptr, 0, 0, static_cast<int>(width), static_cast<int>(height),
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        area.setWidth(std::max(1L, panelWidth));
        area.setHeight(std::max(1L, panelHeight));
    }

    void setPosition(long x, long y) override
    {
        if (!gone)
        {
            MeasuredAs measure(hwnd);
            SetWindowPos(hwnd, nullptr, static_cast<int>(x), static_cast<int>(y), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        area.moveTo(x, y);
    }

    CPoint screenOrigin() override
    {
        POINT p{0, 0};
        if (!gone)
            ClientToScreen(hwnd, &p);
        return CPoint(p.x, p.y);
    }

    void setCursor(CCursorType type) override
    {
        cursor = type;
        if (gone)
            return;
        // Shown at once when the pointer is over the window; WM_SETCURSOR keeps it there.
        POINT p{};
        if (GetCursorPos(&p) && WindowFromPoint(p) == hwnd)
            SetCursor(LoadCursorW(nullptr, cursorShape(type)));
    }

    void pumpEvents() override
    {
        // The host's message loop dispatches this window's messages; nothing waits here.
    }

    bool deliverOnePendingRepaint() override
    {
        // One paint message of this thread, whichever of its windows it is for.
        MSG message{};
        if (!PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            return false;
        DispatchMessageW(&message);
        return true;
    }

    bool startTimer(long periodMs, void (*tick)(void*), void* context) override
    {
        if (gone || !tick || periodMs <= 0)
            return false;
        timerTick = tick;
        timerContext = context;
        return SetTimer(hwnd, kIdleTimerId, static_cast<UINT>(periodMs), nullptr) != 0;
    }

    void stopTimer() override
    {
        if (timerTick && !gone)
            KillTimer(hwnd, kIdleTimerId);
        timerTick = nullptr;
    }

    long showPopupMenu(const platform::PopupMenu& menu, const CPoint& where) override
    {
        if (gone)
            return -1;
        POINT screen{static_cast<LONG>(toWindow(where.x)), static_cast<LONG>(toWindow(where.y))};
        ClientToScreen(hwnd, &screen);
        return runPopupMenu(hwnd, menu, screen);
    }

    void takeKeyboardFocus(bool take) override
    {
        if (gone || take == holdingFocus)
            return;
        if (take)
        {
            focusBefore = GetFocus();
            SetFocus(hwnd);
        }
        else
        {
            // Back to the window that had the keys, unless the user gave them elsewhere meanwhile.
            if (GetFocus() == hwnd && focusBefore && IsWindow(focusBefore))
                SetFocus(focusBefore);
            focusBefore = nullptr;
        }
        holdingFocus = take;
    }

    /// The window procedure's work for this window.
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message)
        {
        case WM_GETDLGCODE:
            // A host that shows the panel in a dialog keeps Enter, Escape and Tab for its own
            // buttons unless the window asks for them; an open text field needs them.
            if (holdingFocus)
                return DLGC_WANTALLKEYS;
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
            // Alt's combinations (WM_SYSKEYDOWN) stay the system's and the host's menus'.
            if (holdingFocus)
            {
                listener->platformKey(keyCodeOf(wParam, lParam), message == WM_KEYDOWN);
                return 0;
            }
            break;
        case WM_CHAR:
            // Read with the key itself; the host's translation of it is not passed on twice.
            if (holdingFocus)
                return 0;
            break;
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            // Every paint covers its whole area from the back buffer.
            return 1;
        case WM_TIMER:
            if (wParam == kIdleTimerId && timerTick)
            {
                timerTick(timerContext);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
            listener->platformMouseDown(toPanel(pointOf(lParam)), buttonsOfMessage(message, wParam));
            return 0;
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
        {
            // Wheel messages carry screen positions.
            POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ScreenToClient(hwnd, &p);
            const float distance = static_cast<short>(HIWORD(wParam)) / kWheelNotch;
            const CMouseWheelAxis axis = message == WM_MOUSEWHEEL ? kWheelAxisY : kWheelAxisX;
            listener->platformWheel(toPanel(CPoint(p.x, p.y)), axis, distance);
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && cursor != kCursorDefault)
            {
                SetCursor(LoadCursorW(nullptr, cursorShape(cursor)));
                return TRUE;
            }
            break;
        case kDpiChangedAfterParent:
            // A per-monitor aware host's window moved to a monitor of another scale, or the
            // display's scale changed: the parent has taken its new size, the panel follows.
            listener->platformDesktopScaleChanged();
            return 0;
        case WM_DESTROY:
            // Destroyed with the host's window, before the editor was closed.
            gone = true;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            listener->platformDestroyed();
            return 0;
        default:
            break;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

private:
    long toWindow(long panelPixels) const
    {
        return static_cast<long>(std::ceil(static_cast<double>(panelPixels) * scale - 1e-9));
    }
    long toPanel(long windowPixels) const
    {
        return static_cast<long>(std::floor(static_cast<double>(windowPixels) / scale + 1e-9));
    }
    CPoint toPanel(const CPoint& p) const { return CPoint(toPanel(p.x), toPanel(p.y)); }

    void paint()
    {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        if (!dc)
            return;
        const CRect damaged(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
        const std::shared_ptr<bool> stillAlive = alive;
        if (!damaged.isEmpty())
        {
            painting = true;
            // The listener draws in panel pixels, every one the damage touches.
            listener->platformPaint(CRect(static_cast<long>(std::floor(damaged.left / scale)),
                                          static_cast<long>(std::floor(damaged.top / scale)),
                                          static_cast<long>(std::ceil(damaged.right / scale)),
                                          static_cast<long>(std::ceil(damaged.bottom / scale))));
            if (!*stillAlive)
            {
                EndPaint(hwnd, &ps);
                return;
            }
            painting = false;
            GdiFlush();
            BitBlt(dc, static_cast<int>(damaged.left), static_cast<int>(damaged.top),
                   static_cast<int>(damaged.width()), static_cast<int>(damaged.height()), backBuffer->dc(),
                   static_cast<int>(damaged.left), static_cast<int>(damaged.top), SRCCOPY);
        }
        EndPaint(hwnd, &ps);
    }

    HWND hwnd;
    platform::WindowListener* listener; ///< the frame served now
    std::shared_ptr<GdiCanvas> backBuffer;
    double scale; ///< window pixels per panel pixel
    CRect area;
    CPoint pointer;
    CCursorType cursor = kCursorDefault;
    bool gone = false;          ///< destroyed with the host's window
    bool holdingFocus = false;  ///< a text field holds the keyboard focus
    HWND focusBefore = nullptr; ///< where the keys went before it took them
    bool painting = false;      ///< inside WM_PAINT
    static constexpr UINT_PTR kIdleTimerId = 1;
    void (*timerTick)(void*) = nullptr; ///< the idle timer's call, while it runs
    void* timerContext = nullptr;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

void WindowSurface::flush()
{
    Win32Surface::flush();
    owner.show(takeDamage());
}

namespace
{
LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return window->handle(message, wParam, lParam);
}
} // namespace

} // namespace kalvo::win32

namespace kalvo::platform
{

double desktopScale(void* nearWindow)
{
    // The resolution the system reports for the host's window, against the 96 dots per inch of
    // an unscaled screen. A host that is not DPI aware is told 96 and has Windows enlarge its
    // windows, ours with them; a system-aware host is told the main screen's; a per-monitor
    // aware host is told that of the monitor its window is on, and the panel draws at it (our
    // child window shares its parent's awareness). The readings are looked up at run time:
    // older systems have only the screen context's.
    using DpiForWindowFn = UINT(WINAPI*)(HWND);
    using DpiForSystemFn = UINT(WINAPI*)();
    UINT dpi = 0;
    if (HMODULE user = GetModuleHandleW(L"user32.dll"))
    {
        HWND window = static_cast<HWND>(nearWindow);
        if (window && IsWindow(window))
            if (auto dpiForWindow = reinterpret_cast<DpiForWindowFn>(
                    reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow"))))
                dpi = dpiForWindow(window);
        if (dpi == 0)
            if (auto dpiForSystem = reinterpret_cast<DpiForSystemFn>(
                    reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForSystem"))))
                dpi = dpiForSystem();
    }
    if (dpi == 0)
        if (HDC screen = GetDC(nullptr))
        {
            dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
            ReleaseDC(nullptr, screen);
        }
    return dpi >= 48 && dpi <= 96 * 4 ? dpi / 96.0 : 1.0;
}

bool scalesDrawing()
{
    return true;
}

std::unique_ptr<NativeWindow> createChildWindow(void* parent, const CRect& size, WindowListener& listener,
                                                double scale)
{
    HWND parentWindow = static_cast<HWND>(parent);
    if (!parentWindow || !IsWindow(parentWindow) || !(scale > 0.0))
        return nullptr;
    // The child takes its parent's DPI awareness (a child window of another awareness is refused
    // or scaled by the system), and its size is given in the parent's measure.
    const long width =
        std::max(1L, static_cast<long>(std::ceil(static_cast<double>(size.width()) * scale - 1e-9)));
    const long height =
        std::max(1L, static_cast<long>(std::ceil(static_cast<double>(size.height()) * scale - 1e-9)));
    std::shared_ptr<win32::GdiCanvas> backBuffer = win32::GdiCanvas::create(width, height);
    if (!backBuffer || !win32::acquireWindowClass())
        return nullptr;
    HWND hwnd = nullptr;
    {
        win32::MeasuredAs measure(parentWindow);
        hwnd = CreateWindowExW(0, win32::windowClass.name, L"Window",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                               static_cast<int>(width), static_cast<int>(height), parentWindow, nullptr,
                               win32::ownModule(), nullptr);
    }
    if (!hwnd)
    {
        win32::releaseWindowClass();
        return nullptr;
    }
    auto window = std::make_unique<win32::Win32Window>(hwnd, std::move(backBuffer), listener, scale);
    // The window's messages reach the object from here on; the first paint is still queued.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));
    return window;
}

} // namespace kalvo::platform
