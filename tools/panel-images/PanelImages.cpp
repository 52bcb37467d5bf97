#include "PanelImages.h"

#include "KalvoVersion.h"
#include "editor/PanelLayout.h"

#include <cmath>

namespace panel
{
namespace
{

const double kPi = 3.14159265358979323846;

// The palette: a dark graphite panel, light grey captions, amber headings.
const Rgb kPanel = hex(0x1b1e23);
const Rgb kPanelEdge = hex(0x0c0e10);
const Rgb kPanelLight = hex(0x2a2e35);
const Rgb kRule = hex(0x30353d);
const Rgb kHeading = hex(0xd2a24c);
const Rgb kCaption = hex(0xc3c8cf);
const Rgb kDim = hex(0x7f8690);
const Rgb kWell = hex(0x0d0f12);
const Rgb kWellLight = hex(0x363c45);
const Rgb kKeyColour = hex(0xffffff); // the bitmaps' transparent colour

const Font kHeadingFont{10.0, Weight::Bold, 1.2};
const Font kCaptionFont{11.0};
const Font kSmallFont{9.0};

// The plot curve colours, for the legend (as the editor draws them).
const Rgb kCurveLeft = hex(0xffff00);
const Rgb kCurveRight = hex(0xff0000);
const Rgb kCurveCentre = hex(0xf7941d);
const Rgb kCurveLeftSurround = hex(0x0000ff);
const Rgb kCurveRightSurround = hex(0x00ff00);

std::unique_ptr<Canvas> makeCanvas(int w, int h, int scale)
{
    return std::make_unique<Canvas>(w, h, scale);
}

// Heading in capitals with a hairline rule running from its end to `ruleEnd`.
void heading(cairo_t* cr, std::vector<CaptionBox>* out, const std::string& text, double x, double baseline,
             double ruleEnd)
{
    Box b = drawText(cr, kHeadingFont, text, x, baseline, Align::Left, kHeading);
    if (out)
        out->push_back({text, b});
    if (ruleEnd > b.right + 8)
        fillPixels(cr, static_cast<int>(std::ceil(b.right + 6)), static_cast<int>(baseline) - 4,
                   static_cast<int>(ruleEnd), static_cast<int>(baseline) - 3, kRule);
}

void caption(cairo_t* cr, std::vector<CaptionBox>* out, const Font& font, const std::string& text, double x,
             double baseline, Align align, Rgb colour)
{
    Box b = drawText(cr, font, text, x, baseline, align, colour);
    if (out)
        out->push_back({text, b});
}

// Baseline that centres capitals of the caption font on a control row.
double rowBaseline(int top, int height)
{
    return top + height / 2.0 + 4.0;
}

void drawLogo(cairo_t* cr)
{
    // The logo area the editor makes clickable: 606, 22 .. 830, 96.
    const Font logo{38.0, Weight::Bold, 0.5};
    Box b = drawText(cr, logo, "Kalvo", 826, 66, Align::Right, hex(0xe9ebee));
    // An amber bar under the name, as long as the name.
    fillPixels(cr, static_cast<int>(std::floor(b.left + 1)), 73, static_cast<int>(std::ceil(b.right)), 75,
               kHeading);
    drawText(cr, Font{9.0, Weight::Bold, 1.6}, "SURROUND M/S DECODER", 826, 88, Align::Right, kDim);
}

// Which curve of the polar plot is which output: a short line in the
// curve's colour, then the speaker's name.
void drawLegend(cairo_t* cr, std::vector<CaptionBox>* out, double top)
{
    struct Entry
    {
        const char* name;
        Rgb colour;
    };
    const Entry entries[] = {{"Front Left", kCurveLeft},
                             {"Rear Left", kCurveLeftSurround},
                             {"Front Right", kCurveRight},
                             {"Rear Right", kCurveRightSurround},
                             {"Center", kCurveCentre}};
    for (int i = 0; i < 5; ++i)
    {
        double x = i % 2 == 0 ? 20 : 150;
        double baseline = top + 16 * (i / 2);
        cairo_save(cr);
        setColour(cr, entries[i].colour);
        cairo_set_line_width(cr, 2.0);
        cairo_move_to(cr, x, baseline - 4);
        cairo_line_to(cr, x + 16, baseline - 4);
        cairo_stroke(cr);
        cairo_restore(cr);
        caption(cr, out, kCaptionFont, entries[i].name, x + 24, baseline, Align::Left, kCaption);
    }
}

// The headphone build's strip under the panel: the head tracker's switch, port and status,
// then the head's angles, captioned as the panel's rows are.
void drawHeadStrip(cairo_t* cr, std::vector<CaptionBox>* captions)
{
    const PixelRect trackerSwitch = placeOf(ControlKind::Switch, 33);
    const PixelRect port = placeOf(ControlKind::Display, 34);
    const double row = rowBaseline(port.top, 14);
    heading(cr, captions, "HEAD TRACKING", 14, 466, kPanelWidth - 15);
    caption(cr, captions, kCaptionFont, "Tracker", trackerSwitch.left - 7, row, Align::Right, kCaption);
    caption(cr, captions, kCaptionFont, "Port", port.left - 7, row, Align::Right, kCaption);
    const char* angles[] = {"Yaw", "Pitch", "Roll"};
    for (int a = 0; a < 3; ++a)
    {
        const PixelRect display = placeOf(ControlKind::Display, 30 + a);
        caption(cr, captions, kCaptionFont, angles[a], display.left - 7, row, Align::Right, kCaption);
    }
    caption(cr, captions, kSmallFont, "Positive yaw turns the head left",
            placeOf(ControlKind::Display, 32).right + 14, row, Align::Left, kDim);
}

} // namespace

int meterLedStart(int k, int width)
{
    // Same single-precision arithmetic as the meter's split point, so that
    // every split falls on the gap before an LED.
    return static_cast<int>(static_cast<float>(k) / static_cast<float>(kMeterLeds) *
                            static_cast<float>(width));
}

std::unique_ptr<Canvas> drawPanelBackground(std::vector<CaptionBox>* captions, int scale, bool headphones)
{
    const int height = headphones ? kHeadphonePanelHeight : kPanelHeight;
    auto c = makeCanvas(kPanelWidth, height, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, kPanel);
    // A dark outer edge with a faint inner highlight frames the panel.
    fillPixels(cr, 0, 0, kPanelWidth, 1, kPanelEdge);
    fillPixels(cr, 0, height - 1, kPanelWidth, height, kPanelEdge);
    fillPixels(cr, 0, 0, 1, height, kPanelEdge);
    fillPixels(cr, kPanelWidth - 1, 0, kPanelWidth, height, kPanelEdge);
    fillPixels(cr, 1, 1, kPanelWidth - 1, 2, kPanelLight);

    // Captions stand 7 pixels left of the control they name, units 5 pixels right of a display.
    const auto sliderTop = [](int parameter) { return placeOf(ControlKind::Slider, parameter).top; };
    const auto meterTop = [](int parameter) { return placeOf(ControlKind::Meter, parameter).top; };
    const double leftCaptions = placeOf(ControlKind::Slider, 0).left - 7;
    const double volumeCaptions = placeOf(ControlKind::Slider, 9).left - 7;
    const double meterCaptions = placeOf(ControlKind::Meter, 20).left - 7;
    const int leftDisplaysEnd = placeOf(ControlKind::Display, 0).right;

    // Left column: patterns, angles, surround delay and low-pass.
    heading(cr, captions, "POLAR PATTERN", 14, 64, leftDisplaysEnd + 5);
    const char* pairs[] = {"Center", "L, R", "LS, RS"};
    const int patternRows[] = {sliderTop(0), sliderTop(1), sliderTop(2)};
    for (int i = 0; i < 3; ++i)
        caption(cr, captions, kCaptionFont, pairs[i], leftCaptions, rowBaseline(patternRows[i], 14),
                Align::Right, kCaption);

    heading(cr, captions, "MICROPHONE ANGLE", 14, 164, 284);
    caption(cr, captions, kCaptionFont, "L, R", leftCaptions, rowBaseline(sliderTop(3), 14), Align::Right,
            kCaption);
    caption(cr, captions, kCaptionFont, "LS, RS", leftCaptions, rowBaseline(sliderTop(4), 14), Align::Right,
            kCaption);

    const PixelRect delayDisplay = placeOf(ControlKind::Display, 5);
    heading(cr, captions, "REAR DELAY", 14, 247, 284);
    caption(cr, captions, kCaptionFont, "LS, RS", leftCaptions, rowBaseline(sliderTop(5), 14), Align::Right,
            kCaption);
    caption(cr, captions, kCaptionFont, "ms", delayDisplay.right + 5, rowBaseline(delayDisplay.top, 14),
            Align::Left, kDim);

    const PixelRect lowPassDisplay = placeOf(ControlKind::Display, 6);
    heading(cr, captions, "REAR LOW-PASS", 14, 306, 284);
    caption(cr, captions, kCaptionFont, "LS, RS", leftCaptions, rowBaseline(sliderTop(6), 14), Align::Right,
            kCaption);
    caption(cr, captions, kCaptionFont, "kHz", lowPassDisplay.right + 5, rowBaseline(lowPassDisplay.top, 14),
            Align::Left, kDim);

    // Middle: output levels with their mutes, above the polar plot.
    heading(cr, captions, "VOLUME", 266, 64, placeOf(ControlKind::Display, 9).right);
    const PixelRect firstMute = placeOf(ControlKind::MuteButton, 10);
    Box mute = drawText(cr, kHeadingFont, "MUTE", (firstMute.left + firstMute.right) / 2.0, 64, Align::Centre,
                        kHeading);
    if (captions)
        captions->push_back({"MUTE", mute});
    const int volumeRows[] = {sliderTop(9), sliderTop(7), sliderTop(8)};
    for (int i = 0; i < 3; ++i)
        caption(cr, captions, kCaptionFont, pairs[i], volumeCaptions, rowBaseline(volumeRows[i], 14),
                Align::Right, kCaption);

    // Axis marks around the polar plot, whose grid is 253 pixels square with its centre pixel
    // 126 pixels in from the top left corner.
    const PixelRect plot = placeOf(ControlKind::Plot, 13);
    const double centreX = plot.left + 126 + 0.5, centreY = plot.top + 126 + 0.5;
    caption(cr, captions, kSmallFont, "0", centreX, plot.top - 2, Align::Centre, kDim);
    caption(cr, captions, kSmallFont, "90", plot.right + 4, centreY + 3, Align::Left, kDim);
    caption(cr, captions, kSmallFont, "180", centreX, plot.bottom + 11, Align::Centre, kDim);
    caption(cr, captions, kSmallFont, "270", plot.left - 4, centreY + 3, Align::Right, kDim);

    // Bottom left: which curve is which, and the rings' scale.
    heading(cr, captions, "POLAR PLOT", 14, 366, 284);
    drawLegend(cr, captions, 387);
    caption(cr, captions, kSmallFont, "Rings at 0, -5, -10 and -15 dB", 20, 436, Align::Left, kDim);

    // Right column: logo, presets, meters.
    drawLogo(cr);
    const PixelRect menu = placeOf(ControlKind::Menu, 14);
    heading(cr, captions, "PRESET", menu.left, 125, menu.right);

    const PixelRect lastMeter = placeOf(ControlKind::Meter, 27);
    heading(cr, captions, "INPUT", menu.left, 212, lastMeter.right);
    const char* inputs[] = {"Cardioid Front", "Figure of Eight", "Cardioid Rear"};
    const int inputRows[] = {meterTop(20), meterTop(22), meterTop(21)};
    for (int i = 0; i < 3; ++i)
        caption(cr, captions, kCaptionFont, inputs[i], meterCaptions, rowBaseline(inputRows[i], 12),
                Align::Right, kCaption);

    heading(cr, captions, "OUTPUT", menu.left, 302, lastMeter.right);
    const char* outputs[] = {"Front Left", "Front Right", "Center", "Rear Left", "Rear Right"};
    const int outputRows[] = {meterTop(24), meterTop(25), meterTop(23), meterTop(26), meterTop(27)};
    for (int i = 0; i < 5; ++i)
        caption(cr, captions, kCaptionFont, outputs[i], meterCaptions, rowBaseline(outputRows[i], 12),
                Align::Right, kCaption);
    // Meter scale under the last meter: 40 dB from the left end to 0 dB at the right.
    const double scaleBaseline = lastMeter.bottom + 12;
    caption(cr, captions, kSmallFont, "-40", lastMeter.left, scaleBaseline, Align::Left, kDim);
    caption(cr, captions, kSmallFont, "-20", (lastMeter.left + lastMeter.right) / 2.0, scaleBaseline,
            Align::Centre, kDim);
    caption(cr, captions, kSmallFont, "0 dB", lastMeter.right, scaleBaseline, Align::Right, kDim);
    if (headphones)
        drawHeadStrip(cr, captions);
    return c;
}

std::unique_ptr<Canvas> drawSliderTrack(int scale)
{
    auto c = makeCanvas(111, 16, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, kPanel);
    // The handle covers rows 0..13 and moves its centre from x 10.5 to 101.5;
    // the groove runs under its middle, ticks below mark quarters.
    cairo_save(cr);
    roundedRect(cr, 6, 5, 99, 4, 2);
    setColour(cr, kWell);
    cairo_fill_preserve(cr);
    setColour(cr, kWellLight);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_restore(cr);
    fillPixels(cr, 8, 6, 103, 7, hex(0x050607)); // inner shadow along the top
    for (int q = 0; q <= 4; ++q)
    {
        int x = 10 + static_cast<int>(std::lround(q * 91 / 4.0));
        fillPixels(cr, x, 14, x + 1, 16, q == 2 ? hex(0x5a616b) : hex(0x444a53));
    }
    return c;
}

std::unique_ptr<Canvas> drawSliderHandle(int scale)
{
    const int w = 19, h = 14;
    // Draw on a separate surface with alpha, then flatten onto the panel
    // colour and give every untouched pixel the transparent key colour.
    cairo_surface_t* shape = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * scale, h * scale);
    cairo_t* sc = cairo_create(shape);
    if (scale != 1)
        cairo_scale(sc, scale, scale);
    roundedRect(sc, 0.5, 0.5, w - 1, h - 1, 3);
    cairo_pattern_t* g = verticalGradient(0, h, hex(0xe2e5e9), hex(0x9aa1ab));
    cairo_set_source(sc, g);
    cairo_fill_preserve(sc);
    cairo_pattern_destroy(g);
    setColour(sc, hex(0x3b4047));
    cairo_set_line_width(sc, 1);
    cairo_stroke(sc);
    // Grip: a dark centre line with a light line beside it.
    fillPixels(sc, 9, 3, 10, 11, hex(0x30343a));
    fillPixels(sc, 10, 3, 11, 11, hex(0xf0f2f4));
    cairo_destroy(sc);
    cairo_surface_flush(shape);

