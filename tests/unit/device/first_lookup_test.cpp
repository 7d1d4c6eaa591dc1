// The first lookups of a link that has not looked yet: the default record, and the Windows version
// classified once (except while it classifies as -1) choosing how each hardware-ID list is read.
#include "device_fixture.h"

namespace
{

class FirstLookupTest : public DeviceLinkTest
{
};

TEST_F(FirstLookupTest, ClassifiesOnceUnlessUnclassified)
{
    // A platform that answers as Windows 2000 and later do: every lookup shows by the number of
    // queries which shape of read the class chose.
    SimAddPrinter("\\\\?\\usb#printer", {configuredId});
    SimSetVersion(4, 0);

    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    EXPECT_EQ(SimGetVersionCalls(), 2) << "an unclassified version is asked for on each lookup";
    EXPECT_EQ(SimPnpDevices()[0].propertyQueries, 16) << "older shape, bounded, both lookups";
    // Unclassified, as on 98 and Me, the handles block. The wait makes the write, so that the
    // step shown before it is on screen while it blocks, and then tells of a message that came
    // meanwhile, so the windows catch up.
    SimDevice &printer = *SimFindDevice("\\\\?\\usb#printer");
    printer.writePlan = {{TRUE, 100, -1, 1}};
    std::vector<BYTE> data(100, 0x5A);
    ASSERT_EQ(SendToDevice(SEND_WRITE, data.data(), NULL, 100), 1);
    EXPECT_TRUE(printer.received.empty());
    EXPECT_EQ(AwaitDevice(), DEVICE_MESSAGE);
    EXPECT_EQ(AwaitDevice(), DEVICE_DONE);
    EXPECT_EQ(printer.received, data);

    SimSetVersion(5, 0);
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    EXPECT_EQ(SimPnpDevices()[0].propertyQueries, 16 + 2);

    SimSetVersion(4, 10);
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_PRINTER_CLASS)), 1);
    EXPECT_EQ(SimGetVersionCalls(), 3) << "once classified, the version is not asked again";
    EXPECT_EQ(SimPnpDevices()[0].propertyQueries, 16 + 2 + 2);
}

TEST_F(FirstLookupTest, DefaultConfigurationLooksThroughThePrinterClass)
{
    LinkConfig config = DefaultLinkConfig();
    EXPECT_EQ(config.kind, LINK_PRINTER_CLASS);
    EXPECT_STREQ(config.hardwareId, configuredId);
    EXPECT_EQ(config.scanPipeMode, 0);

    SimAddScannerPort(0, configuredVendor, configuredProduct);
    EXPECT_EQ(FindPrinter(config), 0) << "the scanner ports are not the configured path";
    SimAddPrinter("\\\\?\\usb#printer", {configuredIdLower});
    EXPECT_EQ(FindPrinter(config), 1);
    EXPECT_EQ(NameOf(PrimaryHandle()), "\\\\?\\usb#printer");
    EXPECT_EQ(CurrentLinkKind(), LINK_PRINTER_CLASS);

    // The record is the build's, whatever kind of lookup ran last.
    ASSERT_EQ(FindPrinter(ConfigOfKind(LINK_SCANNER_PORT)), 1);
    EXPECT_EQ(DefaultLinkConfig().kind, LINK_PRINTER_CLASS);
}

} // namespace
