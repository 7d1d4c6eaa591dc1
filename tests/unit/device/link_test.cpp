// The lookup frame: the Windows version classes, closing the device handles, and FindPrinter
// choosing a path, closing the previous pair first and parsing the IDs for the scanner ports.
#include "device_fixture.h"

namespace
{

const char printerPath[] = "\\\\?\\usb#vid_7a3d&pid_5e21&mi_01#printer";

class LinkTest : public DeviceLinkTest
{
};

TEST_F(LinkTest, ClassifiesWindowsVersions)
{
    struct Row {
        const char *label;
        DWORD major, minor;
        int expected;
    } rows[] = {
        {"Windows 95", 4, 0, -1},         {"Windows 98", 4, 10, 0},
        {"Windows Me", 4, 90, 1},         {"4.x other", 4, 3, -1},
        {"Windows 2000", 5, 0, 2},        {"Windows XP", 5, 1, 3},
        {"Server 2003", 5, 2, 3},         {"Vista", 6, 0, 3},
        {"Windows 10", 10, 0, 3},         {"3.51", 3, 51, 3},
        {"4.10 needs major 4", 6, 10, 3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        SimSetVersion(row.major, row.minor);
        int family = 42;
        GetOsFamily(&family);
        EXPECT_EQ(family, row.expected);
    }

    SimFailGetVersion(true);
    int family = 42;
    GetOsFamily(&family);
    EXPECT_EQ(family, 42) << "a version that cannot be read leaves the class alone";
}

TEST_F(LinkTest, CloseDeviceHandlesClosesBothOnce)
{
    // Another vendor's entry with a revision comes first: the model's own first one gives it.
    SimAddPrinter(printerPath, {"USB\\VID_1A2B&PID_0C0D&REV_0999", configuredModel + "&REV_0231",
                                configuredId, configuredModel + "&REV_0300"});
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    ASSERT_EQ(SimHandles().live, 2);
    EXPECT_EQ(PrinterRevision(), 0x0231);

    EXPECT_EQ(CloseDeviceHandles(), 1);
    EXPECT_EQ(PrinterRevision(), -1);
    EXPECT_EQ(SimHandles().live, 0);
    EXPECT_EQ(PrimaryHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(SecondaryHandle(), INVALID_HANDLE_VALUE);

    EXPECT_EQ(CloseDeviceHandles(), 1);
    EXPECT_EQ(SimHandles().closes, 2);
    EXPECT_EQ(SimHandles().badCloses, 0);
}

TEST_F(LinkTest, EachLookupClosesThePreviousPairFirst)
{
    SimAddPrinter(printerPath, {configuredId});
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    HANDLE firstPrimary = PrimaryHandle();

    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);

    EXPECT_EQ(SimSetup().handlesLiveAtLastCreate, 0) << "old pair still open during the search";
    EXPECT_EQ(SimHandleName(firstPrimary), "");
    EXPECT_NE(PrimaryHandle(), firstPrimary);
    EXPECT_EQ(SimHandles().live, 2);

    // A failed lookup leaves nothing of the one before either.
    SimPnpDevices()[0].propertyError = ERROR_GEN_FAILURE;
    EXPECT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 0);
    EXPECT_EQ(SimHandles().live, 0);

    // The scanner-port path would take a primary handle left open as already found.
    SimAddScannerPort(0, 0x1111, 0x2222);
    SimAddDevice("other");
    LinkConfig scanner = ConfigOfKind(LINK_SCANNER_PORT);
    SimPnpDevices()[0].propertyError = 0;
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    EXPECT_EQ(FindPrinter(scanner), 0);
    EXPECT_EQ(CurrentLinkKind(), LINK_SCANNER_PORT);

    // The count is what tells the caller several printers from none.
    SimAddPrinter(std::string(printerPath) + "b", {configuredId});
    int present = -1;
    EXPECT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS), &present), 0);
    EXPECT_EQ(present, 2);
}

// The looks of a dialog that follows the printer: the one printer's handles stay as they were
// opened (no new open) while it is the one there or no count can be made, and go when it is not.
TEST_F(LinkTest, AKeepingLookHoldsTheOnePrinterAndLetsGoOfItOtherwise)
{
    SimAddPrinter(printerPath, {configuredModel + "&REV_0231", configuredId});
    SimAddPrinter(std::string(printerPath) + "b", {configuredId}).interfacePath = "";
    const struct {
        const char *label;
        int printers; // of the model there now; -1: the count fails
        int found, present, live, opens;
    } steps[] = {
        {"nothing held: a lookup", 1, 1, 1, 2, 2}, {"the same printer: kept", 1, 1, 1, 2, 2},
        {"no count: kept", -1, 1, 1, 2, 2},        {"another joins: let go", 2, 0, 2, 0, 2},
        {"one leaves: a lookup", 1, 1, 1, 2, 4},   {"it goes: let go", 0, 0, 0, 0, 4},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.label);
        SimFailClassDevs(step.printers < 0);
        for (int i = 0; i < 2 && step.printers >= 0; i++)
            SimPnpDevices()[i].interfacePath = i < step.printers ? printerPath : "";
        int present = -1;
        EXPECT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS), &present, LOOK_KEEP), step.found);
        EXPECT_EQ(present, step.present);
        EXPECT_EQ(SimHandles().live, step.live);
        EXPECT_EQ(SimHandles().opens, step.opens);
        EXPECT_EQ(PrinterRevision(), step.live ? 0x0231 : -1)
            << "the revision goes with the handles";
    }
}

TEST_F(LinkTest, ScannerPathParsesTheIdsAtTheirFixedOffsets)
{
    struct Row {
        const char *label;
        const char *hardwareId;
        USHORT vendor, product;
        int expected;
    } rows[] = {
        {"configured ID", configuredId, configuredVendor, configuredProduct, 1},
        {"lower-case digits", configuredIdLower, configuredVendor, configuredProduct, 1},
        {"product differs by one", configuredId, configuredVendor, (USHORT)(configuredProduct + 1),
         0},
        {"vendor differs by one", configuredId, (USHORT)(configuredVendor - 1), configuredProduct,
         0},
        {"other fields ignored", "XXX\\XXX_7A3D&XXX_5E21", 0x7A3D, 0x5E21, 1},
        {"not a hex digit", "USB\\VID_7A3G&PID_5E21&MI_01", 0x7A3D, 0x5E21, 0},
        {"short vendor field", "USB\\VID_12&PID_5E21&MI_01", 0x0012, 0x5E21, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        SimAddScannerPort(6, row.vendor, row.product);
        LinkConfig config = ConfigOfKind(LINK_SCANNER_PORT);
        memset(config.hardwareId, 0, sizeof config.hardwareId);
        strcpy(config.hardwareId, row.hardwareId);

        EXPECT_EQ(FindPrinter(config), row.expected);
        EXPECT_EQ(NameOf(PrimaryHandle()),
                  row.expected ? SimScannerPipeName(6, 0) : std::string("closed"));
        EXPECT_EQ(CurrentLinkKind(), LINK_SCANNER_PORT);
    }
}

} // namespace
