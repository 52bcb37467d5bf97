// The editor base that binds the host's editor opcodes to the toolkit's frame.
#pragma once

#include "gui/platform/Platform.h"
#include "vst2/AEffEditor.h"

#include <cstdint>
#include <memory>

class CFrame;

/// Reports the editor rectangle, forwards idle time, keys and the wheel to the frame, passes the
/// controls' edit brackets to the host and gives tracking loops a time base and an idle pump.
/// The subclass creates the frame in open() and releases it in close().
class AEffGUIEditor : public AEffEditor
{
public:
    /// Attaches itself to the effect (setEditor), which marks the effect as having an editor.
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    /// The editor rectangle in window pixels: `rect` (panel pixels) at the content scale; true.
    bool getRect(ERect** ppRect) override;
    /// The frame's idle pass, unless doIdleStuff is inside the host's idle call.
    void idle() override;
    /// True only when the frame handled the key.
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    /// The wheel at the current pointer position; false while closed.
    bool onWheel(float distance) override;
    /// Stores the knob mode for every editor of this class; true.
    bool setKnobMode(int value) override;

    /// Follows a parameter change; the subclass overrides it.
    virtual void setParameter(int index, float value);
    /// Announces the start of a user gesture on parameter `index` to the host.
    virtual void beginEdit(int index);
    /// Announces its end.
    virtual void endEdit(int index);
    /// The idle pump of tracking loops: the idle work at most about every 100 ms, otherwise a
    /// 4 ms wait; each pass of idle work ends with one idle call to the host.
    virtual void doIdleStuff();

    /// A millisecond clock (32-bit, wrapping like a tick count).
    static std::int32_t getTicks();
    /// The knob mode last set by the host (class-wide).
    static std::int32_t knobMode;

    // ---- zoom: the first of these that is set wins ----
    /// The user's choice (1 to 3); 0 follows the host.
    void setUserScale(double scale);
    double getUserScale() const { return userScale; }
    /// The host's (VST 3 content scale, LV2 ui:scaleFactor); 0 for none, which follows the desktop.
    void setHostScale(double scale);
    /// The desktop's zoom where the window shows is to be asked again: the next idle call makes
    /// the frame again when it changed.
    void desktopScaleChanged() { desktop = 0.0; }
    /// Window pixels per panel pixel the frame is made at: the user's, the host's, the desktop's
    /// or 1, within 1..3; 1 where the window system draws at one scale only.
    double getContentScale() const;
    /// True while the frame is open at another scale than getContentScale(): a zoom was chosen
    /// or the host's changed, and applyContentScale has yet to make the frame again.
    bool contentScaleChanged() const;
    /// Makes the frame again at the current content scale when it changed (in the same host
    /// window) and asks the host for the new size. Called outside the frame's own calls; idle
    /// does it on its own, so a format that must do more around it (a new event descriptor, its
    /// own resize request) calls it before idle.
    void applyContentScale();

    CFrame* getFrame() const { return frame; }
    /// The window a frame at the previous zoom left for the next one; null at other times.
    std::unique_ptr<kalvo::platform::NativeWindow> takeKeptWindow() { return std::move(keptWindow); }
    /// Asks the host to resize its window to width x height; true when it agreed.
    bool requestHostResize(long width, long height);

protected:
    ERect rect{0, 0, 0, 0};
    std::int32_t lastTicks = 0;
    bool inIdleStuff = false;
    bool inTrackingIdle = false; ///< idle runs from a control's tracking loop, inside the frame
    CFrame* frame = nullptr;

    /// Asks the host to give the window width x height window pixels; the default asks a VST 2.4
    /// host (audioMasterSizeWindow). Formats with their own resize request override it.
    virtual bool requestWindowSize(long width, long height) { return requestHostResize(width, height); }

private:
    bool windowSystemSession = false; ///< the window system's per-editor start-up succeeded
    double userScale = 0.0;
    double hostScale = 0.0;
    mutable double desktop = 0.0;                              ///< the desktop's zoom, 0 until asked
    mutable void* desktopAskedFor = nullptr;                   ///< the host window it was asked for
    std::unique_ptr<kalvo::platform::NativeWindow> keptWindow; ///< see takeKeptWindow
    ERect scaledRect{0, 0, 0, 0};                              ///< what getRect answers
};
