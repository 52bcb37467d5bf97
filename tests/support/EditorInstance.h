// One effect of the built plug-in as the editor test hosts hold it: created through the library's
// entry point with a callback that records automation and edit brackets, opened at 48 kHz and
// 512 frames, with the editor calls a host makes. The X11 and the Windows hosts share it; each
// loads the library its own way and adds its window system's message pump.
#pragma once

#include "vst2/VstInterface.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kalvo::hosttest
{

/// One request of the effect that a host records for automation.
struct HostEvent
{
    VstInt32 opcode; ///< audioMasterAutomate, audioMasterBeginEdit or audioMasterEndEdit
    VstInt32 index;
    float value; ///< the automated value; 0 for the edit brackets

    bool operator==(const HostEvent& other) const
    {
        return opcode == other.opcode && index == other.index && value == other.value;
    }
};
std::string describe(const std::vector<HostEvent>& events);
HostEvent automate(VstInt32 index, float value);
HostEvent beginEdit(VstInt32 index);
HostEvent endEdit(VstInt32 index);

using PluginMain = AEffect* (*)(audioMasterCallback);

class EditorInstance
{
public:
    /// Creates the effect through `entry` (nothing when it is null) and opens it.
    explicit EditorInstance(PluginMain entry);
    virtual ~EditorInstance();
    EditorInstance(const EditorInstance&) = delete;
    EditorInstance& operator=(const EditorInstance&) = delete;

    bool ok() const { return effect != nullptr; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    float parameter(VstInt32 index) const;
    /// effEditGetRect: width and height of the rectangle it answers, or -1 and -1 without one.
    std::pair<long, long> editorSize();
    /// effEditOpen with the parent's window (an X11 window id or a window handle) in ptr.
    bool openEditor(void* parentWindow);
    void closeEditor();
    /// effClose, whatever the editor's state; the instance is gone afterwards.
    void closeEffect();
    /// Delivers the window system's waiting messages, then sends effEditIdle.
    void idle();
    /// Idles every few milliseconds until `done` or about `ms` milliseconds passed.
    bool idleUntil(const std::function<bool()>& done, int ms = 3000);
    /// Idles until the edit bracket of `index` has closed.
    bool idleUntilEditEnds(VstInt32 index, int ms = 3000);

    /// Automation and edit brackets in the order they arrived.
    std::vector<HostEvent> events;
    /// The host's idle passes: its own (before each effEditIdle) and the plug-in's audioMasterIdle
    /// calls from inside a tracking loop.
    int hostIdleCalls = 0;
    /// Called on each of those passes with the running count: the user's next step during a
    /// gesture, whether the plug-in follows it across the host's idle calls or in a loop inside
    /// one of them.
    std::function<void(int)> onHostIdle;

    AEffect* effect = nullptr;

protected:
    /// The window system's waiting messages for this thread (Windows); nothing where the editor
    /// reads its own connection (X11).
    virtual void pumpWindowSystem() {}
    bool editorIsOpen() const { return editorOpen; }

private:
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt);
    bool editorOpen = false;
};

} // namespace kalvo::hosttest
