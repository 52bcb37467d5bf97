// The view base: a rectangle in its parent with dirty tracking, hit testing and attributes.
#pragma once

#include "CColor.h"
#include "CConventions.h"
#include "CGeometry.h"
#include "CReferenceCounter.h"

#include <cstdint>

class CDrawContext;
class CBitmap;
class CFrame;
class CDragContainer; // drag-and-drop payload; no view of this toolkit accepts drops
struct VstKeyCode;

/// A rectangle in its parent's coordinates that draws itself and may take the mouse, the wheel
/// and keys. Created with one reference (its creator's); a container adding it takes another.
class CView : public CReferenceCounter
{
public:
    explicit CView(const CRect& size);
    ~CView() override;

    /// Draws the background bitmap (if any) into `size`, keyed when transparent; clears dirty.
    virtual void draw(CDrawContext* context);
    /// Calls draw.
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    /// True when updateRect and size overlap, edges inclusive.
    virtual bool needsUpdate(const CRect& updateRect);
    virtual void mouse(CDrawContext* context, CPoint& where, long buttons = -1);
    /// Replaces the background bitmap (taking a reference) and marks the view dirty.
    virtual void setBackground(CBitmap* background);
    virtual CBitmap* getBackground() const { return background; }
    /// -1: not handled.
    virtual long onKeyDown(VstKeyCode& keyCode);
    virtual long onKeyUp(VstKeyCode& keyCode);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    /// Drops the axis and calls the axis-less form.
    virtual bool onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance);
    virtual bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void looseFocus(CDrawContext* context = nullptr);
    virtual void takeFocus(CDrawContext* context = nullptr);
    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(const bool val = true) { dirty = val; }
    virtual void setMouseEnabled(const bool enable = true) { mouseEnabled = enable; }
    virtual bool getMouseEnabled() const { return mouseEnabled; }
    virtual void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    virtual CRect& getMouseableArea(CRect& rect) const;
    /// Inside mouseableArea with both edges inclusive; buttons ignored.
    virtual bool hitTest(const CPoint& where, const long buttons = -1);
    virtual void setTransparency(bool val) { transparent = val; }
    virtual bool getTransparency() const { return transparent; }
    /// Stores size (not the mouseable area) and marks dirty.
    virtual void setViewSize(CRect& rect);
    virtual CRect& getViewSize(CRect& rect) const;
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);
    /// Pointer position in this view's parent's coordinates.
    virtual void getMouseLocation(CDrawContext* context, CPoint& point);
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;
    /// The frame's editor, or null.
    virtual void* getEditor() const;
    virtual long notify(CView* sender, const char* message);
    /// Passes the request up to the parent, or to the frame's drawRect.
    virtual void redrawRect(CDrawContext* context, const CRect& rect);
    virtual bool wantsFocus() const { return focusable; }
    virtual void setWantsFocus(bool state) { focusable = state; }
    /// True for "CView"; subclasses answer their own name and ask their base otherwise.
    virtual bool isTypeOf(const char* className) const;
    /// Redraws through redrawRect when dirty (or asks the frame without a context); clears dirty.
    virtual void update(CDrawContext* context);

    /// Asks the frame to draw this view now.
    void redraw();

    /// Stores a copy of `data` under `id`; an existing entry is overwritten only when `inSize`
    /// does not exceed its stored length.
    bool setAttribute(const CViewAttributeID id, const long inSize, const void* data);
    bool getAttributeSize(const CViewAttributeID id, long& outSize) const;
    /// Copies the attribute out when inSize is at least its stored length.
    bool getAttribute(const CViewAttributeID id, const long inSize, void* data, long& outSize) const;
    bool removeAttribute(const CViewAttributeID id);

    CFrame* getFrame() const { return frame; }
    CView* getParentView() const { return parent; }

protected:
    friend class CViewContainer;
    friend class CFrame;

    struct AttributeEntry
    {
        AttributeEntry* next;
        void* data;
        std::int32_t size;
        CViewAttributeID id;
    };
    AttributeEntry* findAttribute(CViewAttributeID id) const;

    CRect size;
    CRect mouseableArea;
    CFrame* frame = nullptr;
    CView* parent = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparent = false;
    bool focusable = false;
    CBitmap* background = nullptr;
    AttributeEntry* attributeList = nullptr;
};
