// The root container bound to the host's editor window.
#pragma once

#include "CViewContainer.h"
#include "gui/platform/Platform.h"

#include <memory>

class AEffGUIEditor;

/// Follows the pointer after a press, one event at a time (a slider's drag): the frame reports
/// each motion and the release, so the gesture never holds the host's thread between events.
class CMouseTracker
{
public:
    /// The pointer moved to `where` (frame coordinates) with `buttons` held.
    virtual void trackMoved(CDrawContext* context, const CPoint& where, long buttons) = 0;
    /// The button went up (or the frame ended the gesture): the tracking is over.
    virtual void trackEnded(CDrawContext* context) = 0;

protected:
    ~CMouseTracker() = default;
};

/// Holds the editor's views, creates a native child in the host's window, routes mouse, wheel
/// and keys, keeps a focus view and a modal view, and redraws dirty views when the editor's
/// idle call reaches it. Destroying the frame destroys every child nobody else remembered.
class CFrame : public CViewContainer
{
public:
    /// The editor's frame: open at once, native child created in `systemWindow`.
    CFrame(const CRect& size, void* systemWindow, void* editor);
    /// A frame without a native window yet; `open` attaches it later.
    CFrame(const CRect& size, const char* title, void* editor, const long style = 0);
    ~CFrame() override;

    // CView / CViewContainer overrides
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    long onKeyDown(VstKeyCode& keyCode) override;
    long onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance) override;
    void setViewSize(CRect& rect) override;
    void* getEditor() const override { return editor; }
    bool isTypeOf(const char* className) const override;
    void update(CDrawContext* context) override;
    CView* getCurrentView() const override;
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;

    // added operations
    virtual bool open(CPoint* point = nullptr);
    virtual bool close();
    virtual bool isOpen() const { return openFlag; }
    /// The idle redraw pass: pumps native events, then redraws dirty views.
    virtual void idle();
    /// The editor's idle pump, for tracking loops.
    virtual void doIdleStuff();
    virtual long getTicks() const;
    virtual long getKnobMode() const;
    virtual bool setPosition(long x, long y);
    virtual bool getPosition(long& x, long& y) const;
    virtual bool setSize(long width, long height);
    /// The native child's bounds; false when not open.
    virtual bool getSize(CRect* rect) const;
    virtual bool getSize(CRect& rect) const;
    /// Refuses a second modal view; null removes the current one without forgetting it.
    virtual bool setModalView(CView* view);
    virtual CView* getModalView() const { return modalView; }
    virtual void beginEdit(long index);
    virtual void endEdit(long index);
    /// Pointer position in frame coordinates.
    virtual bool getCurrentLocation(CPoint& where);
    virtual void setCursor(CCursorType type);
    virtual void setFocusView(CView* view);
    virtual CView* getFocusView() const { return focusView; }
    virtual bool setDropActive(bool val);
    virtual bool isDropActive() const { return dropActive; }
    virtual void setOpenFlag(bool val) { openFlag = val; }
    virtual bool getOpenFlag() const { return openFlag; }
    /// Marks every direct child overlapping rect (edges inclusive) dirty; draws nothing.
    virtual void invalidate(const CRect& rect);
    virtual bool updatesDisabled() const { return bUpdatesDisabled; }
    /// Stores the flag, answers the previous value.
    virtual bool setUpdatesDisabled(bool state);
    /// Draws `view` now when it is a direct child, else the whole frame.
    virtual void draw(CView* view);

    /// Hands the pointer's motion and release to `tracker` until the button goes up; `view` is
    /// the view it belongs to (the tracking ends without a call when that view leaves). False
    /// where the window reports no motion (the caller then polls the pointer in a loop).
    bool startMouseTracking(CView* view, CMouseTracker* tracker);
    /// True while a tracker follows the pointer.
    bool isTrackingMouse() const { return tracker != nullptr; }

    /// Asks the window system to send the keyboard's keys to the frame's window (true) while a
    /// text field is open, or gives the keyboard back to whoever had it before (false).
    void setKeyboardFocus(bool take);

    /// Builds the native child in systemWindow; false without a window or on failure.
    bool initFrame(void* systemWindow);
    /// A new context on the frame's window; the caller forgets it.
    CDrawContext* createDrawContext();

    void* getSystemWindow() const { return systemWindow; }
    /// The native child window, or null (for draw contexts and the editor's idle pump).
    kalvo::platform::NativeWindow* getPlatformWindow() const { return nativeWindow.get(); }
    /// Hands the native window over (to the next frame at another zoom); the frame has none after.
    std::unique_ptr<kalvo::platform::NativeWindow> releasePlatformWindow();
    /// Drops the focus and modal pointers to `view` (or to a view inside it) as it leaves the tree.
    void viewLeavesTree(CView* view);
    /// Window pixels per panel pixel: 1, or the zoom the editor chose before the frame was made.
    double getScale() const { return scale; }

    /// True until the frame was drawn the first time.
    bool isFirstDraw() const { return firstDraw; }

protected:
    /// Routes the native window's events to the frame without adding to its operations.
    class EventRouter : public kalvo::platform::WindowListener
    {
    public:
        explicit EventRouter(CFrame& frame) : owner(frame) {}
        void platformPaint(const CRect& damaged) override;
        void platformMouseDown(const CPoint& where, long buttons) override;
        void platformMouseMoved(const CPoint& where, long buttons) override;
        void platformMouseUp(const CPoint& where, long buttons) override;
        void platformWheel(const CPoint& where, CMouseWheelAxis axis, float distance) override;
        void platformDestroyed() override;
        void platformKey(const VstKeyCode& key, bool down) override;
        void platformDesktopScaleChanged() override;

    private:
        CFrame& owner;
    };

    AEffGUIEditor* guiEditor() const { return static_cast<AEffGUIEditor*>(editor); }

    void* editor = nullptr;
    void* systemWindow = nullptr;
    CView* modalView = nullptr;
    CView* focusView = nullptr;
    CView* trackedView = nullptr;     ///< the view whose gesture follows the pointer
    CMouseTracker* tracker = nullptr; ///< its tracker, while the button is down
    bool firstDraw = true;
    bool openFlag = false;
    bool dropActive = false;
    bool bUpdatesDisabled = false;
    std::unique_ptr<kalvo::platform::NativeWindow> nativeWindow;
    EventRouter eventRouter{*this};
    CDrawContext* frameContext = nullptr;
    bool ownWindow = false;
    double scale = 1.0;
};
