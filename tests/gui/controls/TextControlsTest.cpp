// Text display and option menu: formatting, drawing styles, entry bookkeeping, and the popup
// answered by the headless window's scripted choice.
#include "ControlTestSupport.h"

#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
constexpr CColor kBack = {0, 0, 160, 255};
constexpr CColor kFrameLine = {200, 0, 0, 255};

void halfAsText(float value, char* text)
{
    std::snprintf(text, 256, "half %g", static_cast<double>(value / 2));
}

void withUnit(float value, char* text, void* unit)
{
    std::snprintf(text, 256, "%g %s", static_cast<double>(value), static_cast<const char*>(unit));
}

void fillsTheWholeBuffer(float, char* text)
{
    std::memset(text, 'x', 256);
}

/// Counts the pixels inside `r` within `tolerance` of `color` in each channel (text edges are
/// smoothed, so glyph pixels come near their colour rather than on it).
long countPixels(kalvo::headless::Window* window, const CRect& r, CColor color, int tolerance = 0)
{
    long n = 0;
    for (long y = r.top; y < r.bottom; y++)
    {
        for (long x = r.left; x < r.right; x++)
        {
            const CColor p = window->pixel(x, y);
            n += std::abs(p.red - color.red) <= tolerance && std::abs(p.green - color.green) <= tolerance &&
                 std::abs(p.blue - color.blue) <= tolerance;
        }
    }
    return n;
}

// Glyph pixels count as the text colour within this distance per channel.
constexpr int kGlyph = 90;
} // namespace

// ---- display ----

using ParamDisplay = ControlTest;

TEST_F(ParamDisplay, FormatsWithTwoDecimalsUnlessAConverterIsSet)
{
    CParamDisplay display(CRect(0, 0, 40, 14));
    char text[CParamDisplay::kTextSize];
    display.formatValue(0.5f, text);
    EXPECT_STREQ(text, "0.50");
    display.formatValue(-12.345f, text);
    EXPECT_STREQ(text, "-12.35");
    display.setStringConvert(halfAsText);
    display.formatValue(3.f, text);
    EXPECT_STREQ(text, "half 1.5");
    static char unit[] = "ms";
    display.setStringConvert(withUnit, unit); // the converter with user data wins
    display.formatValue(3.f, text);
    EXPECT_STREQ(text, "3 ms");
    CParamDisplay greedy(CRect(0, 0, 40, 14));
    greedy.setStringConvert(fillsTheWholeBuffer);
    greedy.formatValue(0.f, text);
    EXPECT_EQ(std::strlen(text), 255u);
}

TEST_F(ParamDisplay, FillsAndFramesItsBoxWithoutABitmap)
{
    auto* plain = new CParamDisplay(CRect(10, 10, 50, 24), nullptr, kDisplayNoText);
    auto* frameless = new CParamDisplay(CRect(60, 10, 100, 24), nullptr, kDisplayNoText | kDisplayNoFrame);
    auto* bevel =
        new CParamDisplay(CRect(110, 10, 150, 24), nullptr, kDisplayNoText | kDisplayBevelFrameFirst);
    for (CParamDisplay* d : {plain, frameless, bevel})
    {
        d->setBackColor(kBack);
        d->setFrameColor(kFrameLine);
        frame->addView(d);
    }
    frame->idle();
    EXPECT_EQ(at(10, 10), kFrameLine);
    EXPECT_EQ(at(49, 23), kFrameLine);
    EXPECT_EQ(at(30, 17), kBack);
    EXPECT_EQ(at(60, 10), kBack);
    EXPECT_EQ(at(99, 23), kBack);
    // Bevel with the frame colour first: left edge in the frame colour, right edge in the back
    // colour, and no frame rectangle.
    EXPECT_EQ(at(110, 17), kFrameLine);
    EXPECT_EQ(at(149, 17), kBack);
    EXPECT_EQ(at(130, 10), kBack);
}

TEST_F(ParamDisplay, NoDrawStartsCleanAndNeverPaints)
{
    auto* display = new CParamDisplay(CRect(10, 10, 50, 24), nullptr, kDisplayNoDraw);
    frame->addView(display);
    CParamDisplay fresh(CRect(0, 0, 10, 10), nullptr, kDisplayNoDraw);
    EXPECT_FALSE(fresh.isDirty());
    display->setValue(0.7f);
    frame->idle();
    EXPECT_EQ(countPixels(window, CRect(10, 10, 50, 24), kBlackCColor), 40 * 14);
}

