// The committed panel images: the sizes the editor's layout is built on, and
// the few pixel rules the controls rely on.

#include <cairo.h>
#include <gtest/gtest.h>

#ifdef KALVO_HAS_PANEL_GENERATOR
#include "tools/panel-images/PanelImages.h"
#endif

#include <cmath>
#include <cstdint>
#include <string>

namespace
{

// An image loaded from editor/images (scale 2 or 3: its larger twin); pixels as 0xRRGGBB.
class Image
{
public:
    explicit Image(int number, int scale = 1)
    {
        char name[32];
        if (scale == 1)
            std::snprintf(name, sizeof name, "/bmp%05d.png", number);
        else
            std::snprintf(name, sizeof name, "/bmp%05d@%dx.png", number, scale);
        surface_ = cairo_image_surface_create_from_png((std::string(KALVO_IMAGES_DIR) + name).c_str());
    }
    ~Image() { cairo_surface_destroy(surface_); }
    bool loaded() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_); }
    int height() const { return cairo_image_surface_get_height(surface_); }
    uint32_t at(int x, int y) const
    {
        const unsigned char* row =
            cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFFu;
    }
    int brightness(int x, int y) const
    {
        const uint32_t p = at(x, y);
        return static_cast<int>(((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255));
    }

private:
    cairo_surface_t* surface_;
};

int red(uint32_t p)
{
    return (p >> 16) & 255;
}
int green(uint32_t p)
{
    return (p >> 8) & 255;
}

} // namespace

TEST(PanelImages, EveryImageHasTheSizeTheLayoutAssumes)
{
    const struct
    {
        int number, width, height;
    } sizes[] = {{128, 841, 453}, {129, 111, 16},  {130, 19, 14},  {131, 31, 32},  {132, 61, 13},
                 {133, 61, 13},   {134, 36, 15},   {135, 165, 25}, {136, 165, 25}, {137, 253, 253},
                 {138, 455, 434}, {139, 841, 497}, {140, 31, 32}};
    for (const auto& s : sizes)
        for (int scale : {1, 2})
        {
            Image image(s.number, scale);
            ASSERT_TRUE(image.loaded()) << s.number << " at " << scale << "x";
            EXPECT_EQ(image.width(), s.width * scale) << s.number << " at " << scale << "x";
            EXPECT_EQ(image.height(), s.height * scale) << s.number << " at " << scale << "x";
        }
}

TEST(PanelImages, SliderHandleIsKeyedOnlyOutsideItsShape)
{
    // The slider draws its handle with white (the bitmaps' key colour) left out.
    Image handle(130);
    ASSERT_TRUE(handle.loaded());
    for (int x : {0, 18})
        for (int y : {0, 13})
            EXPECT_EQ(handle.at(x, y), 0xFFFFFFu) << x << "," << y;
    for (int y = 2; y < 12; ++y)
        for (int x = 2; x < 17; ++x)
            EXPECT_NE(handle.at(x, y), 0xFFFFFFu) << "a hole in the handle at " << x << "," << y;
}

TEST(PanelImages, MeterSplitsFallBetweenLedsGreenYellowRed)
{
    Image lit(132), unlit(133);
    ASSERT_TRUE(lit.loaded() && unlit.loaded());
    // The meter splits at int(n / 14 * 61) for n lit LEDs; the column before
    // every split is a gap, so no LED is ever drawn half lit.
    for (int n = 1; n <= 14; ++n)
    {
        const int split = static_cast<int>(static_cast<float>(n) / 14.0f * 61.0f);
        EXPECT_LT(lit.brightness(split - 1, 6), 60) << "split " << n;
        EXPECT_LT(unlit.brightness(split - 1, 6), 60) << "split " << n;
        const int ledMiddle = split - 3;
        EXPECT_GT(lit.brightness(ledMiddle, 6), unlit.brightness(ledMiddle, 6) + 150) << "LED " << n;
    }
    // First LED green, eleventh yellow, last red.
    const uint32_t first = lit.at(1, 6), eleventh = lit.at(45, 6), last = lit.at(58, 6);
    EXPECT_GT(green(first), 2 * red(first));
    EXPECT_GT(red(eleventh), 180);
    EXPECT_GT(green(eleventh), 160);
    EXPECT_GT(red(last), 2 * green(last));
}

TEST(PanelImages, PolarGridRingsAt31AndAHalfPixelsPer5Db)
{
    Image grid(137);
    ASSERT_TRUE(grid.loaded());
    // Along 15 degrees (between the spokes) each ring is brighter than the
    // face 6 pixels inside and outside it: 0 dB at 126 pixels from the centre
    // pixel 126, 126, then every 31.5 pixels.
    const double angle = 15.0 * M_PI / 180.0;
    for (double radius : {126.0, 94.5, 63.0, 31.5})
    {
        auto brightnessAt = [&](double r)
        {
            return grid.brightness(static_cast<int>(126.5 + r * std::sin(angle)),
                                   static_cast<int>(126.5 - r * std::cos(angle)));
        };
        EXPECT_GT(brightnessAt(radius), brightnessAt(radius - 6) + 40) << radius;
        if (radius < 120)
        {
            EXPECT_GT(brightnessAt(radius), brightnessAt(radius + 6) + 40) << radius;
        }
    }
}

TEST(PanelImages, MuteButtonShowsTwoDifferentStatesOffAboveOn)
{
    Image button(131);
    ASSERT_TRUE(button.loaded());
    // The lamp in the middle of each half: dark while playing, lit when muted.
    EXPECT_GT(button.brightness(15, 16 + 8), button.brightness(15, 8) + 200);
}

#ifdef KALVO_HAS_PANEL_GENERATOR
// fontconfig keeps its configuration and font caches for the life of the process; in the
// sanitizer build they are not leaks of the generator's text drawing.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

TEST(PanelImages, CommittedImagesAreWhatTheGeneratorDrawsForThisVersion)
{
    // The about screen shows the build's version, so a new version number needs the images
    // made again (target kalvo_panel_images_update) and committed.
    for (int scale : {1, 2, 3})
        for (const panel::NumberedImage& drawn : panel::drawAllImages(nullptr, scale))
        {
            Image committed(drawn.number, scale);
            ASSERT_TRUE(committed.loaded()) << drawn.number << " at " << scale << "x";
            cairo_surface_t* fresh = drawn.canvas->surface();
            ASSERT_EQ(committed.width(), cairo_image_surface_get_width(fresh)) << drawn.number;
            ASSERT_EQ(committed.height(), cairo_image_surface_get_height(fresh)) << drawn.number;
            cairo_surface_flush(fresh);
            long differing = 0;
            for (int y = 0; y < committed.height(); ++y)
            {
                const auto* row = reinterpret_cast<const uint32_t*>(
                    cairo_image_surface_get_data(fresh) + y * cairo_image_surface_get_stride(fresh));
                for (int x = 0; x < committed.width(); ++x)
                    differing += (row[x] & 0xFFFFFFu) != committed.at(x, y);
            }
            EXPECT_EQ(differing, 0) << "editor/images/bmp00" << drawn.number
                                    << (scale == 1 ? "" : "@" + std::to_string(scale) + "x")
                                    << ".png is out of date";
        }
}
#endif
