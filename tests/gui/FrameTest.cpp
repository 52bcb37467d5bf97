// The frame: idle redraw cycle, focus, modal view, key and wheel routing, ownership.
#include "TestViews.h"

#include <memory>
#include <string>

using Frame = HeadlessFrameTest;

namespace
{
VstKeyCode key(unsigned char virt, unsigned char modifier = 0)
{
    VstKeyCode code{};
    code.virt = virt;
    code.modifier = modifier;
    return code;
}
} // namespace

TEST_F(Frame, IsAViewContainerButNotAControl)
{
    EXPECT_TRUE(frame->isTypeOf("CFrame"));
    EXPECT_TRUE(frame->isTypeOf("CViewContainer"));
    EXPECT_TRUE(frame->isTypeOf("CView"));
    EXPECT_FALSE(frame->isTypeOf("CControl"));
    EXPECT_TRUE(frame->isOpen());
    CRect size;
    EXPECT_TRUE(frame->getSize(&size));
    EXPECT_EQ(size, CRect(0, 0, 200, 100));
}

TEST_F(Frame, IdleDrawsNothingBeforeTheFirstPaint)
{
    RecordingView* view = add(CRect(10, 10, 20, 20), kRedCColor);
    window->discardPendingRepaints(); // the window has not been shown yet
    EXPECT_TRUE(frame->isDirty());
    frame->idle();
    frame->idle();
    EXPECT_EQ(view->draws, 0);
    EXPECT_TRUE(frame->isFirstDraw());
    window->paintNow(CRect(0, 0, 200, 100)); // the platform's first paint
    EXPECT_FALSE(frame->isFirstDraw());
    EXPECT_EQ(view->draws, 1);
    EXPECT_EQ(at(15, 15), kRedCColor);
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(view->draws, 2);
}

TEST_F(Frame, IdleRedrawsOnlyDirtyViewsAfterTheFirstPaint)
{
    RecordingView* a = add(CRect(10, 10, 20, 20), kRedCColor);
    RecordingView* b = add(CRect(30, 10, 40, 20), kGreenCColor);
    EXPECT_TRUE(frame->isFirstDraw());
    frame->idle(); // pumps the first paint
    EXPECT_FALSE(frame->isFirstDraw());
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 1);
    frame->idle();
    EXPECT_EQ(a->draws, 1); // nothing dirty, nothing drawn
    a->color = kBlueCColor;
    a->setDirty(true);
    frame->idle();
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(b->draws, 1);
    EXPECT_EQ(at(15, 15), kBlueCColor);
    EXPECT_FALSE(frame->isDirty());
}

TEST_F(Frame, DirtyViewOutsideTheFrameDrawsNothing)
{
    paint();
    RecordingView* outside = add(CRect(300, 10, 320, 20), kRedCColor);
    frame->setDirty(false);
    EXPECT_FALSE(frame->isDirty());
    frame->idle();
    EXPECT_EQ(outside->draws, 0);
}

TEST_F(Frame, UpdatesDisabledStopsRedraws)
{
    RecordingView* view = add(CRect(10, 10, 20, 20), kRedCColor);
    paint();
    EXPECT_FALSE(frame->setUpdatesDisabled(true));
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(view->draws, 1);
    EXPECT_TRUE(frame->setUpdatesDisabled(false));
    frame->idle();
    EXPECT_EQ(view->draws, 2);
}

TEST_F(Frame, InvalidateMarksOverlappingChildrenWithInclusiveEdges)
{
    RecordingView* a = add(CRect(10, 10, 20, 20), kRedCColor);
    RecordingView* b = add(CRect(50, 50, 60, 60), kRedCColor);
    paint();
    frame->invalidate(CRect(20, 20, 30, 30)); // touches a's corner
    EXPECT_TRUE(a->isDirty());
    EXPECT_FALSE(b->isDirty());
    EXPECT_EQ(a->draws, 1); // nothing drawn until idle
    frame->idle();
    EXPECT_EQ(a->draws, 2);
}

TEST_F(Frame, ClickClearsTheFocusViewEvenWhenItHitsNothing)
{
    RecordingView* focused = add(CRect(10, 10, 20, 20), kRedCColor);
    frame->setFocusView(focused);
    EXPECT_EQ(frame->getFocusView(), focused);
    window->press(CPoint(150, 80), kButtonLeft);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(focused->focusLosses, 1);
    EXPECT_EQ(focused->clicks, 0);
}

TEST_F(Frame, ButtonsMinusOneAreFetchedFromTheContext)
{
    RecordingView* view = add(CRect(10, 10, 20, 20), kRedCColor);
    window->setPointer(CPoint(15, 15), kButtonLeft | kModifierShift);
    CDrawContext* context = frame->createDrawContext();
    CPoint where(15, 15);
    frame->mouse(context, where, -1);
    context->forget();
    EXPECT_EQ(view->lastButtons, kButtonLeft | kModifierShift);
}

