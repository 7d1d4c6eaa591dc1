// The recording SendToDevice and the shared trace of the transfer tests.
#include "transfer_log.h"

#include "device/device_link.h"
#include "sim_ui.h"

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

// The send under way and the waits left in it.
static int waits = 0;

int SendToDevice(int mode, const void *data, void *reply, DWORD length)
{
    int number = (int)log.lengths.size() + 1;
    log.pieces.push_back(static_cast<const BYTE *>(data));
    log.lengths.push_back(length);
    log.modes.push_back(mode);
    if (reply != NULL)
        log.repliesAsked++;
    bool refused = number == -log.refuseSend;
    log.trace.push_back("send" + std::to_string(length) + (refused ? "!" : ""));
    waits = 0;
    return refused ? 0 : 1;
}

// A message ends a wait while the script says so or one is posted, at most three times a send
// so that messages nobody runs show as such instead of holding the test.
int AwaitDevice()
{
    int number = (int)log.lengths.size();
    if (waits++ == 0 && log.duringSend)
        log.duringSend(number);
    if (waits == 1 && number == log.quietSend)
        return DEVICE_QUIET;
    if (waits <= log.messagesEachSend || (waits <= 3 && SimQueueLength() > 0))
        return DEVICE_MESSAGE;
    if (number == log.refuseSend) {
        log.trace.push_back("fail");
        return DEVICE_FAILED;
    }
    const BYTE *bytes = log.pieces.back();
    log.received.insert(log.received.end(), bytes, bytes + log.lengths.back());
    return DEVICE_DONE;
}
