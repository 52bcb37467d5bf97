// Plays a Linux host around the built Kalvo.so on a real X server: loads the library with
// dlopen, creates effects through VSTPluginMain with a recording callback, opens their editors in
// parent windows of its own and pumps effEditIdle; a second connection acts as the user's hands
// and eyes (XTest pointer events, popup windows, pixels, the server's resource counts).
#pragma once

#include "VstInterface.h"
#include "X11Screen.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kalvo::editortest
{

constexpr long kPanelWidth = 841;
constexpr long kPanelHeight = 453;

/// One request of the effect to the host that a host records for automation.
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

/// One effect of the plug-in library as a host holds it, with its own record of host requests.
class Instance
{
public:
    Instance();
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return effect != nullptr; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    float parameter(VstInt32 index) const;
    /// effEditGetRect: width and height of the rectangle it answers, or -1 and -1 without one.
    std::pair<long, long> editorSize();
    /// effEditOpen with the parent window id in ptr, as Linux hosts pass it.
    bool openEditor(void* parentWindow);
    void closeEditor();
    /// effClose, whatever the editor's state; the instance is gone afterwards.
    void closeEffect();
    void idle() { dispatch(effEditIdle); }
    /// Sends effEditIdle every few milliseconds until `done` or about `ms` milliseconds passed.
    bool idleUntil(const std::function<bool()>& done, int ms = 3000);
    /// Idles until the edit bracket of `index` has closed.
    bool idleUntilEditEnds(VstInt32 index, int ms = 3000);

    /// Automation and edit brackets in the order they arrived.
    std::vector<HostEvent> events;
    int hostIdleCalls = 0;
    /// Called on each audioMasterIdle with the running count: the user's next step during a
    /// tracking loop, which the plug-in runs inside one of our effEditIdle calls.
    std::function<void(int)> onHostIdle;

    AEffect* effect = nullptr;

private:
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt);
    bool editorOpen = false;
};

} // namespace kalvo::editortest
