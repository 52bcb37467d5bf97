// kalvo_ui.so: the panel of the LV2 build. It is the VST build's editor, opened in the host's
// X11 window (ui:parent) and driven by the host's idle calls. It knows the effect only through
// ports: every value, the meters included, arrives with port_event in the panel's units, and
// every edit leaves through write_function in the same units, so the processing may run in
// another process. Gestures are bracketed with ui:touch when the host offers it.
#include "editor/KalvoEditor.h"
#include "effect/KalvoParameters.h"
#include "effect/RemoteEffect.h"
#include "formats/lv2/Lv2BinauralPorts.h"
#include "formats/lv2/Lv2Ports.h"
#include "gui/AEffGUIEditor.h"
#include "gui/CFrame.h"
#include "gui/HostToolkit.h"
#include "gui/platform/Platform.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace
{
using namespace kalvo::lv2;

class KalvoUi final : public RemoteEffect::Listener
{
public:
    /// `headphones`: the panel of the headphone plug-in, with its head controls on their ports.
    KalvoUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
            bool headphones)
        : write(write), controller(controller), touchFeature(touch), headphones(headphones)
    {
        for (float& value : lastValue)
            value = std::numeric_limits<float>::quiet_NaN();
    }

    ~KalvoUi() override
    {
        // The editor closes before the listener it reports to goes away.
        effect.reset();
    }

    /// Builds the panel in the host's window; the panel's own window, or null when the window
    /// system refused it (no display, a parent that does not exist).
    /// `hostScale` is the host's ui:scaleFactor, 0 without one.
    void* open(void* parent, const LV2UI_Resize* resize, double hostScale)
    {
        effect.reset(new (std::nothrow) RemoteEffect(*this, buildRules(), headphones));
        if (!effect)
            return nullptr;
        auto* editor = dynamic_cast<KalvoEditor*>(effect->getEditor());
        if (!editor)
            return nullptr;
        editor->setHostScale(hostScale);
        if (!editor->open(parent))
            return nullptr;
        resizeFeature = resize;
        kalvo::platform::NativeWindow* window = shown();
        if (!window)
            return nullptr;
        return window->nativeHandle();
    }

    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        if (format != 0 || size != sizeof(float) || !buffer || !effect)
            return;
        float value;
        std::memcpy(&value, buffer, sizeof value);
        const int at = static_cast<int>(port);
        if (isMeterPort(at))
        {
            effect->reportMeter(at - kFirstMeterPort, value);
            return;
        }
        if (headphones && binaural::headControlAt(at) >= 0)
        {
            effect->reportHeadControl(binaural::headControlAt(at), value);
            return;
        }
        if (headphones && at == binaural::kStatusPort)
        {
            if (std::isfinite(value))
                effect->reportTrackerStatus(static_cast<int>(std::lround(value)));
            return;
        }
        if (!isControlPort(at))
            return;
        const int index = at - kFirstControl;
        // A host that echoes what the panel wrote sends back the unit value, whose knob position
        // may differ from the panel's in the last bit; the panel keeps its own position then, so a
        // handle under the user's pointer does not twitch.
        if (value == lastValue[index])
            return;
        const double knob = kalvo::unitToKnob(index, static_cast<double>(value));
        if (!(knob >= 0.0))
            return; // not a number
        lastValue[index] = value;
        effect->reportParameter(index, static_cast<float>(knob));
        resetTargetOnFirstReport(index, static_cast<float>(knob));
    }

    void idle()
    {
        auto* editor = effect ? dynamic_cast<AEffGUIEditor*>(effect->getEditor()) : nullptr;
        if (!editor)
            return;
        // The user chose another zoom: the panel is made again in a new window of the host's,
        // which must take the keys and have the host's window fit it.
        if (editor->contentScaleChanged())
        {
            editor->applyContentScale();
            shown();
        }
        editor->idle();
    }

    // ---- the user's gestures, from the panel ----
    void beginGesture(int index) override { touch(index, true); }
    void endGesture(int index) override { touch(index, false); }
    void changed(int index, float knob) override
    {
        if (const int port = headPortOf(index); port >= 0)
        {
            write(controller, static_cast<uint32_t>(port), sizeof knob, 0, &knob); // in the control's unit
            return;
        }
        if (index < 0 || index >= kNumParameters)
            return;
        const float value = static_cast<float>(kalvo::knobToUnit(index, static_cast<double>(knob)));
        lastValue[index] = value;
        write(controller, static_cast<uint32_t>(kFirstControl + index), sizeof value, 0, &value);
    }

