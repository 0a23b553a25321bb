#include "ui/controls/DialogUnits.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(DialogUnits, MulDivRoundsHalvesAwayFromZero) {
    struct Case {
        int number, numerator, denominator, expected;
    };
    const Case cases[] = {
        {343, 6, 4, 515},                            // 514.5
        {266, 13, 8, 432},                           // 432.25
        {7, 6, 4, 11},                               // 10.5
        {5, 6, 4, 8},                                // 7.5
        {-3, 6, 4, -5},                              // -4.5
        {3, 6, -4, -5},                              // -4.5
        {1, 1, -2, -1},                              // -0.5
        {5, 6, 0, -1},                               // no denominator
        {std::numeric_limits<int>::max(), 4, 2, -1}, // does not fit
        {std::numeric_limits<int>::max(), 6, 6, std::numeric_limits<int>::max()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
            << c.number << " * " << c.numerator << " / " << c.denominator;
    }
}

TEST(DialogUnits, MainWindowLayoutInTahomaUnits) {
    const DialogBaseUnits tahoma{6, 13};
    EXPECT_EQ(DialogRectToPixels(QRect(6, 61, 343, 266), tahoma), QRect(9, 99, 515, 432));
    EXPECT_EQ(DialogSizeToPixels(QSize(355, 369), tahoma), QSize(533, 600));
    EXPECT_EQ(DialogPointToPixels(QPoint(291, 328), tahoma), QPoint(437, 533));
}

TEST(DialogUnits, PositionAndSizeAreConvertedSeparately) {
    // From the right edge the width would be MulDiv(2) - MulDiv(1) = 3 - 2 = 1 pixel.
    EXPECT_EQ(DialogRectToPixels(QRect(1, 1, 1, 1), DialogBaseUnits{6, 13}), QRect(2, 2, 2, 2));
}

TEST(DialogUnits, BaseUnitsFollowTheFont) {
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPointSize(8);
    QFont large = small;
    large.setPointSize(16);
    const DialogBaseUnits smallUnits = BaseUnitsOf(small);
    const DialogBaseUnits largeUnits = BaseUnitsOf(large);
    EXPECT_GT(smallUnits.x, 0);
    EXPECT_EQ(smallUnits.y, QFontMetrics(small).height());
    EXPECT_GT(largeUnits.x, smallUnits.x);
    EXPECT_GT(largeUnits.y, smallUnits.y);
    // The average width lies between the narrowest and the widest letter.
    const QFontMetrics metrics(large);
    EXPECT_GE(largeUnits.x, metrics.horizontalAdvance(QLatin1Char('i')));
    EXPECT_LE(largeUnits.x, metrics.horizontalAdvance(QLatin1Char('W')));
}

} // namespace
