// Images, fonts and the drawing half of the platform operations on cairo.
#include "CairoBackend.h"
#include "gui/EmbeddedImages.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kalvo::cairo
{

// ---- fonts ----

FontCache::~FontCache()
{
    for (Entry& entry : entries)
        cairo_font_face_destroy(entry.face);
}

namespace
{
// Asks fontconfig for the best face of `family`; null when it knows no font at all.
cairo_font_face_t* matchFace(const char* family, long style)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return nullptr;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, (style & 1) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, (style & 2) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return nullptr;
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS)
    {
        cairo_font_face_destroy(face);
        return nullptr;
    }
    return face;
}
} // namespace

cairo_font_face_t* FontCache::face(const char* family, long style)
{
    if (!family)
        family = "sans-serif";
    style &= 3;
    for (Entry& entry : entries)
    {
        if (entry.style == style && entry.family == family)
            return entry.face;
    }
    // fontconfig maps "Arial" to its metric-compatible face; without it any sans-serif face
    // still gives legible text, and cairo's own choice is the last resort.
    cairo_font_face_t* face = matchFace(family, style);
    if (!face)
        face = matchFace("sans-serif", style);
    if (!face)
        face = cairo_toy_font_face_create("sans-serif",
                                          (style & 2) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                          (style & 1) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    entries.push_back(Entry{family, style, face});
    return face;
}

cairo_font_extents_t FontCache::select(cairo_t* cr, const char* family, long style, long cellPixels)
{
    cairo_set_font_face(cr, face(family, style));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    // Measure at a large size, then scale so that the cell is the size asked for.
    cairo_set_font_size(cr, 100.0);
    cairo_font_extents_t unit;
    cairo_font_extents(cr, &unit);
    const double cell = unit.ascent + unit.descent;
    const double pixels = static_cast<double>(std::max(1L, cellPixels));
    cairo_set_font_size(cr, cell > 0 ? 100.0 * pixels / cell : pixels);
    cairo_font_extents_t extents;
    cairo_font_extents(cr, &extents);
    return extents;
}

// ---- images ----

CairoImage::CairoImage(cairo_surface_t* surface, bool ownAlpha, double pixelScale)
    : image(surface), ownAlpha(ownAlpha), scale(pixelScale > 0.0 ? pixelScale : 1.0)
{
}

CairoImage::~CairoImage()
{
    if (keyedImage)
        cairo_surface_destroy(keyedImage);
    cairo_surface_destroy(image);
}

long CairoImage::width() const
{
    return std::lround(cairo_image_surface_get_width(image) / scale);
}

long CairoImage::height() const
{
    return std::lround(cairo_image_surface_get_height(image) / scale);
}

cairo_surface_t* CairoImage::keyed(const CColor& key) const
{
    if (keyedImage && keyedColor.sameRGB(key))
        return keyedImage;
    if (keyedImage)
        cairo_surface_destroy(keyedImage);
    const int w = cairo_image_surface_get_width(image);
    const int h = cairo_image_surface_get_height(image);
    keyedImage = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    keyedColor = key;
    cairo_surface_flush(image);
    const unsigned char* src = cairo_image_surface_get_data(image);
    unsigned char* dst = cairo_image_surface_get_data(keyedImage);
    if (!src || !dst)
        return keyedImage;
    const bool opaqueFormat = cairo_image_surface_get_format(image) == CAIRO_FORMAT_RGB24;
    const std::uint32_t keyRGB = (std::uint32_t(key.red) << 16) | (std::uint32_t(key.green) << 8) | key.blue;
    const int srcStride = cairo_image_surface_get_stride(image);
    const int dstStride = cairo_image_surface_get_stride(keyedImage);
    for (int y = 0; y < h; y++)
    {
        const auto* s = reinterpret_cast<const std::uint32_t*>(src + y * srcStride);
        auto* d = reinterpret_cast<std::uint32_t*>(dst + y * dstStride);
        for (int x = 0; x < w; x++)
        {
            const std::uint32_t p = opaqueFormat ? (s[x] | 0xff000000u) : s[x];
            // Keyed images are opaque pictures, so their stored RGB is the colour itself.
            d[x] = (p & 0x00ffffffu) == keyRGB ? 0u : p;
        }
    }
    cairo_surface_mark_dirty(keyedImage);
    return keyedImage;
}

bool writePng(cairo_surface_t* surface, const char* path)
{
    return surface && path && cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}

} // namespace kalvo::cairo

