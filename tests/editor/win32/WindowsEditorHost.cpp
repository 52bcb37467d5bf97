#include "WindowsEditorHost.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#ifndef KALVO_PLUGIN_PATH
#error "KALVO_PLUGIN_PATH must name the built Kalvo.dll"
#endif

namespace kalvo::wintest
{

namespace
{
using PluginMain = AEffect* (*)(audioMasterCallback);

PluginMain pluginMain()
{
    HMODULE module = static_cast<HMODULE>(pluginModule());
    if (!module)
        return nullptr;
    return reinterpret_cast<PluginMain>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
}

const wchar_t kParentClass[] = L"KalvoTestHostWindow";

LRESULT CALLBACK parentProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
    {
        // The host's own colour, where the editor does not cover the window.
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH brush = CreateSolidBrush(RGB(64, 64, 64));
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void registerParentClass()
{
    static const bool registered = []
    {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = parentProcedure;
        description.hInstance = GetModuleHandleW(nullptr);
        description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        description.lpszClassName = kParentClass;
        return RegisterClassExW(&description) != 0;
    }();
    (void)registered;
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void sendButton(DWORD flag)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof input);
}
} // namespace

void* pluginModule()
{
    // Loaded once and kept, as hosts keep a scanned plug-in loaded.
    static HMODULE module = LoadLibraryA(KALVO_PLUGIN_PATH);
    return module;
}

bool windowsAvailable()
{
    registerParentClass();
    HWND probe = CreateWindowExW(0, kParentClass, L"probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!probe)
        return false;
    DestroyWindow(probe);
    return true;
}

// ---- ParentWindow ----

ParentWindow::ParentWindow(long width, long height, long left, long top)
{
    registerParentClass();
    HWND hwnd =
        CreateWindowExW(0, kParentClass, L"Kalvo test host", WS_POPUP | WS_CLIPCHILDREN,
                        static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                        static_cast<int>(height), nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    window = hwnd;
    if (hwnd)
    {
        // Shown without activating it: Wine then leaves it to itself instead of waiting up to two
        // seconds for a window manager (there is none in Xvfb) whenever it is hidden.
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        UpdateWindow(hwnd);
        pumpMessages();
    }
}

ParentWindow::~ParentWindow()
{
    destroy();
}

void ParentWindow::destroy()
{
    if (window)
        DestroyWindow(static_cast<HWND>(window));
    window = nullptr;
    pumpMessages();
}

std::vector<void*> ParentWindow::children() const
{
    std::vector<void*> found;
    if (!window)
        return found;
    for (HWND child = GetWindow(static_cast<HWND>(window), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        found.push_back(child);
    return found;
}

// ---- Instance ----

Instance::Instance() : EditorInstance(pluginMain()) {}

Instance::~Instance()
{
    // Closed here, while the window messages of the closing editor can still be delivered.
    if (ok() && editorIsOpen())
        closeEditor();
}

void Instance::pumpWindowSystem()
{
    pumpMessages();
}

// ---- windows ----

std::wstring windowClassName(void* window)
{
    wchar_t name[256] = {};
    GetClassNameW(static_cast<HWND>(window), name, 256);
    return name;
}

std::wstring windowText(void* window)
{
    wchar_t text[256] = {};
    GetWindowTextW(static_cast<HWND>(window), text, 256);
    return text;
}

std::vector<long> windowRect(void* window)
{
    RECT r{};
    HWND hwnd = static_cast<HWND>(window);
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

void postWheel(void* window, long x, long y, int notches)
{
    constexpr int kNotch = 120;
    const WPARAM wParam = MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * kNotch)));
    const LPARAM lParam =
        MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
    PostMessageW(static_cast<HWND>(window), WM_MOUSEWHEEL, wParam, lParam);
}

bool classRegistered(const std::wstring& className)
{
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    return GetClassInfoExW(static_cast<HMODULE>(pluginModule()), className.c_str(), &description) != 0;
}

// ---- the user's hand ----

namespace hand
{
void moveTo(long x, long y)
{
    SetCursorPos(static_cast<int>(x), static_cast<int>(y));
}

void press()
{
    sendButton(MOUSEEVENTF_LEFTDOWN);
}

void release()
{
    sendButton(MOUSEEVENTF_LEFTUP);
}

void click(long x, long y)
{
    moveTo(x, y);
    press();
    release();
}

void typeText(const char* text)
{
    for (const char* c = text; *c; ++c)
    {
        WORD key = 0;
        if (*c == '\b')
            key = VK_BACK;
        else if (*c == '\n')
            key = VK_RETURN;
        else if (*c == '.')
            key = VK_OEM_PERIOD;
        else if (*c == '-')
            key = VK_OEM_MINUS;
        else if ((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'z'))
            key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(*c)));
        INPUT strokes[2] = {};
        for (INPUT& stroke : strokes)
        {
            stroke.type = INPUT_KEYBOARD;
            stroke.ki.wVk = key;
            stroke.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        }
        strokes[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, strokes, sizeof(INPUT));
    }
}

PopupMenuSeen waitForPopupMenu(int ms)
{
    // The system's popup menus are windows of the class "#32768"; they answer MN_GETHMENU.
    constexpr UINT kGetMenuHandle = 0x01E1;
    PopupMenuSeen seen;
    for (int waited = 0; waited <= ms; waited += 10)
    {
        HWND window = FindWindowW(L"#32768", nullptr);
        RECT r{};
        if (window && IsWindowVisible(window) && GetWindowRect(window, &r))
        {
            seen.window = {r.left, r.top, r.right, r.bottom};
            HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, kGetMenuHandle, 0, 0));
            const int count = menu ? GetMenuItemCount(menu) : 0;
            for (int i = 0; i < count; i++)
            {
                RECT item{};
                GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item);
                seen.items.push_back({item.left, item.top, item.right, item.bottom});
                wchar_t text[256] = {};
                GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
                seen.texts.push_back(text);
                seen.checked.push_back(
                    (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0);
            }
            return seen;
        }
        Sleep(10);
    }
    return seen;
}
} // namespace hand