TEST_F(ParamDisplay, OpaqueTextSitsOnABoxOfTheBackColour)
{
    CBitmap* green = makeBitmap(40, 14, {kGreenCColor});
    auto* see = new CParamDisplay(CRect(10, 10, 50, 24), green);
    auto* box = new CParamDisplay(CRect(60, 10, 100, 24), green);
    green->forget();
    for (CParamDisplay* d : {see, box})
    {
        d->setBackColor(kBack);
        d->setValue(0.25f);
        frame->addView(d);
    }
    box->setTextTransparency(false);
    frame->idle();
    EXPECT_EQ(countPixels(window, CRect(10, 10, 50, 24), kBack), 0);
    EXPECT_GT(countPixels(window, CRect(60, 10, 100, 24), kBack), 0);
    EXPECT_GT(countPixels(window, CRect(10, 10, 50, 24), kWhiteCColor, kGlyph), 0); // the text itself
}

TEST_F(ParamDisplay, ShadowTextIsDrawnInTheShadowColour)
{
    auto* display = new CParamDisplay(CRect(10, 10, 60, 30), nullptr, kDisplayShadowText);
    display->setValue(0.75f);
    frame->addView(display);
    frame->idle();
    EXPECT_GT(countPixels(window, CRect(10, 10, 60, 30), kRedCColor, kGlyph), 0);
    EXPECT_FALSE(display->isDirty());
}

// ---- option menu ----

using OptionMenu = ControlTest;

namespace
{
COptionMenu* menuWith(std::initializer_list<const char*> texts, long style = 0)
{
    auto* menu = new COptionMenu(CRect(20, 20, 120, 40), nullptr, 14, nullptr, nullptr, style);
    for (const char* t : texts)
        menu->addEntry(t);
    return menu;
}

std::string currentText(const COptionMenu& menu)
{
    char text[256] = "";
    if (menu.getCurrent(text) < 0)
        return "<none>";
    return text;
}
} // namespace

TEST_F(OptionMenu, SetValueSelectsTheTruncatedIndexAndIgnoresValuesOutsideTheEntries)
{
    COptionMenu* menu = menuWith({"A", "B", "C", "D", "E"});
    menu->setValue(2.7f);
    EXPECT_EQ(menu->getCurrent(), 2);
    EXPECT_EQ(menu->getValue(), 2.7f);
    for (float ignored : {5.f, -1.f, 1e30f, -1e30f, std::nanf("")})
    {
        menu->setValue(ignored);
        EXPECT_EQ(menu->getCurrent(), 2);
        EXPECT_EQ(menu->getValue(), 2.7f);
    }
    menu->setValue(-0.5f);
    EXPECT_EQ(menu->getCurrent(), 0);
    menu->forget();
}

TEST_F(OptionMenu, TheCurrentEntryFollowsItsTextThroughInsertionAndRemoval)
{
    COptionMenu* menu = menuWith({"A", "B", "C", "D", "E"});
    EXPECT_EQ(menu->getCurrent(), 0); // the first entry added became current
    menu->setValue(3.f);
    EXPECT_TRUE(menu->addEntry("X", 0));
    EXPECT_EQ(menu->getCurrent(), 4);
    EXPECT_EQ(currentText(*menu), "D");
    EXPECT_TRUE(menu->addEntry("Y", 99)); // past the end: appended
    EXPECT_EQ(menu->getIndex("Y"), 6);
    EXPECT_TRUE(menu->removeEntry(1));
    EXPECT_EQ(currentText(*menu), "D");
    EXPECT_FALSE(menu->removeEntry(6));
    EXPECT_FALSE(menu->removeEntry(-1));
    EXPECT_EQ(menu->getNbEntries(), 6);
    menu->forget();
}

