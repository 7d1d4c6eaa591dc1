// SendToDevice against a simulated printer: every byte arrives or the send fails, and vendor
// commands stay within their data and only go to a printer-class device.
#include "device_fixture.h"

#include <usbprint.h>

#include <algorithm>

namespace
{

const char printerPath[] = "\\\\?\\usb#vid_7a3d&pid_5e21&mi_01#printer";

// A printer found the way the tool finds it; its device records what it receives.
SimDevice &FindSimPrinter()
{
    SimAddPrinter(printerPath, {configuredId});
    EXPECT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    return *SimFindDevice(printerPath);
}

// The same on the platform's Windows of the moment: the link classifies the version once a
// process, and a case that changes it looks as a lookup on the new one does.
SimDevice &FindSimPrinterOnThisWindows()
{
    int family = OS_UNCLASSIFIED;
    int seen = 0;
    GetOsFamily(&family);
    SimAddPrinter(printerPath, {configuredId});
    EXPECT_EQ(FindPrinterByInterface(&GUID_DEVINTERFACE_USBPRINT, configuredId, family, 1, &seen),
              1);
    return *SimFindDevice(printerPath);
}

std::vector<BYTE> Pattern(size_t length)
{
    std::vector<BYTE> bytes(length);
    for (size_t i = 0; i < length; i++)
        bytes[i] = static_cast<BYTE>(i * 7 + i / 251);
    return bytes;
}

class DeviceWriteTest : public DeviceLinkTest
{
};

TEST_F(DeviceWriteTest, WritesEveryByteOrFails)
{
    struct Row {
        const char *label;
        std::vector<SimWriteStep> plan;
        int expected;
        size_t delivered;
        std::vector<DWORD> offered; // the length each WriteFile call was given
    } rows[] = {
        {"accepted whole", {}, 1, 4096, {4096}},
        {"partial writes continue with the rest",
         {{TRUE, 100}, {TRUE, 1}, {TRUE, 2000}},
         1,
         4096,
         {4096, 3996, 3995, 1995}},
        {"a write that takes no byte fails", {{TRUE, 10}, {TRUE, 0}}, 0, 10, {4096, 4086}},
        {"a failed call fails even when it reports bytes", {{FALSE, 4096}}, 0, 4096, {4096}},
        {"a failed call after some progress", {{TRUE, 50}, {FALSE, 0}}, 0, 50, {4096, 4046}},
    };
    // Each row on XP's overlapped handles, then on Windows 98's blocking ones.
    const size_t count = sizeof rows / sizeof rows[0];
    for (size_t i = 0; i < 2 * count; i++) {
        const Row &row = rows[i % count];
        SCOPED_TRACE(std::string(row.label) + (i < count ? " on XP" : " on Windows 98"));
        CloseDeviceHandles();
        SimKernelReset();
        SimSetVersion(i < count ? 5 : 4, i < count ? 1 : 10);
        SimDevice &printer = FindSimPrinterOnThisWindows();
        printer.writePlan = row.plan;
        std::vector<BYTE> data = Pattern(4096);

        EXPECT_EQ(SendAndWait(SEND_WRITE, data.data(), NULL, 4096), row.expected);
        EXPECT_TRUE(SameBytes(std::vector<BYTE>(data.begin(), data.begin() + row.delivered),
                              printer.received));
        EXPECT_EQ(printer.writeSizes, row.offered);
    }
}

TEST_F(DeviceWriteTest, HeaderAndChunksArriveAsOneStreamAndARetryStartsItAgain)
{
    SimDevice &printer = FindSimPrinter();
    // The driver takes at most 1000 bytes per call.
    printer.writePlan.assign(40, SimWriteStep{TRUE, 1000});
    std::vector<BYTE> header = Pattern(24);
    std::vector<BYTE> image = Pattern(10000);

    ASSERT_EQ(SendAndWait(SEND_WRITE, header.data(), NULL, 24), DEVICE_DONE);
    for (size_t offset = 0; offset < image.size(); offset += 4096) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(4096, image.size() - offset));
        ASSERT_EQ(SendAndWait(SEND_WRITE, image.data() + offset, NULL, chunk), DEVICE_DONE);
    }

    std::vector<BYTE> expected = header;
    expected.insert(expected.end(), image.begin(), image.end());
    EXPECT_TRUE(SameBytes(expected, printer.received));
    // Each write lands where the stream stands, so a regular file behind the path sees it too.
    ULONGLONG position = 0;
    for (size_t call = 0; call < printer.writeOffsets.size(); call++) {
        EXPECT_EQ(printer.writeOffsets[call], position) << "write " << call;
        position += std::min<DWORD>(printer.writeSizes[call], 1000);
    }
    EXPECT_EQ(position, expected.size());

    // A Retry looks for the printer again and sends from the start of the stream.
    size_t writes = printer.writeOffsets.size();
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    ASSERT_EQ(SendAndWait(SEND_WRITE, header.data(), NULL, 24), DEVICE_DONE);
    ASSERT_EQ(printer.writeOffsets.size(), writes + 1);
    EXPECT_EQ(printer.writeOffsets[writes], 0u);
}

