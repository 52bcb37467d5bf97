// A seeded random walk over everything a host and a user can do to the open panel: clicks with
// any buttons and modifiers, drags, wheel turns, keys, menu answers, the about screen, hostile
// parameter values, program switches, idle calls and closing and reopening at any point. After
// every step the effect must still report finite parameters and process to finite output.
// Set KALVO_FUZZ_SEED to replay one seed; KALVO_FUZZ_STEPS changes the length of each run.
#include "editor/KalvoEditor.h"
#include "effect/Kalvo.h"
#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{

constexpr long kPanelWidth = 841;
constexpr long kPanelHeight = 453;
constexpr int kBlockFrames = 64;
constexpr int kChannels = Kalvo::kNumChannels;
// Out-of-range values pass to the engine unchanged, and levels and patterns multiply: values near
// 1e30 or the float limit overflow samples on their way back to single precision, and the rear
// delay line keeps playing those out after the values are gone. Output must be finite once every
// parameter has stayed within this bound for longer than the longest delay and its cross-fade.
constexpr float kModerate = 1e6f;
constexpr int kFlushBlocks = 6; // 6 x 4096 frames, half a second at 48 kHz
constexpr int kFlushFrames = 4096;

// The generator the host callback draws its own re-entrant changes from.
std::mt19937* hostRandom = nullptr;
AudioEffect* hostEffect = nullptr;
int hostReentries = 0;
long hostAutomations = 0;

float hostileValue(std::mt19937& random)
{
    static const float kValues[] = {std::numeric_limits<float>::quiet_NaN(),
                                    -std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    std::numeric_limits<float>::max(),
                                    -std::numeric_limits<float>::max(),
                                    1e30f,
                                    -1e30f,
                                    1e6f,
                                    -1.0f,
                                    -1e-30f,
                                    std::numeric_limits<float>::denorm_min(),
                                    0.0f,
                                    1.0f,
                                    1.0000001f,
                                    2.0f,
                                    5.0f,
                                    1000.0f};
    const std::uint32_t pick = random() % 24;
    if (pick < sizeof kValues / sizeof kValues[0])
        return kValues[pick];
    return static_cast<float>(random() % 100001) / 100000.0f; // an ordinary value in [0, 1]
}

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return 48000;
    case audioMasterGetBlockSize:
        return 512;
    case audioMasterIdle:
    case audioMasterAutomate:
        hostAutomations += opcode == audioMasterAutomate;
        // Hosts play automation and switch programs while the user is dragging: now and then the
        // host answers a callback from inside a gesture with a change of its own.
        if (hostRandom && hostEffect && hostReentries == 0 && (*hostRandom)() % 8 == 0)
        {
            ++hostReentries;
            if ((*hostRandom)() % 4 == 0)
                hostEffect->getAeffect()->dispatcher(hostEffect->getAeffect(), effSetProgram, 0,
                                                     static_cast<VstIntPtr>((*hostRandom)() % 12) - 2,
                                                     nullptr, 0.0f);
            else
                hostEffect->setParameter(static_cast<VstInt32>((*hostRandom)() % 46) - 5,
                                         hostileValue(*hostRandom));
            --hostReentries;
        }
        return 1;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}

class EditorFuzz
{
public:
    explicit EditorFuzz(std::uint32_t seed) : random(seed)
    {
        for (int c = 0; c < kChannels; ++c)
        {
            inputs[c] = inputData[c].data();
            outputs[c] = outputData[c].data();
        }
    }
    ~EditorFuzz()
    {
        hostRandom = nullptr;
        hostEffect = nullptr;
    }