    auto c = makeCanvas(w, h, scale);
    fillAll(*c, kPanel);
    cairo_save(c->cr());
    cairo_identity_matrix(c->cr());
    cairo_set_source_surface(c->cr(), shape, 0, 0);
    cairo_paint(c->cr());
    cairo_restore(c->cr());
    cairo_surface_flush(c->surface());
    const unsigned char* src = cairo_image_surface_get_data(shape);
    unsigned char* dst = cairo_image_surface_get_data(c->surface());
    int srcStride = cairo_image_surface_get_stride(shape);
    int dstStride = cairo_image_surface_get_stride(c->surface());
    for (int y = 0; y < h * scale; ++y)
        for (int x = 0; x < w * scale; ++x)
        {
            uint32_t s = reinterpret_cast<const uint32_t*>(src + y * srcStride)[x];
            if ((s >> 24) == 0)
                reinterpret_cast<uint32_t*>(dst + y * dstStride)[x] = 0x00ffffffu;
        }
    cairo_surface_mark_dirty(c->surface());
    cairo_surface_destroy(shape);
    (void)kKeyColour;
    return c;
}

std::unique_ptr<Canvas> drawMuteButton(int scale, bool greenLamp)
{
    auto c = makeCanvas(31, 32, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, kPanel);
    for (int state = 0; state < 2; ++state)
    {
        const double top = state * 16;
        const bool on = state == 1;
        cairo_save(cr);
        roundedRect(cr, 1.5, top + 1.5, 28, 13, 3);
        cairo_pattern_t* g = on ? verticalGradient(top, top + 16, hex(0x2a2d33), hex(0x373b42))
                                : verticalGradient(top, top + 16, hex(0x444a53), hex(0x2c3036));
        cairo_set_source(cr, g);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(g);
        setColour(cr, kPanelEdge);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_restore(cr);
        if (!on)
            fillPixels(cr, 3, static_cast<int>(top) + 2, 28, static_cast<int>(top) + 3, hex(0x58606a));
        // The lamp: dark red when playing, bright red when muted; the tracker's switch has a
        // green one, lit while it listens.
        const Rgb lampOn = greenLamp ? hex(0x3fd25a) : hex(0xff5040);
        const Rgb lampOff = greenLamp ? hex(0x163f20) : hex(0x4a1d1a);
        const Rgb lampGlint = greenLamp ? hex(0xb0f5bf) : hex(0xffb0a0);
        const double glowRed = greenLamp ? 0.25 : 1.0, glowGreen = greenLamp ? 0.82 : 0.25,
                     glowBlue = greenLamp ? 0.35 : 0.18;
        cairo_save(cr);
        if (on)
        {
            cairo_pattern_t* glow = cairo_pattern_create_radial(15.5, top + 8, 1, 15.5, top + 8, 12);
            cairo_pattern_add_color_stop_rgba(glow, 0, glowRed, glowGreen, glowBlue, 0.55);
            cairo_pattern_add_color_stop_rgba(glow, 1, glowRed, glowGreen, glowBlue, 0.0);
            cairo_set_source(cr, glow);
            roundedRect(cr, 2, top + 2, 27, 12, 3);
            cairo_fill(cr);
            cairo_pattern_destroy(glow);
        }
        roundedRect(cr, 9, top + 6, 13, 4, 1.5);
        setColour(cr, on ? lampOn : lampOff);
        cairo_fill(cr);
        if (on)
            fillPixels(cr, 11, static_cast<int>(top) + 6, 20, static_cast<int>(top) + 7, lampGlint);
        cairo_restore(cr);
    }
    return c;
}