TEST_F(OptionMenu, RemovingTheCurrentEntryMakesThePreviousOneCurrentAndNoneBeforeTheFirst)
{
    COptionMenu* menu = menuWith({"A", "B", "C"});
    menu->setValue(2.f);
    EXPECT_TRUE(menu->removeEntry(2));
    EXPECT_EQ(currentText(*menu), "B");
    menu->setValue(0.f);
    EXPECT_TRUE(menu->removeEntry(0));
    EXPECT_EQ(menu->getCurrent(), -1);
    EXPECT_EQ(menu->shownCurrentText(), nullptr);
    EXPECT_TRUE(menu->removeEntry(0));
    EXPECT_EQ(menu->getCurrent(), -1);
    EXPECT_EQ(menu->getNbEntries(), 0);
    EXPECT_TRUE(menu->addEntry("D"));
    EXPECT_EQ(currentText(*menu), "D");
    menu->forget();
}

TEST_F(OptionMenu, SeparatorsAndTitlesAreNotCountedAsChoosable)
{
    COptionMenu* menu = menuWith({"A", "-", "-TGroup", "B", "-GLater"});
    menu->setValue(3.f);
    char text[256];
    EXPECT_EQ(menu->getCurrent(text, false), 1);
    EXPECT_STREQ(text, "B");
    EXPECT_EQ(menu->getCurrent(nullptr, true), 3);
    EXPECT_TRUE(menu->setCurrent(2, false)); // the disabled entry is the third choosable one
    EXPECT_EQ(menu->getCurrent(), 4);
    EXPECT_FALSE(menu->setCurrent(3, false));
    EXPECT_FALSE(menu->setCurrent(1, true)); // a separator cannot be current
    EXPECT_EQ(menu->getCurrent(), 4);
    EXPECT_FALSE(menu->setCurrent(5, true));
    menu->forget();
}

TEST_F(OptionMenu, PrefixNumbersAreStoredButHiddenWhenClosed)
{
    auto* menu = new COptionMenu(CRect(20, 20, 120, 40), nullptr, 14);
    menu->setPrefixNumbers(3);
    menu->addEntry("A");
    menu->addEntry("B");
    menu->addEntry("First", 0); // inserted entries are numbered by their place, moved ones keep theirs
    char text[256];
    ASSERT_TRUE(menu->getEntry(1, text));
    EXPECT_STREQ(text, "01 A");
    ASSERT_TRUE(menu->getEntry(2, text));
    EXPECT_STREQ(text, "02 B");
    ASSERT_TRUE(menu->getEntry(0, text));
    EXPECT_STREQ(text, "01 First");
    menu->setValue(2.f);
    EXPECT_STREQ(menu->shownCurrentText(), "B");
    menu->setPrefixNumbers(2);
    menu->addEntry("C");
    ASSERT_TRUE(menu->getEntry(3, text));
    EXPECT_STREQ(text, "4 C");
    EXPECT_FALSE(menu->getEntry(4, text));
    menu->forget();
}

TEST_F(OptionMenu, EntryTextsAreCutTo255CharactersAndStayTerminated)
{
    COptionMenu* menu = menuWith({});
    const std::string longText(600, 'q');
    ASSERT_TRUE(menu->addEntry(longText.c_str()));
    char text[256];
    ASSERT_TRUE(menu->getEntry(0, text));
    EXPECT_EQ(std::strlen(text), 255u);
    ASSERT_TRUE(menu->setEntry(0, longText.c_str()));
    ASSERT_TRUE(menu->getEntry(0, text));
    EXPECT_EQ(std::strlen(text), 255u);
    ASSERT_TRUE(menu->addEntry(nullptr));
    ASSERT_TRUE(menu->getEntry(1, text));
    EXPECT_STREQ(text, "");
    menu->forget();
}

TEST_F(OptionMenu, RefusesEntriesBeyond1024)
{
    COptionMenu* menu = menuWith({});
    for (long i = 0; i < COptionMenu::kMaxEntries; i++)
        ASSERT_TRUE(menu->addEntry("e"));
    EXPECT_FALSE(menu->addEntry("one too many"));
    auto* sub = menuWith({"s"});
    EXPECT_FALSE(menu->addEntry(sub, "sub"));
    EXPECT_EQ(menu->getNbEntries(), COptionMenu::kMaxEntries);
    sub->forget();
    menu->forget();
}

