// The one-instance rule, for the run's top, the command-line runs and their tests.
#ifndef UPDATE_TOOL_INSTANCE_GUARD_INTERNAL_H
#define UPDATE_TOOL_INSTANCE_GUARD_INTERNAL_H

// Claims the one running instance; 0 when another process of this executable, or another copy of
// the tool for the same printer model, already holds it.
// The claim lasts for the life of the process.
int ClaimSingleInstance();

#endif
