// Reference-counted images loaded by numeric id from the images embedded in the binary.
#pragma once

#include "CColor.h"
#include "CGeometry.h"
#include "CReferenceCounter.h"

#include <memory>

class CDrawContext;
class CFrame;

namespace kalvo::platform
{
class Image;
}

/// An image drawn whole or in part: plainly, with one colour keyed out, or with a constant
/// opacity. An id without an image leaves the bitmap unloaded (width and height 0): it draws
/// nothing and raises no error.
class CBitmap : public CReferenceCounter
{
public:
    /// Loads the embedded image `resourceID` (for example 128 from bmp00128.png).
    explicit CBitmap(long resourceID);
    /// An empty 32-bit image of that size.
    CBitmap(CFrame& frame, long width, long height);
    /// Nothing loaded.
    CBitmap();
    ~CBitmap() override;

    /// Opaque copy: bitmap pixel (offset.x + i, offset.y + j) lands on (rect.left + i, rect.top + j).
    virtual void draw(CDrawContext* context, CRect& rect, const CPoint& offset = CPoint(0, 0));
    /// Like draw, leaving the pixels whose RGB equal transparentColor untouched (an image with an
    /// alpha channel of its own is drawn by that alpha instead).
    virtual void drawTransparent(CDrawContext* context, CRect& rect, const CPoint& offset = CPoint(0, 0));
    /// Like draw, blended over the destination with opacity alpha / 255.
    virtual void drawAlphaBlend(CDrawContext* context, CRect& rect, const CPoint& offset = CPoint(0, 0),
                                unsigned char alpha = 128);
    /// The platform image, or null.
    virtual kalvo::platform::Image* getImage() const { return image.get(); }
    /// Frees the image; width and height become 0.
    virtual void dispose();
    /// Drops the current image and loads the embedded image with that id; false when none.
    virtual bool loadFromResource(long resourceID);
    /// Loads a PNG file; false when it cannot be read. Embedded images do not need it.
    virtual bool loadFromPath(const void* platformPath);

    bool isLoaded() const { return image != nullptr; }
    long getWidth() const { return width; }
    long getHeight() const { return height; }
    long getResourceID() const { return resourceID; }

    /// Stores the key colour for drawTransparent.
    void setTransparentColor(const CColor color);
    CColor getTransparentColor() const { return transparentColor; }
    /// Kept for interface completeness: this toolkit keys the bitmap itself, so it has no effect.
    void setTransparencyMask(CDrawContext* context, const CPoint& offset = CPoint(0, 0));
    bool getNoAlpha() const { return noAlpha; }
    void setNoAlpha(bool state) { noAlpha = state; }

protected:
    void adopt(std::unique_ptr<kalvo::platform::Image> newImage);
    void drawWith(CDrawContext* context, const CRect& rect, const CPoint& offset, int blend,
                  unsigned char alpha);

    long resourceID = 0;
    long width = 0;
    long height = 0;
    CColor transparentColor = kTransparentCColor;
    bool noAlpha = true;
    std::unique_ptr<kalvo::platform::Image> image;
    /// The same picture drawn for surfaces above scale 1 (loaded on first need), if the binary
    /// carries one; `hiResTriedFor` is the zoom it was looked for at (0: not yet), as another
    /// zoom may want another set.
    std::unique_ptr<kalvo::platform::Image> hiResImage;
    double hiResTriedFor = 0.0;
};
