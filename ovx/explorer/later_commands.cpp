#include "later_commands.h"

void RunImagingCommand(HWND, bool, bool) {}
