#include "Preview.h"

#include "editor/PanelLayout.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace panel
{
namespace
{

const Canvas& image(const std::vector<NumberedImage>& images, int number)
{
    return *images.at(static_cast<size_t>(number - 128)).canvas;
}

// Copies a part of an image; with `keyed`, pure white pixels are left out as
// the toolkit does for transparent drawing.
void blit(Canvas& dst, const Canvas& src, int x, int y, int srcX, int srcY, int w, int h, bool keyed)
{
    cairo_surface_flush(dst.surface());
    const unsigned char* s = cairo_image_surface_get_data(src.surface());
    unsigned char* d = cairo_image_surface_get_data(dst.surface());
    int ss = cairo_image_surface_get_stride(src.surface());
    int ds = cairo_image_surface_get_stride(dst.surface());
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
        {
            uint32_t p = reinterpret_cast<const uint32_t*>(s + (srcY + j) * ss)[srcX + i];
            if (keyed && (p & 0xffffffu) == 0xffffffu)
                continue;
            reinterpret_cast<uint32_t*>(d + (y + j) * ds)[x + i] = p;
        }
    cairo_surface_mark_dirty(dst.surface());
}

void displayText(Canvas& c, const PixelRect& r, const std::string& text)
{
    drawText(c.cr(), Font{11.0}, text, (r.left + r.right) / 2.0, r.top + 11, Align::Centre, hex(0xffff00));
}

void curve(cairo_t* cr, double pattern, double axisDeg, double levelFactor, Rgb colour)
{
    const double pi = 3.14159265358979323846;
    // Around the grid's centre pixel, 126 pixels in from the plot's top left corner.
    const PixelRect plot = placeOf(ControlKind::Plot, 13);
    setColour(cr, colour);
    cairo_set_line_width(cr, 1);
    for (int i = 0; i <= 120; ++i)
    {
        double t = i * 2 * pi / 120;
        double r = std::fabs(pattern + (1 - pattern) * std::cos(t - axisDeg * pi / 180));
        double rho = r < 0.1 ? 0 : std::log10(r) + 1;
        rho *= levelFactor;
        double x = plot.left + 126 + 126 * rho * std::sin(t) + 0.5;
        double y = plot.top + 126 - 126 * rho * std::cos(t) + 0.5;
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
}

} // namespace

bool writePreview(const std::vector<NumberedImage>& images, const std::string& path, bool withAbout)
{
    Canvas c(kPanelWidth, kPanelHeight);
    blit(c, image(images, 128), 0, 0, 0, 0, kPanelWidth, kPanelHeight, false);

    // Sliders at the factory defaults: patterns 0.36, angles 0.8 and 0.6
    // (the surround slider runs right to left), no delay, filter off, 0 dB.
    const float sliderValues[] = {0.36f, 0.36f, 0.36f, 0.8f, 1.0f - 0.6f, 0.0f, 1.0f, 1.0f, 1.0f, 0.5f};
    int slider = 0;
    const char* displays[] = {"0.36", "0.36", "0.36",  "72\xc2\xb0", "144\xc2\xb0",
                              "0.0",  "off",  "0.0dB", "0.0dB",      "-6.0dB"};
    int display = 0;
    int mute = 0;
    const int ledsLit[] = {11, 9, 7, 12, 12, 10, 8, 8};
    int meter = 0;
    for (const ControlPlace& place : kControls)
    {
        const PixelRect& r = place.rect;
        switch (place.kind)
        {
        case ControlKind::Slider:
        {
            blit(c, image(images, 129), r.left, r.top, 0, 0, 111, 16, false);
            int left = r.left + 1 + static_cast<int>(sliderValues[slider++] * 91);
            blit(c, image(images, 130), left, r.top, 0, 0, 19, 14, true);
            break;
        }
        case ControlKind::Display:
            blit(c, image(images, 134), r.left, r.top, 0, 0, 35, 14, false);
            displayText(c, r, displays[display++]);
            break;
        case ControlKind::MuteButton:
            blit(c, image(images, 131), r.left, r.top, 0, mute++ == 2 ? 16 : 0, 31, 16, false);
            break;
        case ControlKind::Meter:
        {
            int split = meterLedStart(ledsLit[meter++], 61);
            blit(c, image(images, 132), r.left, r.top, 0, 0, split, 13, false);
            blit(c, image(images, 133), r.left + split, r.top, split, 0, 61 - split, 13, false);
            break;
        }
        case ControlKind::Menu:
            blit(c, image(images, withAbout ? 136 : 135), r.left, r.top, 0, 0, 165, 25, false);
            drawText(c.cr(), Font{15.0}, "5 Channel", (r.left + r.right) / 2.0, r.top + 17.5, Align::Centre,
                     hex(0xffff00));
            break;
        case ControlKind::Plot:
            blit(c, image(images, 137), r.left, r.top, 0, 0, 253, 253, false);
            curve(c.cr(), 0.36, 144, 1.0, hex(0x00ff00));
            curve(c.cr(), 0.36, -144, 1.0, hex(0x0000ff));
            curve(c.cr(), 0.36, 72, 1.0, hex(0xff0000));
            curve(c.cr(), 0.36, -72, 1.0, hex(0xffff00));
            curve(c.cr(), 0.36, 0, (20 * std::log10(0.5) + 20) * 0.05, hex(0xf7941d));
            break;
        case ControlKind::AboutArea:
        case ControlKind::Switch: // the headphone panel's, which the preview leaves out
        case ControlKind::Status:
            break;
        }
    }
    if (withAbout)
        blit(c, image(images, 138), kAboutShown.left, kAboutShown.top, 0, 0, 455, 434, false);
    return c.writePng(path);
}

} // namespace panel
