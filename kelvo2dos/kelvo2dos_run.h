// One run of KELVO2DOS: checks the arguments, lists the menu of the image and
// converts the chosen item. main() is a thin shell around it, so tests drive a
// whole run in-process.
#pragma once
#include <cstdio>

// argv[0] is the program name. Prints everything to out. Returns the exit
// status: 0 when the listing (and any conversion) succeeded, 1 when the image
// was missing, not a menu disk, the selection invalid or the output not
// written, 2 for a usage error.
int RunKelvo2Dos(int argc, const char* const* argv, FILE* out);
