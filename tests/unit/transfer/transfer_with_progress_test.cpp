// The real transfer and the real progress window together on the simulated desktop; only the
// device write is recorded.
#include "transfer/chunked_transfer.h"

#include "resources/resource.h"
#include "sim_kernel.h"
#include "sim_ui.h"
#include "transfer/firmware_image.h"
#include "transfer_log.h"

#include <gtest/gtest.h>

namespace
{

const DWORD shippedLength = 1633101;

struct AtSend {
    bool dialogExists;
    std::string frameText;
    int topLevelWindows;
};

class TransferWithProgress : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SimUiReset();
        SimKernelReset();
        ResetLog();
        atSend.clear();
        waitCursor = LoadCursorA(NULL, IDC_WAIT);
        SetCursor(waitCursor);
        image = TestImage(shippedLength);
        SimRegisterResource(NULL, "FIRMWARE", MAKEINTRESOURCEA(IDR_FIRMWARE), image.data(),
                            shippedLength);
        Log().duringSend = [this](int) {
            HWND dialog = SimFindDialog(IDD_PROGRESS);
            AtSend seen = {dialog != NULL, SimWindow(GetDlgItem(dialog, IDC_PROGRESS_FRAME)).text,
                           SimLiveTopLevelWindows()};
            atSend.push_back(seen);
        };
    }

    // The header and the image, byte for byte, as the printer must receive them.
    std::vector<BYTE> Wire() const
    {
        std::vector<BYTE> wire(TransferHeader(), TransferHeader() + TRANSFER_HEADER_SIZE);
        wire.insert(wire.end(), image.begin(), image.end());
        return wire;
    }

    // brushes: how many the run created, 2 whenever the dialog was opened.
    void ExpectEverythingReleased(int brushes = 2)
    {
        EXPECT_EQ(0, SimLiveTopLevelWindows());
        EXPECT_EQ(0, SimRegisteredClasses());
        EXPECT_EQ(waitCursor, SimCurrentCursor());
        EXPECT_EQ("", SimGdiImbalance(brushes));
    }

    HCURSOR waitCursor = NULL;
    std::vector<BYTE> image;
    std::vector<AtSend> atSend;
};

TEST_F(TransferWithProgress, TheBarAdvancesBetweenTheSendsAndEverythingIsReleased)
{
    ASSERT_EQ(1, RunTransferAction(SimExecutableModule()));

    EXPECT_EQ(Wire(), Log().received);
    ASSERT_EQ(400u, atSend.size());
    EXPECT_FALSE(atSend[0].dialogExists) << "the dialog opens only after the header went out";
    EXPECT_EQ(1, atSend[0].topLevelWindows) << "the session guard holds from the header on";
    int shown = -1;
    for (size_t i = 1; i < atSend.size(); i++) {
        SCOPED_TRACE("send " + std::to_string(i + 1));
        ASSERT_TRUE(atSend[i].dialogExists);
        int percent = atoi(atSend[i].frameText.c_str());
        EXPECT_GE(percent, shown) << "the percentage never goes back";
        shown = percent;
    }
    EXPECT_EQ("0% ", atSend[1].frameText);
    EXPECT_EQ("99% ", atSend[399].frameText);

    // The inner bar is 338 pixels wide: one paint when the dialog shows, then one for each of
    // the 338 steps that grows it by a pixel, as the simulated clock moves a frame and more
    // between two of them; the other 61 of the 399 steps paint nothing.
    EXPECT_EQ(1 + 338, SimUi().paintMessages);
    EXPECT_EQ(SimUi().paintMessages, SimDrawCount(SIM_BIT_BLT));
    for (const SimInvalidation &i : SimInvalidations())
        EXPECT_FALSE(i.erase);
    ExpectEverythingReleased();
}

