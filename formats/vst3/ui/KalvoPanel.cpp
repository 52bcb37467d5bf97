// The shared editor inside a VST 3 host. The editor talks to an effect; here that effect is a
// mirror (RemoteEffect) that answers the values the host reported to the controller and turns
// the editor's edits into the controller's begin/perform/end edits. The view embeds the
// editor's frame in the host's window and, on Linux, runs its events and redraws from the
// host's run loop: a handler on the X connection's descriptor and a timer.
#include "ContentScaleSupport.h"
#include "ControllerPanel.h"
#include "editor/PanelLayout.h"
#include "effect/RemoteEffect.h"
#include "formats/vst3/KalvoController.h"
#include "formats/vst3/Vst3Support.h"
#include "gui/AEffGUIEditor.h"
#include "gui/CFrame.h"
#include "gui/platform/Platform.h"

#include <cstring>
#include <new>

namespace kalvo::vst3adapter
{
namespace
{

/// The editor's redraws and meters, as often as a VST 2.4 host's idle calls come (Carla's 20 ms
/// to Ardour's 40 ms).
constexpr vst3::uint64 kIdlePeriodMs = 25;

class PanelView;

/// The panel: the editor on a mirror of the values (RemoteEffect), whose gestures become the
/// controller's edits.
class Panel final : public ControllerPanel, public RemoteEffect::Listener
{
public:
    explicit Panel(KalvoController& controller)
        : controller(controller), effect(*this, controller.rules(), controller.isHeadphoneBuild())
    {
    }
    ~Panel() override;

    void showKnob(int index, float knob) override { effect.reportParameter(index, knob); }
    void showMeter(int meter, float level) override { effect.reportMeter(meter, level); }
    void showHeadControl(int control, float value) override { effect.reportHeadControl(control, value); }
    void showTrackerStatus(int status) override { effect.reportTrackerStatus(status); }
    vst3::IPlugView* createView() override;
    double userZoom() override { return editor() ? editor()->getUserScale() : 0.0; }
    void setUserZoom(double zoom) override
    {
        if (editor())
            editor()->setUserScale(zoom);
    }

    // The panel numbers the head controls kFirstHeadParameter and on, in their own units; the
    // host knows them as ids 40 and on, normalised.
    static vst3::ParamID idOf(int index)
    {
        return isHeadParameter(index)
                   ? kFirstHeadParamId + static_cast<vst3::ParamID>(index - kFirstHeadParameter)
                   : static_cast<vst3::ParamID>(index);
    }
    void beginGesture(int index) override { controller.beginEdit(idOf(index)); }
    void changed(int index, float value) override
    {
        const vst3::ParamID id = idOf(index);
        controller.performEdit(id, isHeadParam(id) ? plainToNormalized(id, static_cast<double>(value))
                                                   : static_cast<double>(value));
    }
    void endGesture(int index) override { controller.endEdit(idOf(index)); }

    AEffGUIEditor* editor() { return static_cast<AEffGUIEditor*>(effect.getEditor()); }

