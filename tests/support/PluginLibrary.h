// Loads the built plug-in the way hosts do (Kalvo.so with dlopen, Kalvo.dll with LoadLibrary)
// and creates effects from it, for every test that plays a host around the library.
#pragma once

#include "vst2/VstInterface.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

#ifndef KALVO_PLUGIN_PATH
#error "KALVO_PLUGIN_PATH must name the built plug-in"
#endif

using PluginMain = AEffect* (*)(audioMasterCallback);

class PluginLibrary
{
public:
#if defined(_WIN32)
    explicit PluginLibrary(const char* path = KALVO_PLUGIN_PATH) : handle(LoadLibraryA(path))
    {
        if (!handle)
            error =
                std::string("LoadLibrary(") + path + ") failed with error " + std::to_string(GetLastError());
    }
    ~PluginLibrary()
    {
        if (handle)
            FreeLibrary(handle);
    }
    void* symbol(const char* name) const
    {
        return handle ? reinterpret_cast<void*>(GetProcAddress(handle, name)) : nullptr;
    }
#else
    explicit PluginLibrary(int flags = RTLD_NOW | RTLD_LOCAL) : PluginLibrary(KALVO_PLUGIN_PATH, flags) {}
    /// Another library than the VST 2.4 plug-in (the VST 3 module).
    explicit PluginLibrary(const char* path, int flags = RTLD_NOW | RTLD_LOCAL) : handle(dlopen(path, flags))
    {
        if (!handle)
            error = dlerror();
    }
    ~PluginLibrary()
    {
        if (handle)
            dlclose(handle);
    }
    void* symbol(const char* name) const
    {
        return handle ? dlsym(handle, name) : nullptr;
    }
#endif
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const
    {
        return handle != nullptr;
    }
    /// The loader's handle, as hosts hand it to a module's entry call.
    void* nativeHandle() const
    {
        return handle;
    }
    PluginMain entry(const char* name = "VSTPluginMain") const
    {
        return reinterpret_cast<PluginMain>(symbol(name));
    }
    /// A new effect through VSTPluginMain talking to `host`, or null.
    AEffect* create(audioMasterCallback host) const
    {
        PluginMain main = entry();
        return main ? main(host) : nullptr;
    }

    std::string error;

private:
#if defined(_WIN32)
    HMODULE handle;
#else
    void* handle;
#endif
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
