#pragma once

// Small drawing helpers on top of cairo for the panel image generator. All
// images are opaque 24-bit surfaces; text uses Liberation Sans by name with
// hinting off so that the output is the same on every machine that has the
// same cairo and fonts.

#include <cairo.h>

#include <string>

namespace panel
{

/// An sRGB colour with components 0..1.
struct Rgb
{
    double r, g, b;
};

/// 0xRRGGBB to Rgb.
constexpr Rgb hex(unsigned v)
{
    return Rgb{((v >> 16) & 0xff) / 255.0, ((v >> 8) & 0xff) / 255.0, (v & 0xff) / 255.0};
}

/// Linear mix: t = 0 gives a, t = 1 gives b.
Rgb mix(Rgb a, Rgb b, double t);

/// An opaque image surface with its cairo context; owns both. With a scale above 1 the surface
/// has that many pixels per panel pixel and the context draws in panel pixels, so the same
/// drawing code makes the image for a zoomed panel.
class Canvas
{
public:
    Canvas(int width, int height, int scale = 1);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }
    /// Size in panel pixels; the surface is scale() times as large.
    int width() const { return width_; }
    int height() const { return height_; }
    int scale() const { return scale_; }

    /// Writes the image as a PNG; false when cairo could not write it.
    bool writePng(const std::string& path);

private:
    int width_, height_, scale_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

enum class Align
{
    Left,
    Centre,
    Right
};

enum class Weight
{
    Regular,
    Bold
};

/// Text style: Liberation Sans at a pixel size, extra spacing between letters.
struct Font
{
    double sizePx;
    Weight weight = Weight::Regular;
    double letterSpacing = 0.0;
};

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0);

/// Advance width of a text in pixels.
double textWidth(cairo_t* cr, const Font& font, const std::string& text);

/// Draws a text with its baseline at y; x is the left edge, centre or right edge.
/// Answers the text's ink box (left, top, right, bottom) in pixels.
struct Box
{
    double left, top, right, bottom;
};
Box drawText(cairo_t* cr, const Font& font, const std::string& text, double x, double baseline, Align align,
             Rgb colour);

/// Path of a rectangle with rounded corners.
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);

/// Fills the whole canvas with one colour.
void fillAll(Canvas& canvas, Rgb c);

/// Fills a pixel rectangle exactly (no anti-aliasing at its edges); on a scaled canvas it covers
/// the same panel pixels, so a 1-pixel rule becomes scale() device pixels wide.
void fillPixels(cairo_t* cr, int left, int top, int right, int bottom, Rgb c);

/// A vertical linear gradient between two colours over y0..y1.
cairo_pattern_t* verticalGradient(double y0, double y1, Rgb top, Rgb bottom);

} // namespace panel
