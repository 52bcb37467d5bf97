#include "EditorInstance.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace kalvo::hosttest
{

namespace
{
// The instance being created: requests arriving before the host knows the effect's record.
EditorInstance* constructing = nullptr;

const char* opcodeName(VstInt32 opcode)
{
    switch (opcode)
    {
    case audioMasterAutomate:
        return "automate";
    case audioMasterBeginEdit:
        return "begin";
    case audioMasterEndEdit:
        return "end";
    default:
        return "?";
    }
}
} // namespace

std::string describe(const std::vector<HostEvent>& events)
{
    std::ostringstream text;
    for (const HostEvent& e : events)
    {
        text << opcodeName(e.opcode) << ' ' << e.index;
        if (e.opcode == audioMasterAutomate)
            text << '=' << e.value;
        text << "; ";
    }
    return text.str();
}

HostEvent automate(VstInt32 index, float value)
{
    return HostEvent{audioMasterAutomate, index, value};
}
HostEvent beginEdit(VstInt32 index)
{
    return HostEvent{audioMasterBeginEdit, index, 0.0f};
}
HostEvent endEdit(VstInt32 index)
{
    return HostEvent{audioMasterEndEdit, index, 0.0f};
}

EditorInstance::EditorInstance(PluginMain entry)
{
    if (!entry)
        return;
    constructing = this;
    effect = entry(&EditorInstance::callback);
    constructing = nullptr;
    if (!effect)
        return;
    effect->user = this;
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effSetBlockSize, 0, 512);
}

EditorInstance::~EditorInstance()
{
    if (!effect)
        return;
    if (editorOpen)
        closeEditor();
    dispatch(effClose);
}

VstIntPtr EditorInstance::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                                   float opt)
{
    EditorInstance* self = effect && effect->user ? static_cast<EditorInstance*>(effect->user) : constructing;
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return 48000;
    case audioMasterGetBlockSize:
        return 512;
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (self)
            self->events.push_back(HostEvent{opcode, index, opcode == audioMasterAutomate ? opt : 0.0f});
        return 1;
    case audioMasterIdle:
        if (self)
        {
            self->hostIdleCalls++;
            if (self->onHostIdle)
                self->onHostIdle(self->hostIdleCalls);
        }
        return 1;
    default:
        return 0;
    }
}

VstIntPtr EditorInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect ? effect->dispatcher(effect, opcode, index, value, ptr, opt) : 0;
}

float EditorInstance::parameter(VstInt32 index) const
{
    return effect->getParameter(effect, index);
}

std::pair<long, long> EditorInstance::editorSize()
{
    ERect* rect = nullptr;
    if (!dispatch(effEditGetRect, 0, 0, &rect) || !rect)
        return {-1, -1};
    return {rect->right - rect->left, rect->bottom - rect->top};
}

bool EditorInstance::openEditor(void* parentWindow)
{
    editorOpen = dispatch(effEditOpen, 0, 0, parentWindow) != 0;
    return editorOpen;
}

void EditorInstance::closeEditor()
{
    dispatch(effEditClose);
    editorOpen = false;
    pumpWindowSystem();
}

void EditorInstance::closeEffect()
{
    dispatch(effClose);
    effect = nullptr;
    editorOpen = false;
}

void EditorInstance::idle()
{
    hostIdleCalls++;
    if (onHostIdle)
        onHostIdle(hostIdleCalls);
    pumpWindowSystem();
    dispatch(effEditIdle);
}

bool EditorInstance::idleUntil(const std::function<bool()>& done, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        idle();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool EditorInstance::idleUntilEditEnds(VstInt32 index, int ms)
{
    return idleUntil([this, index] { return !events.empty() && events.back() == endEdit(index); }, ms);
}

} // namespace kalvo::hosttest
