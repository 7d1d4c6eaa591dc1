// The progress dialog's life on the simulated desktop: opening, stepping, painting, cancelling,
// a second open and closing, and every drawing object and the cursor given back.
#include "progress/progress.h"

#include "resources/resource.h"
#include "sim_kernel.h"
#include "sim_ui.h"
#include "ui_shared/ui_shared.h"

#include <gtest/gtest.h>

namespace
{

const COLORREF white = RGB(255, 255, 255);
const COLORREF green = RGB(0, 255, 0);

class ProgressDialog : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SimUiReset();
        SimKernelReset();
        SetModuleInstance(NULL);
        SetOwnerWindow(NULL);
        waitCursor = LoadCursorA(NULL, IDC_WAIT);
        SetCursor(waitCursor);
    }

    void Open() { ProgressOpen(IDS_TRANSFERRING, 0, "Update Tool"); }

    HWND Dialog() { return SimFindDialog(IDD_PROGRESS); }

    // The frame control's rectangle in the dialog's client coordinates, as the simulated
    // desktop laid it out from the template.
    RECT Frame()
    {
        SimWindowInfo dialog = SimWindow(Dialog());
        SimWindowInfo frame = SimWindow(GetDlgItem(Dialog(), IDC_PROGRESS_FRAME));
        RECT r = frame.windowRect;
        r.left -= dialog.clientRect.left;
        r.right -= dialog.clientRect.left;
        r.top -= dialog.clientRect.top;
        r.bottom -= dialog.clientRect.top;
        return r;
    }

    RECT Inner()
    {
        RECT f = Frame();
        RECT r = {f.left + 1, f.top + 1, f.right - 1, f.bottom - 1};
        return r;
    }

    // Pixels of bar colour from the bar's left edge along its middle row.
    int FilledPixels(COLORREF bar = green)
    {
        RECT in = Inner();
        int y = (in.top + in.bottom) / 2;
        int x = in.left;
        while (x < in.right && SimPixel(Dialog(), x, y) == bar)
            x++;
        return x - in.left;
    }

    std::string FrameText() { return SimWindow(GetDlgItem(Dialog(), IDC_PROGRESS_FRAME)).text; }

    std::string LastPercentDrawn()
    {
        const std::vector<SimDrawCall> &calls = SimDrawCalls();
        for (size_t i = calls.size(); i-- > 0;)
            if (calls[i].kind == SIM_TEXT_OUT)
                return calls[i].text;
        return "(none)";
    }

    void ExpectReleased(int brushes = 2)
    {
        EXPECT_EQ(NULL, Dialog());
        EXPECT_EQ(waitCursor, SimCurrentCursor()) << "the cursor of before the open is back";
        EXPECT_EQ("", SimGdiImbalance(brushes));
    }

    HCURSOR waitCursor = NULL;
};

