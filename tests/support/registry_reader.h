// Reads one registry value back for a test, as the store holds it: its type and its bytes.
#pragma once

#include <optional>
#include <string>

#include "win/registry.h"

namespace testing_support {

struct RegValue {
  win::DWORD type = 0;
  std::string bytes;  // the data, closing zero of a string included
  // The text of a REG_SZ without its closing zero.
  std::string text() const { return bytes.empty() ? bytes : bytes.substr(0, bytes.size() - 1); }
};

inline std::optional<RegValue> ReadRegValue(win::HKEY root, const std::string& key, const std::string& name) {
  win::HKEY k = nullptr;
  if (win::RegOpenKeyExA(root, key, win::KEY_QUERY_VALUE, &k) != win::ERROR_SUCCESS) return std::nullopt;
  RegValue v;
  win::DWORD size = 0;
  if (win::RegQueryValueExA(k, name, &v.type, nullptr, &size) != win::ERROR_SUCCESS) {
    win::RegCloseKey(k);
    return std::nullopt;
  }
  v.bytes.resize(size);
  win::RegQueryValueExA(k, name, &v.type, reinterpret_cast<win::BYTE*>(v.bytes.data()), &size);
  win::RegCloseKey(k);
  return v;
}

}  // namespace testing_support