TEST_F(OptionMenu, CheckFlagsStayWithTheirEntries)
{
    COptionMenu* menu = menuWith({"A", "B", "C"}, kMenuCheckStyle);
    EXPECT_TRUE(menu->checkEntry(1, true));
    menu->addEntry("X", 0);
    EXPECT_FALSE(menu->isCheckEntry(1));
    EXPECT_TRUE(menu->isCheckEntry(2));
    menu->removeEntry(0);
    EXPECT_TRUE(menu->isCheckEntry(1));
    EXPECT_TRUE(menu->checkEntryAlone(2));
    EXPECT_FALSE(menu->isCheckEntry(1));
    EXPECT_TRUE(menu->isCheckEntry(2));
    EXPECT_FALSE(menu->checkEntry(3, true));
    menu->setValue(2.f); // selecting under the check style toggles
    EXPECT_FALSE(menu->isCheckEntry(2));
    menu->forget();
}

TEST_F(OptionMenu, AMenuCannotHangInsideItself)
{
    COptionMenu* outer = menuWith({"A"});
    COptionMenu* inner = menuWith({"B"});
    EXPECT_FALSE(outer->addEntry(outer, "self"));
    EXPECT_TRUE(outer->addEntry(inner, "inner"));
    EXPECT_FALSE(inner->addEntry(outer, "outer"));
    EXPECT_EQ(inner->getNbEntries(), 1);
    inner->forget();
    outer->forget();
}

/// The editor's preset menu: six entries, the current one marked.
class PresetMenu : public ControlTest
{
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        menu = new COptionMenu(CRect(20, 20, 185, 45), &listener, 14, nullptr, nullptr, kMenuMarkCurrent);
        for (const char* t : {"< Select Preset >", "5 Channel", "4 Channel", "Stereo 45", "Stereo 60"})
            menu->addEntry(t);
        frame->addView(menu);
        frame->idle();
    }
    COptionMenu* menu = nullptr;
};

TEST_F(PresetMenu, AChoiceSelectsTheEntryAndReachesTheListenerInsideAnEditBracket)
{
    window->setMenuChoice(2);
    window->press(CPoint(50, 30), kButtonLeft);
    EXPECT_EQ(window->menusShown(), 1);
    EXPECT_EQ(window->lastMenuPosition(), CPoint(20, 45)); // below the control
    EXPECT_EQ(window->lastMenuTexts(), (std::vector<std::string>{"< Select Preset >", "5 Channel",
                                                                 "4 Channel", "Stereo 45", "Stereo 60"}));
    EXPECT_EQ(log, (EventLog{"begin 14", "value 14 2.0000", "end 14"}));
    EXPECT_EQ(menu->getCurrent(), 2);
    EXPECT_EQ(menu->getLastResult(), 2);
    long index = -1;
    EXPECT_EQ(menu->getLastItemMenu(index), menu);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    ASSERT_EQ(listener.contexts.size(), 1u);
    EXPECT_NE(listener.contexts[0], nullptr);
}

TEST_F(PresetMenu, ADismissedPopupChangesNothingButClosesTheBracket)
{
    menu->setValue(1.f);
    window->setMenuChoice(-1);
    window->press(CPoint(50, 30), kButtonRight);
    EXPECT_EQ(window->menusShown(), 1);
    EXPECT_EQ(log, (EventLog{"begin 14", "end 14"}));
    EXPECT_EQ(menu->getCurrent(), 1);
    EXPECT_EQ(menu->getLastResult(), -1);
    EXPECT_EQ(menu->getLastButton(), kButtonRight);
    long index = 0;
    EXPECT_EQ(menu->getLastItemMenu(index), nullptr);
    EXPECT_EQ(index, -1);
}

TEST_F(PresetMenu, OnlyLeftAndRightClicksOpenItAndAnEmptyMenuOpensNothing)
{
    window->press(CPoint(50, 30), kButtonMiddle);
    EXPECT_EQ(window->menusShown(), 0);
    EXPECT_TRUE(log.empty());
    menu->removeAllEntry();
    window->press(CPoint(50, 30), kButtonLeft);
    EXPECT_EQ(window->menusShown(), 0);
    EXPECT_EQ(log, (EventLog{"begin 14", "end 14"}));
}

