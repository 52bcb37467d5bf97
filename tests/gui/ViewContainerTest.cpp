// Views and containers: ownership by reference, hit testing, routing, dirty rules, drawing
// through nested containers and offscreens, attributes.
#include "TestViews.h"

#include "gui/CBitmap.h"

#include <cstring>

using ViewContainer = HeadlessFrameTest;

TEST(CView, HitTestIncludesRightAndBottomEdgesThatPointInsideExcludes)
{
    CView view(CRect(10, 10, 20, 15));
    EXPECT_TRUE(view.hitTest(CPoint(20, 15)));
    EXPECT_FALSE(CRect(10, 10, 20, 15).pointInside(CPoint(20, 15)));
    EXPECT_TRUE(view.hitTest(CPoint(10, 10)));
    EXPECT_FALSE(view.hitTest(CPoint(21, 12)));
    EXPECT_FALSE(view.hitTest(CPoint(15, 9)));
    // The mouseable area decides, not the size.
    view.setMouseableArea(CRect(0, 0, 5, 5));
    EXPECT_FALSE(view.hitTest(CPoint(12, 12)));
    EXPECT_TRUE(view.hitTest(CPoint(5, 5)));
}

TEST(CView, NeedsUpdateOverlapsWithInclusiveEdges)
{
    CView view(CRect(10, 10, 20, 20));
    EXPECT_TRUE(view.needsUpdate(CRect(20, 20, 30, 30))); // touching corner counts
    EXPECT_FALSE(view.needsUpdate(CRect(21, 0, 30, 30)));
    EXPECT_FALSE(view.needsUpdate(CRect(0, 0, 9, 9)));
}

TEST(CView, AttributesKeepTheirLengthAndRefuseSmallBuffers)
{
    CView view(CRect(0, 0, 1, 1));
    const CViewAttributeID key = kCViewAttributeReferencePointer;
    long length = -1;
    EXPECT_FALSE(view.getAttributeSize(key, length));
    const char data[8] = "abcdefg";
    EXPECT_TRUE(view.setAttribute(key, 8, data));
    EXPECT_TRUE(view.getAttributeSize(key, length));
    EXPECT_EQ(length, 8);
    char out[8] = {};
    EXPECT_FALSE(view.getAttribute(key, 4, out, length)); // too small
    EXPECT_TRUE(view.getAttribute(key, 8, out, length));
    EXPECT_STREQ(out, "abcdefg");
    EXPECT_TRUE(view.setAttribute(key, 3, "xyz"));        // shorter fits into the stored block
    EXPECT_FALSE(view.setAttribute(key, 9, "123456789")); // growing is refused
    EXPECT_TRUE(view.getAttribute(key, 8, out, length));
    EXPECT_EQ(std::memcmp(out, "xyzdefg", 7), 0);
    EXPECT_TRUE(view.setAttribute(makeFourCharCode('a', 'b', 'c', 'd'), 2, "hi"));
    EXPECT_TRUE(view.removeAttribute(key));
    EXPECT_FALSE(view.getAttributeSize(key, length));
}

TEST(CView, TypeTests)
{
    CView view(CRect(0, 0, 1, 1));
    EXPECT_TRUE(view.isTypeOf("CView"));
    EXPECT_FALSE(view.isTypeOf("CViewContainer"));
    EXPECT_FALSE(view.isTypeOf(nullptr));
    CViewContainer container(CRect(0, 0, 1, 1), nullptr);
    EXPECT_TRUE(container.isTypeOf("CViewContainer"));
    EXPECT_TRUE(container.isTypeOf("CView"));
    EXPECT_EQ(container.notify(nullptr, kMsgCheckIfViewContainer), 1);
    // Messages compare by pointer, not by text.
    const std::string copy = kMsgCheckIfViewContainer;
    EXPECT_EQ(container.notify(nullptr, copy.c_str()), 0);
}

TEST(CViewContainer, RemoveAllWithForgetDestroysWhatOnlyItHeld)
{
    bool firstGone = false, secondGone = false;
    auto* container = new CViewContainer(CRect(0, 0, 100, 100), nullptr);
    auto* first = new RecordingView(CRect(0, 0, 10, 10), kRedCColor, &firstGone);
    auto* second = new RecordingView(CRect(0, 0, 10, 10), kRedCColor, &secondGone);
    container->addView(first);
    container->addView(second);
    EXPECT_EQ(first->getNbReference(), 2);
    EXPECT_EQ(container->getNbViews(), 2);
    EXPECT_EQ(container->getView(1), second);
    EXPECT_EQ(container->getView(2), nullptr);
    EXPECT_EQ(first->getParentView(), container);
    second->remember(); // someone else keeps it
    container->removeAll(true);
    EXPECT_TRUE(firstGone);
    EXPECT_FALSE(secondGone);
    EXPECT_EQ(second->getNbReference(), 1);
    EXPECT_EQ(container->getNbViews(), 0);
    second->forget();
    EXPECT_TRUE(secondGone);
    container->forget();
}

