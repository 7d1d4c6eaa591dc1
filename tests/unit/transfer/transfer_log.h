// The transfer tests' boundary recorders: a SendToDevice and AwaitDevice that keep every byte
// and refuse a chosen send, and (in the unit tests) progress calls, all in one ordered trace.
#ifndef UPDATE_TOOL_TRANSFER_LOG_H
#define UPDATE_TOOL_TRANSFER_LOG_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct TransferLog {
    // Script
    int refuseSend = 0;       // the nth send (1: the first) fails in its wait; -n: as it starts
    int refusal = 0;          // the DeviceWait it ends with: 0 failed, 2 stalled
    int quietSend = 0;        // the nth send's first wait says nothing moved for 3 s
    int stepResult = 0;       // what the recording ProgressStep answers (1: "stop")
    int messagesEachSend = 0; // waits a message ends during each send, besides posted ones
    std::function<void(int send)> duringSend; // runs as each send is first waited for

    // Record
    // "send24", "send4096!" (refused as it starts), "fail" (failed in its wait), "quiet", "pump",
    // "open206/0/Update Tool", "step3/0", "busy1" (the notice), "busy0", "close", "owner0"
    std::vector<std::string> trace;
    std::vector<const BYTE *> pieces; // the data pointer of each send
    std::vector<DWORD> lengths;
    std::vector<int> modes;
    int repliesAsked = 0;       // sends given a reply buffer
    int progressOpen = 0;       // an open has had no close yet, as the dialog keeps it
    std::vector<BYTE> received; // every byte of every accepted send, in order
};

TransferLog &Log();
void ResetLog();

// The trace as one line, entries separated by single spaces.
std::string Trace();

// A deterministic image of length bytes.
std::vector<BYTE> TestImage(size_t length);

#endif
