// A headless frame and plain test images for the editor's own controls.
#pragma once

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <vector>

/// A frame of 300 x 200 in a headless host window, painted once so that idle redraws.
class EditorControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new CFrame(CRect(0, 0, 300, 200), host.handle(), nullptr);
        frame->setBackgroundColor(kBlackCColor);
        window = host.child();
        ASSERT_NE(window, nullptr);
        window->pumpEvents();
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
    }
    /// A w x h image filled in one colour.
    CBitmap* solidBitmap(long w, long h, CColor color)
    {
        auto* bitmap = new CBitmap(*frame, w, h);
        COffscreenContext painter(nullptr, bitmap, true);
        painter.setFillColor(color);
        painter.fillRect(CRect(0, 0, w, h));
        return bitmap;
    }
    CColor at(long x, long y) const { return window->pixel(x, y); }

    kalvo::headless::HostWindow host;
    CFrame* frame = nullptr;
    kalvo::headless::Window* window = nullptr;
};
