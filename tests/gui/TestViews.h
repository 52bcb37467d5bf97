// Views that record what reaches them, and a frame in a headless host window.
#pragma once

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "vst2/VstInterface.h"

#include <gtest/gtest.h>

/// Fills its rectangle with its colour and counts every call that reaches it.
class RecordingView : public CView
{
public:
    RecordingView(const CRect& size, CColor color, bool* destroyed = nullptr)
        : CView(size), color(color), destroyed(destroyed)
    {
    }
    ~RecordingView() override
    {
        if (destroyed)
            *destroyed = true;
    }
    void draw(CDrawContext* context) override
    {
        draws++;
        context->setFillColor(color);
        context->fillRect(size);
        setDirty(false);
    }
    void mouse(CDrawContext*, CPoint& where, long buttons) override
    {
        clicks++;
        lastWhere = where;
        lastButtons = buttons;
    }
    bool onWheel(CDrawContext*, const CPoint& where, float distance) override
    {
        wheels++;
        lastWhere = where;
        lastDistance = distance;
        return true;
    }
    long onKeyDown(VstKeyCode&) override
    {
        keys++;
        return keyAnswer;
    }
    void looseFocus(CDrawContext*) override { focusLosses++; }

    CColor color;
    bool* destroyed;
    int draws = 0;
    int clicks = 0;
    int wheels = 0;
    int keys = 0;
    int focusLosses = 0;
    long keyAnswer = -1;
    long lastButtons = 0;
    float lastDistance = 0;
    CPoint lastWhere{-1, -1};
};

/// A frame of 200 x 100 opened in a headless host window.
class HeadlessFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new CFrame(CRect(0, 0, 200, 100), host.handle(), nullptr);
        frame->setBackgroundColor(kBlackCColor);
        window = host.child();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        if (frame)
            frame->forget();
    }
    /// Delivers the window's pending paints (the first one clears the first-draw state).
    void paint() { window->pumpEvents(); }
    CColor at(int x, int y) const { return window->pixel(x, y); }
    RecordingView* add(const CRect& size, CColor color, bool* destroyed = nullptr)
    {
        auto* view = new RecordingView(size, color, destroyed);
        frame->addView(view);
        return view;
    }

    kalvo::headless::HostWindow host;
    CFrame* frame = nullptr;
    kalvo::headless::Window* window = nullptr;
};