TEST_F(ProgressDialog, OpensCentredWithItsTextsAndAnEmptyBarInsideTheFrame)
{
    Open();

    HWND dialog = Dialog();
    ASSERT_NE(nullptr, dialog);
    SimWindowInfo info = SimWindow(dialog);
    EXPECT_TRUE(info.visible);
    EXPECT_EQ("Update Tool", info.text);
    EXPECT_EQ("Transferring the firmware to printer...",
              SimWindow(GetDlgItem(dialog, IDC_PROGRESS_TEXT)).text);
    int w = info.windowRect.right - info.windowRect.left;
    int h = info.windowRect.bottom - info.windowRect.top;
    EXPECT_EQ(1280 / 2 - w / 2, info.windowRect.left);
    EXPECT_EQ(1024 / 2 - h / 2, info.windowRect.top);
    EXPECT_EQ(LoadCursorA(NULL, IDC_ARROW), SimCurrentCursor());
    EXPECT_EQ(dialog, SimFocus());

    // The template's frame is 170 x 13 dialog units: 340 x 26 pixels here, so the bar inside
    // it is 338 x 24.
    RECT in = Inner();
    ASSERT_EQ(338, in.right - in.left);
    ASSERT_EQ(24, in.bottom - in.top);
    EXPECT_EQ(1, SimUi().paintMessages) << "painted once as it shows";
    EXPECT_EQ(white, SimPixel(dialog, in.left, in.top));
    EXPECT_EQ(white, SimPixel(dialog, in.right - 1, in.bottom - 1));
    EXPECT_EQ(0, FilledPixels());
    // The frame's own line stays the frame's.
    EXPECT_EQ(simUnpainted, SimPixel(dialog, in.left - 1, in.top));
    EXPECT_EQ(simUnpainted, SimPixel(dialog, in.left, in.top - 1));
    EXPECT_EQ(simUnpainted, SimPixel(dialog, in.right, in.bottom - 1));
    EXPECT_EQ(simUnpainted, SimPixel(dialog, in.right - 1, in.bottom));

    EXPECT_EQ("0% ", LastPercentDrawn());
    EXPECT_EQ("0% ", FrameText()) << "screen readers read the percentage from the frame";
    ASSERT_EQ(1, SimDrawCount(SIM_BIT_BLT));
    for (const SimDrawCall &call : SimDrawCalls()) {
        if (call.kind == SIM_BIT_BLT) {
            EXPECT_FALSE(call.toMemory);
            EXPECT_EQ(in.left, call.rect.left);
            EXPECT_EQ(in.top, call.rect.top);
            EXPECT_EQ(in.right, call.rect.right);
            EXPECT_EQ(in.bottom, call.rect.bottom);
        } else {
            EXPECT_TRUE(call.toMemory) << "everything else is drawn off screen";
        }
        if (call.kind == SIM_TEXT_OUT) {
            EXPECT_EQ(TRANSPARENT, call.bkMode);
        }
    }
    bool textLoaded = false;
    bool formatLoaded = false;
    for (const SimStringLoad &load : SimStringLoads()) {
        textLoaded = textLoaded || (load.id == IDS_TRANSFERRING && load.limit == 80);
        formatLoaded = formatLoaded || (load.id == IDS_PERCENT && load.limit == 20);
    }
    EXPECT_TRUE(textLoaded);
    EXPECT_TRUE(formatLoaded);

    ProgressClose();
    EXPECT_FALSE(IsWindow(dialog));
    ExpectReleased();
}

TEST_F(ProgressDialog, On399StepsEachNewPercentageIsShownAtOnceAndOnlyThen)
{
    Open();
    HWND dialog = Dialog();
    EXPECT_EQ(0, ProgressStep(399, 0));
    SimGdiCounters before = SimGdi();
    for (DWORD i = 1; i <= 399; i++) {
        SCOPED_TRACE("step " + std::to_string(i));
        std::string shown = FrameText();
        int drawn = SimDrawCount(SIM_BIT_BLT);
        ASSERT_EQ(0, ProgressStep(399, i));
        // Whenever the next write stalls, the screen shows the percentage as it is and a bar
        // less than a percentage (3.38 pixels) short.
        int filled = (int)(338 * i / 399);
        EXPECT_EQ(std::to_string(filled * 100 / 338) + "% ", FrameText());
        EXPECT_EQ(FrameText(), LastPercentDrawn());
        EXPECT_LE(filled - FilledPixels(), 3);
        EXPECT_EQ(FrameText() != shown ? 1 : 0, SimDrawCount(SIM_BIT_BLT) - drawn);
        if (i == 200) {
            // A paint the system asks for shows the bar as it is.
            InvalidateRect(dialog, NULL, FALSE);
            UpdateWindow(dialog);
            EXPECT_EQ(169, FilledPixels());
        }
    }
    EXPECT_EQ(338, FilledPixels());
    EXPECT_EQ("100% ", FrameText());
    // What the bar is drawn in is made once for the dialog, not for each new percentage.
    SimGdiCounters after = SimGdi();
    EXPECT_EQ(before.memoryDcsCreated + before.bitmapsCreated + before.brushesCreated,
              after.memoryDcsCreated + after.bitmapsCreated + after.brushesCreated);
    EXPECT_EQ(before.memoryDcsDeleted + before.bitmapsDeleted + before.brushesDeleted,
              after.memoryDcsDeleted + after.bitmapsDeleted + after.brushesDeleted);
    for (const SimInvalidation &i : SimInvalidations())
        EXPECT_FALSE(i.erase) << "erasing first would flicker";

    ProgressClose();
    ExpectReleased();
}

