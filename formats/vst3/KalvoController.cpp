#include "KalvoController.h"

#include "Vst3State.h"
#include "effect/BuildRules.h"
#include "effect/HeadControls.h"
#include "effect/KalvoParameters.h"
#include "formats/vst3/ui/ControllerPanel.h"

#include <cmath>
#include <string_view>

namespace kalvo::vst3adapter
{
namespace
{

constexpr vst3::ProgramListID kListId = kFactoryProgramListId;

double clamp01(double x)
{
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

} // namespace

const vst3::Uid KalvoController::cid{0xA83F0E51, 0x27C64B9D, 0x9B54E0F3, 0x1D7A6C28};
const vst3::Uid KalvoController::headphoneCid{0x5C19B7E2, 0x0F6D4A31, 0x87E2C94B, 0x6A3D15F8};

KalvoController::KalvoController(bool headphones) : buildRules(::buildRules()), headphones(headphones)
{
    for (int i = 0; i < kNumParameters; ++i)
        knobs[i] = static_cast<double>(parameterSpec(i).defaultKnob);
    for (int c = 0; c < kHeadParamCount; ++c)
        head[c] = plainToNormalized(kFirstHeadParamId + static_cast<vst3::ParamID>(c),
                                    headControlSpec(c).defaultValue);
}

KalvoController::~KalvoController()
{
    terminate();
    // Every view holds a reference to its controller, so none is left to use the panel.
    delete panel;
}

vst3::tresult KalvoController::queryInterface(const vst3::TUID requested, void** obj)
{
    if (!obj)
        return vst3::kInvalidArgument;
    if (offerInterface<vst3::IEditController>(requested, this, obj) ||
        offerInterface<vst3::IPluginBase>(requested, static_cast<vst3::IEditController*>(this), obj) ||
        offerInterface<vst3::FUnknown>(requested, static_cast<vst3::IEditController*>(this), obj) ||
        offerInterface<vst3::IEditController2>(requested, this, obj) ||
        offerInterface<vst3::IConnectionPoint>(requested, this, obj) ||
        offerInterface<vst3::IUnitInfo>(requested, this, obj))
        return vst3::kResultOk;
    *obj = nullptr;
    return vst3::kNoInterface;
}

vst3::uint32 KalvoController::addRef()
{
    return refs.add();
}

vst3::uint32 KalvoController::release()
{
    const vst3::uint32 left = refs.drop();
    if (left == 0)
        delete this;
    return left;
}

vst3::tresult KalvoController::initialize(vst3::FUnknown*)
{
    return vst3::kResultOk;
}

vst3::tresult KalvoController::terminate()
{
    if (handler)
        handler->release();
    handler = nullptr;
    return vst3::kResultOk;
}

// ---- state ----

void KalvoController::applyKnobs(const float (&values)[kNumParameters])
{
    for (int i = 0; i < kNumParameters; ++i)
        showValue(static_cast<vst3::ParamID>(i), static_cast<double>(values[i]));
}

bool KalvoController::loadState(vst3::IBStream* state, float* zoom)
{
    float values[kNumParameters];
    float headValues[kNumHeadControls];
    for (int c = 0; c < kNumHeadControls; ++c)
        headValues[c] = static_cast<float>(headControlSpec(c).defaultValue);
    if (!readState(state, values, headphones ? headValues : nullptr, zoom))
        return false;
    applyKnobs(values);
    if (headphones)
        for (int c = 0; c < kNumHeadControls; ++c)
        {
            const vst3::ParamID id = kFirstHeadParamId + static_cast<vst3::ParamID>(c);
            showValue(id, plainToNormalized(id, static_cast<double>(headValues[c])));
        }
    return true;
}

vst3::tresult KalvoController::setComponentState(vst3::IBStream* state)
{
    return loadState(state, nullptr) ? vst3::kResultOk : vst3::kResultFalse;
}

vst3::tresult KalvoController::setState(vst3::IBStream* state)
{
    // The controller keeps the processor's records, then the zoom the user chose on the panel.
    float zoom = 0.0f;
    if (!loadState(state, &zoom))
        return vst3::kResultFalse;
    userZoom = static_cast<double>(zoom);
    if (panel)
        panel->setUserZoom(userZoom);
    return vst3::kResultOk;
}

vst3::tresult KalvoController::getState(vst3::IBStream* state)
{
    float values[kNumParameters];
    for (int i = 0; i < kNumParameters; ++i)
        values[i] = static_cast<float>(knobs[i]);
    float headValues[kNumHeadControls];
    for (int c = 0; c < kNumHeadControls; ++c)
        headValues[c] =
            static_cast<float>(normalizedToPlain(kFirstHeadParamId + static_cast<vst3::ParamID>(c), head[c]));
    const float zoom = static_cast<float>(panel ? panel->userZoom() : userZoom);
    return writeState(state, values, headphones ? headValues : nullptr, &zoom) ? vst3::kResultOk
                                                                               : vst3::kResultFalse;
}

// ---- parameters ----

vst3::int32 KalvoController::getParameterCount()
{
    return headphones ? kVst3HeadphoneParameterCount : kVst3ParameterCount;
}

vst3::tresult KalvoController::getParameterInfo(vst3::int32 paramIndex, vst3::ParameterInfo& info)
{
    return paramIndex < getParameterCount() && describeParameter(paramIndex, info) ? vst3::kResultOk
                                                                                   : vst3::kInvalidArgument;
}

vst3::tresult KalvoController::getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                     vst3::String128 string)
{
    char text[128];
    if (!string || !std::isfinite(valueNormalized) || !ownsParam(id) ||
        !formatParameter(id, valueNormalized, text, buildRules))
        return vst3::kResultFalse;
    copyToUtf16(string, 128, text);
    return vst3::kResultOk;
}

vst3::tresult KalvoController::getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                     vst3::ParamValue& valueNormalized)
{
    if (!string)
        return vst3::kInvalidArgument;
    char text[512];
    copyToUtf8(text, sizeof(text), string, 128);
    double value = 0.0;
    if (!ownsParam(id) || !parseParameter(id, text, value, buildRules))
        return vst3::kResultFalse;
    valueNormalized = value;
    return vst3::kResultOk;
}

