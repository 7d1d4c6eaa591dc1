// The command line: split as the C runtime splits it, switches in any case behind / or -.
#include "app/command_line_internal.h"

// The longest /wait: a day.
static const DWORD longestWaitSeconds = 86400;

enum SwitchBit {
    SWITCH_QUIET = 1,
    SWITCH_PASSIVE = 2,
    SWITCH_WAIT = 4,
    SWITCH_LOG = 8,
    SWITCH_CHECK = 16,
    SWITCH_FORCE = 32,
    SWITCH_HELP = 64,
};

// The switches' names in the order of their bits, /help last, as a second name of /?.
static const char switchNames[] = "quiet\0passive\0wait\0log\0check\0force\0?\0help\0";

// The combinations of switches that make sense, /log aside, and the run each asks for. /log
// goes with any of them but /?.
static const BYTE modes[][2] = {
    {0, RUN_INTERACTIVE},
    {SWITCH_QUIET, RUN_QUIET},
    {SWITCH_QUIET | SWITCH_WAIT, RUN_QUIET},
    {SWITCH_PASSIVE, RUN_PASSIVE},
    {SWITCH_PASSIVE | SWITCH_WAIT, RUN_PASSIVE},
    {SWITCH_QUIET | SWITCH_FORCE, RUN_QUIET},
    {SWITCH_QUIET | SWITCH_WAIT | SWITCH_FORCE, RUN_QUIET},
    {SWITCH_PASSIVE | SWITCH_FORCE, RUN_PASSIVE},
    {SWITCH_PASSIVE | SWITCH_WAIT | SWITCH_FORCE, RUN_PASSIVE},
    {SWITCH_CHECK, RUN_CHECK},
    {SWITCH_HELP, RUN_HELP},
};

static int IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next character of text, at *at, in *length bytes: a lead byte of the user's ANSI code page
// and its trail byte are one character (the trail byte of some Japanese characters is a
// backslash), a lead byte before the terminator stands alone.
static const char *NextCharacter(const char *at, int *length)
{
    *length = IsDBCSLeadByte((BYTE)at[0]) && at[1] != '\0' ? 2 : 1;
    return at;
}

// Characters more of an argument being copied into a buffer of size bytes; those beyond the
// buffer are counted only.
static void Append(char *argument, int *length, int size, const char *bytes, int count)
{
    for (int i = 0; i < count; i++, *length += 1)
        if (*length < size)
            argument[*length] = bytes[i];
}

// The program's name is split apart from the arguments: it ends at the first blank, or, when
// it begins with a quote, at the next quote, with no backslash taken as an escape.
static const char *SkipProgramName(const char *at)
{
    int length;
    char end = ' ';
    if (*at == '"')
        end = *at++;
    while (*NextCharacter(at, &length) != '\0' && *at != end && !(end == ' ' && *at == '\t'))
        at += length;
    return *at == '"' ? at + 1 : at;
}

// Copies the next argument at *at into argument (size bytes) and moves *at past it. Quotes
// group blanks into the argument; 2n backslashes before a quote give n and the quote groups,
// 2n+1 give n and a literal quote; "" inside quotes gives a literal quote and ends the quoted
// part; other backslashes are themselves. The length copied; -1 when no argument is left, size
// or more when it did not fit.
static int NextArgument(const char **at, char *argument, int size)
{
    const char *p = *at;
    int length = 0;
    int quoted = 0;
    int count;

    while (IsBlank(*p))
        p++;
    if (*p == '\0')
        return -1;
    for (; *p != '\0' && (quoted || !IsBlank(*p)); p += count) {
        int backslashes = 0;
        while (p[backslashes] == '\\')
            backslashes++;
        if (p[backslashes] != '"') {
            NextCharacter(p, &count);
            Append(argument, &length, size, p, count);
            continue;
        }
        p += backslashes;
        count = 1;
        for (int n = backslashes / 2; n > 0; n--)
            Append(argument, &length, size, "\\", 1);
        if (backslashes % 2 == 1)
            Append(argument, &length, size, p, 1);
        else if (quoted && p[1] == '"')
            Append(argument, &length, size, p++, 1);
        if (backslashes % 2 == 0)
            quoted = !quoted;
    }
    *at = p;
    // Cut where it did not fit, so that even a refused value is a terminated text.
    if (length >= size) {
        argument[size - 1] = '\0';
        return size;
    }
    argument[length] = '\0';
    return length;
}

// 1 when text is name in any case. ASCII only: lstrcmpiA follows the user's locale, and in a
// Turkish one "/QUIET" is no "/quiet".
static int SameName(const char *text, const char *name)
{
    for (; *name != '\0'; text++, name++)
        if ((*text | 0x20) != *name)
            return 0;
    return *text == '\0';
}

// The bit of the switch argument names; 0 for anything else.
static int SwitchOf(const char *argument)
{
    int bit = 1;
    if (argument[0] != '/' && argument[0] != '-')
        return 0;
    for (const char *name = switchNames; *name != '\0'; name += lstrlenA(name) + 1) {
        if (SameName(argument + 1, name))
            return bit;
        if (bit != SWITCH_HELP)
            bit <<= 1;
    }
    return 0;
}

// 1 with *seconds set when text is a whole number of seconds a run may wait.
static int ReadSeconds(const char *text, DWORD *seconds)
{
    DWORD value = 0;
    if (*text == '\0')
        return 0;
    for (; *text != '\0'; text++) {
        if (*text < '0' || *text > '9')
            return 0;
        value = value * 10 + (DWORD)(*text - '0');
        if (value > longestWaitSeconds)
            return 0;
    }
    *seconds = value;
    return 1;
}

int ParseCommandLine(const char *text, CommandLine *parsed)
{
    char argument[MAX_PATH];
    const char *at = SkipProgramName(text);
    int seen = 0;
    int length;

    parsed->arguments = 0;
    parsed->mode = RUN_INTERACTIVE;
    parsed->waitSeconds = 0;
    parsed->force = 0;
    parsed->logPath[0] = '\0';
    while ((length = NextArgument(&at, argument, sizeof argument)) >= 0) {
        parsed->arguments++;
        int bit = SwitchOf(argument);
        if (length >= (int)sizeof argument || bit == 0 || (seen & bit) != 0)
            return 0;
        seen |= bit;
        if (bit == SWITCH_WAIT || bit == SWITCH_LOG) {
            // A value that looks like a switch is one: an empty script variable before /quiet
            // must not turn /quiet into a log's name and the run into one with dialogs.
            char *value = bit == SWITCH_LOG ? parsed->logPath : argument;
            length = NextArgument(&at, value, MAX_PATH);
            parsed->arguments += length >= 0;
            if (length <= 0 || length >= MAX_PATH || value[0] == '/' || value[0] == '-')
                return 0;
            if (bit == SWITCH_WAIT && !ReadSeconds(value, &parsed->waitSeconds))
                return 0;
        }
    }
    parsed->force = (seen & SWITCH_FORCE) != 0;
    int rest = seen & ~SWITCH_LOG;
    for (unsigned i = 0; i < sizeof modes / sizeof modes[0]; i++) {
        if (modes[i][0] == rest) {
            parsed->mode = modes[i][1];
            return rest != SWITCH_HELP || seen == rest;
        }
    }
    return 0;
}
