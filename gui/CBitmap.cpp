#include "CBitmap.h"

#include "CDrawContext.h"
#include "gui/platform/Platform.h"

#include <cstdio>
#include <vector>

using kalvo::platform::ImageBlend;

CBitmap::CBitmap(long resourceID) : resourceID(resourceID)
{
    noAlpha = true;
    loadFromResource(resourceID);
    setTransparentColor(kTransparentCColor);
}

CBitmap::CBitmap(CFrame& frame, long width, long height)
{
    (void)frame;
    adopt(kalvo::platform::createImage(width, height));
}

CBitmap::CBitmap() = default;

CBitmap::~CBitmap()
{
    dispose();
}

void CBitmap::adopt(std::unique_ptr<kalvo::platform::Image> newImage)
{
    image = std::move(newImage);
    width = image ? image->width() : 0;
    height = image ? image->height() : 0;
    if (image)
        noAlpha = !image->hasAlpha();
}

void CBitmap::dispose()
{
    image.reset();
    hiResImage.reset();
    hiResTriedFor = 0.0;
    width = 0;
    height = 0;
}

bool CBitmap::loadFromResource(long id)
{
    dispose();
    resourceID = id;
    adopt(kalvo::platform::loadImage(id));
    return isLoaded();
}

bool CBitmap::loadFromPath(const void* platformPath)
{
    dispose();
    const char* path = static_cast<const char*>(platformPath);
    if (!path)
        return false;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    adopt(kalvo::platform::decodePng(bytes.data(), bytes.size()));
    return isLoaded();
}

void CBitmap::setTransparentColor(const CColor color)
{
    transparentColor = color;
}

void CBitmap::setTransparencyMask(CDrawContext* context, const CPoint& offset)
{
    (void)context;
    (void)offset;
}

void CBitmap::drawWith(CDrawContext* context, const CRect& rect, const CPoint& offset, int blend,
                       unsigned char alpha)
{
    if (!context || !image)
        return;
    kalvo::platform::Surface* surface = context->getSurface();
    if (!surface)
        return;
    // A zoomed panel draws the image drawn at a larger size where there is one, so that it
    // stays as sharp as the text and the curves beside it.
    if (surface->scale() > 1.0 && resourceID > 0 && surface->scale() != hiResTriedFor)
    {
        hiResTriedFor = surface->scale();
        hiResImage = kalvo::platform::loadImageForScale(resourceID, surface->scale());
    }
    const kalvo::platform::Image& picture = surface->scale() > 1.0 && hiResImage ? *hiResImage : *image;
    surface->drawImage(picture, context->toSurface(rect), offset, static_cast<ImageBlend>(blend),
                       transparentColor, alpha, context->clipRect);
    context->touched();
}

void CBitmap::draw(CDrawContext* context, CRect& rect, const CPoint& offset)
{
    drawWith(context, rect, offset, static_cast<int>(ImageBlend::opaque), 255);
}

void CBitmap::drawTransparent(CDrawContext* context, CRect& rect, const CPoint& offset)
{
    const ImageBlend blend = noAlpha ? ImageBlend::keyed : ImageBlend::ownAlpha;
    drawWith(context, rect, offset, static_cast<int>(blend), 255);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, CRect& rect, const CPoint& offset, unsigned char alpha)
{
    drawWith(context, rect, offset, static_cast<int>(ImageBlend::opaque), alpha);
}