vst3::ParamValue KalvoController::normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue valueNormalized)
{
    return normalizedToPlain(id, valueNormalized);
}

vst3::ParamValue KalvoController::plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue)
{
    return plainToNormalized(id, plainValue);
}

vst3::ParamValue KalvoController::getParamNormalized(vst3::ParamID id)
{
    if (isKnobParam(id))
        return knobs[id];
    if (id == kProgramParamId)
        return programToNormalized(program);
    if (isMeterParam(id))
        return meters[id - kFirstMeterParamId];
    if (headphones && isHeadParam(id))
        return head[id - kFirstHeadParamId];
    if (headphones && id == kTrackerStatusParamId)
        return trackerStatus;
    return 0.0;
}

void KalvoController::showValue(vst3::ParamID id, double normalized)
{
    if (isKnobParam(id))
    {
        knobs[id] = normalized;
        if (panel)
            panel->showKnob(static_cast<int>(id), static_cast<float>(normalized));
    }
    else if (isMeterParam(id))
    {
        meters[id - kFirstMeterParamId] = normalized;
        if (panel)
            panel->showMeter(static_cast<int>(id - kFirstMeterParamId), static_cast<float>(normalized));
    }
    else if (headphones && isHeadParam(id))
    {
        head[id - kFirstHeadParamId] = normalized;
        if (panel)
            panel->showHeadControl(static_cast<int>(id - kFirstHeadParamId),
                                   static_cast<float>(normalizedToPlain(id, normalized)));
    }
    else if (headphones && id == kTrackerStatusParamId)
    {
        trackerStatus = normalized;
        if (panel)
            panel->showTrackerStatus(static_cast<int>(normalizedToPlain(id, normalized)));
    }
}

vst3::tresult KalvoController::setParamNormalized(vst3::ParamID id, vst3::ParamValue value)
{
    if (!std::isfinite(value))
        return vst3::kInvalidArgument;
    value = clamp01(value);
    if (id == kProgramParamId)
    {
        // The host chose a program: the processor loads it from the same parameter (and
        // reports the loaded values back as output parameters); the controller shows them.
        // The host must not be asked to read every value again from in here: hosts choose a
        // program while holding their own locks, and reading the values back takes them
        // again. The request waits for the panel's next tick, outside any host call.
        program = normalizedToProgram(value);
        if (const float* preset = factoryPresetValues(program))
            for (int i = 0; i < kNumParameters; ++i)
                showValue(static_cast<vst3::ParamID>(i), static_cast<double>(preset[i]));
        valuesChanged.store(true);
        return vst3::kResultOk;
    }
    if (!ownsParam(id))
        return vst3::kInvalidArgument;
    showValue(id, value);
    return vst3::kResultOk;
}

vst3::tresult KalvoController::setComponentHandler(vst3::IComponentHandler* newHandler)
{
    if (newHandler == handler)
        return vst3::kResultOk;
    if (newHandler)
        newHandler->addRef();
    if (handler)
        handler->release();
    handler = newHandler;
    return vst3::kResultOk;
}

vst3::IPlugView* KalvoController::createView(vst3::FIDString name)
{
    if (!name || std::string_view(name) != vst3::kEditorViewType)
        return nullptr;
    if (!panel)
    {
        panel = createControllerPanel(*this);
        if (!panel)
            return nullptr;
        panel->setUserZoom(userZoom);
        for (int i = 0; i < kNumParameters; ++i)
            panel->showKnob(i, static_cast<float>(knobs[i]));
        for (int m = 0; m < kMeterCount; ++m)
            panel->showMeter(m, static_cast<float>(meters[m]));
        if (headphones)
        {
            for (int c = 0; c < kHeadParamCount; ++c)
                showValue(kFirstHeadParamId + static_cast<vst3::ParamID>(c), head[c]);
            showValue(kTrackerStatusParamId, trackerStatus);
        }
    }
    return panel->createView();
}

