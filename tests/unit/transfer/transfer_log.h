// The transfer tests' boundary recorders: a SendToDevice that keeps every byte and refuses a
// chosen write, and (in the unit tests) progress calls, all in one ordered trace.
#ifndef UPDATE_TOOL_TRANSFER_LOG_H
#define UPDATE_TOOL_TRANSFER_LOG_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct TransferLog {
    // Script
    int refuseSend = 0; // the nth SendToDevice call fails (1: the first); 0: none
    int stepResult = 0; // what the recording ProgressStep answers (1: "stop")
    std::function<void(int send)> duringSend; // runs inside each SendToDevice call
    int callsOverlap = 0;                     // what DeviceCallsOverlap answers

    // Record
    // "send24", "send4096!" (refused), "open206/0/Update Tool", "step3/0", "close", "owner0"
    std::vector<std::string> trace;
    std::vector<const BYTE *> pieces; // the data pointer of each send
    std::vector<DWORD> lengths;
    std::vector<int> modes;
    int repliesAsked = 0;         // sends given a reply buffer
    std::vector<BYTE> received;   // every byte of every accepted send, in order
    void (*waitPump)() = nullptr; // what the transfer gave the device link to wait with
};

TransferLog &Log();
void ResetLog();

// The trace as one line, entries separated by single spaces.
std::string Trace();

// A deterministic image of length bytes.
std::vector<BYTE> TestImage(size_t length);

#endif
