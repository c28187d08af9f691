#include "report.h"

#include <cstdio>

namespace kronel_names {

std::string TargetTitle(const std::string& target) {
  return "\"" + Printable(target) + "\"" + (target.empty() ? " (the local machine)" : "");
}

std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kronel_names