    KalvoController& controller;
    RemoteEffect effect;
    PanelView* attachedView = nullptr; ///< the view whose window shows the editor
    int views = 0;                     ///< views alive
};

class PanelView final : public vst3::IPlugView,
                        public vst3::IPlugViewContentScaleSupport,
                        public vst3::IEventHandler,
                        public vst3::ITimerHandler
{
public:
    explicit PanelView(Panel& panel) : panel(panel)
    {
        panel.views++;
        panel.controller.addRef(); // the view never outlives its controller
    }

    vst3::tresult KALVO_VST3_API queryInterface(const vst3::TUID requested, void** obj) override
    {
        if (!obj)
            return vst3::kInvalidArgument;
        if (offerInterface<vst3::IPlugView>(requested, this, obj) ||
            offerInterface<vst3::FUnknown>(requested, static_cast<vst3::IPlugView*>(this), obj) ||
            offerInterface<vst3::IPlugViewContentScaleSupport>(requested, this, obj) ||
            offerInterface<vst3::IEventHandler>(requested, this, obj) ||
            offerInterface<vst3::ITimerHandler>(requested, this, obj))
            return vst3::kResultOk;
        *obj = nullptr;
        return vst3::kNoInterface;
    }
    vst3::uint32 KALVO_VST3_API addRef() override { return refs.add(); }
    vst3::uint32 KALVO_VST3_API release() override
    {
        const vst3::uint32 left = refs.drop();
        if (left == 0)
            delete this;
        return left;
    }

    vst3::tresult KALVO_VST3_API isPlatformTypeSupported(vst3::FIDString type) override
    {
        return type && std::strcmp(type, nativeType()) == 0 ? vst3::kResultTrue : vst3::kResultFalse;
    }

    vst3::tresult KALVO_VST3_API attached(void* parent, vst3::FIDString type) override
    {
        if (!parent || isPlatformTypeSupported(type) != vst3::kResultTrue)
            return vst3::kInvalidArgument;
        if (panel.attachedView || !editor())
            return vst3::kResultFalse; // one window shows the panel at a time
        if (!editor()->open(parent) || !editor()->getFrame())
        {
            editor()->close();
            return vst3::kResultFalse;
        }
        panel.attachedView = this;
        startRunLoop();
        if (!runLoop)
        {
            // Without a run loop from the host (Windows) the window system's own timer runs
            // the editor's idle work.
            CFrame* frame = editor()->getFrame();
            if (frame && frame->getPlatformWindow())
                frame->getPlatformWindow()->startTimer(
                    static_cast<long>(kIdlePeriodMs),
                    [](void* view) { static_cast<PanelView*>(view)->idle(); }, this);
        }
        return vst3::kResultOk;
    }

    vst3::tresult KALVO_VST3_API removed() override
    {
        if (panel.attachedView != this)
            return vst3::kResultFalse;
        stopRunLoop();
        if (CFrame* frame = editor()->getFrame())
            if (frame->getPlatformWindow())
                frame->getPlatformWindow()->stopTimer();
        editor()->close();
        panel.attachedView = nullptr;
        return vst3::kResultOk;
    }

    vst3::tresult KALVO_VST3_API onWheel(float distance) override
    {
        return isShowing() && editor()->onWheel(distance) ? vst3::kResultTrue : vst3::kResultFalse;
    }
    vst3::tresult KALVO_VST3_API onKeyDown(vst3::char16 key, vst3::int16 keyCode,
                                           vst3::int16 modifiers) override
    {
        VstKeyCode code = keyOf(key, keyCode, modifiers);
        return isShowing() && editor()->onKeyDown(code) ? vst3::kResultTrue : vst3::kResultFalse;
    }
    vst3::tresult KALVO_VST3_API onKeyUp(vst3::char16 key, vst3::int16 keyCode,
                                         vst3::int16 modifiers) override
    {
        VstKeyCode code = keyOf(key, keyCode, modifiers);
        return isShowing() && editor()->onKeyUp(code) ? vst3::kResultTrue : vst3::kResultFalse;
    }
    vst3::tresult KALVO_VST3_API getSize(vst3::ViewRect* size) override
    {
        if (!size)
            return vst3::kInvalidArgument;
        *size = {0, 0, width(), height()};
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API onSize(vst3::ViewRect* newSize) override
    {
        // The panel is a fixed bitmap; the host's window may be larger, the panel stays.
        return newSize ? vst3::kResultOk : vst3::kInvalidArgument;
    }
    vst3::tresult KALVO_VST3_API onFocus(vst3::TBool) override { return vst3::kResultOk; }
    vst3::tresult KALVO_VST3_API setFrame(vst3::IPlugFrame* newFrame) override
    {
        if (newFrame)
            newFrame->addRef();
        if (plugFrame)
        {
            stopRunLoop();
            plugFrame->release();
        }
        plugFrame = newFrame;
        if (panel.attachedView == this)
            startRunLoop();
        return vst3::kResultOk;
    }
    vst3::tresult KALVO_VST3_API canResize() override { return vst3::kResultFalse; }
    vst3::tresult KALVO_VST3_API checkSizeConstraint(vst3::ViewRect* rect) override
    {
        if (!rect)
            return vst3::kInvalidArgument;
        rect->right = rect->left + width();
        rect->bottom = rect->top + height();
        return vst3::kResultOk;
    }

    // The host's zoom. Before the panel shows, getSize answers the new size; once it shows, the
    // panel is made again at the new zoom and the host asked for the size from the view's next
    // timer tick, since resizeView from inside this call may come straight back into the view.
    vst3::tresult KALVO_VST3_API setContentScaleFactor(float factor) override
    {
        if (!editor() || !(factor > 0.0f))
            return vst3::kResultFalse;
        editor()->setHostScale(static_cast<double>(factor));
        return vst3::kResultTrue;
    }

    // The host's run loop: the X connection became readable, or the idle period passed.
    void KALVO_VST3_API onFDIsSet(int) override { idle(false); }
    void KALVO_VST3_API onTimer() override { idle(true); }

private:
    ~PanelView()
    {
        if (panel.attachedView == this)
            removed();
        if (plugFrame)
            plugFrame->release();
        panel.views--;
        panel.controller.release();
    }

    static constexpr vst3::int32 kWidth = ::panel::kPanelWidth;
    static constexpr vst3::int32 kHeight = ::panel::kPanelHeight;

    // The panel's size in window pixels: the editor's rectangle at its zoom (the desktop's on
    // a scaled desktop), so that the host makes the window as large as the panel draws.
    vst3::int32 width()
    {
        ERect* r = nullptr;
        return editor() && editor()->getRect(&r) && r ? r->right - r->left : kWidth;
    }
    vst3::int32 height()
    {
        ERect* r = nullptr;
        return editor() && editor()->getRect(&r) && r ? r->bottom - r->top : kHeight;
    }

    static const char* nativeType()
    {
#if defined(_WIN32)
        return vst3::kPlatformTypeHWND;
#else
        return vst3::kPlatformTypeX11EmbedWindowID;
#endif
    }

    static VstKeyCode keyOf(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers)
    {
        // The interface's virtual key numbers and modifier bits are the VST 2.4 ones.
        VstKeyCode code{};
        code.character = key < 128 ? key : 0;
        code.virt = static_cast<unsigned char>(keyCode > 0 && keyCode < 256 ? keyCode : 0);
        code.modifier = static_cast<unsigned char>(modifiers & 0x0F);
        return code;
    }

    AEffGUIEditor* editor()
    {
        return panel.editor();
    }
    bool isShowing()
    {
        return panel.attachedView == this && editor();
    }

    void idle(bool timerTick = true)
    {
        if (isShowing())
        {
            if (editor()->contentScaleChanged())
            {
                // A new zoom (the host's or the user's) waits for a timer tick, the host's or
                // (on Windows) the window's own: never from inside the host's call that set it.
                if (timerTick)
                    rescale();
            }
            else
                editor()->idle();
        }
        panel.controller.idle();
    }

    /// Makes the panel again at the editor's zoom, in the same window where the window system
    /// can rescale it (else in a new one, with its own X connection), and asks the host for the
    /// new size.
    void rescale()
    {
        if (watchingDescriptor)
            runLoop->unregisterEventHandler(this);
        watchingDescriptor = false;
        editor()->applyContentScale();
        CFrame* frame = editor()->getFrame();
        const int fd =
            frame && frame->getPlatformWindow() ? frame->getPlatformWindow()->eventDescriptor() : -1;
        if (runLoop && fd >= 0 && runLoop->registerEventHandler(this, fd) == vst3::kResultOk)
            watchingDescriptor = true;
        vst3::ViewRect size{0, 0, width(), height()};
        if (plugFrame)
            plugFrame->resizeView(this, &size);
    }

    void startRunLoop()
    {
        if (runLoop || !plugFrame || !isShowing())
            return;
        void* obj = nullptr;
        if (plugFrame->queryInterface(vst3::IRunLoop::iid.bytes, &obj) != vst3::kResultOk || !obj)
            return;
        runLoop = static_cast<vst3::IRunLoop*>(obj);
        CFrame* frame = editor()->getFrame();
        const int fd =
            frame && frame->getPlatformWindow() ? frame->getPlatformWindow()->eventDescriptor() : -1;
        if (fd >= 0 && runLoop->registerEventHandler(this, fd) == vst3::kResultOk)
            watchingDescriptor = true;
        timerRunning = runLoop->registerTimer(this, kIdlePeriodMs) == vst3::kResultOk;
    }

    void stopRunLoop()
    {
        if (!runLoop)
            return;
        if (watchingDescriptor)
            runLoop->unregisterEventHandler(this);
        if (timerRunning)
            runLoop->unregisterTimer(this);
        watchingDescriptor = timerRunning = false;
        runLoop->release();
        runLoop = nullptr;
    }

    RefCount refs;
    Panel& panel;
    vst3::IPlugFrame* plugFrame = nullptr;
    vst3::IRunLoop* runLoop = nullptr;
    bool watchingDescriptor = false;
    bool timerRunning = false;
};

Panel::~Panel() = default;

vst3::IPlugView* Panel::createView()
{
    return new (std::nothrow) PanelView(*this);
}

} // namespace

ControllerPanel* createControllerPanel(KalvoController& controller)
{
    auto* panel = new (std::nothrow) Panel(controller);
    if (panel && !panel->editor())
    {
        delete panel;
        return nullptr;
    }
    return panel;
}

} // namespace kalvo::vst3adapter
