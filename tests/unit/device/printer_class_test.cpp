// Printer-class discovery on the simulated device-setup library: which entry matches, how each
// device's list is read, which interface is opened, and what every failure leaves behind.
#include "device_fixture.h"

#include <usbprint.h>

#include <cstring>

namespace
{

const int nobody = -1;

std::string PathOf(int device) { return "\\\\?\\usb#printer" + std::to_string(device); }

// Looks for id through the printer class with the classification given, opening what it finds.
int Lookup(const char *id, int osFamily = 3, int *present = nullptr)
{
    int seen = 0;
    int result = FindPrinterByInterface(&GUID_DEVINTERFACE_USBPRINT, id, osFamily, 1, &seen);
    if (present != nullptr)
        *present = seen;
    return result;
}

std::vector<int> QueriesPerDevice()
{
    std::vector<int> queries;
    for (const SimPnpDevice &device : SimPnpDevices())
        queries.push_back(device.propertyQueries);
    return queries;
}

// Expects the lookup to have opened device's interface twice, or nothing when device is nobody.
void ExpectOpened(int device)
{
    if (device == nobody) {
        EXPECT_EQ(NameOf(PrimaryHandle()), "closed");
        EXPECT_EQ(NameOf(SecondaryHandle()), "closed");
        return;
    }
    EXPECT_EQ(NameOf(PrimaryHandle()), PathOf(device));
    EXPECT_EQ(NameOf(SecondaryHandle()), PathOf(device));
    EXPECT_NE(PrimaryHandle(), SecondaryHandle());
    EXPECT_EQ(OpenedNames(), std::vector<std::string>(2, PathOf(device)));
}

class PrinterClassTest : public DeviceLinkTest
{
};

TEST_F(PrinterClassTest, MatchesOnlyAWholeEntryIgnoringAsciiCase)
{
    struct Row {
        const char *label;
        const char *id;
        std::vector<std::vector<std::string>> lists; // one hardware-ID list per device
        bool doubleByte;
        int expected;
    } rows[] = {
        {"configured id as the only entry", configuredId, {{configuredId}}, false, 0},
        {"configured id in lower case", configuredId, {{configuredIdLower}}, false, 0},
        {"mixed case", configuredId, {{mixedCaseId}}, false, 0},
        {"as a later entry",
         configuredId,
         {{idWithRevision, "USB\\Class_07", configuredIdLower}},
         false,
         0},
        {"a match earlier does not stop the walk",
         configuredId,
         {{configuredIdLower, "USB\\Class_07&SubClass_01"}},
         false,
         0},
        {"a proper prefix is no match", configuredId, {{configuredModel}}, false, nobody},
        {"longer than the id is no match", configuredId, {{idOneLonger}}, false, nobody},
        {"on the second device only",
         configuredId,
         {{configuredModel, "USB\\Class_07"}, {"USB\\Class_07", configuredId}},
         false,
         1},
        {"no device carries it",
         configuredId,
         {{"USB\\VID_1234&PID_5678&MI_01"}, {}},
         false,
         nobody},
        // 0xC9 and 0xE9 are one letter's two cases in Western code pages: ASCII folding leaves
        // both alone, and 0xE9 must not turn into 0xC9 by a blind subtraction either.
        {"byte above 0x7F matches itself", "PRN\xC9", {{"prn\xC9"}}, false, 0},
        {"byte above 0x7F is not case-folded", "PRN\xC9", {{"prn\xE9"}}, false, nobody},
        {"lower byte above 0x7F is not folded down", "PRN\xE9", {{"PRN\xC9"}}, false, nobody},
        {"double-byte character matches itself", "PRN\x82\xA0X", {{"prn\x82\xA0x"}}, true, 0},
        {"lead byte before the terminator is no match",
         configuredId,
         {{std::string(configuredId) + "\x81"}},
         true,
         nobody},
        {"double-byte code page still folds ASCII", configuredId, {{configuredIdLower}}, true, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        SimUseDoubleByteCodePage(row.doubleByte);
        for (size_t i = 0; i < row.lists.size(); i++)
            SimAddPrinter(PathOf(static_cast<int>(i)), row.lists[i]);
        char id[128];
        strcpy(id, row.id);

        int result = Lookup(id);

        EXPECT_EQ(result, row.expected == nobody ? 0 : 1);
        EXPECT_STREQ(id, row.id) << "the caller's hardware ID changed";
        ExpectOpened(row.expected);
        ExpectNothingHeldButHandles();
    }
}

TEST_F(PrinterClassTest, OpensAsTheUsbPrinterDriverExpects)
{
    // Overlapped from Windows 2000 on; plain on 98, Me and anything unclassified.
    for (int family : {0, 1, -1, 2, 3}) {
        SCOPED_TRACE("OsFamily " + std::to_string(family));
        CloseDeviceHandles();
        SimKernelReset();
        SimAddPrinter(PathOf(0), {configuredId});

        ASSERT_EQ(Lookup(configuredId, family), 1);

        SimSetupStats setup = SimSetup();
        EXPECT_EQ(setup.lastFlags, static_cast<DWORD>(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
        EXPECT_FALSE(setup.lastHadEnumerator);
        EXPECT_FALSE(setup.lastHadParent);
        ASSERT_EQ(SimOpenLog().size(), 2u);
        for (const SimOpen &open : SimOpenLog()) {
            EXPECT_EQ(open.access, GENERIC_READ | GENERIC_WRITE);
            EXPECT_EQ(open.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
            EXPECT_EQ(open.disposition, static_cast<DWORD>(OPEN_EXISTING));
            EXPECT_EQ(open.flags, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL) |
                                      (family >= 2 ? FILE_FLAG_OVERLAPPED : 0));
            EXPECT_FALSE(open.hadSecurity);
            EXPECT_FALSE(open.hadTemplate);
        }
    }
}

TEST_F(PrinterClassTest, ReadsEachListInTheShapeItsWindowsNeeds)
{
    struct Row {
        const char *label;
        int osFamily;
        // How the first device answers. The second carries the configured ID, but only comes
        // close where the first is the printer: the count reads it too.
        DWORD propertyError;
        int legacySuccesses;
        std::vector<std::string> firstList;
        int expected;
        std::vector<int> queries;
    } rows[] = {
        {"too small, then the reported size", 3, 0, -1, {configuredId}, 0, {2, 2}},
        {"no hardware ID is passed over", 3, ERROR_INVALID_DATA, -1, {}, 1, {1, 2}},
        {"empty list is passed over", 2, 0, -1, {}, 1, {2, 2}},
        {"another error ends the search", 3, ERROR_GEN_FAILURE, -1, {configuredId}, nobody, {1, 0}},
        {"access denied ends the search", 2, ERROR_ACCESS_DENIED, -1, {}, nobody, {1, 0}},
        {"always too small: the device is given up", 3, 0, 0, {configuredId}, 1, {8, 2}},
        {"Windows 98: size query succeeds, filled query says too small",
         0,
         0,
         1,
         {configuredId},
         0,
         {2, 8}},
        {"Windows Me: two successes before too small", 1, 0, 2, {configuredId}, 0, {3, 8}},
        {"unclassified version reads the older way", -1, 0, 1, {configuredId}, 0, {2, 8}},
        {"older shape, queries keep succeeding: bounded, list compared",
         0,
         0,
         1000,
         {configuredId},
         0,
         {8, 8}},
        {"older shape on a platform that answers like NT", 0, 0, -1, {configuredId}, 0, {8, 8}},
        {"older shape, no hardware ID is passed over", 1, ERROR_INVALID_DATA, -1, {}, 1, {1, 8}},
        {"older shape, another error ends the search",
         0,
         ERROR_GEN_FAILURE,
         -1,
         {},
         nobody,
         {1, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        SimPnpDevice &first = SimAddPrinter(PathOf(0), row.firstList);
        first.propertyError = row.propertyError;
        first.legacySuccesses = row.legacySuccesses;
        SimAddPrinter(PathOf(1), {row.expected == 0 ? configuredModel : configuredId});

        EXPECT_EQ(Lookup(configuredId, row.osFamily), row.expected == nobody ? 0 : 1);
        EXPECT_EQ(QueriesPerDevice(), row.queries);
        ExpectOpened(row.expected);
        ExpectNothingHeldButHandles();
    }
}

// AddressSanitizer watches every row: the platform's blocks are exactly as large as asked for.
TEST_F(PrinterClassTest, ReadsNothingOutsideTheListBlock)
{
    std::string id = configuredId;
    std::string idWithNul(configuredId, sizeof configuredId); // the terminator included
    struct Row {
        const char *label;
        int osFamily;
        std::string bytes;
        long reportedSize; // -1: the size of bytes
        std::vector<long> reportedByQuery;
        int legacySuccesses;
        int expected;
    } rows[] = {
        {"list without the final empty text", 3, idWithNul, -1, {}, -1, 0},
        {"reported size larger than what was filled", 3, idWithNul + '\0', 200, {}, -1, 0},
        {"last entry unterminated", 3, std::string("USB\\Class_07\0", 13) + id, -1, {}, -1, nobody},
        {"reported size cuts off the terminator",
         3,
         idWithNul + '\0',
         static_cast<long>(id.size()),
         {},
         -1,
         nobody},
        {"no terminator anywhere", 3, "USB", -1, {}, -1, nobody},
        {"one byte reported", 3, idWithNul, 1, {}, -1, nobody},
        // The failing query reports more than the block it did not fill.
        {"older shape, size grows after the block was taken",
         0,
         idWithNul,
         -1,
         {static_cast<long>(id.size()), 4096},
         1,
         nobody},
        {"older shape, size shrinks after the block was taken",
         0,
         idWithNul + '\0',
         -1,
         {static_cast<long>(idWithNul.size()), 4},
         1,
         nobody},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        SimPnpDevice &device = SimAddPrinter(PathOf(0), {});
        device.hardwareIds.assign(row.bytes.begin(), row.bytes.end());
        device.reportedSize = row.reportedSize;
        device.reportedSizeByQuery = row.reportedByQuery;
        device.legacySuccesses = row.legacySuccesses;

        EXPECT_EQ(Lookup(configuredId, row.osFamily), row.expected == nobody ? 0 : 1);
        ExpectOpened(row.expected);
        ExpectNothingHeldButHandles();
    }
}

TEST_F(PrinterClassTest, OpensTheMatchingDevicesOwnInterface)
{
    SimAddPrinter(PathOf(0), {"USB\\VID_1234&PID_0001&MI_00"});
    SimAddPrinter(PathOf(1), {configuredId});
    // The set lists the interfaces in the other order than the devices.
    SimSetInterfaceOrder({1, 0});

    EXPECT_EQ(Lookup(configuredId), 1);

    ExpectOpened(1);
    EXPECT_EQ(SimSetup().interfaceEnumsWithoutDevice, 0);
}

// Device 0 carries the configured ID; device 1 is another printer of the model unless the row
// makes it something that does not count.
TEST_F(PrinterClassTest, OpensOnlyALonePrinterOfTheModel)
{
    enum Second { TWIN, STALE_TWIN, NEAR_MISS, UNREADABLE };
    struct Row {
        const char *label;
        int osFamily, legacySuccesses;
        bool firstLinked;
        Second second;
        bool failDetail;
        int opensAllowed, present, expected;
        int opens; // of device expected, or of device 0 when nothing is found
    } rows[] = {
        {"two of the model: neither opened", 3, -1, true, TWIN, false, -1, 2, nobody, 0},
        {"two on Windows 98", 0, 1, true, TWIN, false, -1, 2, nobody, 0},
        {"first's interface declared, not linked", 3, -1, false, TWIN, false, -1, 1, 1, 2},
        {"second's IDs only come close", 3, -1, true, NEAR_MISS, false, -1, 1, 0, 2},
        {"a later unreadable device ends the count", 3, -1, true, UNREADABLE, false, -1, 0, nobody,
         0},
        {"detail of the lone one not fetched", 3, -1, true, STALE_TWIN, true, -1, 1, nobody, 0},
        {"first open fails", 3, -1, true, STALE_TWIN, false, 0, 1, nobody, 1},
        {"second open fails, first closed", 3, -1, true, STALE_TWIN, false, 1, 1, nobody, 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        // Each device reports a revision of its own: only the one opened may give it.
        const int revisions[] = {0x0231, 0x0300};
        SimAddPrinter(PathOf(0), {configuredModel + "&REV_0231", configuredId});
        SimPnpDevice &second = SimAddPrinter(
            PathOf(1), {configuredModel + "&REV_0300",
                        row.second == NEAR_MISS ? configuredModel : configuredIdLower});
        // Where two count, a third is there too: two are enough to refuse, it is never read.
        if (row.present == 2)
            SimAddPrinter(PathOf(2), {configuredId});
        for (SimPnpDevice &device : SimPnpDevices())
            device.legacySuccesses = row.legacySuccesses;
        if (!row.firstLinked)
            SimPnpDevices()[0].interfacePath.clear();
        if (row.second == STALE_TWIN)
            second.interfacePath.clear();
        second.propertyError = row.second == UNREADABLE ? ERROR_GEN_FAILURE : 0;
        SimFailInterfaceDetail(row.failDetail);
        SimFindDevice(PathOf(0))->opensAllowed = row.opensAllowed;
        int present = -1;

        EXPECT_EQ(Lookup(configuredId, row.osFamily, &present), row.expected == nobody ? 0 : 1);
        EXPECT_EQ(present, row.present);
        EXPECT_EQ(OpenedNames(), std::vector<std::string>(
                                     row.opens, PathOf(row.expected == nobody ? 0 : row.expected)));
        if (row.present == 2) {
            EXPECT_EQ(SimPnpDevices()[2].propertyQueries, 0) << "the count went on past two";
        }
        EXPECT_EQ(PrinterRevision(), row.expected == nobody ? -1 : revisions[row.expected]);
        if (row.expected == nobody) {
            EXPECT_EQ(NameOf(PrimaryHandle()), "closed");
            EXPECT_EQ(NameOf(SecondaryHandle()), "closed");
            EXPECT_EQ(SimHandles().live, 0);
        }
        ExpectNothingHeldButHandles();
    }
}

TEST_F(PrinterClassTest, FindsNothingWithoutAUsableSet)
{
    struct Row {
        const char *label;
        void (*arrange)();
        const GUID *interfaceClass;
        int setsCreated;
        int present;
    } rows[] = {
        {"no present device", [] {}, &GUID_DEVINTERFACE_USBPRINT, 1, 0},
        {"the set cannot be created", [] { SimFailClassDevs(true); }, &GUID_DEVINTERFACE_USBPRINT,
         0, 0},
        {"the listing fails after the printer",
         [] {
             SimAddPrinter(PathOf(0), {configuredId});
             SimAddPrinter(PathOf(1), {configuredId});
             SimFailDeviceEnumAt(1, ERROR_GEN_FAILURE);
         },
         &GUID_DEVINTERFACE_USBPRINT, 1, 0},
        {"the detail sizing call fails for real",
         [] {
             SimAddPrinter(PathOf(0), {configuredId});
             SimDetailSizingAnswers(ERROR_GEN_FAILURE);
         },
         &GUID_DEVINTERFACE_USBPRINT, 1, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        SimKernelReset();
        row.arrange();

        int present = -1;
        EXPECT_EQ(FindPrinterByInterface(row.interfaceClass, configuredId, 3, 1, &present), 0);
        EXPECT_EQ(present, row.present);
        EXPECT_EQ(SimSetup().setsCreated, row.setsCreated);
        EXPECT_TRUE(SimOpenLog().empty());
        ExpectNothingHeldButHandles();
    }

    // Devices of another class are not the printer's.
    SimKernelReset();
    SimAddPrinter(PathOf(0), {configuredId});
    const GUID otherClass = {
        0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    int present = -1;
    EXPECT_EQ(FindPrinterByInterface(&otherClass, configuredId, 3, 1, &present), 0);
    EXPECT_TRUE(SimOpenLog().empty());
}

// Every block the lookup takes is made to fail in turn: each such lookup ends with 0 and
// gives back everything, and the lookup with enough memory finds the printer.
TEST_F(PrinterClassTest, EndsCleanlyWhenAnyBlockCannotBeHad)
{
    struct Row {
        const char *label;
        int osFamily;
        int legacySuccesses;
        int blocks; // the copy, one or two per list read, the interface detail
    } rows[] = {{"Windows XP", 3, -1, 4}, {"Windows 98", 0, 2, 6}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        int failed = 0;
        for (int nth = 1;; nth++) {
            SCOPED_TRACE("LocalAlloc call " + std::to_string(nth) + " fails");
            CloseDeviceHandles();
            SimKernelReset();
            SimAddPrinter(PathOf(0), {"USB\\Class_07"}).propertyError = ERROR_INVALID_DATA;
            SimAddPrinter(PathOf(1), {"USB\\Class_07"}).legacySuccesses = row.legacySuccesses;
            SimAddPrinter(PathOf(2), {"USB\\Class_07", configuredIdLower}).legacySuccesses =
                row.legacySuccesses;
            SimFailLocalAllocAt(nth);

            int result = Lookup(configuredId, row.osFamily);
            ExpectNothingHeldButHandles();
            if (SimMemory().localAllocCalls < nth) {
                EXPECT_EQ(result, 1) << "with every block granted";
                ExpectOpened(2);
                break;
            }
            failed++;
            EXPECT_EQ(result, 0);
            EXPECT_EQ(SimHandles().live, 0);
        }
        EXPECT_EQ(failed, row.blocks);
    }
}

TEST_F(PrinterClassTest, FoldsCaseEvenWithoutScratchMemory)
{
    SimAddPrinter(PathOf(0), {configuredIdLower});
    SimFailAllHeapAllocs(true);

    EXPECT_EQ(Lookup(configuredId), 1);
    ExpectOpened(0);
}

TEST_F(PrinterClassTest, ReadsTheRevisionOfTheModelsOwnEntryOnly)
{
    struct Row {
        const char *label;
        std::string entry;
        int expected;
    } rows[] = {
        {"before the interface", configuredModel + "&REV_0231&MI_01", 0x0231},
        {"ending the entry", configuredModel + "&REV_ffFF", 0xFFFF},
        {"lower case", std::string(configuredIdLower, 21) + "&rev_0231", 0x0231},
        {"no revision", configuredId, -1},
        {"three digits", configuredModel + "&REV_023&MI_01", -1},
        {"five digits", configuredModel + "&REV_02310", -1},
        {"not hexadecimal", configuredModel + "&REV_02G1", -1},
        {"another vendor", "USB\\VID_1A2B" + configuredModel.substr(12) + "&REV_0231", -1},
        {"after another field", configuredModel + "&MI_01&REV_0231", -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(ReadRevision(row.entry.c_str(), configuredId), row.expected);
    }
}

TEST_F(PrinterClassTest, UppercaseInPlaceFoldsOnlyAsciiLetters)
{
    struct Row {
        const char *label;
        std::string first, second, firstAfter, secondAfter;
    } rows[] = {
        {"both texts", "usb\\vid_7a3d", "Mi_01", "USB\\VID_7A3D", "MI_01"},
        {"bytes above 0x7F unchanged", "\xE9\xFFz\x80", "\xE0\xC0", "\xE9\xFFZ\x80", "\xE0\xC0"},
        {"neighbours of the letters unchanged", "`az{", "@AZ[", "`AZ{", "@AZ["},
        {"empty texts", "", "", "", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<char> first(row.first.begin(), row.first.end());
        std::vector<char> second(row.second.begin(), row.second.end());
        first.push_back('\0');
        second.push_back('\0');

        UppercaseInPlace(first.data(), second.data());

        EXPECT_EQ(std::string(first.data()), row.firstAfter);
        EXPECT_EQ(std::string(second.data()), row.secondAfter);
        EXPECT_EQ(SimMemory().heapLive, 0);
    }
}

} // namespace
