// The built VST 3 module loaded as a host loads it (dlopen or LoadLibrary, the module's
// entry call, the factory), and one instance of the effect: processor and controller,
// initialised, set up and active.
#pragma once

#include "Vst3TestHost.h"
#include "tests/support/PluginLibrary.h"

#include <gtest/gtest.h>

#include <vector>

#ifndef KALVO_VST3_MODULE_PATH
#error "KALVO_VST3_MODULE_PATH must name the built module inside Kalvo.vst3"
#endif

namespace vst3test
{

using FactoryEntry = vst3::IPluginFactory*(KALVO_VST3_API*)();

/// The module, loaded once per test program and entered as hosts do.
struct Module
{
    PluginLibrary library{KALVO_VST3_MODULE_PATH};
    vst3::IPluginFactory* factory = nullptr;
    bool entered = false;

    Module()
    {
#if defined(_WIN32)
        auto enter = reinterpret_cast<bool (*)()>(library.symbol("InitDll"));
        entered = enter && enter();
#else
        auto enter = reinterpret_cast<bool (*)(void*)>(library.symbol("ModuleEntry"));
        entered = enter && enter(library.nativeHandle());
#endif
        if (auto get = reinterpret_cast<FactoryEntry>(library.symbol("GetPluginFactory")))
            factory = get();
    }
    ~Module()
    {
        if (factory)
            factory->release();
#if defined(_WIN32)
        if (auto leave = reinterpret_cast<bool (*)()>(library.symbol("ExitDll")))
            leave();
#else
        if (auto leave = reinterpret_cast<bool (*)()>(library.symbol("ModuleExit")))
            leave();
#endif
    }
    static Module& shared()
    {
        static Module module;
        return module;
    }
};

/// The 16 bytes of class `index` of the factory.
inline std::vector<char> classId(int index)
{
    vst3::PClassInfo info{};
    Module::shared().factory->getClassInfo(index, &info);
    return std::vector<char>(info.cid, info.cid + 16);
}

/// One instance of the effect as a host drives it: both parts created through the factory,
/// initialised and connected, set up for `rate` and `maxBlock`, active and processing. The
/// parts are classes `firstClass` and the one after it: 0 the 5.1 build, 2 the headphone build.
struct Instance
{
    vst3::IComponent* component = nullptr;
    vst3::IAudioProcessor* processor = nullptr;
    vst3::IEditController* controller = nullptr;
    vst3::IConnectionPoint* componentPoint = nullptr;
    vst3::IConnectionPoint* controllerPoint = nullptr;

    explicit Instance(double rate = 44100.0, vst3::int32 maxBlock = 1024,
                      vst3::int32 sampleSize = vst3::kSample32, bool activate = true, int firstClass = 0)
        : outputs(firstClass == 2 ? 2 : 6)
    {
        vst3::IPluginFactory* factory = Module::shared().factory;
        void* obj = nullptr;
        if (factory->createInstance(classId(firstClass).data(), vst3::IComponent::iid.bytes, &obj) ==
            vst3::kResultOk)
            component = static_cast<vst3::IComponent*>(obj);
        if (factory->createInstance(classId(firstClass + 1).data(), vst3::IEditController::iid.bytes, &obj) ==
            vst3::kResultOk)
            controller = static_cast<vst3::IEditController*>(obj);
        if (!component || !controller)
            return;
        component->initialize(nullptr);
        controller->initialize(nullptr);
        processor = query<vst3::IAudioProcessor>(component);
        componentPoint = query<vst3::IConnectionPoint>(component);
        controllerPoint = query<vst3::IConnectionPoint>(controller);
        componentPoint->connect(controllerPoint);
        controllerPoint->connect(componentPoint);
        vst3::ProcessSetup setup{vst3::kRealtime, sampleSize, maxBlock, rate};
        processor->setupProcessing(setup);
        if (activate)
            start();
    }
    ~Instance()
    {
        if (!component || !controller)
            return;
        stop();
        componentPoint->disconnect(controllerPoint);
        controllerPoint->disconnect(componentPoint);
        componentPoint->release();
        controllerPoint->release();
        processor->release();
        controller->terminate();
        component->terminate();
        controller->release();
        component->release();
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void start()
    {
        component->activateBus(vst3::kAudio, vst3::kInput, 0, 1);
        component->activateBus(vst3::kAudio, vst3::kOutput, 0, 1);
        component->setActive(1);
        processor->setProcessing(1);
        active = true;
    }
    void stop()
    {
        if (!active)
            return;
        processor->setProcessing(0);
        component->setActive(0);
        active = false;
    }

    /// One process call over three input and six (the headphone build: two) output channel pointers.
    template <typename Sample>
    vst3::tresult process(Sample** in, Sample** out, vst3::int32 frames,
                          vst3::IParameterChanges* changes = nullptr,
                          vst3::IParameterChanges* outChanges = nullptr)
    {
        vst3::AudioBusBuffers inBus{};
        vst3::AudioBusBuffers outBus{};
        inBus.numChannels = 3;
        outBus.numChannels = outputs;
        setChannels(inBus, in);
        setChannels(outBus, out);
        vst3::ProcessData data{};
        data.processMode = vst3::kRealtime;
        data.symbolicSampleSize = sizeof(Sample) == 8 ? vst3::kSample64 : vst3::kSample32;
        data.numSamples = frames;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        data.inputParameterChanges = changes;
        data.outputParameterChanges = outChanges;
        return processor->process(data);
    }

private:
    static void setChannels(vst3::AudioBusBuffers& bus, float** ch) { bus.channelBuffers32 = ch; }
    static void setChannels(vst3::AudioBusBuffers& bus, double** ch) { bus.channelBuffers64 = ch; }
    bool active = false;
    vst3::int32 outputs;
};

} // namespace vst3test
