// Keeps a log-off, shutdown or sleep from cutting a transfer short: from the header to the last
// byte the tool refuses the end of the session and holds the system awake.
#ifndef UPDATE_TOOL_SESSION_GUARD_INTERNAL_H
#define UPDATE_TOOL_SESSION_GUARD_INTERNAL_H

#include <windows.h>

// Creates the hidden window that answers the session's end with "no" and carries the reason
// Windows shows for it (where Windows has such reasons), and asks the system to stay awake.
// Whatever of this the running Windows lacks or refuses is left out; the transfer goes on.
void SessionGuardBegin();

// Gives back all that the matching begin took, the system's earlier wake state included.
void SessionGuardEnd();

#endif
