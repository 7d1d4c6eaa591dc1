// CenterWindow's screen cache, in a process of its own: the cache lives as long as the process.
#include "fake_desktop.h"

#include "ui_shared/ui_shared.h"

#include <gtest/gtest.h>

namespace
{

// Each case must see an empty cache, so it runs only as the process's one test (CTest runs
// every case in a process of its own).
struct CenterWindowCache : ::testing::Test {
    HWND window = reinterpret_cast<HWND>(0x9000);
    void SetUp() override
    {
        if (::testing::UnitTest::GetInstance()->test_to_run_count() > 1)
            GTEST_SKIP() << "needs a fresh process: run with --gtest_filter";
        ResetDesktop();
    }
};

TEST_F(CenterWindowCache, RemeasuresAZeroWidthThenFallsBackAndKeepsTheFallback)
{

    // A display that reports a width of 0 leaves the cache empty.
    Desktop().screenWidth = 0;
    Desktop().screenHeight = 0;
    Desktop().dialogRect = {0, 0, 100, 100};
    CenterWindow(window, 1);
    EXPECT_EQ(Desktop().dialogRect.left, -50);
    EXPECT_EQ(Desktop().infoContextsCreated, 1);

    // No display context: 1024 x 768 is cached from then on.
    Desktop().displayAvailable = false;
    Desktop().dialogRect = {5, 7, 1105, 107};
    CenterWindow(window, 1);
    EXPECT_EQ(Desktop().dialogRect.left, 512 - 550);
    EXPECT_EQ(Desktop().dialogRect.top, 384 - 50);
    EXPECT_EQ(Desktop().dialogRect.right - Desktop().dialogRect.left, 1100);

    Desktop().displayAvailable = true;
    Desktop().screenWidth = 1920;
    Desktop().screenHeight = 1080;
    Desktop().dialogRect = {0, 0, 600, 200};
    CenterWindow(window, 1);
    EXPECT_EQ(Desktop().dialogRect.left, 212);
    EXPECT_EQ(Desktop().dialogRect.top, 284);
    EXPECT_EQ(Desktop().infoContextsCreated, 1);
    EXPECT_EQ(Desktop().infoContextsDeleted, 1);

    // Any mode but 1 keeps the position.
    Desktop().dialogRect = {3, 4, 103, 54};
    CenterWindow(window, 0);
    EXPECT_EQ(Desktop().dialogRect.left, 3);
    EXPECT_EQ(Desktop().dialogRect.top, 4);
}

TEST_F(CenterWindowCache, AMeasuredScreenIsKept)
{
    Desktop().screenWidth = 1920;
    Desktop().screenHeight = 1080;
    Desktop().dialogRect = {5, 7, 605, 207};
    CenterWindow(window, 1);
    EXPECT_EQ(Desktop().dialogRect.left, 660);
    EXPECT_EQ(Desktop().dialogRect.top, 440);
    Desktop().screenWidth = 800;
    CenterWindow(window, 1);
    EXPECT_EQ(Desktop().dialogRect.left, 660);
    EXPECT_EQ(Desktop().infoContextsCreated, 1);
}

} // namespace
