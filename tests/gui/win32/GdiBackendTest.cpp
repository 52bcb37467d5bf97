// The Windows backend's own behaviour below the draw context: the blits it builds itself when the
// system's blending library is missing, the system popup menu it builds from a menu, and the
// system settings it reads. Needs no window (runs under Wine without an X server).
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/platform/win32/Win32Gdi.h"
#include "gui/platform/win32/Win32Menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using kalvo::platform::PopupMenu;
using kalvo::platform::PopupMenuItem;
using kalvo::win32::BlendFunctions;
using kalvo::win32::Win32Surface;

// Draws the 6 x 4 test image keyed (white) at (1, 1) and blended at 128 at (1, 6) onto magenta,
// with the given blending functions, and answers the pixels.
std::vector<CColor> drawnWith(const BlendFunctions& functions)
{
    CBitmap image(200);
    COffscreenContext context(nullptr, 10, 12, kMagentaCColor);
    static_cast<Win32Surface*>(context.getSurface())->setBlendFunctions(functions);
    CRect keyed(1, 1, 7, 5);
    image.drawTransparent(&context, keyed);
    CRect blended(1, 6, 7, 10);
    image.drawAlphaBlend(&context, blended, CPoint(0, 0), 128);
    std::vector<CColor> pixels;
    for (long y = 0; y < 12; y++)
        for (long x = 0; x < 10; x++)
            pixels.push_back(context.getPoint(CPoint(x, y)));
    return pixels;
}

std::wstring itemText(HMENU menu, UINT position)
{
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}
} // namespace

TEST(Win32Surface, WithoutTheBlendingLibraryKeyedAndBlendedImagesLookTheSame)
{
    ASSERT_NE(BlendFunctions::system().transparentBlt, nullptr);
    ASSERT_NE(BlendFunctions::system().alphaBlend, nullptr);
    const std::vector<CColor> library = drawnWith(BlendFunctions::system());
    const BlendFunctions missing;
    const std::vector<CColor> fallback = drawnWith(missing);
    ASSERT_EQ(library.size(), fallback.size());
    for (size_t i = 0; i < library.size(); i++)
    {
        // Keyed: the same pixels exactly; blended: the library may round the other way.
        EXPECT_NEAR(library[i].red, fallback[i].red, 1) << "pixel " << i % 10 << "," << i / 10;
        EXPECT_NEAR(library[i].green, fallback[i].green, 1) << "pixel " << i % 10 << "," << i / 10;
        EXPECT_NEAR(library[i].blue, fallback[i].blue, 1) << "pixel " << i % 10 << "," << i / 10;
        if (i / 10 < 6)
        {
            EXPECT_EQ(library[i], fallback[i]) << "pixel " << i % 10 << "," << i / 10;
        }
    }
    // The white pixel (3, 0) of the image is keyed out, the red one (0, 0) drawn.
    EXPECT_EQ(fallback[1 * 10 + 4], kMagentaCColor);
    EXPECT_EQ(fallback[1 * 10 + 1], kRedCColor);
}

TEST(Win32Menu, BuildsColumnsChecksGreyedTitlesSubmenusAndLiteralAmpersands)
{
    PopupMenuItem subItems[2];
    subItems[0].text = "Deep";
    subItems[0].id = 7;
    subItems[1].text = "Deeper";
    subItems[1].id = 8;
    PopupMenu sub;
    sub.items = subItems;
    sub.count = 2;

    PopupMenuItem items[6];
    items[0].text = "Rock & Roll";
    items[0].id = 0;
    items[0].flags = PopupMenuItem::kChecked;
    items[1].flags = PopupMenuItem::kSeparator;
    items[1].id = 1;
    items[2].text = "Greyed";
    items[2].id = 2;
    items[2].flags = PopupMenuItem::kDisabled | PopupMenuItem::kColumnBreak;
    items[3].text = "Title";
    items[3].id = 3;
    items[3].flags = PopupMenuItem::kTitle;
    items[4].text = "More";
    items[4].subMenu = &sub;
    items[5].text = "Last";
    items[5].id = 5;
    PopupMenu menu;
    menu.items = items;
    menu.count = 6;

    HMENU built = kalvo::win32::buildPopupMenu(menu);
    ASSERT_NE(built, nullptr);
    ASSERT_EQ(GetMenuItemCount(built), 6);
    // Shown as written: the menu's mnemonic prefix is escaped.
    EXPECT_EQ(itemText(built, 0), L"Rock && Roll");
    EXPECT_TRUE(GetMenuState(built, 0, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_EQ(GetMenuItemID(built, 0), 1u); // ids answer as id + 1: 0 means nothing chosen
    EXPECT_TRUE(GetMenuState(built, 1, MF_BYPOSITION) & MF_SEPARATOR);
    const UINT greyed = GetMenuState(built, 2, MF_BYPOSITION);
    EXPECT_TRUE(greyed & MF_GRAYED);
    EXPECT_TRUE(greyed & MF_MENUBARBREAK) << "a new column starts here";
    const UINT title = GetMenuState(built, 3, MF_BYPOSITION);
    EXPECT_TRUE(title & MF_DISABLED);
    EXPECT_FALSE(title & MF_GRAYED) << "a title is shown plainly";
    HMENU hung = GetSubMenu(built, 4);
    ASSERT_NE(hung, nullptr);
    EXPECT_EQ(itemText(built, 4), L"More");
    EXPECT_EQ(GetMenuItemCount(hung), 2);
    EXPECT_EQ(GetMenuItemID(hung, 1), 9u);
    EXPECT_EQ(GetMenuItemID(built, 5), 6u);
    EXPECT_FALSE(GetMenuState(built, 5, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED));
    EXPECT_TRUE(DestroyMenu(built));
    EXPECT_FALSE(IsMenu(hung)) << "destroyed with its parent";
}

TEST(Win32Platform, DoubleClicksGetAtLeastAQuarterSecondAndTextIsReadAsWindows1252)
{
    const UINT system = GetDoubleClickTime();
    ASSERT_TRUE(SetDoubleClickTime(100));
    EXPECT_EQ(kalvo::platform::doubleClickTimeMs(), 250);
    ASSERT_TRUE(SetDoubleClickTime(600));
    EXPECT_EQ(kalvo::platform::doubleClickTimeMs(), 600);
    SetDoubleClickTime(system);

    // The Windows rules write the degree sign as the single byte 0xB0.
    EXPECT_EQ(kalvo::win32::widen("90\xB0"), L"90\u00B0");
    EXPECT_EQ(kalvo::win32::widen(nullptr), L"");
}
