// The update loop through its states, the dialog each state shows, the one-instance rule and
// window centring, on a scripted desktop.
#include "fake_desktop.h"

#include "app/update_dialog.h"
#include "app/update_loop.h"
#include "ui_shared/ui_shared.h"
#include "ui_shared/ui_shared_internal.h"

#include <gtest/gtest.h>

namespace
{

struct LoopCase {
    const char *label;
    std::vector<int> lookups;
    std::vector<int> transfers;
    std::vector<UserChoice> choices;
    std::vector<int> expectedStates;
    int expectedLookups;
    int expectedTransfers;
};

std::vector<int> StatesShown()
{
    std::vector<int> states;
    for (const Showing &s : Desktop().showings)
        states.push_back(s.uiState);
    return states;
}

TEST(UpdateLoop, FollowsEveryTransitionAndAlwaysClosesTheHandlesOnce)
{
    const LoopCase cases[] = {
        {"not found, exit", {0}, {}, {CLICK_EXIT}, {UI_NOT_FOUND}, 1, 0},
        {"not found, retry twice, found, exit",
         {0, 0, 1},
         {},
         {CLICK_ACTION, CLICK_ACTION, CLICK_EXIT},
         {UI_NOT_FOUND, UI_NOT_FOUND, UI_READY},
         3,
         0},
        {"exit from ready never transfers", {1}, {}, {CLICK_EXIT}, {UI_READY}, 1, 0},
        {"transfer succeeds, exit",
         {1},
         {1},
         {CLICK_ACTION, CLICK_EXIT},
         {UI_READY, UI_DONE},
         1,
         1},
        {"done ends the run whatever the dialog leaves",
         {1, 1},
         {1},
         {CLICK_ACTION, CLICK_ACTION, CLICK_ACTION},
         {UI_READY, UI_DONE},
         1,
         1},
        {"failed, retry finds the printer again, succeeds",
         {1, 1},
         {0, 1},
         {CLICK_ACTION, CLICK_ACTION, CLICK_ACTION, CLICK_EXIT},
         {UI_READY, UI_FAILED, UI_READY, UI_DONE},
         2,
         2},
        {"failed, retry with the printer gone",
         {1, 0},
         {0},
         {CLICK_ACTION, CLICK_ACTION, CLICK_EXIT},
         {UI_READY, UI_FAILED, UI_NOT_FOUND},
         2,
         1},
        {"failed, exit", {1}, {0}, {CLICK_ACTION, CLICK_EXIT}, {UI_READY, UI_FAILED}, 1, 1},
        {"esc is ignored in every state",
         {0, 1, 1},
         {0, 1},
         {PRESS_ESC_THEN_ACTION, PRESS_ESC_THEN_ACTION, PRESS_ESC_THEN_ACTION,
          PRESS_ESC_THEN_ACTION, PRESS_ESC_THEN_EXIT},
         {UI_NOT_FOUND, UI_READY, UI_FAILED, UI_READY, UI_DONE},
         3,
         2},
    };
    for (const LoopCase &c : cases) {
        SCOPED_TRACE(c.label);
        ResetDesktop();
        Desktop().lookupResults = c.lookups;
        Desktop().transferResults = c.transfers;
        Desktop().choices = c.choices;

        RunUpdateLoop(reinterpret_cast<HINSTANCE>(0x400000));

        EXPECT_EQ(StatesShown(), c.expectedStates);
        EXPECT_EQ(Desktop().lookups, c.expectedLookups);
        EXPECT_EQ(Desktop().transfers, c.expectedTransfers);
        EXPECT_EQ(Desktop().closeHandlesCalls, 1);
        for (const Showing &s : Desktop().showings) {
            EXPECT_EQ(s.endDialogCalls, 1) << "state " << s.uiState;
            EXPECT_FALSE(s.endedByEsc) << "state " << s.uiState;
        }
    }
}

TEST(UpdateLoop, RetryIsUnbounded)
{
    ResetDesktop();
    Desktop().choices.assign(1000, CLICK_ACTION);
    Desktop().choices.push_back(CLICK_EXIT);

    RunUpdateLoop(nullptr);

    EXPECT_EQ(Desktop().lookups, 1001);
    EXPECT_EQ(Desktop().showings.size(), 1001u);
    EXPECT_EQ(Desktop().closeHandlesCalls, 1);
}

TEST(UpdateLoop, DialogThatCannotBeCreatedMeansExitEvenAfterRetry)
{
    // Retry leaves retryRequested at 1; a showing that never happens must not reuse it.
    const std::vector<UserChoice> scripts[] = {
        {DIALOG_FAILS},
        {CLICK_ACTION, DIALOG_FAILS},
    };
    for (const auto &script : scripts) {
        ResetDesktop();
        Desktop().choices = script;
        Desktop().lookupResults = {0, 0, 0};

        RunUpdateLoop(nullptr);

        EXPECT_EQ(Desktop().lookups, static_cast<int>(script.size()));
        EXPECT_EQ(Desktop().closeHandlesCalls, 1);
    }
    ResetDesktop();
    Desktop().lookupResults = {1, 1};
    Desktop().transferResults = {0};
    Desktop().choices = {CLICK_ACTION, DIALOG_FAILS};
    RunUpdateLoop(nullptr);
    EXPECT_EQ(Desktop().lookups, 1);
    EXPECT_EQ(Desktop().transfers, 1);
}

TEST(UpdateDialog, ShowsTheTextsAndButtonsOfEachState)
{
    ResetDesktop();
    Desktop().lookupResults = {0, 1, 1};
    Desktop().transferResults = {0, 1};
    Desktop().choices = {CLICK_ACTION, CLICK_ACTION, CLICK_ACTION, CLICK_ACTION, CLICK_EXIT};
    RunUpdateLoop(nullptr);

    struct Expected {
        int state;
        const char *message;
        const char *action;
        bool actionVisible;
    } expected[] = {
        {UI_NOT_FOUND, "Not found text", "&Retry", true},
        {UI_READY, "Ready text", "&Transfer", true},
        {UI_FAILED, "Failed text", "&Retry", true},
        {UI_READY, "Ready text", "&Transfer", true},
        {UI_DONE, "Done text", "", false},
    };
    ASSERT_EQ(Desktop().showings.size(), 5u);
    for (size_t i = 0; i < 5; i++) {
        const Showing &s = Desktop().showings[i];
        SCOPED_TRACE(s.uiState);
        EXPECT_EQ(s.uiState, expected[i].state);
        EXPECT_EQ(s.message, expected[i].message);
        EXPECT_EQ(s.action, expected[i].action);
        EXPECT_EQ(s.actionVisible, expected[i].actionVisible);
        EXPECT_EQ(s.exitText, "E&xit");
        EXPECT_EQ(s.caption, "Update Tool");
    }
}

TEST(UpdateDialog, ExitInDoneStateClearsRetryAndActionSetsIt)
{
    ResetDesktop();
    Desktop().lookupResults = {1};
    Desktop().transferResults = {1};
    Desktop().choices = {CLICK_ACTION, CLICK_EXIT};
    RunUpdateLoop(nullptr);
    EXPECT_EQ(RetryRequested(), 0);

    ResetDesktop();
    Desktop().lookupResults = {0};
    Desktop().choices = {CLICK_ACTION, DIALOG_FAILS};
    EXPECT_EQ(ShowUpdateDialog(nullptr, UI_NOT_FOUND), 1);
}

TEST(OneInstance, OnlyTheFirstClaimSucceedsAndASecondRunTouchesNothing)
{
    ResetDesktop();
    EXPECT_EQ(RunUpdateTool(nullptr), 0);
    EXPECT_EQ(Desktop().lookups, 1);
    EXPECT_EQ(Desktop().showings.size(), 1u);

    ResetDesktop();
    EXPECT_EQ(RunUpdateTool(nullptr), 0);
    EXPECT_EQ(Desktop().lookups, 0);
    EXPECT_TRUE(Desktop().showings.empty());
    EXPECT_EQ(Desktop().closeHandlesCalls, 0);
    EXPECT_EQ(ClaimSingleInstance(), 0);
}

TEST(CenterWindow, CentresWithTruncatingHalvesAndNegativeCornersForLargeWindows)
{
    struct Row {
        const char *label;
        int W, H, w, h, x, y;
    } rows[] = {
        {"even sizes", 1024, 768, 400, 200, 312, 284},
        {"odd sizes truncate each half", 1025, 769, 301, 151, 362, 309},
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

} // namespace
