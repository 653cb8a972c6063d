// Names of a foreign volume as the host's file system can hold them. A
// character no host folder takes (':', '/', '\', the characters Windows
// refuses, control characters) becomes %XX, its code in hexadecimal, and so
// does '%' itself, so that every escaped name reads back to the volume's
// own; reserved Windows device names (CON, NUL, COM1 …), a trailing dot or
// blank, "." and "..", and a leading "._" (an AppleDouble file's mark) have
// one character escaped the same way. The rule is the same on every host, so
// that an extraction gives the same names everywhere.
#pragma once
#include <string>

// The host's name for name. Sets *changed when it differs from name.
std::string EscapeHostName(const std::string& name, bool* changed);

// The volume's name again from an escaped one.
std::string UnescapeHostName(const std::string& escaped);
