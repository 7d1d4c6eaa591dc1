// libFuzzer target: arbitrary command lines read by ParseCommandLine, in a single-byte and in a
// double-byte code page, under AddressSanitizer.
//
// Input: [code page: odd is 932], then the command line's bytes (cut at the first NUL).
#include "app/command_line_internal.h"
#include "sim_kernel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

void Check(bool holds, const char *what, const std::string &line)
{
    if (!holds) {
        fprintf(stderr, "%s: %s\n", what, line.c_str());
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    SimKernelReset();
    SimUseDoubleByteCodePage(data[0] & 1);
    std::string line(reinterpret_cast<const char *>(data + 1), size - 1);
    line = line.c_str();

    CommandLine parsed;
    memset(&parsed, 0xCC, sizeof parsed);
    int usable = ParseCommandLine(line.c_str(), &parsed);

    Check(memchr(parsed.logPath, '\0', sizeof parsed.logPath) != NULL, "log path unterminated",
          line);
    Check(parsed.arguments >= 0, "argument count", line);
    if (!usable)
        return 0;
    Check(parsed.mode >= RUN_INTERACTIVE && parsed.mode <= RUN_HELP, "mode", line);
    Check(parsed.waitSeconds <= 86400, "wait beyond a day", line);
    Check(parsed.logPath[0] != '/' && parsed.logPath[0] != '-', "a switch taken as the log", line);
    Check(parsed.arguments > 0 || (parsed.mode == RUN_INTERACTIVE && parsed.logPath[0] == '\0'),
          "a run asked for without an argument", line);
    return 0;
}
