// One run of ovxcli: picks the command from the arguments and runs it.
// main() is a thin shell around it, so tests drive whole runs in-process.
#pragma once
#include <cstdio>

enum { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// argv[0] is the program name. Results go to out, messages to err. Returns
// the exit status: 0 on success, 1 when the command failed, 2 for a usage
// error (the usage is then printed to err).
int RunOvxcli(int argc, const char* const* argv, FILE* out, FILE* err);
