#pragma once

// The thirteen panel images, numbered as the editor loads them. Each function
// draws one image at its exact size, in panel pixels; `scale` 2 draws the same
// image with twice as many pixels each way for a zoomed panel.

#include "Paint.h"

#include <memory>
#include <string>
#include <vector>

namespace panel
{

/// One image and its number (128 .. 140).
struct NumberedImage
{
    int number;
    std::unique_ptr<Canvas> canvas;
};

/// A caption printed on the panel, kept so that overlaps can be checked.
struct CaptionBox
{
    std::string text;
    Box box;
};

/// The panel's background; with `headphones` the headphone build's, with its head-tracking
/// strip (139).
std::unique_ptr<Canvas> drawPanelBackground(std::vector<CaptionBox>* captions, int scale = 1,
                                            bool headphones = false); // 128, 139
std::unique_ptr<Canvas> drawSliderTrack(int scale = 1);               // 129
std::unique_ptr<Canvas> drawSliderHandle(int scale = 1);              // 130
/// A mute button's two states; with `greenLamp` the head tracker's switch (140).
std::unique_ptr<Canvas> drawMuteButton(int scale = 1, bool greenLamp = false); // 131, 140
std::unique_ptr<Canvas> drawMeter(bool lit, int scale = 1);                    // 132, 133
std::unique_ptr<Canvas> drawDisplayBackground(int scale = 1);                  // 134
std::unique_ptr<Canvas> drawMenuFace(bool open, int scale = 1);                // 135, 136
std::unique_ptr<Canvas> drawPolarGrid(int scale = 1);                          // 137
std::unique_ptr<Canvas> drawAbout(int scale = 1);                              // 138

/// All thirteen in number order at `scale`; captions of the panel (in panel pixels) go to
/// `captions`.
std::vector<NumberedImage> drawAllImages(std::vector<CaptionBox>* captions, int scale = 1);

/// Number of LEDs of a meter and the pixel where LED `k` starts (k = 0..14),
/// computed the way the meter computes its split point.
constexpr int kMeterLeds = 14;
int meterLedStart(int k, int width);

} // namespace panel