TEST_F(DeviceWriteTest, OverlappedSendsAnswerEachMessageAndGiveUpAtTheLimit)
{
    struct Row {
        const char *label;
        std::vector<SimWriteStep> plan; // {result, accepted, reported, pendingWaits}
        int expected;
        int messages; // waits a message ended before the send did
        int cancels;
        std::vector<DWORD> quietAt; // when the send told that nothing moved, from its start
    } rows[] = {
        {"completions in pieces after messages",
         {{TRUE, 100, -1, 2}, {TRUE, 1, -1, 0}, {TRUE, 4000, -1, 3}},
         DEVICE_DONE,
         5,
         0,
         {}},
        {"a completion counting more than offered",
         {{TRUE, 4096, 4097, 1}},
         DEVICE_FAILED,
         1,
         0,
         {}},
        {"a completion with an error", {{FALSE, 0, -1, 1}}, DEVICE_FAILED, 1, 0, {}},
        {"a printer that stops: told once at 3 s",
         {{TRUE, 50, -1, 1}, {TRUE, 0, -1, -1}},
         DEVICE_STALLED,
         1,
         1,
         {deviceQuietMs}},
        {"a printer that takes nothing",
         {{TRUE, 0, -1, -1}},
         DEVICE_STALLED,
         0,
         1,
         {deviceQuietMs}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        SimSetTickStep(0);
        SimDevice &printer = FindSimPrinter();
        printer.writePlan = row.plan;
        std::vector<BYTE> data = Pattern(4096);
        DWORD before = GetTickCount();
        int messages = 0;
        std::vector<DWORD> quietAt;

        EXPECT_EQ(SendAndWait(SEND_WRITE, data.data(), NULL, 4096, &messages, &quietAt),
                  row.expected);
        EXPECT_EQ(messages, row.messages);
        EXPECT_EQ(quietAt, row.quietAt);
        EXPECT_EQ(SimWaits().cancels, row.cancels);
        // Given up exactly at the limit, not before, and not waiting on after it.
        EXPECT_EQ(GetTickCount() - before, row.cancels ? deviceStallLimitMs : 0);
        EXPECT_EQ(SimWaits().pendingLive, 0);
        EXPECT_EQ(SimWaits().eventsLive, 1) << "one event, kept with the handles";
        CloseDeviceHandles();
        EXPECT_EQ(SimWaits().eventsLive, 0);
    }
}

// A printer that takes every write at once never lets a send reach its wait, where messages are
// noticed: the queue is looked at every 50 ms all the same, and a write that ended meanwhile
// is told, with its count, after the messages.
TEST_F(DeviceWriteTest, WritesThatEndAtOnceStillLookAtTheQueueEvery50Ms)
{
    SimDevice &printer = FindSimPrinter();
    SimSetTickStep(0);
    // Far from any look an earlier test of this process made.
    SimSetTickCount(0x40000000);
    struct Row {
        const char *label;
        DWORD later; // ms since the send before
        int messages;
    } rows[] = {
        {"the first look finds the message", 0, 1},
        {"not looked at again within 50 ms", 49, 0},
        {"looked at again at 50 ms", 1, 1},
        {"and not at once after that", 10, 0},
    };
    std::vector<BYTE> data = Pattern(4 * 4096);
    for (size_t i = 0; i < 4; i++) {
        SCOPED_TRACE(rows[i].label);
        SimSetTickCount(GetTickCount() + rows[i].later);
        SimSetMessageWaiting();
        int messages = 0;
        EXPECT_EQ(SendAndWait(SEND_WRITE, data.data() + i * 4096, NULL, 4096, &messages),
                  DEVICE_DONE);
        EXPECT_EQ(messages, rows[i].messages);
    }
    EXPECT_TRUE(SameBytes(data, printer.received));
    EXPECT_EQ(printer.writeOffsets, (std::vector<ULONGLONG>{0, 4096, 8192, 12288}))
        << "each write lands where the one before it ended";

    // A lookup runs before any window of the tool: it never stops for the queue.
    SimAddScannerPort(0, configuredVendor, configuredProduct);
    SimSetTickCount(GetTickCount() + 1000);
    SimSetMessageWaiting();
    EXPECT_EQ(FindPrinter(ConfigOfKind(LINK_SCANNER_PORT)), 1);
}

TEST_F(DeviceWriteTest, AVendorCommandWaitsLikeAWrite)
{
    SimDevice &printer = FindSimPrinter();
    printer.ioctlPendingWaits = 3;
    std::vector<BYTE> data = Pattern(8);
    int messages = 0;

    EXPECT_EQ(SendAndWait(SEND_VENDOR_COMMAND, data.data(), NULL, 8, &messages), DEVICE_DONE);
    EXPECT_EQ(messages, 3);
}

TEST_F(DeviceWriteTest, FailsWithoutAnOpenPrinter)
{
    BYTE data[4] = {1, 2, 3, 4};
    EXPECT_EQ(SendAndWait(SEND_WRITE, data, NULL, sizeof data), DEVICE_FAILED);
    EXPECT_EQ(SendAndWait(SEND_VENDOR_COMMAND, data, NULL, sizeof data), DEVICE_FAILED);
}

TEST_F(DeviceWriteTest, OtherModesSendNothing)
{
    SimDevice &printer = FindSimPrinter();
    std::vector<BYTE> data = Pattern(64);
    for (int mode : {2, 3, -1, 255}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        EXPECT_EQ(SendAndWait(mode, data.data(), NULL, 64), DEVICE_FAILED);
    }
    EXPECT_TRUE(printer.writeSizes.empty());
    EXPECT_TRUE(printer.ioctls.empty());
}

TEST_F(DeviceWriteTest, VendorCommandSendsThreeBytesWithinTheData)
{
    struct Row {
        const char *label;
        DWORD length;
        bool withReply;
        BOOL deviceAccepts;
        int expected;
        bool sent;
        DWORD outputSize;
    } rows[] = {
        {"no reply buffer: no output size", 8, false, TRUE, 1, true, 0},
        {"reply buffer of length bytes", 8, true, TRUE, 1, true, 8},
        {"exactly a command", 3, false, TRUE, 1, true, 0},
        {"device refuses", 8, false, FALSE, 0, true, 0},
        {"shorter than a command", 2, false, TRUE, 0, false, 0},
        {"no data at all", 0, false, TRUE, 0, false, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        SimDevice &printer = FindSimPrinter();
        printer.vendorCommandResult = row.deviceAccepts;
        printer.reply = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA};
        // Exactly length bytes, so that reading beyond them shows under AddressSanitizer.
        std::vector<BYTE> data = Pattern(row.length);
        std::vector<BYTE> reply(row.length, 0);

        EXPECT_EQ(SendAndWait(SEND_VENDOR_COMMAND, data.data(), row.withReply ? reply.data() : NULL,
                              row.length),
                  row.expected);

        ASSERT_EQ(printer.ioctls.size(), row.sent ? 1u : 0u);
        if (row.sent) {
            EXPECT_EQ(printer.ioctls[0].code, 0x220038u);
            EXPECT_TRUE(SameBytes(std::vector<BYTE>(data.begin(), data.begin() + 3),
                                  printer.ioctls[0].input));
            EXPECT_EQ(printer.ioctls[0].hadOutputBuffer, row.withReply);
            EXPECT_EQ(printer.ioctls[0].outputSize, row.outputSize);
        }
        if (row.withReply && row.expected) {
            EXPECT_TRUE(SameBytes(
                std::vector<BYTE>(printer.reply.begin(), printer.reply.begin() + row.length),
                reply));
        }
        EXPECT_TRUE(printer.writeSizes.empty());
    }
}

TEST_F(DeviceWriteTest, VendorCommandRefusedAfterAScannerPortLookup)
{
    SimAddScannerPort(0, configuredVendor, configuredProduct);
    // The lookup waits for the descriptor to its end, messages or not.
    SimFindDevice(SimScannerPipeName(0, 0))->ioctlPendingWaits = 2;
    LinkConfig config = ConfigOfKind(LINK_SCANNER_PORT);
    ASSERT_EQ(FindPrinter(config), 1);
    std::vector<BYTE> data = Pattern(8);

    EXPECT_EQ(SendAndWait(SEND_VENDOR_COMMAND, data.data(), NULL, 8), DEVICE_FAILED);

    // The descriptor request of the lookup is the only control request the port saw.
    EXPECT_EQ(SimFindDevice(SimScannerPipeName(0, 0))->ioctls.size(), 1u);
    // Plain writes still go to the port's pipe 0, overlapped as it was opened on this Windows.
    EXPECT_EQ(SendAndWait(SEND_WRITE, data.data(), NULL, 8), DEVICE_DONE);
    EXPECT_NE(SimOpenLog()[0].flags & FILE_FLAG_OVERLAPPED, 0u);
    EXPECT_TRUE(SameBytes(data, SimFindDevice(SimScannerPipeName(0, 0))->received));
}

} // namespace
