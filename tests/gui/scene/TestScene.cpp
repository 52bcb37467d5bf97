#include "TestScene.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace
{
// Lines, shapes and text in its own coordinates.
class ShapesView : public CView
{
public:
    explicit ShapesView(const CRect& size) : CView(size) {}
    void draw(CDrawContext* context) override
    {
        context->setFillColor(MakeCColor(30, 60, 90));
        context->fillRect(size);
        context->setFrameColor(kYellowCColor);
        context->drawRect(CRect(size.left + 2, size.top + 2, size.right - 2, size.bottom - 2));
        context->setFrameColor(kRedCColor);
        context->moveTo(CPoint(size.left + 4, size.top + 4));
        context->lineTo(CPoint(size.left + 30, size.top + 20));
        context->setFillColor(kGreenCColor);
        context->setFrameColor(kWhiteCColor);
        context->drawEllipse(CRect(size.left + 34, size.top + 4, size.left + 54, size.top + 18),
                             kDrawFilledAndStroked);
        const CPoint triangle[3] = {CPoint(size.left + 58, size.top + 18),
                                    CPoint(size.left + 66, size.top + 4),
                                    CPoint(size.left + 74, size.top + 18)};
        context->setFillColor(kMagentaCColor);
        context->fillPolygon(triangle, 3);
        context->setFont(kNormalFontSmall);
        context->setFontColor(kWhiteCColor);
        context->drawString("Kalvo 1.23",
                            CRect(size.left + 4, size.top + 22, size.right - 4, size.bottom - 2));
        setDirty(false);
    }
};

// The test bitmap plain, keyed and blended.
class BitmapView : public CView
{
public:
    BitmapView(const CRect& size, CBitmap* bitmap) : CView(size), bitmap(bitmap) { bitmap->remember(); }
    ~BitmapView() override { bitmap->forget(); }
    void draw(CDrawContext* context) override
    {
        context->setFillColor(kGreyCColor);
        context->fillRect(size);
        CRect plain(size.left + 2, size.top + 2, size.left + 8, size.top + 6);
        bitmap->draw(context, plain);
        CRect keyed(size.left + 10, size.top + 2, size.left + 16, size.top + 6);
        bitmap->drawTransparent(context, keyed);
        CRect blended(size.left + 18, size.top + 2, size.left + 24, size.top + 6);
        bitmap->drawAlphaBlend(context, blended, CPoint(0, 0), 128);
        setDirty(false);
    }

private:
    CBitmap* bitmap;
};
} // namespace

CFrame* buildTestScene(void* systemWindow)
{
    // Views keep the creator's reference: the frame's destruction releases both (removeAll(true)).
    CFrame* frame = new CFrame(CRect(0, 0, kSceneWidth, kSceneHeight), systemWindow, nullptr);
    frame->setBackgroundColor(MakeCColor(20, 20, 20));

    CView* shapes = new ShapesView(CRect(4, 4, 100, 44));
    frame->addView(shapes);

    CBitmap* bitmap = new CBitmap(200);
    CView* pictures = new BitmapView(CRect(4, 50, 40, 60), bitmap);
    bitmap->forget();
    frame->addView(pictures);

    // A nested container with an offset and an offscreen, holding a shapes view of its own.
    CViewContainer* nested = new CViewContainer(CRect(60, 50, 156, 116), frame);
    nested->setBackgroundColor(MakeCColor(90, 20, 20));
    nested->useOffscreen(true);
    CView* inner = new ShapesView(CRect(2, 20, 94, 64));
    nested->addView(inner);
    frame->addView(nested);
    return frame;
}