std::unique_ptr<Canvas> drawMeter(bool lit, int scale)
{
    const int w = 61, h = 13;
    auto c = makeCanvas(w, h, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, hex(0x08090b));
    for (int k = 0; k < kMeterLeds; ++k)
    {
        // Ten green LEDs, two yellow, two red: with a 40 dB scale the yellow
        // ones start near -11 dB and the red ones near -6 dB.
        Rgb colour = k < 10 ? hex(0x3fd25a) : (k < 12 ? hex(0xf2d23a) : hex(0xf0463a));
        int left = meterLedStart(k, w);
        int right = meterLedStart(k + 1, w) - 1;
        if (lit)
        {
            fillPixels(cr, left, 2, right, 11, colour);
            fillPixels(cr, left, 2, right, 4, mix(colour, hex(0xffffff), 0.45));
            fillPixels(cr, left, 9, right, 11, mix(colour, hex(0x000000), 0.25));
        }
        else
        {
            fillPixels(cr, left, 2, right, 11, mix(hex(0x15171a), colour, 0.16));
            fillPixels(cr, left, 2, right, 3, mix(hex(0x22252a), colour, 0.16));
        }
    }
    return c;
}

std::unique_ptr<Canvas> drawDisplayBackground(int scale)
{
    // Drawn at 35 x 14 (one pixel less each way than the image), so the
    // frame sits inside that part.
    auto c = makeCanvas(36, 15, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, kPanel);
    fillPixels(cr, 0, 0, 35, 14, kWell);
    fillPixels(cr, 0, 0, 35, 1, hex(0x050607));
    fillPixels(cr, 0, 0, 1, 14, hex(0x050607));
    fillPixels(cr, 0, 13, 35, 14, kWellLight);
    fillPixels(cr, 34, 0, 35, 14, kWellLight);
    return c;
}