TEST_F(OptionMenu, AChoiceInASubmenuUpdatesTheSubmenuAndNamesItToTheListener)
{
    auto* menu = new COptionMenu(CRect(20, 20, 120, 40), &listener, 14);
    auto* more = new COptionMenu(CRect(0, 0, 0, 0), nullptr, 15);
    auto* other = new COptionMenu(CRect(0, 0, 0, 0), nullptr, 16);
    more->addEntry("X");
    more->addEntry("Y");
    other->addEntry("Z");
    menu->addEntry("A");
    menu->addEntry(more, "More");
    menu->addEntry(other, "Other");
    more->forget();
    other->forget();
    frame->addView(menu);
    // Items are numbered across the nested menus: A 0, More 1, Other 2, X 3, Y 4, Z 5.
    window->setMenuChoice(4);
    window->press(CPoint(50, 30), kButtonLeft);
    EXPECT_EQ(window->lastMenuTexts(), (std::vector<std::string>{"A", "More", "X", "Y", "Other", "Z"}));
    ASSERT_EQ(listener.controls.size(), 1u);
    EXPECT_EQ(listener.controls[0], more);
    EXPECT_EQ(more->getValue(), 1.f);
    EXPECT_EQ(menu->getValue(), 0.f);
    long index = -1;
    EXPECT_EQ(menu->getLastItemMenu(index), more);
    EXPECT_EQ(index, 1);

    // Removing the first submenu's entry takes the submenu along; the second stays at its entry.
    ASSERT_TRUE(menu->removeEntry(1));
    EXPECT_EQ(menu->getSubMenu(0), other);
    EXPECT_EQ(menu->getSubMenu(1), nullptr);
    window->setMenuChoice(2);
    window->press(CPoint(50, 30), kButtonLeft);
    ASSERT_EQ(listener.controls.size(), 2u);
    EXPECT_EQ(listener.controls[1], other);
}

TEST_F(OptionMenu, TheClosedMenuDrawsTheCurrentTextOverItsBackground)
{
    CBitmap* face = makeBitmap(100, 20, {kBack});
    CBitmap* open = makeBitmap(100, 20, {kGreenCColor});
    auto* menu = new COptionMenu(CRect(20, 20, 120, 40), &listener, 14, face, open, 0);
    face->forget();
    open->forget();
    menu->addEntry("Wide entry text");
    frame->addView(menu);
    frame->idle();
    const CRect r(20, 20, 120, 40);
    EXPECT_GT(countPixels(window, r, kWhiteCColor, kGlyph), 0);
    EXPECT_EQ(countPixels(window, r, kGreenCColor), 0);
    // While the popup is open the menu shows its open face.
    window->setMenuChoice(-1);
    window->press(CPoint(50, 30), kButtonLeft);
    EXPECT_GT(countPixels(window, r, kGreenCColor), 0);
    EXPECT_TRUE(menu->isDirty()); // the normal face returns at the next idle
    frame->idle();
    EXPECT_EQ(countPixels(window, r, kGreenCColor), 0);

    menu->removeAllEntry();
    menu->setDirty(true);
    frame->idle();
    EXPECT_EQ(countPixels(window, r, kWhiteCColor, kGlyph), 0); // no entry, no text
}

TEST_F(OptionMenu, ItemsAUserCannotChooseNeverReachTheListener)
{
    auto* menu = new COptionMenu(CRect(20, 20, 120, 40), &listener, 14);
    auto* more = new COptionMenu(CRect(0, 0, 0, 0), nullptr, 15);
    more->addEntry("X");
    for (const char* t : {"A", "-", "-TTitle", "-GGrey"})
        menu->addEntry(t);
    menu->addEntry(more, "More");
    more->forget();
    frame->addView(menu);
    // Ids: A 0, separator 1, title 2, greyed 3, the submenu's holder 4, X 5.
    for (long id : {1L, 2L, 3L, 4L, 6L, 99L})
    {
        window->setMenuChoice(id);
        window->press(CPoint(50, 30), kButtonLeft);
        EXPECT_EQ(menu->getLastResult(), -1) << id;
    }
    EXPECT_TRUE(listener.values.empty());
    window->setMenuChoice(5);
    window->press(CPoint(50, 30), kButtonLeft);
    ASSERT_EQ(listener.controls.size(), 1u);
    EXPECT_EQ(listener.controls[0], more);
}
