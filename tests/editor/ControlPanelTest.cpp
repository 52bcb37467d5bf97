// A test panel holding every control on the panel's own images, rendered headless to
// control_panel.png (and control_panel_about.png with the about image shown) for a look.
#include "editor/CPlotDisplay.h"
#include "editor/CVuMeter.h"

#include "EditorControlSupport.h"
#include "gui/controls/COnOffButton.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"
#include "gui/controls/CSlider.h"
#include "gui/controls/CSplashScreen.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace
{
/// The panel's image `id`, read from the source tree's image folder.
CBitmap* panelImage(long id)
{
    std::string path = __FILE__;
    path = path.substr(0, path.rfind('/')) + "/../../editor/images/";
    char name[32];
    std::snprintf(name, sizeof(name), "bmp%05ld.png", id);
    auto* bitmap = new CBitmap();
    bitmap->loadFromPath((path + name).c_str());
    return bitmap;
}

void decibels(float value, char* text)
{
    std::snprintf(text, 256, "%.1fdB", static_cast<double>(20.f * std::log10(value + 0.0002f)));
}

class ControlPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new CFrame(CRect(0, 0, 640, 330), host.handle(), nullptr);
        frame->setBackgroundColor(MakeCColor(48, 52, 60));
        window = host.child();
        ASSERT_NE(window, nullptr);
        for (long id = 129; id <= 138; id++)
        {
            images[id - 129] = panelImage(id);
            ASSERT_TRUE(images[id - 129]->isLoaded()) << id;
        }
        build();
        window->pumpEvents();
        frame->idle();
    }
    void TearDown() override
    {
        frame->forget();
        for (CBitmap* image : images)
            image->forget();
    }
    CBitmap* image(long id) { return images[id - 129]; }

    void build()
    {
        // Three sliders with their displays: value 0, the default pattern 0.36, and a level of
        // 0.5 on the right-to-left style.
        const float values[3] = {0.f, 0.36f, 0.5f};
        for (long i = 0; i < 3; i++)
        {
            const long top = 20 + 24 * i;
            auto* slider = new CHorizontalSlider(CRect(20, top, 131, top + 16), nullptr, i, 20, 111,
                                                 image(130), image(129), CPoint(0, 0),
                                                 i == 2 ? kSliderDragInvert : kSliderDrawPlain);
            slider->setOffsetHandle(CPoint(1, 0));
            slider->setValue(values[i]);
            frame->addView(slider);
            auto* display = new CParamDisplay(CRect(140, top - 3, 175, top + 11), image(134), 1);
            display->setFont(kNormalFontSmall);
            display->setFontColor(kYellowCColor);
            display->setBackColor(kGreyCColor);
            display->setFrameColor(kGreyCColor);
            display->setValue(values[i]);
            if (i == 2)
                display->setStringConvert(decibels);
            frame->addView(display);
            sliders[i] = slider;
        }
        // Mute buttons off, on, off.
        for (long i = 0; i < 3; i++)
        {
            auto* button =
                new COnOffButton(CRect(200, 20 + 20 * i, 231, 36 + 20 * i), nullptr, 10 + i, image(131));
            button->setValue(i == 1 ? 1.f : 0.f);
            frame->addView(button);
        }
        // A plain display, a bevelled one and one with shadowed text, without images.
        const long styles[3] = {0, kDisplayBevelBackFirst, kDisplayShadowText};
        for (long i = 0; i < 3; i++)
        {
            auto* display = new CParamDisplay(CRect(250, 20 + 22 * i, 310, 38 + 22 * i), nullptr, styles[i]);
            display->setBackColor(MakeCColor(20, 30, 90));
            display->setFrameColor(kWhiteCColor);
            display->setValue(0.25f * static_cast<float>(i + 1));
            frame->addView(display);
        }
        // The preset menu showing its second entry.
        menu =
            new COptionMenu(CRect(20, 100, 185, 125), nullptr, 14, image(135), image(136), kMenuMarkCurrent);
        menu->setFont(kNormalFont);
        menu->setFontColor(kYellowCColor);
        menu->setBackColor(kTransparentCColor);
        menu->setFrameColor(kTransparentCColor);
        menu->setShadowColor(kTransparentCColor);
        for (const char* t : {"< Select Preset >", "5 Channel", "4 Channel", "5 Channel musical"})
            menu->addEntry(t);
        menu->setValue(1.f);
        frame->addView(menu);
        // Meters at 0.5 (7 of 14 LEDs) and 0.9, one through its offscreen, one straight.
        for (long i = 0; i < 2; i++)
        {
            auto* meter =
                new CVuMeter(CRect(20, 140 + 20 * i, 81, 153 + 20 * i), image(132), image(133), 14, 1);
            meter->setUseOffscreen(i == 0);
            meter->setValue(i == 0 ? 0.5f : 0.9f);
            frame->addView(meter);
            meters[i] = meter;
        }
        // The polar plot: a circle (omni) and a cardioid, drawn over the polar grid.
        plot = new CPlotDisplay(frame, CRect(340, 20, 593, 273), nullptr, 13, image(137));
        plot->setLimitsX(-1.f, 1.f);
        plot->setLimitsY(-1.f, 1.f);
        plot->addPlot(121, kGreenCColor);
        plot->addPlot(121, kOrangeCColor);
        float x[121], y[121];
        for (int k = 0; k < 121; k++)
        {
            const float a = 6.2831853f * static_cast<float>(k) / 120.f;
            x[k] = 0.9f * std::sin(a);
            y[k] = 0.9f * std::cos(a);
        }
        plot->setPlotDataXY(x, y, 0);
        for (int k = 0; k < 121; k++)
        {
            const float a = 6.2831853f * static_cast<float>(k) / 120.f;
            const float r = 0.9f * (0.5f + 0.5f * std::cos(a));
            x[k] = r * std::sin(a);
            y[k] = r * std::cos(a);
        }
        plot->setPlotDataXY(x, y, 1);
        frame->addView(plot);
        // The about area in the corner, showing the about image over the panel when clicked.
        splash = new CSplashScreen(CRect(600, 10, 630, 40), nullptr, 13, image(138), CRect(90, 0, 545, 330),
                                   CPoint(0, 0));
        frame->addView(splash);
    }

    kalvo::headless::HostWindow host;
    CFrame* frame = nullptr;
    kalvo::headless::Window* window = nullptr;
    CBitmap* images[10] = {};
    CSlider* sliders[3] = {};
    CVuMeter* meters[2] = {};
    COptionMenu* menu = nullptr;
    CPlotDisplay* plot = nullptr;
    CSplashScreen* splash = nullptr;
};
} // namespace