std::unique_ptr<Canvas> drawMenuFace(bool open, int scale)
{
    const int w = 165, h = 25;
    auto c = makeCanvas(w, h, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, kPanel);
    cairo_save(cr);
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 4);
    cairo_pattern_t* g = open ? verticalGradient(0, h, hex(0x1a1d22), hex(0x262a31))
                              : verticalGradient(0, h, hex(0x30353d), hex(0x23272d));
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    setColour(cr, open ? kHeading : hex(0x0c0e10));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_restore(cr);
    if (!open)
        fillPixels(cr, 4, 1, w - 4, 2, hex(0x454b54));
    // Arrow: down while closed, up while the list is open.
    fillPixels(cr, 145, 5, 146, 20, open ? hex(0x3a3320) : hex(0x1a1d21));
    cairo_save(cr);
    const double ax = 155.5, ay = 12.5;
    if (open)
    {
        cairo_move_to(cr, ax - 4, ay + 2);
        cairo_line_to(cr, ax + 4, ay + 2);
        cairo_line_to(cr, ax, ay - 2.5);
    }
    else
    {
        cairo_move_to(cr, ax - 4, ay - 2);
        cairo_line_to(cr, ax + 4, ay - 2);
        cairo_line_to(cr, ax, ay + 2.5);
    }
    cairo_close_path(cr);
    setColour(cr, open ? kHeading : hex(0xa7adb5));
    cairo_fill(cr);
    cairo_restore(cr);
    return c;
}