void KalvoController::beginEdit(vst3::ParamID id)
{
    if (handler && (isKnobParam(id) || (headphones && isHeadParam(id))))
        handler->beginEdit(id);
}

void KalvoController::performEdit(vst3::ParamID id, double normalized)
{
    if (!std::isfinite(normalized))
        return;
    if (isKnobParam(id))
        knobs[id] = clamp01(normalized);
    else if (headphones && isHeadParam(id))
        head[id - kFirstHeadParamId] = clamp01(normalized);
    else
        return;
    if (handler)
        handler->performEdit(id, clamp01(normalized));
}

void KalvoController::endEdit(vst3::ParamID id)
{
    if (handler && (isKnobParam(id) || (headphones && isHeadParam(id))))
        handler->endEdit(id);
}

void KalvoController::viewClosed() {}

void KalvoController::idle()
{
    if (valuesChanged.exchange(false) && handler)
        handler->restartComponent(vst3::kParamValuesChanged);
}

// ---- IEditController2 ----

vst3::tresult KalvoController::setKnobMode(vst3::int32 mode)
{
    // The panel's sliders are linear; the other modes are the host's to offer elsewhere.
    return mode == 2 ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult KalvoController::openHelp(vst3::TBool)
{
    return vst3::kResultFalse;
}

vst3::tresult KalvoController::openAboutBox(vst3::TBool)
{
    return vst3::kResultFalse;
}

// ---- IConnectionPoint ----

vst3::tresult KalvoController::connect(vst3::IConnectionPoint* other)
{
    return other ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::tresult KalvoController::disconnect(vst3::IConnectionPoint*)
{
    return vst3::kResultOk;
}

vst3::tresult KalvoController::notify(vst3::IMessage*)
{
    return vst3::kResultFalse;
}

// ---- IUnitInfo ----

vst3::int32 KalvoController::getUnitCount()
{
    return 1;
}

vst3::tresult KalvoController::getUnitInfo(vst3::int32 unitIndex, vst3::UnitInfo& info)
{
    if (unitIndex != 0)
        return vst3::kInvalidArgument;
    info.id = vst3::kRootUnitId;
    info.parentUnitId = vst3::kNoParentUnitId;
    copyToUtf16(info.name, 128, "Root");
    info.programListId = kListId;
    return vst3::kResultOk;
}

vst3::int32 KalvoController::getProgramListCount()
{
    return 1;
}

vst3::tresult KalvoController::getProgramListInfo(vst3::int32 listIndex, vst3::ProgramListInfo& info)
{
    if (listIndex != 0)
        return vst3::kInvalidArgument;
    info.id = kListId;
    copyToUtf16(info.name, 128, "Factory Presets");
    info.programCount = kNumFactoryPresets;
    return vst3::kResultOk;
}

vst3::tresult KalvoController::getProgramName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                              vst3::String128 name)
{
    if (listId != kListId || programIndex < 0 || programIndex >= kNumFactoryPresets || !name)
        return vst3::kInvalidArgument;
    copyToUtf16(name, 128, buildRules.presetNames[programIndex]);
    return vst3::kResultOk;
}

vst3::tresult KalvoController::getProgramInfo(vst3::ProgramListID, vst3::int32, const vst3::char8*,
                                              vst3::String128)
{
    return vst3::kResultFalse;
}

vst3::tresult KalvoController::hasProgramPitchNames(vst3::ProgramListID, vst3::int32)
{
    return vst3::kResultFalse;
}

vst3::tresult KalvoController::getProgramPitchName(vst3::ProgramListID, vst3::int32, vst3::int16,
                                                   vst3::String128)
{
    return vst3::kResultFalse;
}

vst3::UnitID KalvoController::getSelectedUnit()
{
    return vst3::kRootUnitId;
}

vst3::tresult KalvoController::selectUnit(vst3::UnitID unitId)
{
    return unitId == vst3::kRootUnitId ? vst3::kResultOk : vst3::kResultFalse;
}

vst3::tresult KalvoController::getUnitByBus(vst3::MediaType, vst3::BusDirection, vst3::int32, vst3::int32,
                                            vst3::UnitID& unitId)
{
    unitId = vst3::kRootUnitId;
    return vst3::kResultOk;
}

vst3::tresult KalvoController::setUnitProgramData(vst3::int32, vst3::int32, vst3::IBStream*)
{
    return vst3::kNotImplemented;
}

} // namespace kalvo::vst3adapter