TEST_F(ControlPanel, EveryControlDrawsOnThePanelImages)
{
    ASSERT_TRUE(window->writePng("control_panel.png"));
    // The handle image is 19 pixels wide: at value 0 it starts one pixel into the track, on the
    // right-to-left slider at 0.5 it starts at 1 + trunc(0.5 * 91) = 46.
    const CColor trackAtZero = window->pixel(20, 28);
    EXPECT_NE(window->pixel(21, 28), trackAtZero);
    // The meter through its offscreen and the one drawn straight show their levels alike: 7 of
    // 14 LEDs lit over 30 pixels for 0.5.
    EXPECT_EQ(window->pixel(30, 146), window->pixel(30, 166));
    EXPECT_NE(window->pixel(49, 146), window->pixel(50, 146));
    EXPECT_FALSE(frame->isDirty());
}

TEST_F(ControlPanel, TheAboutImageShowsOverThePanelAndCloses)
{
    window->press(CPoint(610, 20), kButtonLeft);
    frame->idle();
    ASSERT_NE(frame->getModalView(), nullptr);
    ASSERT_TRUE(window->writePng("control_panel_about.png"));
    window->press(CPoint(300, 150), kButtonLeft);
    EXPECT_EQ(frame->getModalView(), nullptr);
    frame->idle();
    EXPECT_FALSE(frame->isDirty());
}
