#include "AEffGUIEditor.h"

#include "CDrawContext.h"
#include "CFrame.h"
#include "gui/platform/Platform.h"
#include "vst2/AudioEffectX.h"

#include <cmath>

namespace
{
// A tracking loop's idle pump waits this long when the next idle work is not due.
constexpr std::int32_t kIdleWaitMs = 4;
// Idle work runs again this long after the previous pass ...
constexpr std::int32_t kIdlePeriodMs = 100;
// ... but not earlier than this much before the scheduled time.
constexpr std::int32_t kIdleEarlyMs = 50;

/// later - earlier on the wrapping clock, within +-2^31 ms.
std::int32_t ticksBetween(std::int32_t earlier, std::int32_t later)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(later) - static_cast<std::uint32_t>(earlier));
}

/// ticks + ms on the wrapping clock, without signed overflow.
std::int32_t addTicks(std::int32_t ticks, std::int32_t ms)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ticks) + static_cast<std::uint32_t>(ms));
}
} // namespace

std::int32_t AEffGUIEditor::knobMode = 0;

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect)
{
    systemWindow = nullptr;
    lastTicks = getTicks();
    if (effect)
        effect->setEditor(this);
    windowSystemSession = kalvo::platform::startEditorSession();
}

AEffGUIEditor::~AEffGUIEditor()
{
    if (windowSystemSession)
        kalvo::platform::endEditorSession();
}

std::int32_t AEffGUIEditor::getTicks()
{
    return static_cast<std::int32_t>(kalvo::platform::ticksMs());
}

bool AEffGUIEditor::getRect(ERect** ppRect)
{
    const double scale = getContentScale();
    const auto scaled = [scale](VstInt16 v)
    { return static_cast<VstInt16>(std::ceil(static_cast<double>(v) * scale - 1e-9)); };
    scaledRect = ERect{scaled(rect.top), scaled(rect.left), scaled(rect.bottom), scaled(rect.right)};
    if (ppRect)
        *ppRect = &scaledRect;
    return true;
}

namespace
{
// The zoom range the panel is drawn at.
constexpr double kMinScale = 1.0;
constexpr double kMaxScale = 3.0;

double clampScale(double scale)
{
    return scale < kMinScale ? kMinScale : scale > kMaxScale ? kMaxScale : scale;
}
} // namespace

void AEffGUIEditor::setUserScale(double scale)
{
    userScale = scale > 0.0 ? clampScale(scale) : 0.0;
}

void AEffGUIEditor::setHostScale(double scale)
{
    hostScale = scale > 0.0 && std::isfinite(scale) ? clampScale(scale) : 0.0;
}

double AEffGUIEditor::getContentScale() const
{
    if (!kalvo::platform::scalesDrawing())
        return 1.0;
    if (userScale > 0.0)
        return userScale;
    if (hostScale > 0.0)
        return hostScale;
    // Asked again in a new host window: a host may open the panel on another monitor than the
    // one it asked the size for.
    if (desktop == 0.0 || desktopAskedFor != systemWindow)
    {
        desktop = clampScale(kalvo::platform::desktopScale(systemWindow));
        desktopAskedFor = systemWindow;
    }
    return desktop;
}

bool AEffGUIEditor::contentScaleChanged() const
{
    return frame && getContentScale() != frame->getScale();
}

void AEffGUIEditor::applyContentScale()
{
    if (!contentScaleChanged())
        return;
    void* parent = systemWindow;
    // The new frame keeps the old one's window where the backend can rescale it: hosts hold its
    // handle (an LV2 host its widget) and would otherwise be left with a destroyed window.
    keptWindow = frame->releasePlatformWindow();
    close();
    open(parent);
    keptWindow.reset(); // not taken: the new frame made a window of its own
    ERect* size = nullptr;
    getRect(&size);
    requestWindowSize(size->right - size->left, size->bottom - size->top);
}

void AEffGUIEditor::idle()
{
    if (inIdleStuff)
        return;
    // A new zoom makes a new frame, which must not happen under a control's tracking loop: the
    // frame and the control would go while still on the stack.
    if (!inTrackingIdle && contentScaleChanged())
        applyContentScale();
    if (frame)
        frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode)
{
    return frame && frame->onKeyDown(keyCode) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode)
{
    return frame && frame->onKeyUp(keyCode) == 1;
}

bool AEffGUIEditor::onWheel(float distance)
{
    if (!frame)
        return false;
    CDrawContext* context = new CDrawContext(frame, nullptr, systemWindow);
    CPoint where;
    context->getMouseLocation(where);
    const bool result = frame->onWheel(context, where, distance);
    context->forget();
    return result;
}

bool AEffGUIEditor::setKnobMode(int value)
{
    knobMode = value;
    return true;
}

void AEffGUIEditor::setParameter(int index, float value)
{
    (void)index;
    (void)value;
}

// Controls with negative tags are the editor's own (its zoom menu, its typing field): they
// name no parameter, and a host must never hear of them.
void AEffGUIEditor::beginEdit(int index)
{
    if (effect && index >= 0)
        effect->beginEdit(index);
}

void AEffGUIEditor::endEdit(int index)
{
    if (effect && index >= 0)
        effect->endEdit(index);
}

void AEffGUIEditor::doIdleStuff()
{
    std::int32_t now = getTicks();
    // The clock wraps: times are compared by their difference, taken modulo 2^32, so
    // the pump keeps its pace across the wrap instead of stalling for weeks.
    std::int32_t untilDue = ticksBetween(now, lastTicks);
    if (untilDue > 0)
    {
        kalvo::platform::sleepMs(kIdleWaitMs);
        now = addTicks(now, kIdleWaitMs);
        untilDue -= kIdleWaitMs;
        if (untilDue > kIdleEarlyMs)
            return;
    }
    inTrackingIdle = true;
    idle();
    inTrackingIdle = false;
    if (frame && frame->getPlatformWindow())
        frame->getPlatformWindow()->deliverOnePendingRepaint();
    lastTicks = addTicks(now, kIdlePeriodMs);
    inIdleStuff = true;
    if (effect)
        effect->masterIdle();
    inIdleStuff = false;
}

bool AEffGUIEditor::requestHostResize(long width, long height)
{
    auto* effectX = dynamic_cast<AudioEffectX*>(effect);
    if (!effectX)
        return false;
    char query[] = "sizeWindow";
    if (effectX->canHostDo(query) <= 0)
        return false;
    return effectX->sizeWindow(static_cast<VstInt32>(width), static_cast<VstInt32>(height));
}
