// The editor binding between host opcodes and the frame: rectangle, keys, wheel, knob mode,
// edit brackets and the throttled idle pump with its re-entry guard.
#include "TestViews.h"

#include "gui/AEffGUIEditor.h"
#include "gui/HostToolkit.h"
#include "vst2/AudioEffectX.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
struct HostLog
{
    std::vector<VstInt32> opcodes;
    std::vector<VstInt32> indices;
    std::function<void()> onIdle;
    bool canSizeWindow = false;
    int count(VstInt32 opcode) const
    {
        int n = 0;
        for (VstInt32 o : opcodes)
            n += o == opcode;
        return n;
    }
};
HostLog* host = nullptr;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (!host)
        return 0;
    host->opcodes.push_back(opcode);
    host->indices.push_back(index);
    if (opcode == audioMasterIdle && host->onIdle)
        host->onIdle();
    if (opcode == audioMasterCanDo)
        return host->canSizeWindow && ptr && std::strcmp(static_cast<char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
    if (opcode == audioMasterSizeWindow)
        return host->canSizeWindow ? 1 : 0;
    return 0;
}

class TestEditor : public AEffGUIEditor
{
public:
    explicit TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) {}
    bool open(void* window) override
    {
        AEffGUIEditor::open(window);
        frame = new CFrame(CRect(0, 0, 100, 50), window, this);
        view = new RecordingView(CRect(10, 10, 30, 30), kRedCColor);
        frame->addView(view);
        return true;
    }
    void close() override
    {
        frame->forget();
        frame = nullptr;
        view = nullptr;
        AEffGUIEditor::close();
    }
    void idle() override
    {
        idles++;
        AEffGUIEditor::idle();
    }
    void setSize(short width, short height)
    {
        rect.right = width;
        rect.bottom = height;
    }
    int idles = 0;
    RecordingView* view = nullptr;
};

class Editor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = &log;
        kalvo::headless::setTicks(10000);
        effect = new AudioEffectX(hostCallback, 1, 1);
        editor = new TestEditor(effect); // the effect owns it from now on
    }
    void TearDown() override
    {
        if (editor->isOpen())
            editor->close();
        delete effect;
        host = nullptr;
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0)
    {
        return effect->dispatcher(opcode, index, value, ptr, opt);
    }
    void openAndPaint()
    {
        editor->open(window.handle());
        window.child()->pumpEvents();
    }

    HostLog log;
    AudioEffectX* effect = nullptr;
    TestEditor* editor = nullptr;
    kalvo::headless::HostWindow window;
};
} // namespace

TEST_F(Editor, AttachesItselfToTheEffect)
{
    EXPECT_EQ(effect->getEditor(), editor);
    EXPECT_NE(effect->getAeffect()->flags & effFlagsHasEditor, 0);
    EXPECT_EQ(editor->getEffect(), effect);
}

TEST_F(Editor, RectangleBeforeOpenIsAllZeroWithResultOne)
{
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 0);
    EXPECT_EQ(rect->right, 0);
    editor->setSize(841, 453);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, 841);
    EXPECT_EQ(rect->bottom, 453);
}

TEST_F(Editor, ClosedEditorIgnoresKeysWheelAndIdle)
{
    EXPECT_FALSE(editor->isOpen());
    VstKeyCode key{};
    key.virt = VKEY_TAB;
    EXPECT_FALSE(editor->onKeyDown(key));
    EXPECT_FALSE(editor->onKeyUp(key));
    EXPECT_FALSE(editor->onWheel(1.0f));
    editor->AEffGUIEditor::idle(); // nothing to reach
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(Editor, KnobModeIsStoredForTheFrameToAnswer)
{
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_TRUE(editor->setKnobMode(2));
    openAndPaint();
    EXPECT_EQ(editor->getFrame()->getKnobMode(), 2);
    editor->setKnobMode(0);
}

TEST_F(Editor, KeysAndWheelReachTheOpenFrame)
{
    openAndPaint();
    VstKeyCode key{};
    key.virt = VKEY_LEFT;
    editor->getFrame()->setFocusView(editor->view);
    EXPECT_FALSE(editor->onKeyDown(key)); // the view answers -1
    editor->view->keyAnswer = 1;
    EXPECT_TRUE(editor->onKeyDown(key));
    EXPECT_EQ(editor->view->keys, 2);

    window.child()->setPointer(CPoint(20, 20), 0);
    EXPECT_TRUE(editor->onWheel(-2.0f));
    EXPECT_EQ(editor->view->wheels, 1);
    EXPECT_EQ(editor->view->lastDistance, -2.0f);
    EXPECT_EQ(editor->view->lastWhere, CPoint(20, 20));
    window.child()->setPointer(CPoint(80, 40), 0);
    EXPECT_FALSE(editor->onWheel(1.0f)); // over no view
}

TEST_F(Editor, EditBracketsReachTheHost)
{
    openAndPaint();
    editor->getFrame()->beginEdit(7);
    editor->getFrame()->endEdit(7);
    ASSERT_EQ(log.count(audioMasterBeginEdit), 1);
    ASSERT_EQ(log.count(audioMasterEndEdit), 1);
    EXPECT_EQ(log.indices[log.opcodes.size() - 1], 7);
}

TEST_F(Editor, IdlePumpRunsAtMostAboutEveryHundredMilliseconds)
{
    openAndPaint();
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(log.count(audioMasterIdle), 1);

    kalvo::headless::advanceTicks(2);
    const long before = AEffGUIEditor::getTicks();
    editor->doIdleStuff(); // too early: waits 4 ms and returns
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(log.count(audioMasterIdle), 1);
    EXPECT_EQ(AEffGUIEditor::getTicks(), before + 4);

    // Work is due 100 ms after the last pass, and runs from 50 ms before that.
    kalvo::headless::setTicks(10000 + 100 - 50 - 4 - 1);
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, 1);
    kalvo::headless::setTicks(10000 + 100 - 50 - 4);
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, 2);
    EXPECT_EQ(log.count(audioMasterIdle), 2);

    // A tight tracking loop reaches the early limit each time: one pass every 50 ms.
    kalvo::headless::setTicks(20000);
    editor->doIdleStuff();
    const int start = editor->idles;
    while (AEffGUIEditor::getTicks() < 21000)
        editor->doIdleStuff(); // each early call waits 4 ms of the headless clock
    EXPECT_NEAR(editor->idles - start, 1000 / 50, 2);
}