TEST_F(ProgressDialog, AStepThatShowsANewPercentageBringsTheDialogBackOnTop)
{
    Open();
    HWND dialog = Dialog();
    RECT rect = {0, 0, 100, 100};
    HWND other = SimCreateWindow("Other", NULL, 0, rect);
    ASSERT_EQ(other, GetTopWindow(NULL));

    EXPECT_EQ(0, ProgressStep(10, 1));
    EXPECT_EQ(dialog, GetTopWindow(NULL));
    ProgressClose();
    DestroyWindow(other);
    ExpectReleased();
}

TEST_F(ProgressDialog, StepResultsAndTheBarFollowTheStepRules)
{
    struct Step {
        DWORD total, current;
        int result;
    };
    struct Case {
        const char *label;
        std::vector<Step> steps;
        int filled;
        const char *percent;
    } cases[] = {
        {"step 0 leaves the bar empty", {{399, 0, 0}}, 0, "0% "},
        {"a smaller current after a larger one", {{10, 5, 0}, {10, 3, 0}}, 169, "50% "},
        {"current equal to total fills the bar", {{10, 5, 0}, {10, 10, 0}}, 338, "100% "},
        {"current beyond total fills the bar and asks to stop",
         {{10, 5, 0}, {10, 11, 1}},
         338,
         "100% "},
        {"beyond total on a full bar grows nothing and answers 0",
         {{10, 10, 0}, {10, 12, 0}},
         338,
         "100% "},
        {"a total of 0 asks to stop and leaves the bar", {{10, 5, 0}, {0, 7, 1}}, 169, "50% "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        Open();
        for (const Step &s : c.steps)
            EXPECT_EQ(s.result, ProgressStep(s.total, s.current)) << s.current << " of " << s.total;
        EXPECT_EQ(c.filled, FilledPixels());
        EXPECT_EQ(c.percent, FrameText());
        EXPECT_EQ(c.percent, LastPercentDrawn());
        ProgressClose();
        ExpectReleased();
    }
}

TEST_F(ProgressDialog, ACloseMessageCountsOnlyAfterANonZeroStepAndThenEndsTheDialog)
{
    Open();
    HWND dialog = Dialog();
    EXPECT_EQ(0, ProgressStep(10, 0));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(1, PumpProgressMessages());
    EXPECT_TRUE(IsWindow(dialog)) << "ignored before the first non-zero step";
    EXPECT_EQ(0, SimQueueLength()) << "the pump ran the queue";

    EXPECT_EQ(0, ProgressStep(10, 1));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, PumpProgressMessages());
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(1, ProgressStep(10, 2));
    EXPECT_EQ(1, ProgressStep(10, 10));
    // The thread's other messages, the session guard's among them, still run.
    PostMessageA(NULL, WM_NULL, 0, 0);
    EXPECT_EQ(0, PumpProgressMessages());
    EXPECT_EQ(0, SimQueueLength());

    ProgressClose();
    ExpectReleased();

    // The next run starts without the old cancel.
    Open();
    EXPECT_EQ(0, ProgressStep(10, 1));
    EXPECT_TRUE(IsWindow(Dialog()));
    ProgressClose();
    ExpectReleased(4);
}

TEST_F(ProgressDialog, ACommandAfterANonZeroStepAsksToStopButKeepsTheWindow)
{
    Open();
    HWND dialog = Dialog();
    EXPECT_EQ(0, ProgressStep(10, 0));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(1, PumpProgressMessages()) << "ignored before the first non-zero step";
    EXPECT_EQ(0, ProgressStep(10, 1));

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(0, PumpProgressMessages());
    EXPECT_EQ(1, ProgressStep(10, 2));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(1, ProgressStep(10, 5)) << "the request stands for the rest of the run";
    EXPECT_EQ(33, FilledPixels()) << "the bar stays where the request found it";

    ProgressClose();
    ExpectReleased();
}