// ---- pixels ----

namespace
{
Image pixelsOf(HBITMAP bitmap)
{
    Image image;
    BITMAP info{};
    if (!bitmap || GetObjectW(bitmap, sizeof info, &info) != sizeof info)
        return image;
    BITMAPINFO rows{};
    rows.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    rows.bmiHeader.biWidth = info.bmWidth;
    rows.bmiHeader.biHeight = -info.bmHeight;
    rows.bmiHeader.biPlanes = 1;
    rows.bmiHeader.biBitCount = 32;
    rows.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    HDC screen = GetDC(nullptr);
    const int got =
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &rows, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (got != info.bmHeight)
        return image;
    for (std::uint32_t& p : pixels)
        p &= 0x00ffffffu;
    image.width = info.bmWidth;
    image.height = info.bmHeight;
    image.pixels = std::move(pixels);
    return image;
}
} // namespace

Image loadBitmapFile(const std::string& path)
{
    HANDLE loaded =
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    Image image = pixelsOf(static_cast<HBITMAP>(loaded));
    if (loaded)
        DeleteObject(loaded);
    return image;
}

Image pluginBitmap(long id)
{
    HBITMAP loaded = LoadBitmapW(static_cast<HMODULE>(pluginModule()), MAKEINTRESOURCEW(id));
    Image image = pixelsOf(loaded);
    if (loaded)
        DeleteObject(loaded);
    return image;
}