TEST(CViewContainer, RemoveViewWithoutForgetReleasesOnlyTheListsReference)
{
    bool gone = false;
    CViewContainer* container = new CViewContainer(CRect(0, 0, 100, 100), nullptr);
    auto* a = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    auto* b = new RecordingView(CRect(0, 0, 10, 10), kRedCColor, &gone);
    auto* c = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    container->addView(a);
    container->addView(b);
    container->addView(c);
    container->removeView(b, false);
    EXPECT_FALSE(gone);
    EXPECT_EQ(b->getNbReference(), 1);
    EXPECT_FALSE(container->isChild(b));
    EXPECT_EQ(container->getView(0), a);
    EXPECT_EQ(container->getView(1), c);
    container->removeView(b, true); // not a child: nothing changes
    EXPECT_FALSE(gone);
    b->forget();
    EXPECT_TRUE(gone);
    container->removeView(c, true);
    container->removeView(a, true);
    EXPECT_EQ(container->getNbViews(), 0);
    container->addView(nullptr);
    EXPECT_EQ(container->getNbViews(), 0);
    container->forget();
}

TEST(CViewContainer, DirtyChildOutsideTheExtentDoesNotMakeTheContainerDirty)
{
    CViewContainer container(CRect(50, 50, 100, 100), nullptr);
    auto* outside = new RecordingView(CRect(60, 0, 80, 10), kRedCColor); // local: beyond width 50
    auto* inside = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    container.addView(outside);
    container.addView(inside);
    container.setDirty(false);
    inside->setDirty(false);
    outside->setDirty(true);
    EXPECT_FALSE(container.isDirty());
    inside->setDirty(true);
    EXPECT_TRUE(container.isDirty());
    container.removeAll(true);
}

TEST_F(ViewContainer, LaterChildGetsTheClickAndIsDrawnOnTop)
{
    RecordingView* below = add(CRect(10, 10, 50, 50), kRedCColor);
    RecordingView* above = add(CRect(30, 30, 70, 70), kGreenCColor);
    paint();
    EXPECT_EQ(at(40, 40), kGreenCColor);
    EXPECT_EQ(at(20, 20), kRedCColor);
    window->press(CPoint(40, 40), kButtonLeft);
    EXPECT_EQ(above->clicks, 1);
    EXPECT_EQ(below->clicks, 0);
    window->press(CPoint(20, 20), kButtonLeft);
    EXPECT_EQ(below->clicks, 1);
    // A view that does not take the mouse lets the click through to the one below.
    above->setMouseEnabled(false);
    window->press(CPoint(40, 40), kButtonRight);
    EXPECT_EQ(below->clicks, 2);
    EXPECT_EQ(below->lastButtons, kButtonRight);
}

TEST_F(ViewContainer, NestedContainerOffsetsDrawingClickAndClip)
{
    auto* nested = new CViewContainer(CRect(100, 50, 150, 90), frame);
    nested->setBackgroundColor(kBlueCColor);
    auto* child = new RecordingView(CRect(0, 0, 80, 10), kRedCColor); // wider than the container
    nested->addView(child);
    frame->addView(nested);
    paint();
    EXPECT_EQ(at(100, 50), kRedCColor); // local (0, 0) lands at the container's corner
    EXPECT_EQ(at(149, 59), kRedCColor);
    EXPECT_EQ(at(150, 55), kBlackCColor); // clipped to the container
    EXPECT_EQ(at(120, 70), kBlueCColor);
    window->press(CPoint(110, 55), kButtonLeft);
    EXPECT_EQ(child->clicks, 1);
    EXPECT_EQ(child->lastWhere, CPoint(10, 5));
    EXPECT_EQ(child->getFrame(), frame);
    CPoint p(110, 55);
    EXPECT_EQ(child->frameToLocal(p), CPoint(10, 5));
    EXPECT_EQ(child->localToFrame(p), CPoint(110, 55));
    EXPECT_EQ(frame->getViewAt(CPoint(110, 55), false), nested);
    EXPECT_EQ(frame->getViewAt(CPoint(110, 55), true), child);
}

TEST_F(ViewContainer, ContainerAddedLateHandsTheFrameToItsChildren)
{
    auto* nested = new CViewContainer(CRect(0, 0, 50, 50), nullptr);
    auto* child = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    nested->addView(child);
    EXPECT_EQ(child->getFrame(), nullptr);
    frame->addView(nested);
    EXPECT_EQ(child->getFrame(), frame);
}

