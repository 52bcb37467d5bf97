// Placeholder for the Windows backend until the real one (child window, GDI drawing, bitmap resources, menus)
// replaces this file. It lets Kalvo.dll link and load: the editor cannot open (no window, no surfaces, no
// images), everything else of the plug-in works.
#include "../Platform.h"

#include <windows.h>

namespace kalvo::platform
{

std::unique_ptr<Surface> createOffscreenSurface(long, long)
{
    return nullptr;
}

std::unique_ptr<Image> createImage(long, long)
{
    return nullptr;
}

std::unique_ptr<Image> loadImage(long)
{
    return nullptr;
}

std::unique_ptr<Image> decodePng(const unsigned char*, std::size_t)
{
    return nullptr;
}

std::unique_ptr<Surface> createImageSurface(Image&)
{
    return nullptr;
}

std::unique_ptr<Image> snapshotSurface(Surface&)
{
    return nullptr;
}

std::unique_ptr<NativeWindow> createChildWindow(void*, const CRect&, WindowListener&)
{
    return nullptr;
}

long ticksMs()
{
    return static_cast<long>(GetTickCount());
}

void sleepMs(long ms)
{
    Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
}

long doubleClickTimeMs()
{
    return static_cast<long>(GetDoubleClickTime());
}

} // namespace kalvo::platform