private:
    /// The panel's window, made to take the keys, with the host asked for its size; null
    /// without one.
    kalvo::platform::NativeWindow* shown()
    {
        auto* editor = dynamic_cast<AEffGUIEditor*>(effect->getEditor());
        kalvo::platform::NativeWindow* window =
            editor && editor->getFrame() ? editor->getFrame()->getPlatformWindow() : nullptr;
        if (!window)
            return nullptr;
        // No LV2 call carries keys: a host passes them on by sending them to the panel's window.
        window->takeKeys();
        ERect* rect = nullptr;
        if (resizeFeature && resizeFeature->ui_resize && editor->getRect(&rect) && rect)
        {
            // A host whose toolkit zooms (GTK under GDK_SCALE) multiplies the size asked for by
            // its zoom, so it is asked for the panel's pixels divided by that zoom.
            const double toolkit = kalvo::hostToolkitScale();
            const auto fit = [toolkit](long pixels)
            { return static_cast<int>(std::ceil(static_cast<double>(pixels) / toolkit - 1e-9)); };
            resizeFeature->ui_resize(resizeFeature->handle, fit(rect->right - rect->left),
                                     fit(rect->bottom - rect->top));
        }
        return window;
    }

    /// The port of the head control the panel numbers `index`, or -1.
    int headPortOf(int index) const
    {
        return headphones && kalvo::isHeadParameter(index)
                   ? binaural::headPort(index - kalvo::kFirstHeadParameter)
                   : -1;
    }

    void touch(int index, bool grabbed)
    {
        if (!touchFeature || !touchFeature->touch)
            return;
        if (const int port = headPortOf(index); port >= 0)
            touchFeature->touch(touchFeature->handle, static_cast<uint32_t>(port), grabbed);
        else if (index >= 0 && index < kNumParameters)
            touchFeature->touch(touchFeature->handle, static_cast<uint32_t>(kFirstControl + index), grabbed);
    }

    /// Ctrl-click puts a level back where it stood when the panel opened. The panel opens before
    /// the host reports the session's values, so the first report of each level is that place.
    void resetTargetOnFirstReport(int index, float knob)
    {
        if (kalvo::parameterSpec(index).unit != kalvo::ParameterUnit::LevelDb || resetTargetKnown[index])
            return;
        resetTargetKnown[index] = true;
        if (auto* editor = dynamic_cast<KalvoEditor*>(effect->getEditor()))
            editor->setResetValue(index, knob);
    }

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touchFeature;
    const bool headphones;
    const LV2UI_Resize* resizeFeature = nullptr;
    std::unique_ptr<RemoteEffect> effect;
    float lastValue[kNumParameters]; ///< the port's value as last written or reported
    bool resetTargetKnown[kNumParameters] = {};
};

/// The host's ui:scaleFactor among `options`, or 0 when it gives none (or no way to name it).
double scaleFactorOf(const LV2_Options_Option* options, const LV2_URID_Map* map)
{
    if (!options || !map || !map->map)
        return 0.0;
    const LV2_URID scaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    const LV2_URID doubleType = map->map(map->handle, LV2_ATOM__Double);
    for (const LV2_Options_Option* o = options; o->key != 0; ++o)
    {
        if (o->key != scaleFactor || !o->value)
            continue;
        if (o->type == floatType && o->size == sizeof(float))
            return static_cast<double>(*static_cast<const float*>(o->value));
        if (o->type == doubleType && o->size == sizeof(double))
            return *static_cast<const double*>(o->value);
    }
    return 0.0;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
    // The headphone plug-in has the same controls and meters on the same ports.
    if (!pluginUri ||
        (std::strcmp(pluginUri, kPluginUri) != 0 && std::strcmp(pluginUri, kBinauralPluginUri) != 0) ||
        !write)
        return nullptr;
    void* parent = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    const LV2_Options_Option* options = nullptr;
    const LV2_URID_Map* map = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f)
    {
        const char* uri = (*f)->URI;
        if (!uri)
            continue;
        if (!std::strcmp(uri, LV2_UI__parent))
            parent = (*f)->data;
        else if (!std::strcmp(uri, LV2_UI__resize))
            resize = static_cast<const LV2UI_Resize*>((*f)->data);
        else if (!std::strcmp(uri, LV2_UI__touch))
            touch = static_cast<const LV2UI_Touch*>((*f)->data);
        else if (!std::strcmp(uri, LV2_OPTIONS__options))
            options = static_cast<const LV2_Options_Option*>((*f)->data);
        else if (!std::strcmp(uri, LV2_URID__map))
            map = static_cast<const LV2_URID_Map*>((*f)->data);
    }
    if (!parent)
        return nullptr;

    auto* ui =
        new (std::nothrow) KalvoUi(write, controller, touch, std::strcmp(pluginUri, kBinauralPluginUri) == 0);
    if (!ui)
        return nullptr;
    void* window = ui->open(parent, resize, scaleFactorOf(options, map));
    if (!window)
    {
        delete ui;
        return nullptr;
    }
    if (widget)
        *widget = window;
    return ui;
}

void cleanup(LV2UI_Handle handle)
{
    delete static_cast<KalvoUi*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    if (handle)
        static_cast<KalvoUi*>(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle)
{
    if (handle)
        static_cast<KalvoUi*>(handle)->idle();
    return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri)
{
    if (uri && !std::strcmp(uri, LV2_UI__idleInterface))
        return &kIdleInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
