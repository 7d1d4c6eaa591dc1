// Scanner-port discovery on simulated still-image ports: which port is chosen, which pipes are
// opened in each pipe mode, and ParseHexField.
#include "device_fixture.h"

#include <usbscan.h>

#include <algorithm>

namespace
{

const USHORT vendor = 0x7A3D;
const USHORT product = 0x5E21;
const int nobody = -1;

struct Port {
    int number;
    USHORT vendorId;
    USHORT productId;
    bool answers;
};

int Find(int mode, int *present = nullptr)
{
    int seen = -1;
    int result = FindScannerPort(vendor, product, mode, OS_WINDOWS_XP_OR_LATER, &seen);
    if (present != nullptr)
        *present = seen;
    return result;
}

void AddPorts(const std::vector<Port> &ports)
{
    for (const Port &port : ports) {
        SimAddScannerPort(port.number, port.vendorId, port.productId);
        SimFindDevice(SimScannerPipeName(port.number, 0))->answersDescriptor = port.answers;
    }
}

std::string PipeOrClosed(int port, int pipe)
{
    return port == nobody || pipe == nobody ? "closed" : SimScannerPipeName(port, pipe);
}

class ScannerPortTest : public DeviceLinkTest
{
};

TEST_F(ScannerPortTest, TakesTheLowestPortReportingBothIds)
{
    struct Row {
        const char *label;
        std::vector<Port> ports;
        int expected;
    } rows[] = {
        {"port 0", {{0, vendor, product, true}}, 0},
        {"port 14 is the last one tried", {{14, vendor, product, true}}, 14},
        {"port 15 is never tried", {{15, vendor, product, true}}, nobody},
        {"two matches: neither is taken",
         {{5, vendor, product, true}, {2, vendor, product, true}},
         nobody},
        {"product differs", {{1, vendor, 0x5E22, true}, {3, vendor, product, true}}, 3},
        {"vendor differs", {{1, 0x7A3E, product, true}}, nobody},
        {"vendor and product swapped", {{0, product, vendor, true}}, nobody},
        {"descriptor request refused",
         {{0, vendor, product, false}, {1, vendor, product, true}},
         1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        AddPorts(row.ports);

        std::vector<int> matches;
        for (const Port &port : row.ports)
            if (port.number < 15 && port.answers && port.vendorId == vendor &&
                port.productId == product)
                matches.push_back(port.number);
        std::sort(matches.begin(), matches.end());
        int present = -1;

        EXPECT_EQ(Find(0, &present), row.expected == nobody ? 0 : 1);
        EXPECT_EQ(present, static_cast<int>(matches.size()));
        EXPECT_EQ(NameOf(PrimaryHandle()), PipeOrClosed(row.expected, 0));
        EXPECT_EQ(NameOf(SecondaryHandle()), PipeOrClosed(row.expected, 1));

        // Pipe 0 of every port (up to a second match, which is enough to refuse), in order,
        // then pipe 1 of a lone match.
        std::vector<std::string> expectedOpens;
        int last = matches.size() >= 2 ? matches[1] : 14;
        for (int port = 0; port <= last; port++)
            expectedOpens.push_back(SimScannerPipeName(port, 0));
        if (row.expected != nobody)
            expectedOpens.push_back(SimScannerPipeName(row.expected, 1));
        EXPECT_EQ(OpenedNames(), expectedOpens);
        for (const SimOpen &open : SimOpenLog()) {
            EXPECT_EQ(open.access, GENERIC_READ | GENERIC_WRITE);
            EXPECT_EQ(open.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
            EXPECT_EQ(open.disposition, static_cast<DWORD>(OPEN_EXISTING));
            // Overlapped or not by the Windows the process classified first.
            EXPECT_EQ(open.flags & ~FILE_FLAG_OVERLAPPED,
                      static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));
        }
        // Only the chosen pipes stay open.
        EXPECT_EQ(SimHandles().live, row.expected == nobody ? 0 : 2);
        for (const Port &port : row.ports) {
            const SimDevice *pipe0 = SimFindDevice(SimScannerPipeName(port.number, 0));
            if (pipe0->opened == 0)
                continue;
            ASSERT_EQ(pipe0->ioctls.size(), 1u);
            EXPECT_EQ(pipe0->ioctls[0].code, 0x80002018u);
            EXPECT_TRUE(pipe0->ioctls[0].input.empty());
            EXPECT_EQ(pipe0->ioctls[0].outputSize, 8u);
        }
    }
}

TEST_F(ScannerPortTest, OpensThePipesOfTheChosenMode)
{
    struct Row {
        const char *label;
        int mode;
        std::vector<int> pipesThatFail;
        int expectedPort;
        int primaryPipe;
        int secondaryPipe;
    } rows[] = {
        {"mode 0: pipes 0 and 1", 0, {}, 3, 0, 1},
        {"mode 0: pipe 1 failing still writable", 0, {1}, 3, 0, nobody},
        {"mode 2: pipes 2 and 3", 2, {}, 3, 2, 3},
        {"mode 2: pipe 3 failing still writable", 2, {3}, 3, 2, nobody},
        {"mode 2: pipe 2 failing cannot be written", 2, {2}, nobody, nobody, nobody},
        {"mode 2: pipes 2 and 3 failing", 2, {2, 3}, nobody, nobody, nobody},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        CloseDeviceHandles();
        SimKernelReset();
        AddPorts({{3, vendor, product, true}, {4, vendor, 0x5E22, true}});
        for (int pipe : row.pipesThatFail)
            SimFindDevice(SimScannerPipeName(3, pipe))->opensAllowed = 0;

        EXPECT_EQ(Find(row.mode), row.expectedPort == nobody ? 0 : 1);
        EXPECT_EQ(NameOf(PrimaryHandle()), PipeOrClosed(row.expectedPort, row.primaryPipe));
        EXPECT_EQ(NameOf(SecondaryHandle()), PipeOrClosed(row.expectedPort, row.secondaryPipe));
        int stillOpen = (row.expectedPort != nobody) + (row.secondaryPipe != nobody);
        EXPECT_EQ(SimHandles().live, stillOpen) << "pipes of other modes or failed lookups held";
        for (int pipe = 1; pipe < 4; pipe++)
            EXPECT_EQ(SimFindDevice(SimScannerPipeName(4, pipe))->opened, 0)
                << "a match that cannot be written must end the search, not move on";
    }
}

TEST_F(ScannerPortTest, RefusesUnknownPipeModesBeforeOpeningAnything)
{
    for (int mode : {1, 3, 4, -1}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        SimKernelReset();
        AddPorts({{0, vendor, product, true}});

        EXPECT_EQ(Find(mode), 0);
        EXPECT_TRUE(SimOpenLog().empty());
    }
}

TEST_F(ScannerPortTest, AlreadyOpenPrimaryHandleIsTakenAsFound)
{
    SimAddDevice("held");
    SetPrimaryHandle(CreateFileA("held", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    AddPorts({{0, vendor, product, true}});

    EXPECT_EQ(Find(0), 1);
    EXPECT_EQ(OpenedNames(), std::vector<std::string>{"held"});
}

TEST_F(ScannerPortTest, ParseHexFieldValues)
{
    struct Row {
        const char *text;
        int expected;
    } rows[] = {
        {"7A3D", 0x7A3D}, {"7a3d", 0x7A3D}, {"5E21", 0x5E21}, {"5e21", 0x5E21}, {"", 0},
        {"12", 0x12},     {"0", 0},         {"ffff", 0xFFFF}, {"7A3G", -1},     {"7A 3", -1},
        {" 7A3", -1},     {"-1", -1},       {"0x12", -1},     {"7A3D\xC1", -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("\"") + row.text + "\"");
        EXPECT_EQ(ParseHexField(row.text), row.expected);
    }
    // Longer than the 255 characters the copy holds: the tail is not read.
    std::string longText(400, '1');
    longText[300] = 'x';
    EXPECT_EQ(ParseHexField(longText.c_str()), static_cast<int>(0x11111111u));
}

} // namespace
