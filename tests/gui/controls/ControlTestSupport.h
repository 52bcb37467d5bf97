// A headless frame and a listener that write everything reaching them into one log, and plain
// test images, for driving the controls as a user and a host would.
#pragma once

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/controls/CControl.h"
#include "gui/platform/headless/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

/// One shared record of edit brackets, idle pumps and notifications, in the order they came.
using EventLog = std::vector<std::string>;

/// A frame whose edit brackets and idle pump are written to the log instead of reaching a host.
class RecordingFrame : public CFrame
{
public:
    RecordingFrame(const CRect& size, void* systemWindow, EventLog& log)
        : CFrame(size, systemWindow, nullptr), log(log)
    {
    }
    void beginEdit(long index) override { log.push_back("begin " + std::to_string(index)); }
    void endEdit(long index) override { log.push_back("end " + std::to_string(index)); }
    /// Logs the pump and redraws what is dirty, as the editor's idle pump does.
    void doIdleStuff() override
    {
        idles++;
        log.push_back("idle");
        idle();
    }

    EventLog& log;
    int idles = 0;
};

/// Writes "value <tag> <value>" for every change; answers modifier clicks with `modifierAnswer`.
class RecordingListener : public CControlListener
{
public:
    explicit RecordingListener(EventLog& log) : log(log) {}
    void valueChanged(CDrawContext* context, CControl* control) override
    {
        char text[64];
        std::snprintf(text, sizeof(text), "value %ld %.4f", control->getTag(),
                      static_cast<double>(control->getValue()));
        log.push_back(text);
        values.push_back(control->getValue());
        controls.push_back(control);
        contexts.push_back(context);
    }
    long modifierClicked(CDrawContext*, CControl*, long buttons) override
    {
        modifierClicks.push_back(buttons);
        return modifierAnswer;
    }

    EventLog& log;
    std::vector<float> values;
    std::vector<CControl*> controls;
    std::vector<CDrawContext*> contexts;
    std::vector<long> modifierClicks;
    long modifierAnswer = 0;
};

/// A frame of 300 x 200 in a headless host window, painted once so that idle redraws.
class ControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new RecordingFrame(CRect(0, 0, 300, 200), host.handle(), log);
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
    /// How often `entry` appears in the log.
    long count(const std::string& entry) const
    {
        long n = 0;
        for (const std::string& e : log)
            n += e == entry;
        return n;
    }
    /// An image of w x h pixels, each horizontal band of `bands` filled in its own colour from
    /// the top (one band fills the whole image).
    CBitmap* makeBitmap(long w, long h, std::vector<CColor> bands)
    {
        auto* bitmap = new CBitmap(*frame, w, h);
        COffscreenContext painter(nullptr, bitmap, true);
        const long bandHeight = h / static_cast<long>(bands.size());
        for (size_t i = 0; i < bands.size(); i++)
        {
            painter.setFillColor(bands[i]);
            painter.fillRect(
                CRect(0, static_cast<long>(i) * bandHeight, w, (static_cast<long>(i) + 1) * bandHeight));
        }
        return bitmap;
    }
    CColor at(long x, long y) const { return window->pixel(x, y); }

    EventLog log;
    RecordingListener listener{log};
    kalvo::headless::HostWindow host;
    RecordingFrame* frame = nullptr;
    kalvo::headless::Window* window = nullptr;
};
