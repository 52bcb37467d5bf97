// Offscreens, images and the panel's bitmap resources: the drawing half of the platform
// operations on GDI.
#include "Win32Gdi.h"

namespace kalvo::platform
{

std::unique_ptr<Surface> createOffscreenSurface(long width, long height, double scale)
{
    (void)scale; // GDI draws the panel at its own size only (scalesDrawing)
    std::shared_ptr<win32::GdiCanvas> canvas = win32::GdiCanvas::create(width, height);
    if (!canvas)
        return nullptr;
    return std::make_unique<win32::Win32Surface>(std::move(canvas));
}

std::unique_ptr<Image> createImage(long width, long height)
{
    std::shared_ptr<win32::GdiCanvas> canvas = win32::GdiCanvas::create(width, height);
    if (!canvas)
        return nullptr;
    return std::make_unique<win32::Win32Image>(std::move(canvas));
}

std::unique_ptr<Image> loadImageForScale(long id, double scale)
{
    (void)id;
    (void)scale;
    return nullptr;
}

std::unique_ptr<Image> loadImage(long id)
{
    if (id <= 0 || id > 0xffff)
        return nullptr;
    // The bitmap resource of that number in the module this code belongs to; whatever depth the
    // system hands it back in (often 32 bits for a 24-bit resource), it is copied into a canvas.
    HBITMAP loaded = LoadBitmapW(win32::ownModule(), MAKEINTRESOURCEW(id));
    if (!loaded)
        return nullptr;
    BITMAP info{};
    std::shared_ptr<win32::GdiCanvas> canvas;
    if (GetObjectW(loaded, sizeof info, &info) == sizeof info)
        canvas = win32::GdiCanvas::create(info.bmWidth, info.bmHeight);
    bool copied = false;
    if (canvas)
    {
        BITMAPINFO rows{};
        rows.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        rows.bmiHeader.biWidth = info.bmWidth;
        rows.bmiHeader.biHeight = -info.bmHeight;
        rows.bmiHeader.biPlanes = 1;
        rows.bmiHeader.biBitCount = 32;
        rows.bmiHeader.biCompression = BI_RGB;
        copied = GetDIBits(canvas->dc(), loaded, 0, static_cast<UINT>(info.bmHeight), canvas->row(0), &rows,
                           DIB_RGB_COLORS) == info.bmHeight;
    }
    DeleteObject(loaded);
    if (!copied)
        return nullptr;
    return std::make_unique<win32::Win32Image>(std::move(canvas));
}

std::unique_ptr<Image> decodePng(const unsigned char* data, std::size_t size)
{
    // The Windows build carries its images as bitmap resources; nothing in it reads PNG files.
    (void)data;
    (void)size;
    return nullptr;
}

std::unique_ptr<Surface> createImageSurface(Image& image)
{
    auto* picture = dynamic_cast<win32::Win32Image*>(&image);
    if (!picture)
        return nullptr;
    return std::make_unique<win32::Win32Surface>(picture->canvas());
}

std::unique_ptr<Image> snapshotSurface(Surface& surface)
{
    auto* source = dynamic_cast<win32::Win32Surface*>(&surface);
    if (!source)
        return nullptr;
    std::shared_ptr<win32::GdiCanvas> copy = win32::GdiCanvas::create(source->width(), source->height());
    if (!copy)
        return nullptr;
    BitBlt(copy->dc(), 0, 0, static_cast<int>(source->width()), static_cast<int>(source->height()),
           source->canvas()->dc(), 0, 0, SRCCOPY);
    return std::make_unique<win32::Win32Image>(std::move(copy));
}

} // namespace kalvo::platform