std::unique_ptr<Canvas> drawPolarGrid(int scale)
{
    const int size = 253;
    auto c = makeCanvas(size, size, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, kPanel);
    // Pixel 126, 126 is the centre; its middle is at 126.5 in cairo's space.
    const double cx = 126.5, cy = 126.5;
    const double dbRadius = 31.5; // pixels per 5 dB; 126 pixels for 0 dB
    cairo_save(cr);
    cairo_arc(cr, cx, cy, 126.5, 0, 2 * kPi);
    cairo_pattern_t* face = cairo_pattern_create_radial(cx, cy, 0, cx, cy, 127);
    cairo_pattern_add_color_stop_rgb(face, 0, 0.085, 0.097, 0.115);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.047, 0.055, 0.066);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    cairo_restore(cr);

    cairo_save(cr);
    cairo_set_line_width(cr, 1);
    // Spokes every 30 degrees, the four main axes brighter.
    for (int deg = 0; deg < 360; deg += 30)
    {
        double a = deg * kPi / 180.0;
        bool axis = deg % 90 == 0;
        setColour(cr, axis ? hex(0x3a404a) : hex(0x262b32));
        double inner = axis ? 0 : dbRadius;
        cairo_move_to(cr, cx + inner * std::sin(a), cy - inner * std::cos(a));
        cairo_line_to(cr, cx + 126 * std::sin(a), cy - 126 * std::cos(a));
        cairo_stroke(cr);
    }
    // Rings for 0, -5, -10 and -15 dB from the outside in.
    for (int ring = 0; ring < 4; ++ring)
    {
        double r = 126 - ring * dbRadius;
        setColour(cr, ring == 0 ? hex(0x6a727d) : hex(0x3f4650));
        cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    // Ring values just inside each ring, above the 90 degree axis.
    const char* marks[] = {"0 dB", "-5", "-10", "-15"};
    for (int ring = 0; ring < 4; ++ring)
    {
        double r = 126 - ring * dbRadius;
        drawText(cr, Font{8.5}, marks[ring], cx + r - 4, cy - 3, Align::Right, hex(0x8a919b));
    }
    return c;
}

