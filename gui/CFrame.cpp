#include "CFrame.h"

#include "AEffGUIEditor.h"
#include "CDrawContext.h"
#include "vst2/VstInterface.h"

#include <cstring>

CFrame::CFrame(const CRect& size, void* systemWindow, void* editor)
    : CViewContainer(size, nullptr, nullptr), editor(editor), systemWindow(systemWindow)
{
    frame = this;
    firstDraw = true;
    openFlag = true;
    if (editor)
        scale = guiEditor()->getContentScale();
    initFrame(systemWindow);
}

CFrame::CFrame(const CRect& size, const char* title, void* editor, const long style)
    : CViewContainer(size, nullptr, nullptr), editor(editor)
{
    (void)title;
    (void)style;
    frame = this;
    ownWindow = true;
    openFlag = false;
}

CFrame::~CFrame()
{
    // A modal view still shown leaves the frame with the other children below, so that both of
    // its references are released and it does not outlive the frame.
    modalView = nullptr;
    focusView = nullptr;
    tracker = nullptr;
    trackedView = nullptr;
    if (nativeWindow)
        nativeWindow->setCursor(kCursorDefault);
    setDropActive(false);
    if (frameContext)
        frameContext->forget();
    frameContext = nullptr;
    nativeWindow.reset();
    removeAll(true);
}

std::unique_ptr<kalvo::platform::NativeWindow> CFrame::releasePlatformWindow()
{
    if (nativeWindow)
        nativeWindow->setCursor(kCursorDefault);
    return std::move(nativeWindow);
}

bool CFrame::initFrame(void* window)
{
    if (!window)
        return false;
    // The window of the editor's previous frame, when the zoom changed, else a new one.
    if (std::unique_ptr<kalvo::platform::NativeWindow> kept =
            editor ? guiEditor()->takeKeptWindow() : nullptr)
        if (kept->rescale(eventRouter, scale, size.width(), size.height()))
            nativeWindow = std::move(kept);
    if (!nativeWindow)
        nativeWindow = kalvo::platform::createChildWindow(window, CRect(0, 0, size.width(), size.height()),
                                                          eventRouter, scale);
    if (!nativeWindow)
        return false;
    size = CRect(0, 0, size.width(), size.height());
    setDropActive(true);
    return true;
}

CDrawContext* CFrame::createDrawContext()
{
    if (frameContext)
    {
        frameContext->remember();
        return frameContext;
    }
    return new CDrawContext(this, nullptr, systemWindow);
}

bool CFrame::startMouseTracking(CView* view, CMouseTracker* newTracker)
{
    if (!nativeWindow || !nativeWindow->reportsPointerMotion() || !newTracker)
        return false;
    if (tracker)
    {
        // A release that never came: the previous gesture ends before the next one starts.
        CMouseTracker* previous = tracker;
        tracker = nullptr;
        trackedView = nullptr;
        CDrawContext* context = createDrawContext();
        previous->trackEnded(context);
        context->forget();
    }
    trackedView = view;
    tracker = newTracker;
    return true;
}

void CFrame::viewLeavesTree(CView* view)
{
    if (!view)
        return;
    for (CView* v = trackedView; v; v = v->getParentView())
    {
        if (v == view)
        {
            tracker = nullptr;
            trackedView = nullptr;
            break;
        }
    }
    for (CView* v = focusView; v; v = v->getParentView())
    {
        if (v == view)
        {
            setFocusView(nullptr);
            break;
        }
    }
    for (CView* v = modalView; v; v = v->getParentView())
    {
        if (v == view)
        {
            modalView = nullptr;
            break;
        }
    }
}

// ---- open, close, size ----

bool CFrame::open(CPoint* point)
{
    (void)point;
    if (!ownWindow || openFlag)
        return openFlag;
    if (systemWindow && initFrame(systemWindow))
        openFlag = true;
    return openFlag;
}

bool CFrame::close()
{
    if (!ownWindow || !openFlag || !systemWindow)
        return false;
    nativeWindow.reset();
    systemWindow = nullptr;
    openFlag = false;
    return true;
}

bool CFrame::setPosition(long x, long y)
{
    if (!nativeWindow)
        return false;
    nativeWindow->setPosition(x, y);
    return true;
}

bool CFrame::getPosition(long& x, long& y) const
{
    if (!nativeWindow)
        return false;
    const CRect bounds = nativeWindow->bounds();
    x = bounds.left;
    y = bounds.top;
    return true;
}

bool CFrame::setSize(long width, long height)
{
    if (!openFlag)
        return false;
    if (width == size.width() && height == size.height())
        return false;
    if (editor && guiEditor()->requestHostResize(width, height))
    {
        size.right = size.left + static_cast<CCoord>(width);
        size.bottom = size.top + static_cast<CCoord>(height);
        if (nativeWindow)
            nativeWindow->setSize(width, height);
        return true;
    }
    if (nativeWindow)
        nativeWindow->setSize(width, height);
    CRect newSize(0, 0, width, height);
    CViewContainer::setViewSize(newSize);
    return true;
}