    // Runs `steps` random steps; the first broken invariant ends the run with a message.
    ::testing::AssertionResult run(long steps)
    {
        effect.reset(createEffectInstance(hostCallback));
        if (!effect)
            return ::testing::AssertionFailure() << "no effect";
        aeffect = effect->getAeffect();
        hostRandom = &random;
        hostEffect = effect.get();
        dispatch(effEditOpen, 0, 0, host.handle());
        for (long step = 0; step < steps; ++step)
        {
            const int action = act();
            ::testing::AssertionResult ok = invariantsHold();
            if (!ok)
                return ok << " after step " << step << " (action " << action << ")";
        }
        // The last close comes from the host's close opcode or, as some hosts do, from destroying
        // the effect with the panel still open.
        if (below(2))
            dispatch(effEditClose, 0, 0, nullptr);
        else
            effect.reset();
        if (host.childCount() != 0)
            return ::testing::AssertionFailure()
                   << host.childCount() << " windows left after the final close";
        effect.reset();
        return ::testing::AssertionSuccess();
    }

private:
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt = 0.0f)
    {
        return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
    }
    KalvoEditor* editor() const { return static_cast<KalvoEditor*>(effect->getEditor()); }
    kalvo::headless::Window* window() const { return editor()->isOpened() ? host.child() : nullptr; }

    std::uint32_t below(std::uint32_t n) { return random() % n; }
    CPoint anywhere()
    {
        // Mostly on the panel, sometimes just outside it.
        return CPoint(static_cast<long>(below(kPanelWidth + 40)) - 20,
                      static_cast<long>(below(kPanelHeight + 40)) - 20);
    }
    long anyButtons() { return static_cast<long>(below(128)); }

    // A press whose tracking loop, if any, sees the buttons held for a few polls and then let go.
    void click(kalvo::headless::Window* w, const CPoint& where, long buttons)
    {
        std::vector<kalvo::headless::PointerState> script(below(4) + 1, {where, buttons});
        script.push_back({where, 0});
        w->scriptPointer(script);
        w->press(where, buttons);
        w->scriptPointer({});
        w->setPointer(where, 0);
    }

    int act()
    {
        kalvo::headless::Window* w = window();
        const int action = static_cast<int>(below(16));
        switch (action)
        {
        case 0: // a click anywhere with any buttons and modifiers
        case 1:
            if (w)
                click(w, anywhere(), anyButtons());
            break;
        case 2: // the typical clicks: left, Ctrl-left, right, double
            if (w)
            {
                const CPoint where = anywhere();
                const long kinds[] = {kButtonLeft, kButtonLeft | kModifierCommand, kButtonRight,
                                      kButtonLeft | kModifierShift};
                click(w, where, kinds[below(4)]);
                if (below(2))
                {
                    kalvo::headless::advanceTicks(below(300));
                    click(w, where, kButtonLeft);
                }
            }
            break;
        case 3: // a drag along a random path, Shift pressed and released on the way
        {
            if (!w)
                break;
            CPoint where = anywhere();
            const long start = below(2) ? kButtonLeft | kModifierShift : long{kButtonLeft};
            std::vector<kalvo::headless::PointerState> script;
            long buttons = start;
            for (std::uint32_t i = below(30) + 2; i > 0; --i)
            {
                if (below(4) == 0)
                    buttons ^= kModifierShift;
                where = CPoint(where.x + static_cast<long>(below(81)) - 40,
                               where.y + static_cast<long>(below(21)) - 10);
                script.push_back({where, buttons});
            }
            script.push_back({where, 0});
            w->scriptPointer(script);
            w->press(script.front().where, start);
            w->scriptPointer({});
            w->setPointer(where, 0);
            break;
        }
        case 4: // wheel turns: ordinary, huge and not a number, either axis, window or host path
        {
            const float distances[] = {1.0f,
                                       -1.0f,
                                       0.5f,
                                       -3.0f,
                                       1e9f,
                                       -1e30f,
                                       std::numeric_limits<float>::infinity(),
                                       std::numeric_limits<float>::quiet_NaN()};
            const float distance = distances[below(8)];
            if (w && below(2))
                w->wheel(anywhere(), distance, below(2) ? kWheelAxisY : kWheelAxisX);
            else
            {
                if (w)
                    w->setPointer(anywhere(), 0);
                editor()->onWheel(distance);
            }
            break;
        }
        case 5: // keys through the host's key opcodes
        {
            const unsigned char keys[] = {VKEY_LEFT,   VKEY_RIGHT,  VKEY_UP,    VKEY_DOWN,   VKEY_TAB,
                                          VKEY_RETURN, VKEY_ESCAPE, VKEY_SPACE, VKEY_PAGEUP, VKEY_HOME};
            const VstIntPtr virt = below(3) ? keys[below(10)] : static_cast<VstIntPtr>(below(256));
            const VstInt32 character = below(2) ? 0 : static_cast<VstInt32>(below(300)) - 20;
            const float modifiers = static_cast<float>(below(16));
            dispatch(effEditKeyDown, character, virt, nullptr, modifiers);
            dispatch(effEditKeyUp, character, virt, nullptr, modifiers);
            break;
        }
        case 6: // a menu answer, dismissals and ids no menu has included, on the preset menu
            if (w)
            {
                menus -= w->menusShown();
                w->setMenuChoice(static_cast<long>(below(14)) - 4);
                click(w, CPoint(630 + below(165), 134 + below(25)), below(4) ? kButtonLeft : anyButtons());
                menus += w->menusShown();
            }
            break;
        case 7: // the about screen, then a click anywhere to close it
            if (w)
            {
                click(w, CPoint(606 + below(224), 22 + below(74)), kButtonLeft);
                aboutScreens += editor()->getFrame()->getModalView() != nullptr;
                if (below(2))
                    dispatch(effEditIdle, 0, 0, nullptr);
                click(w, anywhere(), anyButtons());
            }
            break;
        case 8: // a storm of host parameter changes over every index
        case 9:
            for (VstInt32 index = -5; index <= 40; ++index)
                if (below(3))
                    effect->setParameter(index, hostileValue(random));
            break;
        case 10: // program switches, in and out of range
            dispatch(effSetProgram, 0, static_cast<VstIntPtr>(below(14)) - 3, nullptr);
            break;
        case 11: // idle time, with the clock moving
        case 12:
            kalvo::headless::advanceTicks(below(200));
            dispatch(effEditIdle, 0, 0, nullptr);
            if (w && below(4) == 0)
                w->pumpEvents();
            break;
        case 13: // close or open, sometimes twice in a row
        {
            if (editor()->isOpened() && below(2))
                dispatch(effEditClose, 0, 0, nullptr);
            else
                dispatch(effEditOpen, 0, 0, host.handle());
            break;
        }
        case 14: // one parameter from the panel's range with an ordinary value, as automation does
            effect->setParameter(static_cast<VstInt32>(below(28)), static_cast<float>(below(1001)) / 1000.0f);
            break;
        default: // a full repaint of the window
            if (w)
                w->paintNow(CRect(0, 0, kPanelWidth, kPanelHeight));
            break;
        }
        return action;
    }

    ::testing::AssertionResult invariantsHold()
    {
        bool moderate = true;
        for (VstInt32 index = 0; index <= 12; ++index)
        {
            const float value = effect->getParameter(index);
            if (!std::isfinite(value))
                return ::testing::AssertionFailure() << "parameter " << index << " reads " << value;
            moderate = moderate && std::fabs(value) <= kModerate;
        }
        if (!moderate)
            overflowEchoes = true;
        else if (overflowEchoes)
        {
            flush();
            overflowEchoes = false;
        }
        for (int c = 0; c < kChannels; ++c)
            for (float& sample : inputData[c])
                sample = static_cast<float>(static_cast<int>(below(2001)) - 1000) / 1000.0f;
        aeffect->processReplacing(aeffect, inputs, outputs, kBlockFrames);
        for (int c = 0; c < kChannels && moderate; ++c)
            for (int i = 0; i < kBlockFrames; ++i)
                if (!std::isfinite(outputData[c][i]))
                {
                    ::testing::AssertionResult failure = ::testing::AssertionFailure();
                    failure << "output " << c << " frame " << i << " is " << outputData[c][i]
                            << " with parameters";
                    for (VstInt32 index = 0; index <= 12; ++index)
                        failure << ' ' << effect->getParameter(index);
                    return failure;
                }
        if (editor()->isOpened() && host.child() == nullptr)
            return ::testing::AssertionFailure() << "open editor without a window";
        return ::testing::AssertionSuccess();
    }

    // Plays silence through the effect until the overflowed samples have left the delay line.
    void flush()
    {
        std::vector<float> silence(kFlushFrames * kChannels, 0.0f);
        std::vector<float> sink(kFlushFrames * kChannels);
        float* in[kChannels];
        float* out[kChannels];
        for (int c = 0; c < kChannels; ++c)
        {
            in[c] = &silence[c * kFlushFrames];
            out[c] = &sink[c * kFlushFrames];
        }
        for (int block = 0; block < kFlushBlocks; ++block)
            aeffect->processReplacing(aeffect, in, out, kFlushFrames);
    }

