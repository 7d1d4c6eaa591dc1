// The progress bar's arithmetic: how far it fills, the percentage it shows, where the text
// goes and the colour of the filled part.
#include "progress/progress_internal.h"

#include <gtest/gtest.h>

namespace
{

TEST(BarFillWidth, FillsInProportionRoundingDownAndNeverBeyondTheBar)
{
    struct Case {
        const char *label;
        DWORD total, current;
        int width;
        DWORD expected;
    } cases[] = {
        {"nothing yet", 399, 0, 338, 0},
        {"the first of 399 steps on 338 pixels is less than one", 399, 1, 338, 0},
        {"the second is one", 399, 2, 338, 1},
        {"half way", 10, 5, 338, 169},
        {"the last step fills it", 399, 399, 338, 338},
        {"one step beyond the total", 10, 11, 300, 300},
        {"far beyond the total", 1, 1000, 300, 300},
        {"a bar with no width", 10, 5, 0, 0},
        // The run's product is 32-bit: 100 * 338 * 130000 wraps to 99,032,704 before the
        // division (4,394,000,000 - 2^32).
        {"the product wraps modulo 2^32", 200000, 130000, 338, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.expected, BarFillWidth(c.total, c.current, c.width, 100, 0));
    }
}

TEST(PercentOfBar, TruncatesTowardZero)
{
    struct Case {
        const char *label;
        int filled, width, expected;
    } cases[] = {
        {"2 of 300 pixels", 2, 300, 0}, {"299 of 300 pixels", 299, 300, 99},
        {"a full bar", 300, 300, 100},  {"empty", 0, 338, 0},
        {"half of 338", 169, 338, 50},  {"a bar with no width", 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.expected, PercentOfBar(c.filled, c.width));
    }
}

TEST(PercentTextOrigin, CentresOnTheBarWithTruncatingHalves)
{
    struct Case {
        const char *label;
        RECT bar;
        SIZE extent;
        POINT expected;
    } cases[] = {
        {"the template's bar, measured text", {21, 81, 359, 105}, {32, 16}, {174, 85}},
        {"the template's bar, 16 x 8 fallback", {21, 81, 359, 105}, {16, 8}, {182, 89}},
        {"odd sums truncate", {0, 0, 11, 11}, {4, 4}, {3, 3}},
        {"text larger than the bar truncates toward zero", {0, 0, 10, 10}, {15, 13}, {-2, -1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        POINT origin = PercentTextOrigin(c.bar, c.extent);
        EXPECT_EQ(c.expected.x, origin.x);
        EXPECT_EQ(c.expected.y, origin.y);
    }
}

TEST(BarColour, InvertsRedAndBlueAndKeepsGreen)
{
    struct Case {
        const char *label;
        COLORREF window, expected;
    } cases[] = {
        {"white gives green", RGB(255, 255, 255), RGB(0, 255, 0)},
        {"black gives magenta", RGB(0, 0, 0), RGB(255, 0, 255)},
        {"each byte on its own", RGB(0x10, 0x20, 0x30), RGB(0xEF, 0x20, 0xCF)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.expected, BarColour(c.window));
    }
}

} // namespace
