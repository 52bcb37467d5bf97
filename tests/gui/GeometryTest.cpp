// Value types and reference counting.
#include "gui/CColor.h"
#include "gui/CConventions.h"
#include "gui/CGeometry.h"
#include "gui/CReferenceCounter.h"

#include <gtest/gtest.h>

TEST(CRect, BoundOfDisjointRectanglesIsEmptyWithoutNegativeExtent)
{
    CRect a(0, 0, 10, 10);
    a.bound(CRect(20, 30, 40, 50));
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(a.left, 20);
    EXPECT_EQ(a.right, 20);
    EXPECT_EQ(a.top, 30);
    EXPECT_EQ(a.bottom, 30);

    CRect b(20, 0, 40, 10);
    b.bound(CRect(0, 0, 10, 10)); // left of it: right clamps to left
    EXPECT_EQ(b.width(), 0);
    EXPECT_GE(b.height(), 0);
}

TEST(CRect, BoundKeepsTheOverlap)
{
    CRect a(0, 0, 10, 10);
    a.bound(CRect(5, -5, 20, 7));
    EXPECT_EQ(a, CRect(5, 0, 10, 7));
}

TEST(CRect, ZeroWidthRectangleIsEmptyAndContainsNoPoint)
{
    const CRect r(5, 5, 5, 10);
    EXPECT_TRUE(r.isEmpty());
    for (int x = 3; x <= 7; x++)
        for (int y = 3; y <= 12; y++)
            EXPECT_FALSE(r.pointInside(CPoint(x, y))) << x << "," << y;
}

TEST(CRect, PointInsideExcludesRightAndBottomEdges)
{
    const CRect r(10, 10, 20, 15);
    EXPECT_TRUE(r.pointInside(CPoint(10, 10)));
    EXPECT_TRUE(r.pointInside(CPoint(19, 14)));
    EXPECT_FALSE(r.pointInside(CPoint(20, 14)));
    EXPECT_FALSE(r.pointInside(CPoint(19, 15)));
    EXPECT_FALSE(r.pointInside(CPoint(9, 12)));
    EXPECT_EQ(r.width(), 10);
    EXPECT_EQ(r.height(), 5);
}

TEST(CRect, OffsetMovesAllFourEdges)
{
    CRect r(1, 2, 3, 4);
    r.offset(10, -20);
    EXPECT_EQ(r, CRect(11, -18, 13, -16));
}

TEST(CColor, StandardColoursAndLayout)
{
    EXPECT_EQ(sizeof(CColor), 4u);
    EXPECT_EQ(kTransparentCColor, MakeCColor(255, 255, 255, 0));
    EXPECT_EQ(kGreyCColor, MakeCColor(127, 127, 127, 255));
    EXPECT_EQ(kOrangeCColor, MakeCColor(247, 148, 29, 255));
    const CColor c = kOrangeCColor;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&c);
    EXPECT_EQ(bytes[0], 247); // red first, alpha last
    EXPECT_EQ(bytes[3], 255);
}

TEST(Conventions, ButtonBitsAndAttributeKey)
{
    EXPECT_EQ(kButtonLeft | kModifierCommand, 17);
    EXPECT_EQ(kModifierMask, 0x78);
    EXPECT_EQ(kCViewAttributeReferencePointer, 0x63767270u); // 'cvrp'
    EXPECT_STREQ(kMsgCheckIfViewContainer, "kMsgCheckIfViewContainer");
}

namespace
{
struct Counted : CReferenceCounter
{
    explicit Counted(int& deaths) : deaths(deaths) {}
    ~Counted() override { deaths++; }
    int& deaths;
};
} // namespace

TEST(CReferenceCounter, SecondForgetAfterOneRememberDeletes)
{
    int deaths = 0;
    auto* object = new Counted(deaths);
    EXPECT_EQ(object->getNbReference(), 1);
    object->remember();
    object->forget();
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(object->getNbReference(), 1);
    object->forget();
    EXPECT_EQ(deaths, 1);
}
