#include "CViewContainer.h"

#include "CBitmap.h"
#include "CDrawContext.h"
#include "CFrame.h"

#include <cstring>

namespace
{
bool contains(const CRect& r, const CPoint& p)
{
    return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
}
} // namespace

CCView::CCView(CView* view) : pView(view)
{
    if (pView)
        pView->remember();
}

CCView::~CCView()
{
    // The analyser follows removeAll() to a view it believes freed; the entry holds a reference
    // of its own, so the count never reaches zero before this forget().
    if (pView)
        pView->forget(); // NOLINT(clang-analyzer-cplusplus.NewDelete)
}

CViewContainer::CViewContainer(const CRect& size, CFrame* frame, CBitmap* background) : CView(size)
{
    this->frame = frame;
    setBackground(background);
}

CViewContainer::~CViewContainer()
{
    removeAll(true);
    if (pOffscreenContext)
        pOffscreenContext->forget();
    pOffscreenContext = nullptr;
}

// ---- children ----

// A nested container added to a tree late hands its frame on to the views it already holds, so
// that every view of the tree reaches the frame (focus, edit brackets, idle pump).
void CViewContainer::spreadFrame(CView* view, CFrame* frame)
{
    if (!view->isTypeOf("CViewContainer"))
        return;
    auto* container = static_cast<CViewContainer*>(view);
    for (CCView* entry = container->pFirstView; entry; entry = entry->pNext)
    {
        entry->pView->frame = frame;
        spreadFrame(entry->pView, frame);
    }
}

void CViewContainer::addView(CView* view)
{
    if (!view)
        return;
    CCView* entry = new CCView(view);
    view->parent = this;
    view->frame = frame;
    spreadFrame(view, frame);
    entry->pPrevious = pLastView;
    if (pLastView)
        pLastView->pNext = entry;
    else
        pFirstView = entry;
    pLastView = entry;
    view->attached(this);
    view->setDirty(true);
}

void CViewContainer::addView(CView* view, CRect& area, bool enabled)
{
    if (!view)
        return;
    view->setMouseEnabled(enabled);
    view->setMouseableArea(area);
    addView(view);
}

void CViewContainer::detachFromFrame(CView* view)
{
    if (frame)
        frame->viewLeavesTree(view);
}

void CViewContainer::removeView(CView* view, const bool& withForget)
{
    detachFromFrame(view);
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
    {
        if (entry->pView != view)
            continue;
        view->removed(this);
        if (withForget)
            view->forget();
        if (entry->pPrevious)
            entry->pPrevious->pNext = entry->pNext;
        else
            pFirstView = entry->pNext;
        if (entry->pNext)
            entry->pNext->pPrevious = entry->pPrevious;
        else
            pLastView = entry->pPrevious;
        delete entry;
        return;
    }
}

void CViewContainer::removeAll(const bool& withForget)
{
    CCView* entry = pFirstView;
    pFirstView = nullptr;
    pLastView = nullptr;
    while (entry)
    {
        CCView* next = entry->pNext;
        detachFromFrame(entry->pView);
        entry->pView->removed(this);
        if (withForget)
            entry->pView->forget();
        delete entry;
        entry = next;
    }
}

bool CViewContainer::isChild(CView* view) const
{
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
    {
        if (entry->pView == view)
            return true;
    }
    return false;
}

long CViewContainer::getNbViews() const
{
    long count = 0;
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
        count++;
    return count;
}

CView* CViewContainer::getView(long index) const
{
    if (index < 0)
        return nullptr;
    for (CCView* entry = pFirstView; entry; entry = entry->pNext, index--)
    {
        if (index == 0)
            return entry->pView;
    }
    return nullptr;
}

void CViewContainer::setBackgroundColor(const CColor color)
{
    backgroundColor = color;
    setDirty(true);
}

bool CViewContainer::attached(CView* parentView)
{
    if (bDrawInOffscreen && !pOffscreenContext)
        pOffscreenContext = new COffscreenContext(frame, size.width(), size.height(), kBlackCColor);
    return CView::attached(parentView);
}

bool CViewContainer::removed(CView* parentView)
{
    if (pOffscreenContext)
        pOffscreenContext->forget();
    pOffscreenContext = nullptr;
    return CView::removed(parentView);
}

void CViewContainer::useOffscreen(bool flag)
{
    bDrawInOffscreen = flag;
    if (!flag && pOffscreenContext)
    {
        pOffscreenContext->forget();
        pOffscreenContext = nullptr;
    }
}

void CViewContainer::setViewSize(CRect& rect)
{
    CView::setViewSize(rect);
    if (pOffscreenContext)
    {
        pOffscreenContext->forget();
        pOffscreenContext = new COffscreenContext(frame, size.width(), size.height(), kBlackCColor);
    }
}

