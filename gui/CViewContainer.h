// A view holding an ordered list of children: it owns them by reference, routes the mouse,
// wheel and keys to them, walks focus and redraws what is dirty, optionally through an offscreen.
#pragma once

#include "CView.h"

class COffscreenContext;

/// One entry of a container's list. Creating it remembers the view, destroying it forgets it.
class CCView
{
public:
    explicit CCView(CView* view);
    ~CCView();
    CCView(const CCView&) = delete;
    CCView& operator=(const CCView&) = delete;

    CView* pView;
    CCView* pNext = nullptr;
    CCView* pPrevious = nullptr;
};

/// List order is drawing order: later children lie on top and get the mouse first.
class CViewContainer : public CView
{
public:
    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);
    ~CViewContainer() override;

    // CView overrides
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    long onKeyDown(VstKeyCode& keyCode) override;
    long onKeyUp(VstKeyCode& keyCode) override;
    /// Forwards to the axis form with kWheelAxisY.
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    /// Passes the wheel to the topmost child under `where`; false when there is none.
    bool onWheel(CDrawContext* context, const CPoint& where, CMouseWheelAxis axis, float distance) override;
    bool isDirty() const override;
    bool hitTest(const CPoint& where, const long buttons = -1) override;
    void setViewSize(CRect& rect) override;
    bool removed(CView* parent) override;
    bool attached(CView* parent) override;
    CPoint& frameToLocal(CPoint& point) const override;
    CPoint& localToFrame(CPoint& point) const override;
    long notify(CView* sender, const char* message) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* className) const override;
    void update(CDrawContext* context) override;

    // added operations
    virtual void addView(CView* view);
    virtual void addView(CView* view, CRect& mouseableArea, bool mouseEnabled = true);
    /// Unlinks the view; withForget also releases the creator's reference.
    virtual void removeView(CView* view, const bool& withForget = true);
    virtual void removeAll(const bool& withForget = true);
    virtual bool isChild(CView* view) const;
    virtual long getNbViews() const;
    /// The child at 0-based index from the first, or null.
    virtual CView* getView(long index) const;
    virtual void setBackgroundColor(const CColor color);
    virtual CColor getBackgroundColor() const { return backgroundColor; }
    virtual void setBackgroundOffset(CPoint& offset) { backgroundOffset = offset; }
    virtual const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    virtual void drawBackgroundRect(CDrawContext* context, CRect& rect);
    virtual void setMode(long val) { mode = val; }
    virtual long getMode() const { return mode; }
    virtual void useOffscreen(bool flag);
    /// The topmost child under the current pointer position, or null.
    virtual CView* getCurrentView() const;
    /// The topmost child whose mouseable area holds `where` (edges inclusive); with deep, the
    /// search continues into child containers.
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
    /// Moves the focus to the next child that wants it; true when it moved.
    virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);

    /// Adds size.left/top to the context's screen and draw offsets, saving them in save[4].
    void modifyDrawContext(long save[4], CDrawContext* context);
    void restoreDrawContext(CDrawContext* context, long save[4]);
    /// True when any mouse-enabled child hits `where` (parent coordinates).
    bool hitTestSubViews(const CPoint& where, const long buttons = -1);

protected:
    /// Draws the background and the children over `rect` (parent coordinates); with
    /// `onlyNeeded` it skips children outside rect and re-marks partially drawn dirty children.
    void drawContents(CDrawContext* context, const CRect& rect, bool onlyNeeded);
    /// Tells the frame that `view` leaves the tree, so it drops its focus and modal pointers.
    void detachFromFrame(CView* view);
    /// Hands `frame` on to the views a nested container already holds.
    static void spreadFrame(CView* view, CFrame* frame);

    CCView* pFirstView = nullptr;
    CCView* pLastView = nullptr;
    long mode = 1;
    COffscreenContext* pOffscreenContext = nullptr;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
    bool bDrawInOffscreen = false;
    CView* currentDragView = nullptr;
};
