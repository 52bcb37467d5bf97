// The VST 3 edit controller: the parameters as the host lists them (translated from the
// parameter table), the factory programs as the host's program list, the state record,
// and the panel. It shares no memory with the processor: it learns values from the
// host (setParamNormalized, the component state) and meter readings from the
// processor's read-only output parameters, and sends the panel's gestures to the host as
// begin/perform/end edits.
#pragma once

#include "Vst3Interface.h"
#include "Vst3Parameters.h"
#include "Vst3Support.h"
#include "effect/KalvoProgram.h"

#include <atomic>

struct KalvoBuildRules;

namespace kalvo::vst3adapter
{

class ControllerPanel;

class KalvoController final : public vst3::IEditController,
                              public vst3::IEditController2,
                              public vst3::IConnectionPoint,
                              public vst3::IUnitInfo
{
public:
    /// Class ids, fixed for ever: hosts store sessions by them.
    static const vst3::Uid cid;
    static const vst3::Uid headphoneCid;

    /// With `headphones`, the headphone build's: the head controls and the tracker's status too.
    explicit KalvoController(bool headphones = false);

    // FUnknown
    vst3::tresult KALVO_VST3_API queryInterface(const vst3::TUID requested, void** obj) override;
    vst3::uint32 KALVO_VST3_API addRef() override;
    vst3::uint32 KALVO_VST3_API release() override;

    // IPluginBase
    vst3::tresult KALVO_VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult KALVO_VST3_API terminate() override;

    // IEditController
    vst3::tresult KALVO_VST3_API setComponentState(vst3::IBStream* state) override;
    vst3::tresult KALVO_VST3_API setState(vst3::IBStream* state) override;
    vst3::tresult KALVO_VST3_API getState(vst3::IBStream* state) override;
    vst3::int32 KALVO_VST3_API getParameterCount() override;
    vst3::tresult KALVO_VST3_API getParameterInfo(vst3::int32 paramIndex, vst3::ParameterInfo& info) override;
    vst3::tresult KALVO_VST3_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                       vst3::String128 string) override;
    vst3::tresult KALVO_VST3_API getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                       vst3::ParamValue& valueNormalized) override;
    vst3::ParamValue KALVO_VST3_API normalizedParamToPlain(vst3::ParamID id,
                                                           vst3::ParamValue valueNormalized) override;
    vst3::ParamValue KALVO_VST3_API plainParamToNormalized(vst3::ParamID id,
                                                           vst3::ParamValue plainValue) override;
    vst3::ParamValue KALVO_VST3_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult KALVO_VST3_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult KALVO_VST3_API setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* KALVO_VST3_API createView(vst3::FIDString name) override;

    // IEditController2
    vst3::tresult KALVO_VST3_API setKnobMode(vst3::int32 mode) override;
    vst3::tresult KALVO_VST3_API openHelp(vst3::TBool onlyCheck) override;
    vst3::tresult KALVO_VST3_API openAboutBox(vst3::TBool onlyCheck) override;

    // IConnectionPoint: accepted; nothing travels over it.
    vst3::tresult KALVO_VST3_API connect(vst3::IConnectionPoint* other) override;
    vst3::tresult KALVO_VST3_API disconnect(vst3::IConnectionPoint* other) override;
    vst3::tresult KALVO_VST3_API notify(vst3::IMessage* message) override;

    // IUnitInfo: one root unit holding the list of the five factory programs.
    vst3::int32 KALVO_VST3_API getUnitCount() override;
    vst3::tresult KALVO_VST3_API getUnitInfo(vst3::int32 unitIndex, vst3::UnitInfo& info) override;
    vst3::int32 KALVO_VST3_API getProgramListCount() override;
    vst3::tresult KALVO_VST3_API getProgramListInfo(vst3::int32 listIndex,
                                                    vst3::ProgramListInfo& info) override;
    vst3::tresult KALVO_VST3_API getProgramName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                                vst3::String128 name) override;
    vst3::tresult KALVO_VST3_API getProgramInfo(vst3::ProgramListID listId, vst3::int32 programIndex,
                                                const vst3::char8* attributeId,
                                                vst3::String128 attributeValue) override;
    vst3::tresult KALVO_VST3_API hasProgramPitchNames(vst3::ProgramListID listId,
                                                      vst3::int32 programIndex) override;
    vst3::tresult KALVO_VST3_API getProgramPitchName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                                     vst3::int16 midiPitch, vst3::String128 name) override;
    vst3::UnitID KALVO_VST3_API getSelectedUnit() override;
    vst3::tresult KALVO_VST3_API selectUnit(vst3::UnitID unitId) override;
    vst3::tresult KALVO_VST3_API getUnitByBus(vst3::MediaType type, vst3::BusDirection dir,
                                              vst3::int32 busIndex, vst3::int32 channel,
                                              vst3::UnitID& unitId) override;
    vst3::tresult KALVO_VST3_API setUnitProgramData(vst3::int32 listOrUnitId, vst3::int32 programIndex,
                                                    vst3::IBStream* data) override;

    // ---- for the panel ----
    /// The user's gesture on knob `id`, reported to the host.
    void beginEdit(vst3::ParamID id);
    void performEdit(vst3::ParamID id, double normalized);
    void endEdit(vst3::ParamID id);
    /// The panel closed its view (the view tells the controller before it goes).
    void viewClosed();
    /// The panel's periodic tick on the UI thread, outside every host call: tells the host
    /// what changed since (a chosen program's values).
    void idle();
    const KalvoBuildRules& rules() const { return buildRules; }
    bool isHeadphoneBuild() const { return headphones; }

private:
    ~KalvoController();
    /// Stores a value and shows it on the panel, if open.
    void showValue(vst3::ParamID id, double normalized);
    void applyKnobs(const float (&values)[kNumParameters]);
    /// Reads a state's records (with the zoom's, given `zoom`) and shows its values; false for
    /// a refused one, which changes nothing.
    bool loadState(vst3::IBStream* state, float* zoom);
    /// The headphone build's head controls and status; the other build has neither.
    bool ownsParam(vst3::ParamID id) const
    {
        return isKnobParam(id) || id == kProgramParamId || isMeterParam(id) ||
               (headphones && (isHeadParam(id) || id == kTrackerStatusParamId));
    }

    RefCount refs;
    const KalvoBuildRules& buildRules;
    vst3::IComponentHandler* handler = nullptr; ///< the host's, referenced
    ControllerPanel* panel = nullptr;           ///< owned; exists from the first createView
    double userZoom = 0.0;                      ///< the panel's zoom from a session, until the panel exists
    double knobs[kNumParameters];
    double meters[kMeterCount] = {};
    const bool headphones;
    double head[kHeadParamCount] = {}; ///< normalised
    double trackerStatus = 0.0;        ///< normalised
    int program = 0;
    /// A program changed the values since the host last read them.
    std::atomic<bool> valuesChanged{false};
};

} // namespace kalvo::vst3adapter