// ---- drawing ----

void CViewContainer::modifyDrawContext(long save[4], CDrawContext* context)
{
    save[0] = context->drawOffset.x;
    save[1] = context->drawOffset.y;
    save[2] = context->screenOffset.x;
    save[3] = context->screenOffset.y;
    context->drawOffset.offset(size.left, size.top);
    context->screenOffset.offset(size.left, size.top);
}

void CViewContainer::restoreDrawContext(CDrawContext* context, long save[4])
{
    context->drawOffset = CPoint(save[0], save[1]);
    context->screenOffset = CPoint(save[2], save[3]);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, CRect& rect)
{
    if (background)
    {
        CRect oldClip;
        context->getClipRect(oldClip);
        CRect clip = rect;
        clip.bound(oldClip);
        context->setClipRect(clip);
        CRect where(0, 0, background->getWidth(), background->getHeight());
        if (transparent)
            background->drawTransparent(context, where, backgroundOffset);
        else
            background->draw(context, where, backgroundOffset);
        context->setClipRect(oldClip);
    }
    else if (!transparent)
    {
        context->setFillColor(backgroundColor);
        context->fillRect(rect);
    }
}

void CViewContainer::drawContents(CDrawContext* context, const CRect& rect, bool onlyNeeded)
{
    if (!context)
        return;
    if (bDrawInOffscreen && !pOffscreenContext)
        pOffscreenContext = new COffscreenContext(frame, size.width(), size.height(), kBlackCColor);
    COffscreenContext* offscreen = bDrawInOffscreen ? pOffscreenContext : nullptr;
    if (offscreen && transparent)
    {
        // What lies under the container shows through, so start from the screen's pixels.
        CRect under = size;
        offscreen->copyTo(context, under, CPoint(0, 0));
    }

    CDrawContext* target = context;
    long save[4] = {};
    if (offscreen)
        target = offscreen;
    else
        modifyDrawContext(save, context);

    CRect localRect = rect;
    localRect.bound(size);
    localRect.offset(-size.left, -size.top);
    CRect oldClip;
    target->getClipRect(oldClip);
    CRect clip = localRect;
    clip.bound(oldClip);
    target->setClipRect(clip);

    drawBackgroundRect(target, localRect);

    const bool scrollContainer = isTypeOf("CScrollContainer");
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
    {
        CView* child = entry->pView;
        if (onlyNeeded && !child->needsUpdate(localRect))
            continue;
        CRect childClip = child->size;
        childClip.bound(clip);
        if (childClip.isEmpty())
            continue;
        target->setClipRect(childClip);
        if (onlyNeeded)
        {
            const bool wasDirty = child->isDirty();
            child->drawRect(target, localRect);
            // Only part of a dirty child was drawn: the rest follows on a later idle.
            if (wasDirty && childClip != child->size && !scrollContainer)
                child->setDirty(true);
        }
        else
        {
            child->draw(target);
        }
    }
    target->setClipRect(oldClip);

    if (offscreen)
    {
        CRect dest = clip;
        dest.offset(size.left, size.top);
        offscreen->copyFrom(context, dest, CPoint(clip.left, clip.top));
    }
    else
    {
        restoreDrawContext(context, save);
    }
    setDirty(false);
}

void CViewContainer::draw(CDrawContext* context)
{
    drawContents(context, size, false);
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect)
{
    drawContents(context, updateRect, true);
}

void CViewContainer::redrawRect(CDrawContext* context, const CRect& rect)
{
    CRect inParent = rect;
    inParent.offset(size.left, size.top);
    if (transparent)
    {
        // Nothing of its own to paint: whoever lies below redraws the area.
        if (parent)
            parent->redrawRect(context, inParent);
        else if (frame)
            frame->drawRect(context, inParent);
        return;
    }
    if (!context)
        return;
    // The context arrives at the frame's origin; draw from the parent's origin.
    CPoint parentOrigin(0, 0);
    if (parent)
        parent->localToFrame(parentOrigin);
    const CPoint savedDraw = context->drawOffset;
    const CPoint savedScreen = context->screenOffset;
    context->drawOffset.offset(parentOrigin.x, parentOrigin.y);
    context->screenOffset.offset(parentOrigin.x, parentOrigin.y);
    drawRect(context, inParent);
    context->drawOffset = savedDraw;
    context->screenOffset = savedScreen;
}

bool CViewContainer::isDirty() const
{
    if (dirty)
        return true;
    const CRect extent(0, 0, size.width(), size.height());
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
    {
        if (!entry->pView->isDirty())
            continue;
        CRect visible = entry->pView->size;
        visible.bound(extent);
        if (visible.width() > 0 && visible.height() > 0)
            return true;
    }
    return false;
}

