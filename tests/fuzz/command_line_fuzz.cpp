// libFuzzer target: arbitrary command lines read by ParseCommandLine, in a single-byte and in a
// double-byte code page, under AddressSanitizer.
//
// Input: [code page: odd is 932], then the command line's bytes (cut at the first NUL).
#include "app/command_line_internal.h"
#include "sim_kernel.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    SimKernelReset();
    SimUseDoubleByteCodePage(data[0] & 1);
    std::string line(reinterpret_cast<const char *>(data + 1), size - 1);
    CommandLine parsed;
    memset(&parsed, 0xCC, sizeof parsed);
    int usable = ParseCommandLine(line.c_str(), &parsed);
    const char *log = parsed.logPath;
    // A terminated log path, whatever came; a usable line asks for a known run, waits no longer
    // than a day, never takes a switch for the log, and with no argument is the dialogs alone.
    if (memchr(log, '\0', sizeof parsed.logPath) == NULL || parsed.arguments < 0 ||
        (usable && (parsed.mode < RUN_INTERACTIVE || parsed.mode > RUN_HELP ||
                    parsed.waitSeconds > 86400 || log[0] == '/' || log[0] == '-' ||
                    (parsed.arguments == 0 && (parsed.mode != RUN_INTERACTIVE || log[0])))))
        abort();
    return 0;
}