TEST_F(Editor, IdlePumpKeepsItsPaceAcrossTheClockWrap)
{
    // The 32-bit millisecond clock wraps after about 24.8 days of uptime.
    openAndPaint();
    const long wrap = 2147483648L; // 2^31
    kalvo::headless::setTicks(wrap - 120);
    editor->doIdleStuff();
    const int before = editor->idles;
    // 160 ms on, the clock has wrapped to a large negative count: the work is due.
    kalvo::headless::setTicks(wrap - 80);
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, before);
    kalvo::headless::setTicks(wrap + 40);
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, before + 1);
    // ... and 10 ms later it is early again, not overdue for weeks.
    kalvo::headless::setTicks(wrap + 50);
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, before + 1);
    kalvo::headless::setTicks(wrap + 140);
    editor->doIdleStuff();
    EXPECT_EQ(editor->idles, before + 2);
}

TEST_F(Editor, HostIdleCallDuringThePumpDoesNotReachTheFrame)
{
    openAndPaint();
    RecordingView* view = editor->view;
    const int drawsBefore = view->draws;
    bool frameReachedInsideHostIdle = false;
    log.onIdle = [&]
    {
        view->setDirty(true);
        dispatch(effEditIdle); // the host's own idle call arrives while masterIdle runs
        frameReachedInsideHostIdle = view->draws != drawsBefore;
    };
    editor->doIdleStuff();
    EXPECT_FALSE(frameReachedInsideHostIdle);
    log.onIdle = nullptr;
    dispatch(effEditIdle); // outside the pump the frame redraws
    EXPECT_EQ(view->draws, drawsBefore + 1);
}

TEST_F(Editor, FrameResizeAsksTheHostFirst)
{
    openAndPaint();
    log.canSizeWindow = true;
    EXPECT_TRUE(editor->getFrame()->setSize(120, 60));
    EXPECT_EQ(log.count(audioMasterSizeWindow), 1);
    CRect size;
    editor->getFrame()->getViewSize(size);
    EXPECT_EQ(size, CRect(0, 0, 120, 60));
    const int asked = log.count(audioMasterCanDo);
    EXPECT_FALSE(editor->getFrame()->setSize(120, 60)); // same size: the host is not asked
    EXPECT_EQ(log.count(audioMasterCanDo), asked);
}

TEST_F(Editor, TicksFollowThePlatformClock)
{
    kalvo::headless::setTicks(123456);
    EXPECT_EQ(AEffGUIEditor::getTicks(), 123456);
    openAndPaint();
    EXPECT_EQ(editor->getFrame()->getTicks(), 123456);
}

// A GTK host under GDK_SCALE=2 or a Qt one under QT_SCALE_FACTOR draws its widgets that much
// larger: the panel follows the larger zoom; a value that is no zoom of 1 to 4 is no zoom.
TEST(HostToolkit, ZoomComesFromGdkScaleOrQtScaleFactor)
{
    const auto zoomWith = [](const char* gdk, const char* qt)
    {
        gdk ? setenv("GDK_SCALE", gdk, 1) : unsetenv("GDK_SCALE");
        qt ? setenv("QT_SCALE_FACTOR", qt, 1) : unsetenv("QT_SCALE_FACTOR");
        return kalvo::hostToolkitScale();
    };
    EXPECT_EQ(zoomWith(nullptr, nullptr), 1.0);
    EXPECT_EQ(zoomWith("2", nullptr), 2.0);
    EXPECT_EQ(zoomWith(nullptr, "1.5"), 1.5);
    EXPECT_EQ(zoomWith("2", "1.5"), 2.0);
    EXPECT_EQ(zoomWith("2x", "9"), 1.0);
    EXPECT_EQ(zoomWith("0.5", ""), 1.0);
    zoomWith(nullptr, nullptr);
}
