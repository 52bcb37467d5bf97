// The module's factory and its exported entry points. Two classes: the audio processor
// (class 0) and its edit controller (class 1); where the build has headphone monitoring, the
// headphone build's processor and controller too (classes 2 and 3).
#include "HeadphoneStage.h"
#include "KalvoController.h"
#include "KalvoProcessor.h"
#include "KalvoVersion.h"
#include "Vst3Support.h"
#include "effect/BuildRules.h"

#include <cstring>
#include <new>

namespace kalvo::vst3adapter
{
namespace
{

constexpr const char* kVendor = "Velmora";
constexpr const char* kUrl = "";
constexpr const char* kEmail = "";
constexpr const char* kInterfaceVersion = "VST 3.7.14";
/// The version as hosts show it: major.minor.patch.build.
constexpr const char* kVersionText = KALVO_VERSION_STRING ".0";

struct ClassEntry
{
    const vst3::Uid* cid;
    const char* category;
    const char* name;
    const char* subCategories;
};

const ClassEntry kClasses[] = {
    {&KalvoProcessor::cid, "Audio Module Class", "Zentri Surround Tool", "Fx|Spatial|Surround"},
    {&KalvoController::cid, "Component Controller Class", "Zentri Surround Tool Controller", ""},
    // Its own class rather than a stereo arrangement of the 5.1 one: hosts take a plug-in's
    // channel counts from its default arrangement when they scan it, and users look for a
    // headphone monitor by name.
    {&KalvoProcessor::headphoneCid, "Audio Module Class", "Zentri Surround Tool Binaural", "Fx|Spatial"},
    {&KalvoController::headphoneCid, "Component Controller Class", "Zentri Surround Tool Binaural Controller",
     ""},
};

vst3::int32 classCount()
{
    return headphonesAvailable() ? 4 : 2;
}

class Factory final : public vst3::IPluginFactory3
{
public:
    vst3::tresult KALVO_VST3_API queryInterface(const vst3::TUID requested, void** obj) override
    {
        if (!obj)
            return vst3::kInvalidArgument;
        if (offerInterface<vst3::IPluginFactory3>(requested, this, obj) ||
            offerInterface<vst3::IPluginFactory2>(requested, this, obj) ||
            offerInterface<vst3::IPluginFactory>(requested, this, obj) ||
            offerInterface<vst3::FUnknown>(requested, this, obj))
            return vst3::kResultOk;
        *obj = nullptr;
        return vst3::kNoInterface;
    }
    vst3::uint32 KALVO_VST3_API addRef() override { return refs.add(); }
    vst3::uint32 KALVO_VST3_API release() override;

