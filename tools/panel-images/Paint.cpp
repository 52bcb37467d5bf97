#include "Paint.h"

#include <cstdio>

namespace panel
{

Rgb mix(Rgb a, Rgb b, double t)
{
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas::Canvas(int width, int height, int scale)
    : width_(width), height_(height), scale_(scale),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width * scale, height * scale)),
      cr_(cairo_create(surface_))
{
    if (scale != 1)
        cairo_scale(cr_, scale, scale);
    // Grey anti-aliasing without hinting: the same pixels on every machine.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
}

Canvas::~Canvas()
{
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

bool Canvas::writePng(const std::string& path)
{
    cairo_surface_flush(surface_);
    cairo_status_t status = cairo_surface_write_to_png(surface_, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
    {
        std::fprintf(stderr, "kalvo_panel_images: cannot write %s: %s\n", path.c_str(),
                     cairo_status_to_string(status));
        return false;
    }
    return true;
}

void setColour(cairo_t* cr, Rgb c, double alpha)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

static void selectFont(cairo_t* cr, const Font& font)
{
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           font.weight == Weight::Bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.sizePx);
}

double textWidth(cairo_t* cr, const Font& font, const std::string& text)
{
    selectFont(cr, font);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    double spacing = text.empty() ? 0.0 : font.letterSpacing * static_cast<double>(text.size() - 1);
    return ext.x_advance + spacing;
}

Box drawText(cairo_t* cr, const Font& font, const std::string& text, double x, double baseline, Align align,
             Rgb colour)
{
    double width = textWidth(cr, font, text);
    double left = x;
    if (align == Align::Centre)
        left = x - width / 2.0;
    else if (align == Align::Right)
        left = x - width;
    selectFont(cr, font);
    setColour(cr, colour);
    cairo_font_extents_t fext;
    cairo_font_extents(cr, &fext);
    if (font.letterSpacing == 0.0)
    {
        cairo_move_to(cr, left, baseline);
        cairo_show_text(cr, text.c_str());
    }
    else
    {
        // One glyph at a time, so that the spacing between letters is exact.
        double pen = left;
        for (size_t i = 0; i < text.size(); ++i)
        {
            char one[2] = {text[i], 0};
            cairo_text_extents_t ext;
            cairo_text_extents(cr, one, &ext);
            cairo_move_to(cr, pen, baseline);
            cairo_show_text(cr, one);
            pen += ext.x_advance + font.letterSpacing;
        }
    }
    return Box{left, baseline - fext.ascent, left + width, baseline + fext.descent};
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius)
{
    const double pi = 3.14159265358979323846;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -pi / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, pi / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, pi / 2, pi);
    cairo_arc(cr, x + radius, y + radius, radius, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

void fillAll(Canvas& canvas, Rgb c)
{
    fillPixels(canvas.cr(), 0, 0, canvas.width(), canvas.height(), c);
}

void fillPixels(cairo_t* cr, int left, int top, int right, int bottom, Rgb c)
{
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    setColour(cr, c);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
    cairo_restore(cr);
}

cairo_pattern_t* verticalGradient(double y0, double y1, Rgb top, Rgb bottom)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
    return p;
}

} // namespace panel