Image readWindow(void* window, const std::vector<long>& area)
{
    Image image;
    const int width = static_cast<int>(area[2] - area[0]);
    const int height = static_cast<int>(area[3] - area[1]);
    HWND hwnd = static_cast<HWND>(window);
    HDC source = GetDC(hwnd);
    if (!source)
        return image;
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (target && bits)
    {
        HGDIOBJ before = SelectObject(memory, target);
        BitBlt(memory, 0, 0, width, height, source, static_cast<int>(area[0]), static_cast<int>(area[1]),
               SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        image.width = width;
        image.height = height;
        image.pixels.assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
        for (std::uint32_t& v : image.pixels)
            v &= 0x00ffffffu;
        SelectObject(memory, before);
    }
    if (target)
        DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(hwnd, source);
    return image;
}

std::string describe(const Difference& d)
{
    return std::to_string(d.pixels) + " pixels differ, the first at " + std::to_string(d.firstX) + "," +
           std::to_string(d.firstY) + ", largest channel difference " + std::to_string(d.maxChannel);
}

Difference compare(const Image& expected, const Image& shown, long left, long top, int tolerance,
                   const std::vector<std::vector<long>>& excluded,
                   const std::vector<std::vector<long>>& included)
{
    auto inside = [](const std::vector<long>& r, long x, long y)
    { return x >= r[0] && x < r[2] && y >= r[1] && y < r[3]; };
    Difference d;
    for (long y = 0; y < shown.height; y++)
        for (long x = 0; x < shown.width; x++)
        {
            const long ex = left + x, ey = top + y;
            if (ex >= expected.width || ey >= expected.height)
                continue;
            if (!included.empty() && std::none_of(included.begin(), included.end(),
                                                  [&](const auto& r) { return inside(r, ex, ey); }))
                continue;
            if (std::any_of(excluded.begin(), excluded.end(),
                            [&](const auto& r) { return inside(r, ex, ey); }))
                continue;
            const std::uint32_t a = expected.at(ex, ey), b = shown.at(x, y);
            d.add(a, b, tolerance, ex, ey);
        }
    return d;
}

Difference compareNear(const Image& expected, const Image& shown, int tolerance,
                       const std::vector<std::vector<long>>& included)
{
    auto close = [tolerance](std::uint32_t a, std::uint32_t b)
    {
        for (int shift = 0; shift <= 16; shift += 8)
            if (std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff)) >
                tolerance)
                return false;
        return true;
    };
    Difference d;
    for (const std::vector<long>& r : included)
        for (long y = r[1]; y < r[3]; y++)
            for (long x = r[0]; x < r[2]; x++)
            {
                bool matched = false;
                for (long dy = -1; dy <= 1 && !matched; dy++)
                    for (long dx = -1; dx <= 1 && !matched; dx++)
                    {
                        const long ex = x + dx, ey = y + dy;
                        matched = ex >= 0 && ey >= 0 && ex < expected.width && ey < expected.height &&
                                  close(expected.at(ex, ey), shown.at(x, y));
                    }
                if (!matched)
                {
                    if (d.pixels == 0)
                    {
                        d.firstX = x;
                        d.firstY = y;
                    }
                    d.pixels++;
                }
            }
    return d;
}

namespace
{
struct WindowCount
{
    DWORD process;
    long windows;
};

BOOL CALLBACK countDescendant(HWND, LPARAM count)
{
    reinterpret_cast<WindowCount*>(count)->windows++;
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM count)
{
    auto* c = reinterpret_cast<WindowCount*>(count);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == c->process)
    {
        c->windows++;
        EnumChildWindows(window, countDescendant, count);
    }
    return TRUE;
}
} // namespace

GuiObjects guiObjects()
{
    GuiObjects counts;
    counts.gdi = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    counts.user = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    if (counts.gdi > 0)
        return counts;
    // Wine answers 0 here. Its GDI handles carry the table index in their low 16 bits, and it
    // accepts a handle given by its index alone, so the live objects can be counted by asking
    // every index. Its menu handles likewise, at even indices.
    for (ULONG_PTR index = 1; index < 0x10000; index++)
    {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)))
            counts.gdi++;
        if (index % 2 == 0 && IsMenu(reinterpret_cast<HMENU>(index)))
            counts.user++;
    }
    // Windows are counted by walking them: top-level, children and message-only ones.
    WindowCount windows{GetCurrentProcessId(), 0};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
        countTopLevel(w, reinterpret_cast<LPARAM>(&windows));
    counts.user += windows.windows;
    return counts;
}

} // namespace kalvo::wintest