TEST_F(ViewContainer, TransparentContainerWithoutBitmapPaintsNothingOfItsOwn)
{
    add(CRect(0, 0, 200, 100), kYellowCColor);
    auto* nested = new CViewContainer(CRect(20, 20, 80, 80), frame);
    nested->setBackgroundColor(kBlueCColor);
    nested->setTransparency(true);
    nested->addView(new RecordingView(CRect(0, 0, 10, 10), kRedCColor));
    frame->addView(nested);
    paint();
    EXPECT_EQ(at(50, 50), kYellowCColor);
    EXPECT_EQ(at(25, 25), kRedCColor);
}

TEST_F(ViewContainer, OffscreenContainerDrawsTheSame)
{
    auto* nested = new CViewContainer(CRect(20, 20, 80, 80), frame);
    nested->setBackgroundColor(kBlueCColor);
    nested->useOffscreen(true);
    nested->addView(new RecordingView(CRect(5, 5, 15, 15), kRedCColor));
    frame->addView(nested);
    paint();
    EXPECT_EQ(at(25, 25), kRedCColor);
    EXPECT_EQ(at(34, 34), kRedCColor);
    EXPECT_EQ(at(35, 35), kBlueCColor);
    EXPECT_EQ(at(79, 79), kBlueCColor);
    EXPECT_EQ(at(80, 80), kBlackCColor);
}

TEST_F(ViewContainer, PartlyRedrawnDirtyChildStaysDirty)
{
    auto* nested = new CViewContainer(CRect(0, 0, 100, 100), frame);
    RecordingView* child = new RecordingView(CRect(10, 10, 60, 60), kRedCColor);
    nested->addView(child);
    frame->addView(nested);
    paint();
    child->setDirty(true);
    CDrawContext* context = frame->createDrawContext();
    nested->drawRect(context, CRect(0, 0, 30, 30)); // covers only part of the child
    EXPECT_TRUE(child->isDirty());
    nested->drawRect(context, CRect(0, 0, 100, 100));
    EXPECT_FALSE(child->isDirty());
    context->forget();
}

TEST_F(ViewContainer, BackgroundBitmapDrawsFromItsOffsetAndKeyedWhenTransparent)
{
    CBitmap* image = new CBitmap(200);
    auto* nested = new CViewContainer(CRect(10, 10, 20, 20), frame, image);
    image->forget(); // the container holds it
    EXPECT_EQ(image->getNbReference(), 1);
    CPoint offset(2, 1);
    nested->setBackgroundOffset(offset);
    frame->addView(nested);
    paint();
    EXPECT_EQ(at(10, 10), MakeCColor(200, 100, 50));
    EXPECT_EQ(at(13, 10), MakeCColor(255, 255, 254));
    EXPECT_EQ(at(14, 10), kBlackCColor); // beyond the image: the frame's background stays
}

TEST_F(ViewContainer, WheelInNestedContainerReachesTheChildUnderThePointer)
{
    auto* nested = new CViewContainer(CRect(100, 0, 200, 100), frame);
    RecordingView* child = new RecordingView(CRect(10, 10, 30, 30), kRedCColor);
    nested->addView(child);
    frame->addView(nested);
    window->wheel(CPoint(115, 15), 2.0f);
    EXPECT_EQ(child->wheels, 1);
    EXPECT_EQ(child->lastDistance, 2.0f);
    EXPECT_EQ(child->lastWhere, CPoint(15, 15));
    window->wheel(CPoint(150, 80), 1.0f); // inside the container, over no child
    EXPECT_EQ(child->wheels, 1);
}

TEST_F(ViewContainer, MouseLocationOfANestedViewIsInItsParentsCoordinates)
{
    auto* nested = new CViewContainer(CRect(100, 50, 200, 100), frame);
    RecordingView* child = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    nested->addView(child);
    frame->addView(nested);
    window->setPointer(CPoint(130, 70), 0);
    CDrawContext* context = frame->createDrawContext();
    CPoint where;
    child->getMouseLocation(context, where);
    EXPECT_EQ(where, CPoint(30, 20));
    EXPECT_EQ(context->drawOffset, CPoint(0, 0)); // offsets restored
    context->getMouseLocation(where);
    EXPECT_EQ(where, CPoint(130, 70));
    context->forget();
    EXPECT_EQ(nested->getCurrentView(), nullptr); // the pointer is over no child
    window->setPointer(CPoint(105, 55), 0);
    EXPECT_EQ(nested->getCurrentView(), child);
}
