#include "win/paths.h"

#include <cstring>

namespace win {

std::vector<std::string> PathComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

bool IsForbiddenInName(unsigned char c) {
  return c < 0x20 || (c != 0 && std::strchr("<>:\"|?*", c) != nullptr);
}

}  // namespace win