public:
    // What the run reached, so that a walk that stops touching the panel does not pass silently.
    long menus = 0;
    long aboutScreens = 0;

private:
    std::mt19937 random;
    bool overflowEchoes = false; ///< values beyond kModerate were processed since the last flush
    kalvo::headless::HostWindow host;
    std::unique_ptr<AudioEffect> effect;
    AEffect* aeffect = nullptr;
    std::array<std::array<float, kBlockFrames>, kChannels> inputData{};
    std::array<std::array<float, kBlockFrames>, kChannels> outputData{};
    float* inputs[kChannels] = {};
    float* outputs[kChannels] = {};
};

long envNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

} // namespace

TEST(CEditorFuzz, SurvivesRandomUseWithFiniteParametersAndOutput)
{
    const long steps = envNumber("KALVO_FUZZ_STEPS", 400);
    std::vector<std::uint32_t> seeds = {1u, 0x5eedu, 20261208u, 0xdecafu, 77u};
    if (std::getenv("KALVO_FUZZ_SEED"))
        seeds = {static_cast<std::uint32_t>(envNumber("KALVO_FUZZ_SEED", 1))};
    for (std::uint32_t seed : seeds)
    {
        hostAutomations = 0;
        EditorFuzz fuzz(seed);
        EXPECT_TRUE(fuzz.run(steps)) << "seed " << seed << " (replay with KALVO_FUZZ_SEED=" << seed << ")";
        if (steps >= 200)
        {
            EXPECT_GT(hostAutomations, 0) << "seed " << seed;
            EXPECT_GT(fuzz.menus, 0) << "seed " << seed;
            EXPECT_GT(fuzz.aboutScreens, 0) << "seed " << seed;
        }
    }
}
