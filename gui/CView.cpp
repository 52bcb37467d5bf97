#include "CView.h"

#include "CBitmap.h"
#include "CDrawContext.h"
#include "CFrame.h"

#include <cstdlib>
#include <cstring>

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView()
{
    if (background)
        background->forget();
    background = nullptr;
    while (attributeList)
    {
        AttributeEntry* next = attributeList->next;
        std::free(attributeList->data);
        delete attributeList;
        attributeList = next;
    }
}

void CView::draw(CDrawContext* context)
{
    if (background && context)
    {
        CRect where = size;
        if (transparent)
            background->drawTransparent(context, where, CPoint(0, 0));
        else
            background->draw(context, where, CPoint(0, 0));
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& updateRect)
{
    (void)updateRect;
    draw(context);
}

bool CView::needsUpdate(const CRect& updateRect)
{
    return !(updateRect.right < size.left || size.right < updateRect.left || updateRect.bottom < size.top ||
             size.bottom < updateRect.top);
}

void CView::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    (void)context;
    (void)where;
    (void)buttons;
}

void CView::setBackground(CBitmap* newBackground)
{
    if (background)
        background->forget();
    background = newBackground;
    if (background)
        background->remember();
    setDirty(true);
}

long CView::onKeyDown(VstKeyCode& keyCode)
{
    (void)keyCode;
    return kKeyNotHandled;
}

long CView::onKeyUp(VstKeyCode& keyCode)
{
    (void)keyCode;
    return kKeyNotHandled;
}

bool CView::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    (void)context;
    (void)where;
    (void)distance;
    return false;
}

bool CView::onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance)
{
    (void)axis;
    return onWheel(context, where, distance);
}

bool CView::onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    (void)context;
    (void)drag;
    (void)where;
    return false;
}

void CView::onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    (void)context;
    (void)drag;
    (void)where;
}

void CView::onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    (void)context;
    (void)drag;
    (void)where;
}

void CView::onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    (void)context;
    (void)drag;
    (void)where;
}

void CView::looseFocus(CDrawContext* context)
{
    (void)context;
}

void CView::takeFocus(CDrawContext* context)
{
    (void)context;
}

CRect& CView::getMouseableArea(CRect& rect) const
{
    rect = mouseableArea;
    return rect;
}

bool CView::hitTest(const CPoint& where, const long buttons)
{
    (void)buttons;
    return mouseableArea.left <= where.x && where.x <= mouseableArea.right && mouseableArea.top <= where.y &&
           where.y <= mouseableArea.bottom;
}

void CView::setViewSize(CRect& rect)
{
    size = rect;
    setDirty(true);
}

CRect& CView::getViewSize(CRect& rect) const
{
    rect = size;
    return rect;
}

bool CView::removed(CView* parentView)
{
    (void)parentView;
    return true;
}

bool CView::attached(CView* parentView)
{
    (void)parentView;
    return true;
}

void CView::getMouseLocation(CDrawContext* context, CPoint& point)
{
    if (!context)
        return;
    if (parent && parent->notify(this, kMsgCheckIfViewContainer) == 1)
    {
        const CPoint savedScreen = context->screenOffset;
        const CPoint savedDraw = context->drawOffset;
        context->screenOffset.offset(parent->size.left, parent->size.top);
        context->drawOffset.offset(parent->size.left, parent->size.top);
        parent->getMouseLocation(context, point);
        context->screenOffset = savedScreen;
        context->drawOffset = savedDraw;
        return;
    }
    context->getMouseLocation(point);
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    if (parent && parent->isTypeOf("CViewContainer"))
        return parent->frameToLocal(point);
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    if (parent && parent->isTypeOf("CViewContainer"))
        return parent->localToFrame(point);
    return point;
}

void* CView::getEditor() const
{
    return frame ? frame->getEditor() : nullptr;
}

long CView::notify(CView* sender, const char* message)
{
    (void)sender;
    (void)message;
    return 0;
}

void CView::redrawRect(CDrawContext* context, const CRect& rect)
{
    if (parent)
        parent->redrawRect(context, rect);
    else if (frame)
        frame->drawRect(context, rect);
}

bool CView::isTypeOf(const char* className) const
{
    return className && std::strcmp(className, "CView") == 0;
}

void CView::update(CDrawContext* context)
{
    if (isDirty())
    {
        if (context)
            redrawRect(context, size);
        else if (frame)
            frame->draw(this);
        setDirty(false);
    }
}

void CView::redraw()
{
    if (frame)
        frame->draw(this);
}

CView::AttributeEntry* CView::findAttribute(CViewAttributeID id) const
{
    for (AttributeEntry* entry = attributeList; entry; entry = entry->next)
    {
        if (entry->id == id)
            return entry;
    }
    return nullptr;
}

bool CView::setAttribute(const CViewAttributeID id, const long inSize, const void* data)
{
    if (inSize < 0 || (inSize > 0 && !data))
        return false;
    if (AttributeEntry* entry = findAttribute(id))
    {
        if (inSize > entry->size)
            return false;
        if (inSize > 0)
            std::memcpy(entry->data, data, static_cast<std::size_t>(inSize));
        return true;
    }
    void* copy = std::malloc(inSize > 0 ? static_cast<std::size_t>(inSize) : 1);
    if (!copy)
        return false;
    if (inSize > 0)
        std::memcpy(copy, data, static_cast<std::size_t>(inSize));
    AttributeEntry* entry = new AttributeEntry{nullptr, copy, static_cast<std::int32_t>(inSize), id};
    // Appended, so the list keeps the order the attributes were first set in.
    AttributeEntry** tail = &attributeList;
    while (*tail)
        tail = &(*tail)->next;
    *tail = entry;
    return true;
}

bool CView::getAttributeSize(const CViewAttributeID id, long& outSize) const
{
    if (const AttributeEntry* entry = findAttribute(id))
    {
        outSize = entry->size;
        return true;
    }
    return false;
}

bool CView::getAttribute(const CViewAttributeID id, const long inSize, void* data, long& outSize) const
{
    const AttributeEntry* entry = findAttribute(id);
    if (!entry || inSize < entry->size || (entry->size > 0 && !data))
        return false;
    if (entry->size > 0)
        std::memcpy(data, entry->data, static_cast<std::size_t>(entry->size));
    outSize = entry->size;
    return true;
}

bool CView::removeAttribute(const CViewAttributeID id)
{
    for (AttributeEntry** link = &attributeList; *link; link = &(*link)->next)
    {
        if ((*link)->id == id)
        {
            AttributeEntry* entry = *link;
            *link = entry->next;
            std::free(entry->data);
            delete entry;
            return true;
        }
    }
    return false;
}