bool CFrame::getSize(CRect* rect) const
{
    if (!openFlag || !nativeWindow || !rect)
        return false;
    *rect = nativeWindow->bounds();
    return true;
}

bool CFrame::getSize(CRect& rect) const
{
    return getSize(&rect);
}

void CFrame::setViewSize(CRect& rect)
{
    setSize(rect.width(), rect.height());
}

// ---- editor links ----

void CFrame::doIdleStuff()
{
    if (editor)
        guiEditor()->doIdleStuff();
}

long CFrame::getTicks() const
{
    return editor ? AEffGUIEditor::getTicks() : 0;
}

long CFrame::getKnobMode() const
{
    return AEffGUIEditor::knobMode;
}

void CFrame::beginEdit(long index)
{
    if (editor)
        guiEditor()->beginEdit(static_cast<int>(index));
}

void CFrame::endEdit(long index)
{
    if (editor)
        guiEditor()->endEdit(static_cast<int>(index));
}

// ---- redraw cycle ----

void CFrame::idle()
{
    if (!getOpenFlag())
        return;
    if (nativeWindow)
        nativeWindow->pumpEvents();
    if (firstDraw)
        return;
    if (!isDirty())
        return;
    CDrawContext* context = createDrawContext();
    update(context);
    context->forget();
}

void CFrame::update(CDrawContext* context)
{
    if (!openFlag || updatesDisabled() || !context)
        return;
    if (dirty)
    {
        draw(context);
        setDirty(false);
        return;
    }
    CRect oldClip;
    context->getClipRect(oldClip);
    if (modalView && modalView->isDirty())
        modalView->update(context);
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
    {
        CRect clip = entry->pView->size;
        clip.bound(oldClip);
        context->setClipRect(clip);
        entry->pView->update(context);
    }
    context->setClipRect(oldClip);
}

void CFrame::draw(CDrawContext* context)
{
    firstDraw = false;
    CDrawContext* target = context ? context : frameContext;
    if (target)
    {
        CViewContainer::draw(target);
        return;
    }
    target = createDrawContext();
    CViewContainer::draw(target);
    target->forget();
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect)
{
    firstDraw = false;
    CDrawContext* target = context ? context : createDrawContext();
    CRect oldClip;
    target->getClipRect(oldClip);
    CRect clip = updateRect;
    clip.bound(oldClip);
    target->setClipRect(clip);
    if (updateRect.width() > 0 && updateRect.height() > 0)
        CViewContainer::drawRect(target, updateRect);
    target->setClipRect(oldClip);
    if (!context)
        target->forget();
}

void CFrame::draw(CView* view)
{
    CDrawContext* context = createDrawContext();
    if (view && isChild(view))
    {
        CRect oldClip;
        context->getClipRect(oldClip);
        CRect clip = view->size;
        clip.bound(oldClip);
        context->setClipRect(clip);
        view->draw(context);
        context->setClipRect(oldClip);
    }
    else
    {
        draw(context);
    }
    context->forget();
}

void CFrame::invalidate(const CRect& rect)
{
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
    {
        const CRect& s = entry->pView->size;
        if (!(rect.right < s.left || s.right < rect.left || rect.bottom < s.top || s.bottom < rect.top))
            entry->pView->setDirty(true);
    }
}

bool CFrame::setUpdatesDisabled(bool state)
{
    const bool previous = bUpdatesDisabled;
    bUpdatesDisabled = state;
    return previous;
}

// ---- input ----

void CFrame::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!context)
        context = frameContext;
    // Every click ends a focus, also one that hits no control; only a click inside an open text
    // field leaves it open (it places the caret).
    if (focusView && !(focusView->isTypeOf("CTextEdit") && focusView->hitTest(where, buttons)))
        setFocusView(nullptr);
    if (context && buttons == -1)
        buttons = context->getMouseButtons();
    if (modalView)
    {
        if (modalView->hitTest(where, buttons))
            modalView->mouse(context, where, buttons);
        return;
    }
    CViewContainer::mouse(context, where, buttons);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, kWheelAxisY, distance);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance)
{
    CView* target = modalView ? modalView : getViewAt(where, false);
    if (!target)
        return false;
    CDrawContext* used = context ? context : createDrawContext();
    const bool result = target->onWheel(used, where, axis, distance);
    if (!context)
        used->forget();
    return result;
}

long CFrame::onKeyDown(VstKeyCode& keyCode)
{
    long result = kKeyNotHandled;
    if (focusView)
        result = focusView->onKeyDown(keyCode);
    if (result == kKeyNotHandled && modalView)
        result = modalView->onKeyDown(keyCode);
    if (result != kKeyNotHandled)
        return result;
    if (keyCode.virt == VKEY_TAB)
    {
        const bool reverse = (keyCode.modifier & MODIFIER_SHIFT) != 0;
        if (advanceNextFocusView(focusView, reverse))
            return 1;
    }
    return kKeyNotHandled;
}