namespace kalvo::platform
{

namespace
{
struct PngReader
{
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length)
{
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->position < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

bool usable(cairo_surface_t* surface)
{
    return surface && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
           cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE;
}

// Pixels of a surface covering `panelPixels` at `scale`: 841 at 1.25 needs 1052.
int devicePixels(long panelPixels, double scale)
{
    return static_cast<int>(std::ceil(static_cast<double>(panelPixels) * scale - 1e-9));
}

// The images drawn at n times the size are embedded under their number plus n times this.
constexpr long kSizeIdStep = 1000;
} // namespace

std::unique_ptr<Surface> createOffscreenSurface(long width, long height, double scale)
{
    if (width <= 0 || height <= 0 || !(scale > 0.0))
        return nullptr;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, devicePixels(width, scale),
                                                        devicePixels(height, scale));
    if (!usable(image))
    {
        cairo_surface_destroy(image);
        return nullptr;
    }
    auto surface = std::make_unique<cairo::CairoSurface>(image, nullptr, scale);
    cairo_surface_destroy(image);
    return surface;
}

std::unique_ptr<Image> createImage(long width, long height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    cairo_surface_t* image =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    if (!usable(image))
    {
        cairo_surface_destroy(image);
        return nullptr;
    }
    return std::make_unique<cairo::CairoImage>(image, false);
}

namespace
{
std::unique_ptr<Image> decodePngAt(const unsigned char* data, std::size_t size, double pixelScale)
{
    if (!data || size == 0)
        return nullptr;
    PngReader reader{data, size, 0};
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (!usable(image))
    {
        cairo_surface_destroy(image);
        return nullptr;
    }
    const bool ownAlpha = cairo_image_surface_get_format(image) == CAIRO_FORMAT_ARGB32;
    return std::make_unique<cairo::CairoImage>(image, ownAlpha, pixelScale);
}
} // namespace

std::unique_ptr<Image> decodePng(const unsigned char* data, std::size_t size)
{
    return decodePngAt(data, size, 1.0);
}

std::unique_ptr<Image> loadImage(long id)
{
    const EmbeddedImage* embedded = findEmbeddedImage(id);
    if (!embedded)
        return nullptr;
    return decodePng(embedded->data, embedded->size);
}

std::unique_ptr<Image> loadImageForScale(long id, double scale)
{
    // Above 1 the smallest set at least as fine as the zoom is drawn (filtered down to it), so
    // that nothing is enlarged: 2x up to 200 %, 3x above; the next finer or coarser one where
    // the binary lacks it.
    if (!(scale > 1.0))
        return nullptr;
    const int preferred = scale > 2.0 ? 3 : 2;
    for (int times : {preferred, 5 - preferred})
        if (const EmbeddedImage* embedded = findEmbeddedImage(id + times * kSizeIdStep))
            return decodePngAt(embedded->data, embedded->size, times);
    return nullptr;
}

std::unique_ptr<Surface> createImageSurface(Image& image)
{
    auto* picture = dynamic_cast<cairo::CairoImage*>(&image);
    if (!picture)
        return nullptr;
    return std::make_unique<cairo::CairoSurface>(picture->surface(), nullptr);
}

std::unique_ptr<Image> snapshotSurface(Surface& surface)
{
    auto* source = dynamic_cast<cairo::CairoSurface*>(&surface);
    if (!source)
        return nullptr;
    cairo_surface_t* target = source->target();
    cairo_surface_flush(target);
    cairo_surface_t* copy = cairo_surface_create_similar_image(target, cairo_image_surface_get_format(target),
                                                               cairo_image_surface_get_width(target),
                                                               cairo_image_surface_get_height(target));
    if (!usable(copy))
    {
        cairo_surface_destroy(copy);
        return nullptr;
    }
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, target, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return std::make_unique<cairo::CairoImage>(
        copy, cairo_image_surface_get_format(copy) == CAIRO_FORMAT_ARGB32, source->scale());
}

} // namespace kalvo::platform