TEST_F(TransferWithProgress,
       OnALinkFasterThanTheScreenEveryWriteStartsWithTheCurrentPercentageShown)
{
    // No time passes between the chunks, as on a link that takes a chunk well within a frame.
    // Any write may stall, and the screen then keeps what was painted last.
    SimSetTickStep(0);
    std::vector<std::string> drawn;
    auto recordSend = Log().duringSend;
    Log().duringSend = [&drawn, recordSend](int send) {
        recordSend(send);
        std::string last = "(none)";
        for (const SimDrawCall &call : SimDrawCalls())
            if (call.kind == SIM_TEXT_OUT)
                last = call.text;
        drawn.push_back(last);
    };

    ASSERT_EQ(1, RunTransferAction(SimExecutableModule()));

    EXPECT_EQ(Wire(), Log().received);
    ASSERT_EQ(400u, atSend.size());
    ASSERT_EQ(400u, drawn.size());
    for (size_t i = 1; i < atSend.size(); i++) {
        EXPECT_EQ(atSend[i].frameText, drawn[i]) << "send " << i + 1;
    }
    EXPECT_EQ("99% ", drawn[399]);
    // One paint as the dialog shows, one when the bar first moves, then one for each new
    // percentage instead of one for each of the 338 pixels.
    EXPECT_EQ(1 + 1 + 100, SimUi().paintMessages);
    EXPECT_EQ(SimUi().paintMessages, SimDrawCount(SIM_BIT_BLT));
    ExpectEverythingReleased();
}

TEST_F(TransferWithProgress, AProgressWindowClosedAfterTheFirstChunkDoesNotStopTheTransfer)
{
    auto recordSend = Log().duringSend;
    Log().duringSend = [recordSend](int send) {
        recordSend(send);
        if (send == 2)
            PostMessageA(SimFindDialog(IDD_PROGRESS), WM_CLOSE, 0, 0);
    };

    ASSERT_EQ(1, RunTransferAction(SimExecutableModule()));

    EXPECT_EQ(Wire(), Log().received);
    ASSERT_EQ(400u, atSend.size());
    EXPECT_TRUE(atSend[1].dialogExists);
    EXPECT_FALSE(atSend[2].dialogExists) << "the close message destroyed the dialog";
    EXPECT_FALSE(atSend[399].dialogExists);
    EXPECT_EQ(1, atSend[399].topLevelWindows) << "the session guard outlives the dialog";
    EXPECT_EQ(1, SimDialogsCreated(IDD_PROGRESS));
    EXPECT_EQ(1, SimUi().paintMessages) << "a closed dialog is not painted again";
    ExpectEverythingReleased();
}

TEST_F(TransferWithProgress, TheSystemIsHeldAwakeFromTheHeaderOnAndThenLeftAsItWas)
{
    struct Case {
        const char *label;
        DWORD earlier;
        DWORD after;
    } cases[] = {
        {"nothing held, which the call answers with 0", 0, ES_CONTINUOUS},
        {"the display held", ES_CONTINUOUS | ES_DISPLAY_REQUIRED,
         ES_CONTINUOUS | ES_DISPLAY_REQUIRED},
        {"a one-off request, which holds nothing lasting", ES_SYSTEM_REQUIRED, ES_CONTINUOUS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        SimOfferExecutionState(c.earlier);
        std::vector<DWORD> during;
        Log().duringSend = [&during](int) { during.push_back(SimExecutionState()); };

        ASSERT_EQ(1, RunTransferAction(SimExecutableModule()));

        ASSERT_EQ(400u, during.size());
        EXPECT_EQ(ES_CONTINUOUS | ES_SYSTEM_REQUIRED, during.front());
        EXPECT_EQ(ES_CONTINUOUS | ES_SYSTEM_REQUIRED, during.back());
        EXPECT_EQ(c.after, SimExecutionState());
        ExpectEverythingReleased();
    }
}

TEST_F(TransferWithProgress, AFailedSendClosesTheDialogAndNothingIsResent)
{
    struct Case {
        const char *label;
        int refuseSend;
        int dialogs;
    } cases[] = {
        {"the header", 1, 0},
        {"the first piece", 2, 1},
        {"a piece mid-image", 200, 1},
        {"the last piece", 400, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        Log().refuseSend = c.refuseSend;

        EXPECT_EQ(0, RunTransferAction(SimExecutableModule()));

        EXPECT_EQ((size_t)c.refuseSend, Log().lengths.size());
        std::vector<BYTE> wire = Wire();
        size_t accepted = c.refuseSend == 1 ? 0 : 24 + (size_t)(c.refuseSend - 2) * 4096;
        EXPECT_EQ(std::vector<BYTE>(wire.begin(), wire.begin() + (long)accepted), Log().received);
        EXPECT_EQ(c.dialogs, SimDialogsCreated(IDD_PROGRESS));
        if (c.refuseSend == 2) {
            EXPECT_EQ("0% ", atSend[1].frameText) << "shown with an empty bar";
        }
        ExpectEverythingReleased(c.dialogs == 0 ? 0 : 2);
    }
}

} // namespace
