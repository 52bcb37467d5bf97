#include "HeadlessWindow.h"

#include "HeadlessMenu.h"

#include "gui/platform/cairo/CairoBackend.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace kalvo::headless
{

namespace
{
// The headless clock starts at an arbitrary positive time so that "earlier than" tests work.
long headlessTicks = 1000;
// A typical desktop double-click time.
constexpr long kDoubleClickMs = 400;

void flattenMenu(const platform::PopupMenu& menu, std::vector<std::string>& out)
{
    for (long i = 0; i < menu.count; i++)
    {
        const platform::PopupMenuItem& item = menu.items[i];
        out.emplace_back(item.text ? item.text : "");
        if (item.subMenu)
            flattenMenu(*item.subMenu, out);
    }
}
} // namespace

void setTicks(long ms)
{
    headlessTicks = ms;
}

void advanceTicks(long ms)
{
    headlessTicks += ms;
}

namespace
{
// Window pixels to panel pixels: a point to the panel pixel it lies in, a rectangle to the panel
// pixels it touches.
CPoint toPanel(const CPoint& p, double scale)
{
    return CPoint(static_cast<long>(std::floor(p.x / scale)), static_cast<long>(std::floor(p.y / scale)));
}
CRect toPanel(const CRect& r, double scale)
{
    return CRect(static_cast<long>(std::floor(r.left / scale)), static_cast<long>(std::floor(r.top / scale)),
                 static_cast<long>(std::ceil(r.right / scale)),
                 static_cast<long>(std::ceil(r.bottom / scale)));
}
long toWindow(long panelPixels, double scale)
{
    return static_cast<long>(std::ceil(static_cast<double>(panelPixels) * scale - 1e-9));
}
} // namespace

struct Window::Impl
{
    HostWindow* host;
    platform::WindowListener& listener;
    cairo_surface_t* image = nullptr;
    std::shared_ptr<cairo::FontCache> fonts = std::make_shared<cairo::FontCache>();
    CRect bounds;
    std::deque<CRect> exposes;
    PointerState pointer;
    std::deque<PointerState> script;
    long polls = 0;
    CCursorType cursor = kCursorDefault;
    long menuChoice = -1;
    std::vector<std::string> menuTexts;
    long menus = 0;
    CPoint menuPosition;
    bool menuFollowsRightButton = false;
    int dispatching = 0;
    double scale = 1.0; ///< window pixels per panel pixel

    Impl(HostWindow* host, platform::WindowListener& listener) : host(host), listener(listener) {}

    void makeImage(long width, long height)
    {
        cairo_surface_t* fresh =
            cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(std::max(1L, width)),
                                       static_cast<int>(std::max(1L, height)));
        if (image)
        {
            // Keep what was shown, as a real window keeps its contents until repainted.
            cairo_t* cr = cairo_create(fresh);
            cairo_set_source_surface(cr, image, 0, 0);
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_paint(cr);
            cairo_destroy(cr);
            cairo_surface_destroy(image);
        }
        image = fresh;
    }
};

// ---- host ----

HostWindow::HostWindow() = default;

HostWindow::~HostWindow()
{
    // As a window system does when a host destroys its window first: the children go with it.
    const std::vector<Window*> orphans = children;
    children.clear();
    for (Window* window : orphans)
    {
        window->impl->host = nullptr;
        window->impl->listener.platformDestroyed();
    }
}

Window* HostWindow::child() const
{
    return children.empty() ? nullptr : children.back();
}

// ---- window ----

Window::Window(HostWindow* host, const CRect& size, platform::WindowListener& listener, double scale)
    : impl(std::make_unique<Impl>(host, listener))
{
    impl->scale = scale > 0.0 ? scale : 1.0;
    impl->bounds = CRect(0, 0, size.width(), size.height());
    impl->makeImage(toWindow(size.width(), impl->scale), toWindow(size.height(), impl->scale));
    if (host)
        host->children.push_back(this);
    // A newly mapped window asks for its first paint.
    impl->exposes.push_back(CRect(0, 0, width(), height()));
}

