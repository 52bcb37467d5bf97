#include "EditorHost.h"

#include <dlfcn.h>

#include <chrono>
#include <sstream>
#include <thread>

#ifndef KALVO_PLUGIN_PATH
#error "KALVO_PLUGIN_PATH must name the built Kalvo.so"
#endif

namespace kalvo::editortest
{

namespace
{
using PluginMain = AEffect* (*)(audioMasterCallback);

// Loaded once for the whole process and kept, as hosts keep a scanned plug-in loaded.
PluginMain pluginMain()
{
    static void* library = dlopen(KALVO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    return reinterpret_cast<PluginMain>(dlsym(library, "VSTPluginMain"));
}

// The instance being created: requests arriving before the host knows the effect's record.
Instance* constructing = nullptr;

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

// ---- Instance ----

Instance::Instance()
{
    PluginMain entry = pluginMain();
    if (!entry)
        return;
    constructing = this;
    effect = entry(&Instance::callback);
    constructing = nullptr;
    if (!effect)
        return;
    effect->user = this;
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effSetBlockSize, 0, 512);
}

Instance::~Instance()
{
    if (!effect)
        return;
    if (editorOpen)
        closeEditor();
    dispatch(effClose);
}

VstIntPtr Instance::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    Instance* self = effect && effect->user ? static_cast<Instance*>(effect->user) : constructing;
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

VstIntPtr Instance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect ? effect->dispatcher(effect, opcode, index, value, ptr, opt) : 0;
}

float Instance::parameter(VstInt32 index) const
{
    return effect->getParameter(effect, index);
}

std::pair<long, long> Instance::editorSize()
{
    ERect* rect = nullptr;
    if (!dispatch(effEditGetRect, 0, 0, &rect) || !rect)
        return {-1, -1};
    return {rect->right - rect->left, rect->bottom - rect->top};
}

bool Instance::openEditor(void* parentWindow)
{
    editorOpen = dispatch(effEditOpen, 0, 0, parentWindow) != 0;
    return editorOpen;
}

void Instance::closeEditor()
{
    dispatch(effEditClose);
    editorOpen = false;
}

void Instance::closeEffect()
{
    dispatch(effClose);
    effect = nullptr;
    editorOpen = false;
}

bool Instance::idleUntil(const std::function<bool()>& done, int ms)
{
    for (int waited = 0; waited <= ms; waited += 5)
    {
        idle();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool Instance::idleUntilEditEnds(VstInt32 index, int ms)
{
    return idleUntil([this, index] { return !events.empty() && events.back() == endEdit(index); }, ms);
}

} // namespace kalvo::editortest
