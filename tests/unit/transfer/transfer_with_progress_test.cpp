// The real transfer and the real progress window together on the simulated desktop; only the
// device write is recorded.
#include "transfer/chunked_transfer.h"

#include "device/device_link.h"
#include "resources/resource.h"
#include "sim_kernel.h"
#include "sim_ui.h"
#include "transfer/firmware_image_internal.h"
#include "transfer_log.h"

#include <gtest/gtest.h>

namespace
{

const DWORD shippedLength = 1633101;

// What the screen and the queue hold as each send is waited for.
struct AtSend {
    bool dialogExists;
    std::string frameText;
    std::string drawn; // the percentage last painted
    int topLevelWindows;
    int queued;
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
            std::string drawn = "(none)";
            for (const SimDrawCall &call : SimDrawCalls())
                if (call.kind == SIM_TEXT_OUT)
                    drawn = call.text;
            atSend.push_back({dialog != NULL,
                              SimWindow(GetDlgItem(dialog, IDC_PROGRESS_FRAME)).text, drawn,
                              SimLiveTopLevelWindows(), SimQueueLength()});
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

TEST_F(TransferWithProgress, EachSendWaitsWithThePiecesBeforeItShownAndEverythingIsReleased)
{
    ASSERT_EQ(1, RunTransferAction(SimExecutableModule()));

    EXPECT_EQ(Wire(), Log().received);
    ASSERT_EQ(400u, atSend.size());
    EXPECT_FALSE(atSend[0].dialogExists) << "the dialog opens only after the header went out";
    EXPECT_EQ(1, atSend[0].topLevelWindows) << "the session guard holds from the header on";
    for (size_t i = 1; i < atSend.size(); i++) {
        SCOPED_TRACE("send " + std::to_string(i + 1));
        ASSERT_TRUE(atSend[i].dialogExists);
        // Any write may stall, and the screen then keeps what was painted last: the percentage
        // of the i - 1 pieces the printer has taken, on a bar of 338 pixels.
        int percent = (int)(338 * (i - 1) / 399) * 100 / 338;
        EXPECT_EQ(std::to_string(percent) + "% ", atSend[i].frameText);
        EXPECT_EQ(atSend[i].frameText, atSend[i].drawn);
    }
    EXPECT_EQ("99% ", atSend[399].frameText);
    // The bar is drawn as the window shows and then only for a new percentage.
    EXPECT_LE(SimDrawCount(SIM_BIT_BLT), 1 + 100);
    for (const SimInvalidation &i : SimInvalidations())
        EXPECT_FALSE(i.erase);
    ExpectEverythingReleased();
}

TEST_F(TransferWithProgress, AProgressWindowClosedAfterTheFirstChunkDoesNotStopTheTransfer)
{
    auto recordSend = Log().duringSend;
    Log().duringSend = [recordSend](int send) {
        recordSend(send);
        if (send == 3)
            PostMessageA(SimFindDialog(IDD_PROGRESS), WM_CLOSE, 0, 0);
        // What the session sends the guard, every send long.
        PostMessageA(NULL, WM_NULL, 0, 0);
    };

    ASSERT_EQ(1, RunTransferAction(SimExecutableModule()));

    EXPECT_EQ(Wire(), Log().received);
    ASSERT_EQ(400u, atSend.size());
    EXPECT_TRUE(atSend[2].dialogExists);
    EXPECT_FALSE(atSend[3].dialogExists) << "the close message destroyed the dialog";
    EXPECT_FALSE(atSend[399].dialogExists);
    EXPECT_EQ(1, atSend[399].topLevelWindows) << "the session guard outlives the dialog";
    for (size_t i = 0; i < atSend.size(); i++)
        ASSERT_EQ(0, atSend[i].queued) << "messages left waiting at send " << i + 1;
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
        int refusal = DEVICE_FAILED;
    } cases[] = {
        {"the header", 1, 0},
        {"the first piece", 2, 1},
        {"a piece mid-image", 200, 1},
        {"the last piece", 400, 1},
        {"a piece mid-image the printer stopped taking", 200, 1, DEVICE_STALLED},
        {"the header the printer stopped taking", 1, 0, DEVICE_STALLED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        Log().refuseSend = c.refuseSend;
        Log().refusal = c.refusal;

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