TEST_F(ProgressDialog, ASecondOpenLeavesTheFirstDialogAndOneCloseEndsIt)
{
    Open();
    EXPECT_EQ(0, ProgressOpen(IDS_DONE, 1, "Another caption"));
    HWND dialog = Dialog();
    EXPECT_EQ(1, SimDialogsCreated(IDD_PROGRESS));
    EXPECT_EQ("Update Tool", SimWindow(dialog).text);
    EXPECT_EQ("Transferring the firmware to printer...",
              SimWindow(GetDlgItem(dialog, IDC_PROGRESS_TEXT)).text);

    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(0, ProgressStep(2, 1));
    EXPECT_EQ(169, FilledPixels());
    ProgressClose();
    ExpectReleased();

    // A close with nothing open changes nothing: the next open still gets its dialog.
    ProgressClose();
    Open();
    EXPECT_NE(nullptr, Dialog());
    ProgressClose();
    ExpectReleased(4);
}

TEST_F(ProgressDialog, WithoutADialogStepsOnlyRecordAndCloseStillRestores)
{
    SimFailCreateDialog(true);
    Open();

    EXPECT_EQ(nullptr, Dialog());
    EXPECT_EQ(0, ProgressStep(10, 5));
    EXPECT_EQ(0, ProgressStep(10, 11));

    ProgressClose();
    ExpectReleased();
    const std::vector<SimEnableCall> &enables = SimEnableCalls();
    ASSERT_EQ(2u, enables.size());
    EXPECT_FALSE(enables[0].enable);
    EXPECT_TRUE(enables[1].enable);
}

TEST_F(ProgressDialog, ThePercentageIsCentredOnTheBarByTheMeasuredOrAssumedTextSize)
{
    // Text positions are relative to the off-screen bar, whose origin is the inner bar's
    // top-left (21, 81) in the dialog.
    struct Case {
        const char *label;
        bool noDc;
        bool measureFails;
        int charWidth, height;
        POINT expected;
    } cases[] = {
        {"measured: \"100%\" is 32 x 16", false, false, 8, 16, {153, 4}},
        {"no device context: 16 x 8", true, false, 8, 16, {161, 8}},
        {"measuring fails: 16 x 8", false, true, 8, 16, {161, 8}},
        {"text taller than the bar", false, false, 20, 30, {129, -3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        SimFailGetDC(c.noDc);
        SimFailTextExtent(c.measureFails);
        SimSetTextMetrics(c.charWidth, c.height);
        Open();
        ProgressStep(2, 1);

        int texts = 0;
        for (const SimDrawCall &call : SimDrawCalls()) {
            if (call.kind != SIM_TEXT_OUT)
                continue;
            texts++;
            EXPECT_EQ(c.expected.x, call.x);
            EXPECT_EQ(c.expected.y, call.y) << "the text stays where it was placed";
        }
        EXPECT_EQ(c.noDc ? 1 : 2, texts) << "the step draws into a context of its own";
        ProgressClose();
        ExpectReleased();
    }
}

TEST_F(ProgressDialog, TheFilledPartIsTheWindowColourWithRedAndBlueInverted)
{
    struct Case {
        const char *label;
        COLORREF window, bar;
    } cases[] = {
        {"white window, green bar", white, green},
        {"a coloured window", RGB(0x10, 0x20, 0x30), RGB(0xEF, 0x20, 0xCF)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        SimSetSysColor(COLOR_WINDOW, c.window);
        Open();
        ProgressStep(2, 1);

        EXPECT_EQ(169, FilledPixels(c.bar));
        EXPECT_EQ(c.window, SimPixel(Dialog(), Inner().left + 169, Inner().top));
        EXPECT_EQ(c.window, SimPixel(Dialog(), Inner().right - 1, Inner().bottom - 1));
        ProgressClose();
        ExpectReleased();
    }
}

TEST_F(ProgressDialog, APaintThatCannotGetABitmapStillReleasesEverything)
{
    SimFailCompatibleBitmap(true);
    Open();
    EXPECT_EQ(0, ProgressStep(2, 1));

    EXPECT_EQ(0, SimDrawCount(SIM_BIT_BLT));
    EXPECT_EQ("50% ", FrameText()) << "the frame text does not depend on painting";
    ProgressClose();
    ExpectReleased();
}

} // namespace