Window::~Window()
{
    if (impl->host)
    {
        auto& list = impl->host->children;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    cairo_surface_destroy(impl->image);
}

CColor Window::pixel(long x, long y) const
{
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return CColor{0, 0, 0, 0};
    cairo_surface_flush(impl->image);
    const unsigned char* data = cairo_image_surface_get_data(impl->image);
    const int stride = cairo_image_surface_get_stride(impl->image);
    const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
    return CColor{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                  static_cast<std::uint8_t>(p), 255};
}

std::vector<std::uint32_t> Window::pixels() const
{
    std::vector<std::uint32_t> out;
    cairo_surface_flush(impl->image);
    const unsigned char* data = cairo_image_surface_get_data(impl->image);
    const int stride = cairo_image_surface_get_stride(impl->image);
    for (long y = 0; y < height(); y++)
    {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (long x = 0; x < width(); x++)
            out.push_back(row[x] & 0x00ffffffu);
    }
    return out;
}

long Window::width() const
{
    return cairo_image_surface_get_width(impl->image);
}

long Window::height() const
{
    return cairo_image_surface_get_height(impl->image);
}

bool Window::writePng(const char* path) const
{
    return cairo::writePng(impl->image, path);
}

void Window::expose(const CRect& damaged)
{
    impl->exposes.push_back(damaged);
}

void Window::paintNow(const CRect& damaged)
{
    impl->dispatching++;
    impl->listener.platformPaint(toPanel(damaged, impl->scale));
    impl->dispatching--;
}

long Window::pendingRepaints() const
{
    return static_cast<long>(impl->exposes.size());
}

void Window::discardPendingRepaints()
{
    impl->exposes.clear();
}

void Window::press(const CPoint& where, long buttons)
{
    impl->pointer = PointerState{where, buttons};
    impl->dispatching++;
    impl->listener.platformMouseDown(toPanel(where, impl->scale), buttons);
    impl->dispatching--;
}

void Window::wheel(const CPoint& where, float distance, CMouseWheelAxis axis)
{
    impl->pointer.where = where;
    impl->dispatching++;
    impl->listener.platformWheel(toPanel(where, impl->scale), axis, distance);
    impl->dispatching--;
}

void Window::setPointer(const CPoint& where, long buttons)
{
    impl->pointer = PointerState{where, buttons};
}

void Window::scriptPointer(const std::vector<PointerState>& states)
{
    impl->script.assign(states.begin(), states.end());
}

long Window::buttonPolls() const
{
    return impl->polls;
}

CCursorType Window::cursor() const
{
    return impl->cursor;
}

void Window::setMenuChoice(long id)
{
    impl->menuChoice = id;
}

const std::vector<std::string>& Window::lastMenuTexts() const
{
    return impl->menuTexts;
}

long Window::menusShown() const
{
    return impl->menus;
}

CPoint Window::lastMenuPosition() const
{
    return impl->menuPosition;
}

bool Window::lastMenuFollowsRightButton() const
{
    return impl->menuFollowsRightButton;
}

std::unique_ptr<platform::Surface> Window::createSurface()
{
    return std::make_unique<cairo::CairoSurface>(impl->image, impl->fonts, impl->scale);
}

long Window::pointerButtons()
{
    impl->polls++;
    if (!impl->script.empty())
    {
        impl->pointer = impl->script.front();
        impl->script.pop_front();
    }
    return impl->pointer.buttons;
}

CPoint Window::pointerPosition()
{
    return toPanel(impl->pointer.where, impl->scale);
}

CRect Window::bounds()
{
    return impl->bounds;
}

void Window::setSize(long width, long height)
{
    impl->bounds.setWidth(width);
    impl->bounds.setHeight(height);
    impl->makeImage(toWindow(width, impl->scale), toWindow(height, impl->scale));
}

void Window::setPosition(long x, long y)
{
    impl->bounds.moveTo(x, y);
}

CPoint Window::screenOrigin()
{
    return CPoint(impl->bounds.left, impl->bounds.top);
}

void Window::setCursor(CCursorType type)
{
    impl->cursor = type;
}

void Window::pumpEvents()
{
    while (deliverOnePendingRepaint())
    {
    }
}

bool Window::deliverOnePendingRepaint()
{
    if (impl->exposes.empty())
        return false;
    const CRect damaged = impl->exposes.front();
    impl->exposes.pop_front();
    paintNow(damaged);
    return true;
}

long Window::showPopupMenu(const platform::PopupMenu& menu, const CPoint& where)
{
    impl->menus++;
    impl->menuPosition = where;
    impl->menuFollowsRightButton = menu.followsRightButton;
    impl->menuTexts.clear();
    flattenMenu(menu, impl->menuTexts);
    const long choice = scriptedMenuAnswer(menu, impl->menuChoice);
    impl->menuChoice = -1;
    return choice;
}

} // namespace kalvo::headless

// fontconfig keeps its configuration and font caches for the life of the process; in sanitizer
// builds of the programs that use this backend (tests, snapshots) they are not leaks.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace kalvo::platform
{

std::unique_ptr<NativeWindow> createChildWindow(void* parent, const CRect& size, WindowListener& listener,
                                                double scale)
{
    if (!parent)
        return nullptr;
    // A window needs at least one pixel, even for a frame whose background failed to load.
    const CRect atLeastOne(0, 0, std::max(1L, static_cast<long>(size.width())),
                           std::max(1L, static_cast<long>(size.height())));
    return std::make_unique<headless::Window>(static_cast<headless::HostWindow*>(parent), atLeastOne,
                                              listener, scale);
}

bool scalesDrawing()
{
    return true;
}

double desktopScale(void* nearWindow)
{
    (void)nearWindow;
    return 1.0;
}

long ticksMs()
{
    // Wraps like the real 32-bit millisecond tick count, so that tests can cross the wrap.
    return static_cast<long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(headless::headlessTicks)));
}

void sleepMs(long ms)
{
    if (ms > 0)
        headless::headlessTicks += ms;
}

long doubleClickTimeMs()
{
    return headless::kDoubleClickMs;
}

bool startEditorSession()
{
    return false;
}

void endEditorSession() {}

} // namespace kalvo::platform
