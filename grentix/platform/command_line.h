// The game's three command-line options and the mouse position the window
// reports: both arrive from the platform as raw values and are checked here.
#pragma once
#include <cstdint>

// Copies the command line into textBuffer with one space appended and sets
// the options from its words: "-scanlines", "-fps" and "-nosound", exactly
// and case-sensitively; only the space separates words, anything else is
// ignored. A line too long for textBuffer is cut to its first 254 characters,
// and a word cut that way (or longer than 254 characters) matches nothing.
void ParseCommandLine(const char* commandLine);

// The game's mouse x from a mouse message's lParam: the low word as an
// unsigned number, at most 575.
int MouseXFromLParam(uint32_t lParam);
