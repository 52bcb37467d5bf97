#pragma once

// Where the controls sit on the 841 x 453 panel (left, top, right, bottom;
// right and bottom exclusive). The editor builds its controls on these
// rectangles; the image generator draws each control's image at this size and
// places the panel's captions against the rectangles, never over them.

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
    AboutArea,
    Switch, ///< an on/off button with a lamp (the head tracker's)
    Status  ///< a line of text the editor colours by what it says
};

struct ControlPlace
{
    ControlKind kind;
    /// The editor's tag: the parameter the control edits or shows (meters 20-27, the preset
    /// menu 14); the plot and the about area share 13, which edits nothing.
    int tag;
    PixelRect rect;
};

// The 34 controls in the editor's order of creation, which is also their stacking order: the
// about area last, on top of everything.
constexpr ControlPlace kControls[] = {
    // Mutes of the centre, the front pair and the rear pair.
    {ControlKind::MuteButton, 10, {520, 75, 551, 91}},
    {ControlKind::MuteButton, 11, {520, 95, 551, 111}},
    {ControlKind::MuteButton, 12, {520, 115, 551, 131}},
    // Meters: the capsules (front, side, rear), then the centre, left, right and surround outputs.
    {ControlKind::Meter, 20, {740, 225, 801, 238}},
    {ControlKind::Meter, 22, {740, 245, 801, 258}},
    {ControlKind::Meter, 21, {740, 265, 801, 278}},
    {ControlKind::Meter, 23, {740, 355, 801, 368}},
    {ControlKind::Meter, 24, {740, 315, 801, 328}},
    {ControlKind::Meter, 25, {740, 335, 801, 348}},
    {ControlKind::Meter, 26, {740, 375, 801, 388}},
    {ControlKind::Meter, 27, {740, 395, 801, 408}},
    // Sliders: the left column (patterns, angles, delay, low-pass), then the levels.
    {ControlKind::Slider, 0, {90, 79, 201, 95}},
    {ControlKind::Slider, 1, {90, 99, 201, 115}},
    {ControlKind::Slider, 2, {90, 119, 201, 135}},
    {ControlKind::Slider, 3, {90, 179, 201, 195}},
    {ControlKind::Slider, 4, {90, 199, 201, 215}},
    {ControlKind::Slider, 5, {90, 262, 201, 278}},
    {ControlKind::Slider, 6, {90, 321, 201, 337}},
    {ControlKind::Slider, 9, {350, 79, 461, 95}},
    {ControlKind::Slider, 7, {350, 99, 461, 115}},
    {ControlKind::Slider, 8, {350, 119, 461, 135}},
    {ControlKind::Plot, 13, {313, 147, 566, 400}},
    // Each slider's numeric display, to its right.
    {ControlKind::Display, 0, {210, 76, 245, 90}},
    {ControlKind::Display, 1, {210, 97, 245, 111}},
    {ControlKind::Display, 2, {210, 118, 245, 132}},
    {ControlKind::Display, 3, {210, 176, 245, 190}},
    {ControlKind::Display, 4, {210, 197, 245, 211}},
    {ControlKind::Display, 5, {210, 259, 245, 273}},
    {ControlKind::Display, 6, {210, 318, 245, 332}},
    {ControlKind::Display, 9, {470, 75, 505, 89}},
    {ControlKind::Display, 7, {470, 95, 505, 109}},
    {ControlKind::Display, 8, {470, 116, 505, 130}},
    {ControlKind::Menu, 14, {630, 134, 795, 159}},
    {ControlKind::AboutArea, 13, {606, 22, 830, 96}},
};

constexpr int kPanelWidth = 841;
constexpr int kPanelHeight = 453;

// The headphone build's panel is the same panel with a strip below it for the head tracker:
// its switch, port and status, and the head's angles, each control tagged with its number on
// the panel (kalvo::kFirstHeadParameter + HeadControl; the status kalvo::kTrackerStatusParameter).
constexpr int kHeadphonePanelHeight = kPanelHeight + 44;
constexpr ControlPlace kHeadStripControls[] = {
    {ControlKind::Switch, 33, {90, 476, 121, 492}},   {ControlKind::Display, 34, {170, 477, 205, 491}},
    {ControlKind::Status, 38, {212, 477, 300, 491}},  {ControlKind::Display, 30, {370, 477, 405, 491}},
    {ControlKind::Display, 31, {470, 477, 505, 491}}, {ControlKind::Display, 32, {570, 477, 605, 491}},
};

/// The place of the control of `kind` with `tag`; an empty rectangle when there is none.
constexpr PixelRect placeOf(ControlKind kind, int tag)
{
    for (const ControlPlace& place : kControls)
        if (place.kind == kind && place.tag == tag)
            return place.rect;
    for (const ControlPlace& place : kHeadStripControls)
        if (place.kind == kind && place.tag == tag)
            return place.rect;
    return {0, 0, 0, 0};
}

// Where the about image appears when the logo area is clicked.
constexpr PixelRect kAboutShown = {201, 14, 656, 448};

} // namespace panel
