// The chunked transfer against a recording device and a recording progress window: what is sent,
// in which pieces, and where the progress calls fall between the sends.
#include "transfer/chunked_transfer.h"
#include "transfer/chunked_transfer_internal.h"

#include "device/device_link.h"
#include "progress/progress.h"
#include "resources/resource.h"
#include "sim_ui.h"
#include "transfer/firmware_image_internal.h"
#include "transfer_log.h"
#include "ui_shared/ui_shared.h"

#include <gtest/gtest.h>

namespace
{

const BYTE header[TRANSFER_HEADER_SIZE] = {0xCD, 0xCA, 0x10, 0, 0, 0xFD, 0, 1, 0, 4, 0, 0,
                                           0,    0,    0,    4, 0, 0,    0, 0, 9, 9, 9, 9};

void Reset()
{
    SimUiReset();
    ResetLog();
}

// Each piece is read straight from the image, right after the piece before it.
void ExpectPiecesInPlace(const std::vector<BYTE> &image, size_t firstImageSend)
{
    const BYTE *expected = image.data();
    for (size_t i = firstImageSend; i < Log().pieces.size(); i++) {
        EXPECT_EQ(expected, Log().pieces[i]) << "piece " << i;
        expected += Log().lengths[i];
    }
}

// Each piece's step is shown while the next piece is on its way; the last one after it.
TEST(SendFirmwareChunks, SendsTheHeaderThenEveryPieceWithAStepForEach)
{
    struct Case {
        const char *label;
        DWORD imageLength;
        DWORD headerLength;
        DWORD chunkSize;
        int refuseSend;
        int expected;
        const char *trace;
    } cases[] = {
        {"a short last piece", 10000, 24, 4096, 0, 1,
         "send24 open206/0/Update Tool step3/0 send4096 send4096 step3/1 send1808 step3/2 "
         "step3/3 close"},
        {"an exact multiple: the last full piece goes as the last piece", 8192, 24, 4096, 0, 1,
         "send24 open206/0/Update Tool step2/0 send4096 send4096 step2/1 step2/2 close"},
        {"shorter than one chunk", 100, 24, 4096, 0, 1,
         "send24 open206/0/Update Tool step1/0 send100 step1/1 close"},
        {"exactly one chunk", 4096, 24, 4096, 0, 1,
         "send24 open206/0/Update Tool step1/0 send4096 step1/1 close"},
        {"one-byte chunks", 3, 24, 1, 0, 1,
         "send24 open206/0/Update Tool step3/0 send1 send1 step3/1 send1 step3/2 step3/3 close"},
        {"no header", 5000, 0, 4096, 0, 1,
         "open206/0/Update Tool step2/0 send4096 send904 step2/1 step2/2 close"},
        {"header refused: no dialog, no image byte", 10000, 24, 4096, 1, 0, "send24 fail"},
        {"header refused as it starts", 10000, 24, 4096, -1, 0, "send24!"},
        {"first piece refused", 10000, 24, 4096, 2, 0,
         "send24 open206/0/Update Tool step3/0 send4096 fail close"},
        {"a piece mid-image refused", 10000, 24, 4096, 3, 0,
         "send24 open206/0/Update Tool step3/0 send4096 send4096 step3/1 fail close"},
        {"a piece mid-image refused as it starts", 10000, 24, 4096, -3, 0,
         "send24 open206/0/Update Tool step3/0 send4096 send4096! close"},
        {"the last piece refused", 10000, 24, 4096, 4, 0,
         "send24 open206/0/Update Tool step3/0 send4096 send4096 step3/1 send1808 step3/2 fail "
         "close"},
        {"the only piece refused without a header", 100, 0, 4096, 1, 0,
         "open206/0/Update Tool step1/0 send100 fail close"},
        {"an empty image sends nothing", 0, 24, 4096, 0, 0, ""},
        {"a chunk size of 0 sends nothing", 10000, 24, 0, 0, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Reset();
        Log().refuseSend = c.refuseSend;
        // Never empty, so that a zero length is the only thing that says "no image".
        std::vector<BYTE> image = TestImage(c.imageLength + 1);
        image.pop_back();

        int result = SendFirmwareChunks(image.data(), c.imageLength, SEND_WRITE, header,
                                        c.headerLength, c.chunkSize);

        EXPECT_EQ(c.expected, result);
        EXPECT_EQ(c.trace, Trace());
        EXPECT_EQ(0, Log().repliesAsked);
        for (int mode : Log().modes)
            EXPECT_EQ(SEND_WRITE, mode);
        if (c.headerLength != 0 && !Log().pieces.empty()) {
            EXPECT_EQ(header, Log().pieces[0]);
        }
        ExpectPiecesInPlace(image, c.headerLength != 0 ? 1 : 0);
        if (c.expected == 1) {
            std::vector<BYTE> wire(header, header + c.headerLength);
            wire.insert(wire.end(), image.begin(), image.end());
            EXPECT_EQ(wire, Log().received);
        }
    }
}

TEST(SendFirmwareChunks, TheShippedImageGoesIn400SendsAnd400Steps)
{
    Reset();
    const DWORD length = 1633101;
    std::vector<BYTE> image = TestImage(length);

    ASSERT_EQ(1, SendFirmwareChunks(image.data(), length, SEND_WRITE, header, 24, 4096));

    std::vector<DWORD> sizes = {24};
    sizes.insert(sizes.end(), 398, 4096);
    sizes.push_back(2893);
    EXPECT_EQ(sizes, Log().lengths);

    std::vector<std::string> steps;
    for (const std::string &entry : Log().trace)
        if (entry.compare(0, 4, "step") == 0)
            steps.push_back(entry);
    ASSERT_EQ(400u, steps.size());
    for (size_t i = 0; i < steps.size(); i++)
        ASSERT_EQ("step399/" + std::to_string(i), steps[i]);

    ASSERT_EQ(802u, Log().trace.size()); // 400 sends, 400 steps, the open and the close
    EXPECT_EQ("open206/0/Update Tool", Log().trace[1]);
    EXPECT_EQ("step399/0", Log().trace[2]);
    EXPECT_EQ("send2893", Log().trace[798]);
    EXPECT_EQ("step399/398", Log().trace[799]);
    EXPECT_EQ("step399/399", Log().trace[800]);
    EXPECT_EQ("close", Log().trace[801]);
    ExpectPiecesInPlace(image, 1);
    EXPECT_EQ(24u + length, Log().received.size());
}

// Only a piece the printer went quiet on costs progress calls beyond its step; the transfer's
// text is back when it has gone, and a refused one leaves the notice to the closing dialog. A
// header held that long opens the dialog, once, with an empty bar under the notice.
TEST(SendFirmwareChunks, APieceThePrinterIsQuietOnIsSaidBusyUntilItHasGone)
{
    struct Case {
        int quiet, refuse;
        const char *trace;
    } cases[] = {
        {3, 0,
         "send24 open206/0/Update Tool step3/0 send4096 send4096 step3/1 quiet busy1 busy0 "
         "send1808 step3/2 step3/3 close"},
        {3, 3,
         "send24 open206/0/Update Tool step3/0 send4096 send4096 step3/1 quiet busy1 fail close"},
        {1, 0,
         "send24 quiet open206/0/Update Tool step3/0 busy1 busy0 send4096 send4096 step3/1 "
         "send1808 step3/2 step3/3 close"},
        {1, 1, "send24 quiet open206/0/Update Tool step3/0 busy1 fail close"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.trace);
        Reset();
        Log().quietSend = c.quiet;
        Log().refuseSend = c.refuse;
        std::vector<BYTE> image = TestImage(10000);
        EXPECT_EQ(c.refuse == 0,
                  SendFirmwareChunks(image.data(), 10000, SEND_WRITE, header, 24, 4096) != 0);
        EXPECT_EQ(c.trace, Trace());
    }
}

TEST(SendFirmwareChunks, MessagesRunWhileEachSendWaitsAndAStopFromTheWindowChangesNothing)
{
    for (int stepResult : {0, 1}) {
        SCOPED_TRACE(stepResult ? "every step asks to stop" : "no step asks to stop");
        Reset();
        Log().stepResult = stepResult;
        Log().messagesEachSend = 1;
        std::vector<BYTE> image = TestImage(10000);

        EXPECT_EQ(1, SendFirmwareChunks(image.data(), 10000, SEND_WRITE, header, 24, 4096));
        // Also after a "stop", so the session guard keeps answering.
        EXPECT_EQ("send24 pump open206/0/Update Tool step3/0 send4096 pump send4096 step3/1 pump "
                  "send1808 step3/2 pump step3/3 close",
                  Trace());
    }
}

TEST(SendFirmwareChunks, TheCaptionComesFromTheStringTableIntoA128ByteBuffer)
{
    Reset();
    std::string longTitle(300, 'T');
    SimSetString(IDS_TITLE, longTitle.c_str());
    std::vector<BYTE> image = TestImage(10);

    SendFirmwareChunks(image.data(), 10, SEND_WRITE, header, 24, 4096);

    ASSERT_FALSE(SimStringLoads().empty());
    EXPECT_EQ(IDS_TITLE, SimStringLoads()[0].id);
    EXPECT_EQ(128, SimStringLoads()[0].limit);
    EXPECT_EQ("open206/0/" + std::string(127, 'T'), Log().trace[1]);
}

TEST(TransferFirmware, NamesTheModuleClearsTheOwnerAndAnswersOneOrZero)
{
    struct Case {
        const char *label;
        int refuseSend;
        int expected;
    } cases[] = {{"success", 0, 1}, {"failure", 2, 0}, {"header refused", 1, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Reset();
        SetModuleInstance(NULL);
        Log().refuseSend = c.refuseSend;
        HINSTANCE instance = reinterpret_cast<HINSTANCE>(0x10000000);
        std::vector<BYTE> image = TestImage(10);

        EXPECT_EQ(c.expected,
                  TransferFirmware(instance, image.data(), 10, SEND_WRITE, header, 24, 4096));
        EXPECT_EQ(instance, ModuleInstance());
        ASSERT_FALSE(Log().trace.empty());
        EXPECT_EQ("owner0", Log().trace[0]) << "the owner is cleared before anything is sent";
    }
}

TEST(RunTransferAction, SendsTheEmbeddedImageWithItsLengthInTheHeader)
{
    Reset();
    std::vector<BYTE> image = TestImage(10000);
    SimRegisterResource(NULL, "FIRMWARE", MAKEINTRESOURCEA(IDR_FIRMWARE), image.data(), 10000);

    ASSERT_EQ(1, RunTransferAction(SimExecutableModule()));

    EXPECT_EQ("owner0 send24 open206/0/Update Tool step3/0 send4096 send4096 step3/1 send1808 "
              "step3/2 step3/3 close",
              Trace());
    std::vector<BYTE> wire = {0xCD, 0xCA, 0x10, 0x00, 0x00, 0xFD, 0x00, 0x01,
                              0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04,
                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x27, 0x10};
    wire.insert(wire.end(), image.begin(), image.end());
    EXPECT_EQ(wire, Log().received);
    EXPECT_EQ(std::vector<int>(4, SEND_WRITE), Log().modes) << "every piece written";
    const BYTE *stored = SimResourceData(NULL, "FIRMWARE", MAKEINTRESOURCEA(IDR_FIRMWARE));
    EXPECT_EQ(stored, Log().pieces[1]) << "the image is sent from where it lies";
}

TEST(RunTransferAction, WithoutAnImageSendsNothingAndShowsNoProgress)
{
    struct Case {
        const char *label;
        bool registered;
        DWORD size;
    } cases[] = {{"no image", false, 0}, {"an empty image", true, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Reset();
        std::vector<BYTE> image = TestImage(c.size);
        if (c.registered)
            SimRegisterResource(NULL, "FIRMWARE", MAKEINTRESOURCEA(IDR_FIRMWARE), image.data(),
                                c.size);

        EXPECT_EQ(0, RunTransferAction(SimExecutableModule()));
        EXPECT_EQ("", Trace());
    }
}

} // namespace