TEST_F(Frame, ModalViewTakesClicksWheelAndKeysAndStopsTab)
{
    RecordingView* other = add(CRect(0, 0, 50, 50), kRedCColor);
    other->setWantsFocus(true);
    auto* modal = new RecordingView(CRect(100, 0, 150, 50), kGreenCColor);
    EXPECT_TRUE(frame->setModalView(modal));
    auto* second = new RecordingView(CRect(0, 0, 1, 1), kRedCColor);
    EXPECT_FALSE(frame->setModalView(second)); // refused while another is shown
    EXPECT_FALSE(frame->isChild(second));
    second->forget();
    EXPECT_EQ(frame->getModalView(), modal);
    EXPECT_EQ(frame->getCurrentView(), modal);

    window->press(CPoint(10, 10), kButtonLeft); // outside the modal view: ignored
    EXPECT_EQ(other->clicks, 0);
    EXPECT_EQ(modal->clicks, 0);
    window->press(CPoint(150, 50), kButtonLeft); // inclusive edge of the modal view
    EXPECT_EQ(modal->clicks, 1);

    window->wheel(CPoint(10, 10), 1.0f); // over the other view, still to the modal one
    EXPECT_EQ(modal->wheels, 1);
    EXPECT_EQ(other->wheels, 0);

    VstKeyCode tab = key(VKEY_TAB);
    EXPECT_EQ(frame->onKeyDown(tab), -1);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(modal->keys, 1);
    modal->keyAnswer = 1;
    VstKeyCode letter = key(0);
    EXPECT_EQ(frame->onKeyDown(letter), 1);

    // Removing the modal view keeps it alive for whoever holds it.
    modal->remember();
    EXPECT_TRUE(frame->setModalView(nullptr));
    EXPECT_FALSE(frame->isChild(modal));
    EXPECT_EQ(modal->getNbReference(), 2);
    modal->forget();
    modal->forget();
    window->press(CPoint(10, 10), kButtonLeft);
    EXPECT_EQ(other->clicks, 1);
}

TEST_F(Frame, ModalViewIsUpdatedFirst)
{
    std::string order;
    struct Logging : RecordingView
    {
        Logging(const CRect& r, std::string& log, char name)
            : RecordingView(r, kRedCColor), log(log), name(name)
        {
        }
        void draw(CDrawContext* c) override
        {
            log += name;
            RecordingView::draw(c);
        }
        std::string& log;
        char name;
    };
    frame->addView(new Logging(CRect(0, 0, 10, 10), order, 'a'));
    auto* modal = new Logging(CRect(20, 0, 30, 10), order, 'm');
    paint();
    frame->setModalView(modal);
    frame->getView(0)->setDirty(true);
    order.clear();
    frame->idle();
    EXPECT_EQ(order, "ma");
}

TEST_F(Frame, KeysGoToTheFocusViewThenTheModalView)
{
    RecordingView* focused = add(CRect(0, 0, 10, 10), kRedCColor);
    auto* modal = new RecordingView(CRect(20, 0, 30, 10), kRedCColor);
    frame->setModalView(modal);
    frame->setFocusView(focused);
    focused->keyAnswer = 1;
    VstKeyCode k = key(VKEY_LEFT);
    EXPECT_EQ(frame->onKeyDown(k), 1);
    EXPECT_EQ(focused->keys, 1);
    EXPECT_EQ(modal->keys, 0);
    focused->keyAnswer = -1;
    EXPECT_EQ(frame->onKeyDown(k), -1);
    EXPECT_EQ(modal->keys, 1);
    EXPECT_EQ(frame->onKeyUp(k), -1);
}

TEST_F(Frame, TabWalksTheFocusForwardAndShiftTabBackward)
{
    RecordingView* a = add(CRect(0, 0, 10, 10), kRedCColor);
    RecordingView* plain = add(CRect(10, 0, 20, 10), kRedCColor); // does not want focus
    RecordingView* b = add(CRect(20, 0, 30, 10), kRedCColor);
    a->setWantsFocus(true);
    b->setWantsFocus(true);
    VstKeyCode tab = key(VKEY_TAB);
    VstKeyCode backTab = key(VKEY_TAB, MODIFIER_SHIFT);
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), a);
    EXPECT_TRUE(a->isDirty()); // a view taking focus is redrawn
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), b);
    EXPECT_EQ(a->focusLosses, 1);
    EXPECT_EQ(frame->onKeyDown(backTab), 1);
    EXPECT_EQ(frame->getFocusView(), a);
    // Past the last view the focus ends and the key is not handled.
    EXPECT_EQ(frame->onKeyDown(backTab), -1);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    (void)plain;
}

TEST_F(Frame, TabWalksIntoAndOutOfNestedContainers)
{
    RecordingView* first = add(CRect(0, 0, 10, 10), kRedCColor);
    auto* nested = new CViewContainer(CRect(50, 0, 100, 50), frame);
    auto* inner1 = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    auto* inner2 = new RecordingView(CRect(10, 0, 20, 10), kRedCColor);
    nested->addView(inner1);
    nested->addView(inner2);
    frame->addView(nested);
    RecordingView* last = add(CRect(150, 0, 160, 10), kRedCColor);
    for (RecordingView* v : {first, inner1, inner2, last})
        v->setWantsFocus(true);
    VstKeyCode tab = key(VKEY_TAB);
    std::vector<CView*> visited;
    for (int i = 0; i < 4; i++)
    {
        EXPECT_EQ(frame->onKeyDown(tab), 1);
        visited.push_back(frame->getFocusView());
    }
    EXPECT_EQ(visited, (std::vector<CView*>{first, inner1, inner2, last}));
}

