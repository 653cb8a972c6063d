#include "host_names.h"

#include <cctype>
#include <cstring>

namespace {

bool IsRefused(unsigned char c) { return c < 0x20 || c == 0x7F || strchr(":/\\<>\"|?*%", c) != nullptr; }

void AppendEscaped(std::string* out, unsigned char c) {
  static const char kHex[] = "0123456789ABCDEF";
  *out += '%';
  *out += kHex[c >> 4];
  *out += kHex[c & 15];
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, in any case, alone or
// before an extension: Windows opens the device instead of a file.
bool IsReservedDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  for (char& c : base) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EscapeHostName(const std::string& name, bool* changed) {
  std::string out;
  const size_t last = name.empty() ? 0 : name.size() - 1;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    const bool trailing = i == last && (c == '.' || c == ' ');
    const bool appleDoubleMark = i == 0 && c == '.' && name.size() > 1 && name[1] == '_';
    const bool device = i == 0 && IsReservedDeviceName(name);
    if (IsRefused(c) || trailing || appleDoubleMark || device) {
      AppendEscaped(&out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  *changed = out != name;
  return out;
}

std::string UnescapeHostName(const std::string& escaped) {
  std::string out;
  for (size_t i = 0; i < escaped.size(); ++i) {
    const int high = escaped[i] == '%' && i + 2 < escaped.size() ? HexValue(escaped[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(escaped[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high << 4 | low);
      i += 2;
    } else {
      out += escaped[i];
    }
  }
  return out;
}