    vst3::tresult KALVO_VST3_API getFactoryInfo(vst3::PFactoryInfo* info) override
    {
        if (!info)
            return vst3::kInvalidArgument;
        std::memset(info, 0, sizeof(*info));
        copyText(info->vendor, sizeof(info->vendor), kVendor);
        copyText(info->url, sizeof(info->url), kUrl);
        copyText(info->email, sizeof(info->email), kEmail);
        info->flags = vst3::kFactoryFlagUnicode;
        return vst3::kResultOk;
    }
    vst3::int32 KALVO_VST3_API countClasses() override { return classCount(); }
    /// The fields every kind of class record starts with; false for a bad index or record.
    template <typename Info> static bool startClassInfo(vst3::int32 index, Info* info)
    {
        if (!info || index < 0 || index >= classCount())
            return false;
        std::memset(info, 0, sizeof(*info));
        std::memcpy(info->cid, kClasses[index].cid->bytes, 16);
        info->cardinality = vst3::kManyInstances;
        copyText(info->category, sizeof(info->category), kClasses[index].category);
        return true;
    }
    vst3::tresult KALVO_VST3_API getClassInfo(vst3::int32 index, vst3::PClassInfo* info) override
    {
        if (!startClassInfo(index, info))
            return vst3::kInvalidArgument;
        copyText(info->name, sizeof(info->name), kClasses[index].name);
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API createInstance(vst3::FIDString cid, vst3::FIDString iid,
                                                void** obj) override;
    vst3::tresult KALVO_VST3_API getClassInfo2(vst3::int32 index, vst3::PClassInfo2* info) override
    {
        if (!startClassInfo(index, info))
            return vst3::kInvalidArgument;
        copyText(info->name, sizeof(info->name), kClasses[index].name);
        // The parts exchange only parameters and state through the host: they may run apart.
        info->classFlags = vst3::kComponentDistributable;
        copyText(info->subCategories, sizeof(info->subCategories), kClasses[index].subCategories);
        copyText(info->vendor, sizeof(info->vendor), kVendor);
        copyText(info->version, sizeof(info->version), kVersionText);
        copyText(info->sdkVersion, sizeof(info->sdkVersion), kInterfaceVersion);
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API getClassInfoUnicode(vst3::int32 index, vst3::PClassInfoW* info) override
    {
        if (!startClassInfo(index, info))
            return vst3::kInvalidArgument;
        copyToUtf16(info->name, vst3::kNameSize, kClasses[index].name);
        info->classFlags = vst3::kComponentDistributable;
        copyText(info->subCategories, sizeof(info->subCategories), kClasses[index].subCategories);
        copyToUtf16(info->vendor, vst3::kVendorSize, kVendor);
        copyToUtf16(info->version, vst3::kVersionSize, kVersionText);
        copyToUtf16(info->sdkVersion, vst3::kVersionSize, kInterfaceVersion);
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API setHostContext(vst3::FUnknown*) override
    {
        // Nothing the factory does needs the host.
        return vst3::kResultOk;
    }

private:
    RefCount refs;
};

/// The module's one factory while any host reference to it exists.
Factory* theFactory = nullptr;

vst3::uint32 Factory::release()
{
    const vst3::uint32 left = refs.drop();
    if (left == 0)
    {
        if (theFactory == this)
            theFactory = nullptr;
        delete this;
    }
    return left;
}

vst3::tresult Factory::createInstance(vst3::FIDString cid, vst3::FIDString iid, void** obj)
{
    if (!obj)
        return vst3::kInvalidArgument;
    *obj = nullptr;
    if (!cid || !iid)
        return vst3::kInvalidArgument;
    vst3::FUnknown* created = nullptr;
    if (KalvoProcessor::cid.matches(cid))
        created = static_cast<vst3::IComponent*>(new (std::nothrow) KalvoProcessor());
    else if (KalvoController::cid.matches(cid))
        created = static_cast<vst3::IEditController*>(new (std::nothrow) KalvoController());
    else if (headphonesAvailable() && KalvoProcessor::headphoneCid.matches(cid))
        created = static_cast<vst3::IComponent*>(new (std::nothrow) KalvoProcessor(true));
    else if (headphonesAvailable() && KalvoController::headphoneCid.matches(cid))
        created = static_cast<vst3::IEditController*>(new (std::nothrow) KalvoController(true));
    else
        return vst3::kInvalidArgument;
    if (!created)
        return vst3::kOutOfMemory;
    const vst3::tresult result = created->queryInterface(iid, obj);
    created->release(); // the reference queryInterface took is the caller's
    return result;
}

} // namespace
} // namespace kalvo::vst3adapter

#if defined(_WIN32)
// Kalvo.vst3 exports through its module definition file (exports.def).
#define KALVO_VST3_EXPORT extern "C" __attribute__((used))
#else
#define KALVO_VST3_EXPORT extern "C" __attribute__((visibility("default"), used))
#endif

KALVO_VST3_EXPORT vst3::IPluginFactory* KALVO_VST3_API GetPluginFactory()
{
    using kalvo::vst3adapter::Factory;
    using kalvo::vst3adapter::theFactory;
    if (theFactory)
    {
        theFactory->addRef();
        return theFactory;
    }
    theFactory = new (std::nothrow) Factory();
    return theFactory;
}

#if defined(_WIN32)
KALVO_VST3_EXPORT bool InitDll()
{
    return true;
}

KALVO_VST3_EXPORT bool ExitDll()
{
    return true;
}
#else
KALVO_VST3_EXPORT bool ModuleEntry(void*)
{
    return true;
}

KALVO_VST3_EXPORT bool ModuleExit()
{
    return true;
}
#endif
