// Offscreens, images and the panel's bitmap resources: the drawing half of the platform
// operations on GDI.
#include "Win32Gdi.h"

#include <algorithm>
#include <cmath>

namespace kalvo::platform
{

std::unique_ptr<Surface> createOffscreenSurface(long width, long height, double scale)
{
    if (!(scale > 0.0))
        return nullptr;
    const auto pixels = [scale](long panelPixels)
    { return std::max(1L, static_cast<long>(std::ceil(static_cast<double>(panelPixels) * scale - 1e-9))); };
    std::shared_ptr<win32::GdiCanvas> canvas = win32::GdiCanvas::create(
        scale == 1.0 ? width : pixels(width), scale == 1.0 ? height : pixels(height));
    if (!canvas)
        return nullptr;
    auto surface = std::make_unique<win32::Win32Surface>(std::move(canvas));
    if (scale == 1.0)
        return surface;
    return std::make_unique<win32::ScaledSurface>(std::move(surface), scale);
}

std::unique_ptr<Image> createImage(long width, long height)
{
    std::shared_ptr<win32::GdiCanvas> canvas = win32::GdiCanvas::create(width, height);
    if (!canvas)
        return nullptr;
    return std::make_unique<win32::Win32Image>(std::move(canvas));
}

namespace
{
/// The double-size set's resources are numbered this much above the images'.
constexpr long kDoubleSizeOffset = 2000;
std::unique_ptr<Image> loadBitmapResource(long id, double pixelScale);
} // namespace

std::unique_ptr<Image> loadImageForScale(long id, double scale)
{
    if (!(scale > 1.0) || id <= 0 || id + kDoubleSizeOffset > 0xffff)
        return nullptr;
    return loadBitmapResource(id + kDoubleSizeOffset, 2.0);
}

std::unique_ptr<Image> loadImage(long id)
{
    return loadBitmapResource(id, 1.0);
}

namespace
{
std::unique_ptr<Image> loadBitmapResource(long id, double pixelScale)
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
    return std::make_unique<win32::Win32Image>(std::move(canvas), pixelScale);
}
} // namespace

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
    auto* scaled = dynamic_cast<win32::ScaledSurface*>(&surface);
    auto* source = scaled ? &scaled->deviceSurface() : dynamic_cast<win32::Win32Surface*>(&surface);
    if (!source)
        return nullptr;
    std::shared_ptr<win32::GdiCanvas> copy = win32::GdiCanvas::create(source->width(), source->height());
    if (!copy)
        return nullptr;
    BitBlt(copy->dc(), 0, 0, static_cast<int>(source->width()), static_cast<int>(source->height()),
           source->canvas()->dc(), 0, 0, SRCCOPY);
    return std::make_unique<win32::Win32Image>(std::move(copy), scaled ? scaled->scale() : 1.0);
}

} // namespace kalvo::platform
