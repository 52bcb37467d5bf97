// Loads the built Kalvo.so the way Linux hosts do and creates effects from it.
#pragma once

#include "TestHost.h"

#include <dlfcn.h>

#include <string>

#ifndef KALVO_PLUGIN_PATH
#error "KALVO_PLUGIN_PATH must name the built Kalvo.so"
#endif

using PluginMain = AEffect* (*)(audioMasterCallback);

class PluginLibrary
{
public:
    explicit PluginLibrary(int flags = RTLD_NOW | RTLD_LOCAL) : handle(dlopen(KALVO_PLUGIN_PATH, flags))
    {
        if (!handle)
            error = dlerror();
    }
    ~PluginLibrary()
    {
        if (handle)
            dlclose(handle);
    }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return handle != nullptr; }
    void* symbol(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }
    PluginMain entry(const char* name = "VSTPluginMain") const
    {
        return reinterpret_cast<PluginMain>(symbol(name));
    }
    /// A new effect through VSTPluginMain, or null.
    AEffect* create() const
    {
        PluginMain main = entry();
        return main ? main(TestHost::callback) : nullptr;
    }

    std::string error;

private:
    void* handle;
};

inline VstIntPtr call(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                      void* ptr = nullptr, float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

inline std::string textOf(AEffect* e, VstInt32 opcode, VstInt32 index = 0)
{
    char buffer[256] = {};
    call(e, opcode, index, 0, buffer);
    return buffer;
}