void CViewContainer::update(CDrawContext* context)
{
    if (mode == 0)
    {
        if (isDirty())
        {
            redrawRect(context, CRect(0, 0, size.width(), size.height()));
            setDirty(false);
        }
        return;
    }
    if (mode != 1)
        return;
    const CRect extent(0, 0, size.width(), size.height());
    if (dirty)
    {
        redrawRect(context, extent);
        setDirty(false);
        return;
    }
    for (CCView* entry = pFirstView; entry; entry = entry->pNext)
    {
        CView* child = entry->pView;
        if (!child->isDirty() || !child->needsUpdate(extent))
            continue;
        if (child->isTypeOf("CViewContainer"))
            child->update(context);
        else
        {
            CRect area = child->size;
            area.bound(extent);
            child->redrawRect(context, area);
        }
    }
}

// ---- mouse, wheel, keys ----

void CViewContainer::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* entry = pLastView; entry; entry = entry->pPrevious)
    {
        CView* child = entry->pView;
        if (!child || !child->getMouseEnabled())
            continue;
        if (child->hitTest(local, buttons))
        {
            child->mouse(context, local, buttons);
            return;
        }
    }
}

bool CViewContainer::hitTest(const CPoint& where, const long buttons)
{
    return CView::hitTest(where, buttons);
}

bool CViewContainer::hitTestSubViews(const CPoint& where, const long buttons)
{
    const CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* entry = pLastView; entry; entry = entry->pPrevious)
    {
        if (entry->pView->getMouseEnabled() && entry->pView->hitTest(local, buttons))
            return true;
    }
    return false;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    const CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* entry = pLastView; entry; entry = entry->pPrevious)
    {
        CView* child = entry->pView;
        if (!contains(child->mouseableArea, local))
            continue;
        if (deep && child->isTypeOf("CViewContainer"))
            return static_cast<CViewContainer*>(child)->getViewAt(local, deep);
        return child;
    }
    return nullptr;
}

CView* CViewContainer::getCurrentView() const
{
    if (!frame)
        return nullptr;
    CPoint where;
    frame->getCurrentLocation(where);
    frameToLocal(where);
    for (CCView* entry = pLastView; entry; entry = entry->pPrevious)
    {
        if (contains(entry->pView->mouseableArea, where))
            return entry->pView;
    }
    return nullptr;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, kWheelAxisY, distance);
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance)
{
    CView* target = getViewAt(where, false);
    if (!target)
        return false;
    const CPoint local(where.x - size.left, where.y - size.top);
    return target->onWheel(context, local, axis, distance);
}

long CViewContainer::onKeyDown(VstKeyCode& keyCode)
{
    for (CCView* entry = pLastView; entry; entry = entry->pPrevious)
    {
        if (entry->pView->onKeyDown(keyCode) != kKeyNotHandled)
            break;
    }
    return kKeyNotHandled;
}

long CViewContainer::onKeyUp(VstKeyCode& keyCode)
{
    for (CCView* entry = pLastView; entry; entry = entry->pPrevious)
    {
        if (entry->pView->onKeyUp(keyCode) != kKeyNotHandled)
            break;
    }
    return kKeyNotHandled;
}

bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    bool passed = oldFocus == nullptr;
    for (CCView* entry = reverse ? pLastView : pFirstView; entry;
         entry = reverse ? entry->pPrevious : entry->pNext)
    {
        CView* child = entry->pView;
        if (!passed)
        {
            if (child == oldFocus)
                passed = true;
            continue;
        }
        if (child->wantsFocus())
        {
            if (frame)
                frame->setFocusView(child);
            return true;
        }
        if (child->isTypeOf("CViewContainer") &&
            static_cast<CViewContainer*>(child)->advanceNextFocusView(nullptr, reverse))
            return true;
    }
    return false;
}

// ---- coordinates and types ----

CPoint& CViewContainer::frameToLocal(CPoint& point) const
{
    point.offset(-size.left, -size.top);
    if (parent && parent->isTypeOf("CViewContainer"))
        return parent->frameToLocal(point);
    return point;
}

CPoint& CViewContainer::localToFrame(CPoint& point) const
{
    point.offset(size.left, size.top);
    if (parent && parent->isTypeOf("CViewContainer"))
        return parent->localToFrame(point);
    return point;
}

long CViewContainer::notify(CView* sender, const char* message)
{
    (void)sender;
    return message == kMsgCheckIfViewContainer ? 1 : 0;
}

bool CViewContainer::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CViewContainer") == 0)
        return true;
    return CView::isTypeOf(className);
}
