// Window centring: its arithmetic, and the screen size it measures once, on the simulated
// desktop.
#include "sim_ui.h"
#include "ui_shared/ui_shared.h"
#include "ui_shared/ui_shared_internal.h"

#include <gtest/gtest.h>

namespace
{

TEST(CenterWindow, CentresWithTruncatingHalvesAndNegativeCornersForLargeWindows)
{
    struct Row {
        const char *label;
        int W, H, w, h, x, y;
    } rows[] = {
        {"even sizes", 1024, 768, 400, 200, 312, 284},
        {"odd sizes truncate each half", 1025, 769, 301, 151, 362, 309},
        {"each half truncates, not the difference", 1024, 768, 301, 151, 362, 309},
        {"wider and taller than the screen", 640, 480, 801, 601, -80, -60},
        {"zero screen", 0, 0, 10, 10, -5, -5},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.label);
        POINT p = CenteredPosition(r.W, r.H, r.w, r.h);
        EXPECT_EQ(p.x, r.x);
        EXPECT_EQ(p.y, r.y);
    }
}

// CenterWindow's screen cache, kept for the life of the process: each case runs in a process
// of its own (ctest runs every case apart), which has not measured yet.
struct CenterWindowCache : ::testing::Test {
    HWND window = NULL;
    void SetUp() override
    {
        SimUiReset();
        window = SimCreateWindow("Static", NULL, 0, RECT{0, 0, 100, 100});
    }
    RECT Rect() { return SimWindow(window).windowRect; }
    void Place(RECT r) { MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, 0); }
};

TEST_F(CenterWindowCache, RemeasuresAZeroWidthThenFallsBackAndKeepsTheFallback)
{
    // A display that reports a width of 0 leaves the cache empty.
    SimSetScreenSize(0, 0);
    CenterWindow(window, 1);
    EXPECT_EQ(Rect().left, -50);
    EXPECT_EQ(SimGdi().infoDcsCreated, 1);

    // No display context: 1024 x 768 is cached from then on.
    SimFailCreateIC(true);
    Place({5, 7, 1105, 107});
    CenterWindow(window, 1);
    EXPECT_EQ(Rect().left, 512 - 550);
    EXPECT_EQ(Rect().top, 384 - 50);
    EXPECT_EQ(Rect().right - Rect().left, 1100);

    SimFailCreateIC(false);
    SimSetScreenSize(1920, 1080);
    Place({0, 0, 600, 200});
    CenterWindow(window, 1);
    EXPECT_EQ(Rect().left, 212);
    EXPECT_EQ(Rect().top, 284);
    EXPECT_EQ(SimGdi().infoDcsCreated, 1);
    EXPECT_EQ(SimGdi().infoDcsDeleted, 1);

    // Any mode but 1 keeps the position.
    Place({3, 4, 103, 54});
    CenterWindow(window, 0);
    EXPECT_EQ(Rect().left, 3);
    EXPECT_EQ(Rect().top, 4);
}

TEST_F(CenterWindowCache, AMeasuredScreenIsKept)
{
    SimSetScreenSize(1920, 1080);
    Place({5, 7, 605, 207});
    CenterWindow(window, 1);
    EXPECT_EQ(Rect().left, 660);
    EXPECT_EQ(Rect().top, 440);
    SimSetScreenSize(800, 1080);
    CenterWindow(window, 1);
    EXPECT_EQ(Rect().left, 660);
    EXPECT_EQ(SimGdi().infoDcsCreated, 1);
}

} // namespace
