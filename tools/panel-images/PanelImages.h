#pragma once

// The eleven panel images, numbered as the editor loads them. Each function
// draws one image at its exact size.

#include "Paint.h"

#include <memory>
#include <string>
#include <vector>

namespace panel
{

/// One image and its number (128 .. 138).
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

std::unique_ptr<Canvas> drawPanelBackground(std::vector<CaptionBox>* captions); // 128
std::unique_ptr<Canvas> drawSliderTrack();                                      // 129
std::unique_ptr<Canvas> drawSliderHandle();                                     // 130
std::unique_ptr<Canvas> drawMuteButton();                                       // 131
std::unique_ptr<Canvas> drawMeter(bool lit);                                    // 132, 133
std::unique_ptr<Canvas> drawDisplayBackground();                                // 134
std::unique_ptr<Canvas> drawMenuFace(bool open);                                // 135, 136
std::unique_ptr<Canvas> drawPolarGrid();                                        // 137
std::unique_ptr<Canvas> drawAbout();                                            // 138

/// All eleven in number order; captions of the panel go to `captions`.
std::vector<NumberedImage> drawAllImages(std::vector<CaptionBox>* captions);

/// Number of LEDs of a meter and the pixel where LED `k` starts (k = 0..14),
/// computed the way the meter computes its split point.
constexpr int kMeterLeds = 14;
int meterLedStart(int k, int width);

} // namespace panel