long CFrame::onKeyUp(VstKeyCode& keyCode)
{
    long result = kKeyNotHandled;
    if (focusView)
        result = focusView->onKeyUp(keyCode);
    if (result == kKeyNotHandled && modalView)
        result = modalView->onKeyUp(keyCode);
    return result;
}

bool CFrame::getCurrentLocation(CPoint& where)
{
    CDrawContext* context = createDrawContext();
    context->getMouseLocation(where);
    context->forget();
    return true;
}

void CFrame::setCursor(CCursorType type)
{
    if (nativeWindow)
        nativeWindow->setCursor(type);
}

void CFrame::setKeyboardFocus(bool take)
{
    if (nativeWindow)
        nativeWindow->takeKeyboardFocus(take);
}

bool CFrame::setDropActive(bool val)
{
    // No drag-and-drop target on this window system; the flag is kept for callers.
    dropActive = val;
    return true;
}

// ---- focus and modal view ----

void CFrame::setFocusView(CView* view)
{
    CView* oldView = focusView;
    focusView = view;
    if (view && view->wantsFocus())
        view->setDirty(true);
    if (oldView)
    {
        oldView->looseFocus(nullptr);
        if (oldView->wantsFocus())
            oldView->setDirty(true);
    }
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    if (modalView)
        return false;
    if (!oldFocus)
        oldFocus = focusView;
    if (!oldFocus)
        return CViewContainer::advanceNextFocusView(nullptr, reverse);
    if (isChild(oldFocus))
    {
        if (CViewContainer::advanceNextFocusView(oldFocus, reverse))
            return true;
        setFocusView(nullptr);
        return false;
    }
    // Nested: each enclosing container, innermost first, tries to move past the previous one.
    CView* previous = oldFocus;
    CView* container = oldFocus->getParentView();
    while (container && container != this)
    {
        if (container->isTypeOf("CViewContainer") &&
            static_cast<CViewContainer*>(container)->advanceNextFocusView(previous, reverse))
            return true;
        previous = container;
        container = container->getParentView();
    }
    return CViewContainer::advanceNextFocusView(container == this ? previous : nullptr, reverse);
}

bool CFrame::setModalView(CView* view)
{
    if (view && modalView)
        return false;
    if (!view)
    {
        if (modalView)
        {
            CView* shown = modalView;
            modalView = nullptr;
            removeView(shown, false);
        }
        return true;
    }
    modalView = view;
    addView(view);
    return true;
}

CView* CFrame::getCurrentView() const
{
    if (modalView)
        return modalView;
    return CViewContainer::getCurrentView();
}

bool CFrame::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CFrame") == 0)
        return true;
    return CViewContainer::isTypeOf(className);
}

// ---- native events ----

void CFrame::EventRouter::platformPaint(const CRect& damaged)
{
    CDrawContext* context = owner.createDrawContext();
    owner.drawRect(context, damaged);
    context->forget();
}

void CFrame::EventRouter::platformMouseDown(const CPoint& where, long buttons)
{
    CDrawContext* context = owner.createDrawContext();
    CPoint at = where;
    owner.mouse(context, at, buttons);
    context->forget();
}

void CFrame::EventRouter::platformMouseMoved(const CPoint& where, long buttons)
{
    if (!owner.tracker)
        return;
    CDrawContext* context = owner.createDrawContext();
    owner.tracker->trackMoved(context, where, buttons);
    context->forget();
}

void CFrame::EventRouter::platformMouseUp(const CPoint& where, long buttons)
{
    (void)where;
    // The release ends the gesture once the left button, which drags, is up.
    if (!owner.tracker || (buttons & kButtonLeft))
        return;
    CMouseTracker* ending = owner.tracker;
    owner.tracker = nullptr;
    owner.trackedView = nullptr;
    CDrawContext* context = owner.createDrawContext();
    ending->trackEnded(context);
    context->forget();
}

void CFrame::EventRouter::platformWheel(const CPoint& where, CMouseWheelAxis axis, float distance)
{
    CDrawContext* context = owner.createDrawContext();
    owner.onWheel(context, where, axis, distance);
    context->forget();
}

void CFrame::EventRouter::platformKey(const VstKeyCode& key, bool down)
{
    VstKeyCode code = key;
    if (down)
        owner.onKeyDown(code);
    else
        owner.onKeyUp(code);
}

void CFrame::EventRouter::platformDesktopScaleChanged()
{
    // The editor makes the frame again at the new zoom from its next idle call, outside the
    // window's message.
    if (AEffGUIEditor* editor = owner.guiEditor())
        editor->desktopScaleChanged();
}

void CFrame::EventRouter::platformDestroyed()
{
    // Gone with the host's window: the frame is closed, so idle, update and sizing stop.
    owner.openFlag = false;
    owner.systemWindow = nullptr;
}