TEST_F(Frame, WheelGoesToTheTopmostViewUnderThePointer)
{
    RecordingView* below = add(CRect(0, 0, 100, 100), kRedCColor);
    RecordingView* above = add(CRect(50, 50, 100, 100), kRedCColor);
    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(60, 60), 1.5f));
    EXPECT_EQ(above->wheels, 1);
    EXPECT_EQ(above->lastDistance, 1.5f);
    EXPECT_TRUE(frame->onWheel(nullptr, CPoint(10, 10), kWheelAxisX, -1.0f));
    EXPECT_EQ(below->wheels, 1);                                  // the axis-less form receives it
    EXPECT_FALSE(frame->onWheel(nullptr, CPoint(150, 10), 1.0f)); // no view there
}

TEST_F(Frame, DestructionDestroysEveryChildNobodyElseHolds)
{
    bool plainGone = false, keptGone = false, modalGone = false;
    add(CRect(0, 0, 10, 10), kRedCColor, &plainGone);
    RecordingView* kept = add(CRect(0, 0, 10, 10), kRedCColor, &keptGone);
    kept->remember();
    frame->setModalView(new RecordingView(CRect(0, 0, 5, 5), kRedCColor, &modalGone));
    frame->forget();
    frame = nullptr;
    EXPECT_TRUE(plainGone);
    EXPECT_FALSE(keptGone);
    EXPECT_TRUE(modalGone); // a modal view still shown goes with the frame
    EXPECT_EQ(kept->getNbReference(), 1);
    kept->forget();
    EXPECT_EQ(host.childCount(), 0); // the native child went too
}

TEST_F(Frame, RemovingTheFocusViewClearsTheFocus)
{
    RecordingView* view = add(CRect(0, 0, 10, 10), kRedCColor);
    frame->setFocusView(view);
    frame->removeView(view, true);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    VstKeyCode k = key(VKEY_LEFT);
    EXPECT_EQ(frame->onKeyDown(k), -1);
}

TEST_F(Frame, SetSizeToTheCurrentSizeAnswersFalse)
{
    EXPECT_FALSE(frame->setSize(200, 100));
    EXPECT_TRUE(frame->setSize(300, 120));
    CRect size;
    frame->getViewSize(size);
    EXPECT_EQ(size, CRect(0, 0, 300, 120));
    EXPECT_EQ(window->width(), 300);
}

TEST_F(Frame, CursorAndPositionReachTheNativeWindow)
{
    frame->setCursor(kCursorHand);
    EXPECT_EQ(window->cursor(), kCursorHand);
    EXPECT_TRUE(frame->setPosition(5, 7));
    long x = 0, y = 0;
    EXPECT_TRUE(frame->getPosition(x, y));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 7);
    window->setPointer(CPoint(33, 44), 0);
    CPoint where;
    EXPECT_TRUE(frame->getCurrentLocation(where));
    EXPECT_EQ(where, CPoint(33, 44));
}

TEST(CFrameWithoutWindow, StaysOpenButNeverDraws)
{
    CFrame* frame = new CFrame(CRect(0, 0, 50, 50), static_cast<void*>(nullptr), nullptr);
    EXPECT_TRUE(frame->getOpenFlag());
    EXPECT_EQ(frame->getPlatformWindow(), nullptr);
    auto* view = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    frame->addView(view);
    frame->idle();
    EXPECT_EQ(view->draws, 0);
    CRect size;
    EXPECT_FALSE(frame->getSize(&size));
    frame->forget();

    // The window-creating form starts closed and cannot open without a system window.
    CFrame* own = new CFrame(CRect(0, 0, 50, 50), "title", nullptr);
    EXPECT_FALSE(own->isOpen());
    EXPECT_FALSE(own->open());
    EXPECT_FALSE(own->close());
    EXPECT_FALSE(own->setSize(10, 10));
    own->forget();
}

TEST(CFrameInAHostWindow, ClosesWhenTheWindowSystemDestroysItsWindow)
{
    // A host that destroys its window before closing the editor takes the frame's window along.
    auto host = std::make_unique<kalvo::headless::HostWindow>();
    CFrame* frame = new CFrame(CRect(0, 0, 200, 100), host->handle(), nullptr);
    auto* view = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    frame->addView(view);
    host->child()->pumpEvents();
    ASSERT_TRUE(frame->getOpenFlag());
    const int draws = view->draws;

    host.reset();
    EXPECT_FALSE(frame->getOpenFlag());
    EXPECT_EQ(frame->getSystemWindow(), nullptr);
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(view->draws, draws);
    EXPECT_FALSE(frame->setSize(300, 100));
    frame->forget();
}
