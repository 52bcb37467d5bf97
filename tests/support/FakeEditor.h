// An editor stand-in that records what the effect tells it. The test build's
// editor factory creates one only while `enabled` is set, so each test decides
// whether its effect has an editor.
#pragma once

#include "vst2/AEffEditor.h"
#include "vst2/AudioEffectX.h"

#include <vector>

class FakeEditor : public AEffEditor
{
public:
    static bool& enabled()
    {
        static bool on = false;
        return on;
    }
    static FakeEditor*& last()
    {
        static FakeEditor* editor = nullptr;
        return editor;
    }

    explicit FakeEditor(AudioEffect* effect) : AEffEditor(effect) { last() = this; }
    ~FakeEditor() override
    {
        if (last() == this)
            last() = nullptr;
    }

    struct Change
    {
        VstInt32 index;
        float value;
    };
    std::vector<Change> changes;
    std::vector<float> wheels;
    std::vector<VstKeyCode> keysDown;
    ERect rect{};

    void setParameter(VstInt32 index, float value) override { changes.push_back({index, value}); }
    bool onWheel(float distance) override
    {
        wheels.push_back(distance);
        return true;
    }
    bool onKeyDown(VstKeyCode& keyCode) override
    {
        keysDown.push_back(keyCode);
        return keyCode.character == 'k';
    }
    bool getRect(ERect** r) override
    {
        *r = &rect;
        return true;
    }
};

/// Turns the fake editor on for the lifetime of the guard.
struct WithFakeEditor
{
    WithFakeEditor() { FakeEditor::enabled() = true; }
    ~WithFakeEditor() { FakeEditor::enabled() = false; }
};
