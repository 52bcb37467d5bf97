// Base class of an effect's editor as the host-interface layer sees it. The
// effect's dispatcher routes the editor opcodes (effEditGetRect, effEditOpen,
// effEditClose, effEditIdle, effEditKeyDown/Up, effSetEditKnobMode) to these
// operations; a GUI toolkit derives from it and binds them to its own window.
#pragma once

#include "VstInterface.h"

class AudioEffect;

class AEffEditor
{
public:
    /// Stores the owning effect; does not attach itself (the derived editor calls setEditor).
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    /// The effect this editor belongs to (not owned).
    virtual AudioEffect* getEffect() { return effect; }
    /// Stores the editor's rectangle into *rect; the base has none: stores null, returns false.
    virtual bool getRect(ERect** rect)
    {
        if (rect)
            *rect = nullptr;
        return false;
    }
    /// Opens the editor in the host's native window `ptr`; the base only remembers the window.
    virtual bool open(void* ptr)
    {
        systemWindow = ptr;
        return false;
    }
    /// Closes the editor; the base forgets the host window.
    virtual void close() { systemWindow = nullptr; }
    /// True while the editor is open in a host window.
    virtual bool isOpen() { return systemWindow != nullptr; }
    /// Idle time from the host (effEditIdle).
    virtual void idle() {}
    /// Key events from the host; true when the editor used the key.
    virtual bool onKeyDown(VstKeyCode& keyCode)
    {
        (void)keyCode;
        return false;
    }
    virtual bool onKeyUp(VstKeyCode& keyCode)
    {
        (void)keyCode;
        return false;
    }
    /// Mouse-wheel distance from the host's vendor-specific call; true when used.
    virtual bool onWheel(float distance)
    {
        (void)distance;
        return false;
    }
    /// Knob mode (circular, relative circular, linear) from the host; true when accepted.
    virtual bool setKnobMode(int value)
    {
        (void)value;
        return false;
    }
    /// The effect calls this after every parameter change (also for indices it
    /// ignores) so that the editor can follow; it may be called more than once
    /// for the same change and must give the same result when repeated.
    virtual void setParameter(VstInt32 index, float value)
    {
        (void)index;
        (void)value;
    }

protected:
    AudioEffect* effect = nullptr; ///< owning effect, not owned
    void* systemWindow = nullptr;  ///< host window while open, null while closed
};
