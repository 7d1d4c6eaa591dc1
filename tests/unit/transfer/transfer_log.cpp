// The recording SendToDevice and the shared trace of the transfer tests.
#include "transfer_log.h"

#include "device/device_link.h"

static TransferLog log;

TransferLog &Log() { return log; }

void ResetLog() { log = TransferLog(); }

std::string Trace()
{
    std::string line;
    for (const std::string &entry : log.trace) {
        if (!line.empty())
            line += ' ';
        line += entry;
    }
    return line;
}

std::vector<BYTE> TestImage(size_t length)
{
    std::vector<BYTE> image(length);
    for (size_t i = 0; i < length; i++)
        image[i] = (BYTE)(i * 131 + (i >> 12) * 7 + 1);
    return image;
}

int SendToDevice(int mode, const void *data, void *reply, DWORD length)
{
    int number = (int)log.lengths.size() + 1;
    const BYTE *bytes = static_cast<const BYTE *>(data);
    log.pieces.push_back(bytes);
    log.lengths.push_back(length);
    log.modes.push_back(mode);
    if (reply != NULL)
        log.repliesAsked++;
    if (log.duringSend)
        log.duringSend(number);
    bool refused = number == log.refuseSend;
    log.trace.push_back("send" + std::to_string(length) + (refused ? "!" : ""));
    if (refused)
        return 0;
    log.received.insert(log.received.end(), bytes, bytes + length);
    return 1;
}

void SetDeviceWaitPump(DeviceWaitPump pump) { Log().waitPump = pump; }

int DeviceCallsOverlap() { return Log().callsOverlap; }
