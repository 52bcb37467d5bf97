// A small scene exercising every kind of drawing, built the same way for the headless render
// and for the X11 window so that their pixels can be compared.
#pragma once

class CFrame;

constexpr long kSceneWidth = 160;
constexpr long kSceneHeight = 120;

/// A frame of kSceneWidth x kSceneHeight in `systemWindow` holding the scene's views.
CFrame* buildTestScene(void* systemWindow);
