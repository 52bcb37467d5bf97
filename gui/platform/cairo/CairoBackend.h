// The cairo drawing backend as the window-system backends see it: image-surface based Surface
// and Image classes and the shared font lookup. Included only under gui/platform/.
#pragma once

#include "gui/platform/Platform.h"

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

namespace kalvo::cairo
{

/// Font faces looked up through fontconfig, kept for the life of a window or an offscreen.
class FontCache
{
public:
    FontCache() = default;
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    /// The face for a family of the standard font table and style bits (1 bold, 2 italic); a family
    /// fontconfig does not know falls back to a sans-serif face. Owned by the cache.
    cairo_font_face_t* face(const char* family, long style);
    /// Selects that face on `cr` with the hinting all text uses, sized so that a line's cell
    /// (ascent + descent) is `cellPixels` high, as the Windows rules read a font size: "Arial" 12
    /// is a 12-pixel line. Answers the resulting extents.
    cairo_font_extents_t select(cairo_t* cr, const char* family, long style, long cellPixels);

private:
    struct Entry
    {
        std::string family;
        long style;
        cairo_font_face_t* face;
    };
    std::vector<Entry> entries;
};

/// A decoded picture on a cairo image surface (RGB24 without alpha, ARGB32 with).
class CairoImage : public platform::Image
{
public:
    /// Takes over one reference of `surface`. `pixelScale` is the number of pixels per panel
    /// pixel (2 for the images drawn at twice the size); width and height are in panel pixels.
    CairoImage(cairo_surface_t* surface, bool ownAlpha, double pixelScale = 1.0);
    ~CairoImage() override;
    long width() const override;
    long height() const override;
    double pixelScale() const { return scale; }
    bool hasAlpha() const override { return ownAlpha; }

    cairo_surface_t* surface() const { return image; }
    /// A copy whose pixels with the key's RGB are fully transparent; cached per key colour.
    cairo_surface_t* keyed(const CColor& key) const;

private:
    cairo_surface_t* image;
    bool ownAlpha;
    double scale;
    mutable cairo_surface_t* keyedImage = nullptr;
    mutable CColor keyedColor{};
};

/// A Surface drawing into a cairo image surface with the toolkit's integer pixel rules.
class CairoSurface : public platform::Surface
{
public:
    /// Takes one more reference of `target` (an image surface); `fonts` may be shared. At
    /// `scale` s, a caller's pixel is s x s pixels of the target: geometry stays in the caller's
    /// pixels while lines, text and images are drawn at the target's resolution.
    CairoSurface(cairo_surface_t* target, std::shared_ptr<FontCache> fonts, double scale = 1.0);
    ~CairoSurface() override;

    /// The size in the caller's pixels.
    long width() const override;
    long height() const override;
    double scale() const override { return scaleFactor; }
    void fillRect(const CRect& r, const platform::DrawAttributes& state) override;
    void strokePolyline(const CPoint* points, long count, bool closed,
                        const platform::DrawAttributes& state) override;
    void strokeSegments(const CPoint* points, long count, const platform::DrawAttributes& state) override;
    void fillPolygon(const CPoint* points, long count, const platform::DrawAttributes& state) override;
    void drawEllipse(const CRect& r, bool fill, bool stroke, const platform::DrawAttributes& state) override;
    void drawArc(const CRect& r, double startDeg, double endDeg, bool pie, bool fill, bool stroke,
                 const platform::DrawAttributes& state) override;
    CColor getPixel(const CPoint& p) override;
    void floodFill(const CPoint& p, const platform::DrawAttributes& state) override;
    long textWidth(const char* text, const platform::DrawAttributes& state) override;
    void drawText(const char* text, const CRect& r, long align, bool opaque,
                  const platform::DrawAttributes& state) override;
    void copyFrom(platform::Surface& source, const CRect& srcRect, const CPoint& dest,
                  const CRect& clip) override;
    void drawImage(const platform::Image& image, const CRect& dest, const CPoint& srcOffset,
                   platform::ImageBlend blend, const CColor& key, unsigned char alpha,
                   const CRect& clip) override;
    void flush() override;

    cairo_surface_t* target() const { return surface; }

protected:
    /// The area drawn since the last call, in the target's pixels, and resets it.
    CRect takeDamage();
    /// r in the target's pixels: the smallest pixel box that covers it.
    CRect toDevice(const CRect& r) const;

private:
    template <class Draw>
    void render(const platform::DrawAttributes& state, CRect bounds, bool solidOnly, Draw draw);
    void addDamage(const CRect& r) { damage = damage.unite(r); }
    void setFont(cairo_t* cr, const platform::DrawAttributes& state, cairo_font_extents_t* extents);

    /// A context on the target that draws in the caller's pixels.
    cairo_t* createContext() const;

    cairo_surface_t* surface;
    std::shared_ptr<FontCache> fonts;
    double scaleFactor;
    CRect damage;
};

/// Writes a surface's pixels as a PNG file; false on failure.
bool writePng(cairo_surface_t* surface, const char* path);

} // namespace kalvo::cairo
