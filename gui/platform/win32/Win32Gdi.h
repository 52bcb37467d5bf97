// The GDI drawing backend as the Windows window code sees it: pixel canvases (a DIB section in a
// memory context of its own), the Surface and Image classes on them, and the run-time lookup of
// the image-blending functions. Included only under gui/platform/win32/.
#pragma once

#include "Win32Api.h"
#include "gui/platform/Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalvo::win32
{

/// Text of the Windows build (single-byte Windows-1252, as its rules write the degree sign) as
/// UTF-16 for the system's wide-character calls; every byte maps to one character.
std::wstring widen(const char* text);

/// The image-blending entry points of the system's "msimg32.dll", looked up at run time. A
/// missing one is null, and the drawing code falls back to plain bit-block transfers.
struct BlendFunctions
{
    using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
    using TransparentBltFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);

    AlphaBlendFn alphaBlend = nullptr;
    TransparentBltFn transparentBlt = nullptr;

    /// Loaded on first use and kept for the life of the process (a system library stays
    /// loaded in every process that uses GDI anyway).
    static const BlendFunctions& system();
};

/// A width x height canvas of 32-bit pixels (0x00RRGGBB, rows top to bottom) that GDI draws into
/// through a memory context of its own, together with the pen, brush, font, clip region and mix
/// mode currently selected into that context. Selection happens only on change, and every GDI
/// object the canvas made is deleted with it. Surfaces and images share a canvas when they work
/// on the same pixels.
class GdiCanvas
{
public:
    /// Null when the system cannot give the pixels or the context.
    static std::shared_ptr<GdiCanvas> create(long width, long height);
    ~GdiCanvas();
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    HDC dc() const { return context; }
    long width() const { return pixelsWide; }
    long height() const { return pixelsHigh; }
    /// Row y of the pixels, after GDI has finished what it was asked to draw.
    std::uint32_t* row(long y);

    /// A pen of this colour, width and line style (0 solid, 1 dotted); none at all when `none`.
    void usePen(const CColor& color, long width, long style);
    void useNoPen();
    /// A solid brush of this colour, or none.
    void useBrush(const CColor& color);
    void useNoBrush();
    /// The font of a standard-table family, sized by its cell height in pixels, style bits 1
    /// bold, 2 italic, 4 underlined. Answers its ascent and descent.
    void useFont(const char* family, long cellPixels, long style, long* ascent, long* descent);
    /// Drawing outside `clip` (pixels of this canvas) is discarded.
    void useClip(const CRect& clip);
    /// The draw mode as the mix of pens and brushes: 0 copy, 1 OR, 2 inverted XOR (3, the
    /// anti-aliased mode of the other build, copies).
    void useMix(long drawMode);

    /// The ternary raster operation that combines a brush with the destination the way `useMix`
    /// combines pens: for rectangle fills, which GDI does by bit-block transfer.
    static DWORD patternRop(long drawMode);

private:
    GdiCanvas() = default;

    struct Font
    {
        std::string family;
        long cellPixels;
        long style;
        HFONT handle;
        long ascent;
        long descent;
    };

    HDC context = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ originalBitmap = nullptr;
    HGDIOBJ originalPen = nullptr;
    HGDIOBJ originalBrush = nullptr;
    HGDIOBJ originalFont = nullptr;
    std::uint32_t* bits = nullptr;
    long pixelsWide = 0;
    long pixelsHigh = 0;

    HPEN pen = nullptr; ///< the pen selected now, made here; null while none or the stock one
    CColor penColor{};
    long penWidth = -1;
    long penStyle = -1;
    bool noPen = false;
    HBRUSH brush = nullptr;
    CColor brushColor{};
    bool noBrush = false;
    std::vector<Font> fonts;
    long fontIndex = -1; ///< the font selected now, in `fonts`
    CRect clip{-1, -1, -1, -1};
    bool clipSet = false;
    long mix = -1;
};

/// A decoded picture: a canvas whose pixels it owns, `pixelScale` canvas pixels per panel pixel
/// (2 for the panel's double-size images).
class Win32Image : public platform::Image
{
public:
    explicit Win32Image(std::shared_ptr<GdiCanvas> canvas, double pixelScale = 1.0)
        : pixels(std::move(canvas)), pixelScale(pixelScale)
    {
    }
    /// The size in panel pixels.
    long width() const override { return static_cast<long>(pixels->width() / pixelScale); }
    long height() const override { return static_cast<long>(pixels->height() / pixelScale); }
    /// Bitmap resources carry no alpha channel of their own.
    bool hasAlpha() const override { return false; }

    const std::shared_ptr<GdiCanvas>& canvas() const { return pixels; }
    double scale() const { return pixelScale; }
    /// The pixels for drawing at `scale` canvas pixels per panel pixel: its own when they are
    /// at that scale, else a resampled copy kept for the next time (nearest pixels for keyed
    /// images, whose key colour must stay exact; averaged otherwise). Null when the system has
    /// no memory for it.
    std::shared_ptr<GdiCanvas> canvasAt(double scale, bool keyed) const;

private:
    std::shared_ptr<GdiCanvas> pixels;
    double pixelScale;
    mutable std::shared_ptr<GdiCanvas> resampled;
    mutable double resampledScale = 0.0;
    mutable bool resampledKeyed = false;
};

/// A Surface drawing with GDI into a canvas, with the toolkit's integer pixel rules.
class Win32Surface : public platform::Surface
{
public:
    explicit Win32Surface(std::shared_ptr<GdiCanvas> canvas);

    long width() const override;
    long height() const override;
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

    const std::shared_ptr<GdiCanvas>& canvas() const { return target; }
    /// Replaces the blending functions (tests use it to run the fallbacks).
    void setBlendFunctions(const BlendFunctions& functions) { blend = &functions; }

protected:
    /// The area drawn since the last call, and resets it.
    CRect takeDamage();

private:
    /// The part of `bounds` inside the clip and the canvas; empty when nothing is to be drawn.
    CRect drawable(const CRect& bounds, const CRect& clip) const;
    void addDamage(const CRect& r) { damage = damage.unite(r); }
    void keyedBlit(GdiCanvas& source, const CRect& area, long sx, long sy, const CColor& key);
    void blendedBlit(GdiCanvas& source, const CRect& area, long sx, long sy, unsigned char alpha, bool keyed,
                     const CColor& key);

    std::shared_ptr<GdiCanvas> target;
    const BlendFunctions* blend;
    CRect damage;
};

/// A surface in panel pixels over a canvas of `scale` times as many pixels each way: every
/// operation is handed to a Win32Surface on that canvas with its geometry, line widths and font
/// sizes multiplied, and images drawn from their double-size set (or resampled), so that text,
/// lines and pictures are drawn at the screen's resolution. The zoom of 1 uses Win32Surface
/// directly and stays pixel for pixel as it was.
class ScaledSurface : public platform::Surface
{
public:
    ScaledSurface(std::unique_ptr<Win32Surface> device, double scale);

    long width() const override;
    long height() const override;
    double scale() const override { return factor; }
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

    Win32Surface& deviceSurface() { return *device; }

private:
    long toDevice(long v) const;
    CPoint toDevice(const CPoint& p) const;
    CRect toDevice(const CRect& r) const;
    platform::DrawAttributes toDevice(const platform::DrawAttributes& state) const;
    std::vector<CPoint> toDevice(const CPoint* points, long count) const;

    std::unique_ptr<Win32Surface> device;
    double factor;
};

/// The module (DLL or program) this code was linked into: where its bitmap resources are.
HMODULE ownModule();

} // namespace kalvo::win32
