#include "ui/registry.h"

namespace ui {

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(win::HKEY root) {
  if (root == root_key_) return;
  root_key_ = root;
  CloseKey();
}

void TRegistry::CloseKey() {
  if (!current_key_) return;
  win::RegCloseKey(current_key_);
  current_key_ = nullptr;
  current_path_.clear();
}

win::HKEY TRegistry::BaseKey(std::string& key, bool& relative) const {
  relative = key.empty() || key.front() != '\\';
  if (!relative) key.erase(0, 1);
  return relative && current_key_ ? current_key_ : root_key_;
}

win::LONG TRegistry::OpenWithFallback(win::HKEY base, const std::string& key, bool can_create,
                                      win::HKEY* result) {
  // Full access first; a hive the process may only partly use still serves for values.
  win::LONG status = win::ERROR_ACCESS_DENIED;
  for (win::REGSAM access : {win::REGSAM(win::KEY_ALL_ACCESS),
                             win::REGSAM(win::KEY_READ | win::KEY_SET_VALUE | win::KEY_CREATE_SUB_KEY)}) {
    status = can_create ? win::RegCreateKeyExA(base, key, access, result, nullptr)
                        : win::RegOpenKeyExA(base, key, access, result);
    if (status == win::ERROR_SUCCESS) break;
  }
  return status;
}

bool TRegistry::CreateKey(const std::string& key) {
  std::string path = key;
  bool relative;
  win::HKEY base = BaseKey(path, relative);
  win::HKEY created = nullptr;
  if (OpenWithFallback(base, path, true, &created) != win::ERROR_SUCCESS)
    throw ERegistryException("Failed to create key " + key);
  win::RegCloseKey(created);
  return true;
}

bool TRegistry::OpenKey(const std::string& key, bool can_create) {
  std::string path = key;
  bool relative;
  win::HKEY base = BaseKey(path, relative);
  win::HKEY opened = nullptr;
  if (OpenWithFallback(base, path, can_create, &opened) != win::ERROR_SUCCESS) return false;

  if (!path.empty() && path.back() == '\\') path.pop_back();
  if (relative && current_key_ && !current_path_.empty())
    path = path.empty() ? current_path_ : current_path_ + "\\" + path;
  CloseKey();
  current_key_ = opened;
  current_path_ = path;
  return true;
}

std::string TRegistry::ReadString(const std::string& name) {
  if (!current_key_) return "";
  win::DWORD type = win::REG_NONE;
  win::DWORD size = 0;
  if (win::RegQueryValueExA(current_key_, name, &type, nullptr, &size) != win::ERROR_SUCCESS) return "";
  if (type != win::REG_SZ && type != win::REG_EXPAND_SZ)
    throw ERegistryException("Invalid data type for '" + name + "'");
  std::string data(size, '\0');
  win::LONG status;
  // Another process may change the value between the two reads; then ask again.
  while ((status = win::RegQueryValueExA(current_key_, name, &type, reinterpret_cast<win::BYTE*>(data.data()),
                                         &size)) == win::ERROR_MORE_DATA)
    data.resize(size);
  if (status != win::ERROR_SUCCESS) return "";
  if (type != win::REG_SZ && type != win::REG_EXPAND_SZ)
    throw ERegistryException("Invalid data type for '" + name + "'");
  data.resize(size);
  return data.substr(0, data.find('\0'));
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  std::string data = value + '\0';
  if (!current_key_ ||
      win::RegSetValueExA(current_key_, name, win::REG_SZ, reinterpret_cast<const win::BYTE*>(data.data()),
                          static_cast<win::DWORD>(data.size())) != win::ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + name + "'");
}

}  // namespace ui
