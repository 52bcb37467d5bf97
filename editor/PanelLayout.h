#pragma once

// Where the editor places its controls on the 841 x 453 panel (left, top,
// right, bottom; right and bottom exclusive). The captions printed on the
// panel image are placed against these rectangles and must not overlap them.

namespace panel
{

struct PixelRect
{
    int left, top, right, bottom;
};

enum class ControlKind
{
    MuteButton,
    Meter,
    Slider,
    Plot,
    Display,
    Menu,
    AboutArea
};

struct ControlPlace
{
    ControlKind kind;
    PixelRect rect;
};

// The 34 controls in the editor's order of creation.
constexpr ControlPlace kControls[] = {
    {ControlKind::MuteButton, {520, 75, 551, 91}},   {ControlKind::MuteButton, {520, 95, 551, 111}},
    {ControlKind::MuteButton, {520, 115, 551, 131}}, {ControlKind::Meter, {740, 225, 801, 238}},
    {ControlKind::Meter, {740, 245, 801, 258}},      {ControlKind::Meter, {740, 265, 801, 278}},
    {ControlKind::Meter, {740, 355, 801, 368}},      {ControlKind::Meter, {740, 315, 801, 328}},
    {ControlKind::Meter, {740, 335, 801, 348}},      {ControlKind::Meter, {740, 375, 801, 388}},
    {ControlKind::Meter, {740, 395, 801, 408}},      {ControlKind::Slider, {90, 79, 201, 95}},
    {ControlKind::Slider, {90, 99, 201, 115}},       {ControlKind::Slider, {90, 119, 201, 135}},
    {ControlKind::Slider, {90, 179, 201, 195}},      {ControlKind::Slider, {90, 199, 201, 215}},
    {ControlKind::Slider, {90, 262, 201, 278}},      {ControlKind::Slider, {90, 321, 201, 337}},
    {ControlKind::Slider, {350, 79, 461, 95}},       {ControlKind::Slider, {350, 99, 461, 115}},
    {ControlKind::Slider, {350, 119, 461, 135}},     {ControlKind::Plot, {313, 147, 566, 400}},
    {ControlKind::Display, {210, 76, 245, 90}},      {ControlKind::Display, {210, 97, 245, 111}},
    {ControlKind::Display, {210, 118, 245, 132}},    {ControlKind::Display, {210, 176, 245, 190}},
    {ControlKind::Display, {210, 197, 245, 211}},    {ControlKind::Display, {210, 259, 245, 273}},
    {ControlKind::Display, {210, 318, 245, 332}},    {ControlKind::Display, {470, 75, 505, 89}},
    {ControlKind::Display, {470, 95, 505, 109}},     {ControlKind::Display, {470, 116, 505, 130}},
    {ControlKind::Menu, {630, 134, 795, 159}},       {ControlKind::AboutArea, {606, 22, 830, 96}},
};

constexpr int kPanelWidth = 841;
constexpr int kPanelHeight = 453;

// Where the about image appears when the logo area is clicked.
constexpr PixelRect kAboutShown = {201, 14, 656, 448};

} // namespace panel