std::unique_ptr<Canvas> drawAbout(int scale)
{
    const int w = 455, h = 434;
    auto c = makeCanvas(w, h, scale);
    cairo_t* cr = c->cr();
    fillAll(*c, hex(0x15171b));
    // Frame: dark edge, amber line at the top.
    fillPixels(cr, 0, 0, w, 1, hex(0x050607));
    fillPixels(cr, 0, h - 1, w, h, hex(0x050607));
    fillPixels(cr, 0, 0, 1, h, hex(0x050607));
    fillPixels(cr, w - 1, 0, w, h, hex(0x050607));
    fillPixels(cr, 1, 1, w - 1, 4, kHeading);

    Box name = drawText(cr, Font{44, Weight::Bold, 0.5}, "Kalvo", 32, 78, Align::Left, hex(0xeceef1));
    drawText(cr, Font{11, Weight::Bold, 1.8}, "SURROUND M/S DECODER", name.right + 18, 64, Align::Left,
             kHeading);
    drawText(cr, kCaptionFont, "Version " KALVO_VERSION_STRING "  \xc2\xb7  decodes to 5.1", name.right + 18,
             80, Align::Left, kDim);
    fillPixels(cr, 32, 98, w - 32, 99, kRule);

    // The microphone array: front and rear cardioids and a sideways figure of eight.
    const double ox = 112, oy = 200, lobe = 62;
    cairo_save(cr);
    cairo_set_line_width(cr, 1);
    setColour(cr, hex(0x2c3138));
    for (double r : {lobe, lobe * 0.5})
    {
        cairo_arc(cr, ox, oy, r, 0, 2 * kPi);
        cairo_stroke(cr);
    }
    cairo_move_to(cr, ox - lobe, oy);
    cairo_line_to(cr, ox + lobe, oy);
    cairo_move_to(cr, ox, oy - lobe);
    cairo_line_to(cr, ox, oy + lobe);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2);
    struct Capsule
    {
        double facing; // radians clockwise from the front
        double omni;   // 0.5 cardioid, 0 figure of eight
        Rgb colour;
    };
    const Capsule capsules[] = {
        {0, 0.5, hex(0xf7941d)}, {kPi / 2, 0.0, hex(0x4aa3ff)}, {kPi, 0.5, hex(0x3fd25a)}};
    for (const Capsule& cap : capsules)
    {
        setColour(cr, cap.colour);
        for (int i = 0; i <= 240; ++i)
        {
            double t = i * 2 * kPi / 240;
            double r = std::fabs(cap.omni + (1 - cap.omni) * std::cos(t - cap.facing)) * lobe;
            double x = ox + r * std::sin(t), y = oy - r * std::cos(t);
            if (i == 0)
                cairo_move_to(cr, x, y);
            else
                cairo_line_to(cr, x, y);
        }
        cairo_close_path(cr);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    drawText(cr, kSmallFont, "front", ox, oy - lobe - 6, Align::Centre, kDim);
    drawText(cr, kSmallFont, "rear", ox, oy + lobe + 13, Align::Centre, kDim);

    // What goes in and what comes out.
    const double tx = 210;
    drawText(cr, kHeadingFont, "INPUTS", tx, 130, Align::Left, kHeading);
    drawText(cr, kCaptionFont, "1   Front mid, cardioid", tx, 150, Align::Left, hex(0xf7941d));
    drawText(cr, kCaptionFont, "2   Side, figure of eight", tx, 166, Align::Left, hex(0x4aa3ff));
    drawText(cr, kCaptionFont, "3   Rear mid, cardioid", tx, 182, Align::Left, hex(0x3fd25a));
    drawText(cr, kHeadingFont, "OUTPUTS", tx, 214, Align::Left, kHeading);
    drawText(cr, kCaptionFont, "L   R   C   LFE   LS   RS", tx, 234, Align::Left, kCaption);
    drawText(cr, kSmallFont, "The LFE channel carries no signal.", tx, 250, Align::Left, kDim);

    fillPixels(cr, 32, 290, w - 32, 291, kRule);
    const char* lines[] = {
        "Five virtual first-order microphones are formed from the three",
        "capsules, one for each loudspeaker. Set the pattern of each pair",
        "and of the center, the angle of the front and surround pairs, the",
        "level and mute of each group, and a delay and low-pass filter for",
        "the surrounds. All processing runs in 64-bit floating point.",
    };
    double y = 314;
    for (const char* line : lines)
    {
        drawText(cr, kCaptionFont, line, 32, y, Align::Left, kCaption);
        y += 17;
    }
    drawText(cr, kSmallFont, "Ctrl-click a slider to reset it; hold Shift while dragging for fine steps.", 32,
             412, Align::Left, kDim);
    drawText(cr, kSmallFont, "Click to close", w - 32, 412, Align::Right, kHeading);
    return c;
}

std::vector<NumberedImage> drawAllImages(std::vector<CaptionBox>* captions, int scale)
{
    std::vector<NumberedImage> images;
    images.push_back({128, drawPanelBackground(captions, scale)});
    images.push_back({129, drawSliderTrack(scale)});
    images.push_back({130, drawSliderHandle(scale)});
    images.push_back({131, drawMuteButton(scale)});
    images.push_back({132, drawMeter(true, scale)});
    images.push_back({133, drawMeter(false, scale)});
    images.push_back({134, drawDisplayBackground(scale)});
    images.push_back({135, drawMenuFace(false, scale)});
    images.push_back({136, drawMenuFace(true, scale)});
    images.push_back({137, drawPolarGrid(scale)});
    images.push_back({138, drawAbout(scale)});
    images.push_back({139, drawPanelBackground(captions, scale, true)});
    images.push_back({140, drawMuteButton(scale, true)});
    return images;
}

} // namespace panel
