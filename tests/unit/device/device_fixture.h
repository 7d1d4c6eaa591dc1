// What every device-link test shares: a fresh simulated machine per test, and the check that a
// test's path gave back every block, set and handle it took.
#ifndef UPDATE_TOOL_DEVICE_FIXTURE_H
#define UPDATE_TOOL_DEVICE_FIXTURE_H

#include "build_config.h"
#include "device/link_internal.h"
#include "sim_kernel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// The printer model this build was configured for, as the product reads it.
const char configuredId[] = UPDATE_TOOL_HARDWARE_ID;

struct LowerCaseId {
    char text[sizeof configuredId];
};
constexpr LowerCaseId LowerCaseOf(const char (&id)[sizeof configuredId])
{
    LowerCaseId lower = {};
    for (size_t i = 0; i < sizeof configuredId; i++)
        lower.text[i] = id[i] >= 'A' && id[i] <= 'Z' ? (char)(id[i] + ('a' - 'A')) : id[i];
    return lower;
}
constexpr LowerCaseId lowerCaseId = LowerCaseOf(configuredId);
const char *const configuredIdLower = lowerCaseId.text;
// Its vendor and product, USB\VID_xxxx&PID_xxxx, which every ID the build accepts begins with:
// what the entries that give a revision begin with, and the digits a still-image port's device
// descriptor gives for this model.
const std::string configuredModel(configuredId, 21);
const USHORT configuredVendor = (USHORT)std::stoul(configuredModel.substr(8, 4), nullptr, 16);
const USHORT configuredProduct = (USHORT)std::stoul(configuredModel.substr(17, 4), nullptr, 16);

// Entries that come close to the configured ID and must not match it: the device's own
// USB\VID_xxxx&PID_xxxx, the ID with one more character, with a revision before its interface
// part, and in mixed case (lower case but its first letter).
const std::string idOneLonger = std::string(configuredId) + "2";
const std::string idWithRevision = std::string(configuredId).insert(21, "&REV_0100");
const std::string mixedCaseId = std::string(1, configuredId[0]) + (configuredIdLower + 1);

class DeviceLinkTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // The link classifies the Windows version once a process: each case runs in a process of
        // its own (ctest runs every case apart), so each starts unclassified.
        CloseDeviceHandles();
        SetLinkKind(LINK_PRINTER_CLASS);
        SimKernelReset();
    }

    void TearDown() override
    {
        ExpectNothingHeldButHandles();
        CloseDeviceHandles();
        SimHandleStats handles = SimHandles();
        EXPECT_EQ(handles.live, 0) << "device handles left open";
        EXPECT_EQ(handles.badCloses, 0) << "handles closed that were not open";
        EXPECT_EQ(handles.badCalls, 0) << "device I/O calls against the platform's rules";
        SimWaitStats waits = SimWaits();
        EXPECT_EQ(waits.eventsLive, 0) << "events of overlapped calls not released";
        EXPECT_EQ(waits.pendingLive, 0) << "overlapped calls left pending";
        EXPECT_EQ(waits.badCalls, 0) << "an event released or waited for against the rules";
    }

    // Blocks and device-information sets never outlive the call that took them.
    static void ExpectNothingHeldButHandles()
    {
        SimMemoryStats memory = SimMemory();
        EXPECT_EQ(memory.localLive, 0) << "LocalAlloc blocks not released";
        EXPECT_EQ(memory.heapLive, 0) << "heap scratch blocks not released";
        EXPECT_EQ(memory.badFrees, 0);
        EXPECT_EQ(memory.localNotZeroed, 0) << "platform data blocks must be zero-filled";
        SimSetupStats setup = SimSetup();
        EXPECT_EQ(setup.setsLive, 0) << "device-information set not destroyed";
        EXPECT_EQ(setup.badCalls, 0) << "device-setup calls against the platform's rules";
    }
};

// The record the tool looks with, of either kind. Built here rather than by DefaultLinkConfig,
// whose kind is the build's.
inline LinkConfig ConfigOfKind(int kind)
{
    LinkConfig config = {};
    config.kind = kind;
    strcpy(config.hardwareId, configuredId);
    config.scanPipeMode = 0;
    return config;
}

// A send as the transfer makes it: started, then waited for until it ends, a DeviceWait.
// *messages counts the waits that a message for the thread ended; *quietAt gets the clock's
// time since the start at each DEVICE_QUIET.
inline int SendAndWait(int mode, const void *data, void *reply, DWORD length,
                       int *messages = nullptr, std::vector<DWORD> *quietAt = nullptr)
{
    DWORD start = GetTickCount();
    if (!SendToDevice(mode, data, reply, length))
        return DEVICE_FAILED;
    int woke;
    while ((woke = AwaitDevice()) == DEVICE_MESSAGE || woke == DEVICE_QUIET) {
        if (woke == DEVICE_MESSAGE && messages != nullptr)
            ++*messages;
        if (woke == DEVICE_QUIET && quietAt != nullptr)
            quietAt->push_back(GetTickCount() - start);
    }
    return woke;
}

// The handle the link holds beside PrimaryHandle, as the platform knows it; INVALID_HANDLE_VALUE
// when closed.
inline HANDLE SecondaryHandle() { return SimOtherOpenHandle(PrimaryHandle()); }

// The device name behind a handle, or "closed".
inline std::string NameOf(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        return "closed";
    std::string name = SimHandleName(handle);
    return name.empty() ? "not a handle the platform knows" : name;
}

// Names of every CreateFileA call in order.
inline std::vector<std::string> OpenedNames()
{
    std::vector<std::string> names;
    for (const SimOpen &open : SimOpenLog())
        names.push_back(open.name);
    return names;
}

// Equal byte streams, or where they first differ with a few bytes of each around it.
inline ::testing::AssertionResult SameBytes(const std::vector<BYTE> &expected,
                                            const std::vector<BYTE> &actual)
{
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        at++;
    if (at == expected.size() && at == actual.size())
        return ::testing::AssertionSuccess();
    auto dump = [at](const std::vector<BYTE> &bytes) {
        std::string text;
        char hex[4];
        size_t from = at >= 4 ? at - 4 : 0;
        for (size_t i = from; i < bytes.size() && i < at + 8; i++) {
            snprintf(hex, sizeof hex, "%02X ", bytes[i]);
            text += hex;
        }
        return text.empty() ? std::string("(ends)") : text;
    };
    return ::testing::AssertionFailure()
           << "streams differ at byte " << at << " (expected " << expected.size() << " bytes, got "
           << actual.size() << ")\n  expected from " << (at >= 4 ? at - 4 : 0) << ": "
           << dump(expected) << "\n  actual   from " << (at >= 4 ? at - 4 : 0) << ": "
           << dump(actual);
}

#endif
