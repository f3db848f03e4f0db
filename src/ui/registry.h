// The framework's registry object: one root key and at most one open "current" key, string values read
// and written through it, refusals raised as ERegistryException. Owns the current key's handle and closes
// it. Blocks on the hive files like the calls beneath it; runs no handlers.
#pragma once

#include <string>

#include "ui/exceptions.h"
#include "win/registry.h"

namespace ui {

// Key paths: a leading '\' starts at the root key; any other path is relative to the current key, or to
// the root when no key is open.
class TRegistry {
 public:
  TRegistry() = default;
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  win::HKEY RootKey() const { return root_key_; }
  // Changing the root closes the current key.
  void SetRootKey(win::HKEY root);
  // The open key's handle, or nullptr.
  win::HKEY CurrentKey() const { return current_key_; }
  // The open key's path below the root, without a leading '\' ("" when none is open).
  const std::string& CurrentPath() const { return current_path_; }

  // Creates the key (or finds it) and closes it again; the current key does not change. Raises
  // "Failed to create key <path>" (the path as given) when the registry refuses. Returns true.
  bool CreateKey(const std::string& key);
  // Opens the key, or with `can_create` creates it, and makes it the current key. False when the
  // registry refuses (the current key then stays as it was); never raises.
  bool OpenKey(const std::string& key, bool can_create);
  // Closes the current key, if any.
  void CloseKey();

  // A string value of the current key, without its closing zero; expandable strings come back
  // unexpanded. "" when there is no such value or no open key. Raises "Invalid data type for '<name>'"
  // for a value that is not a string.
  std::string ReadString(const std::string& name);
  // Sets a REG_SZ value. Raises "Failed to set data for '<name>'" when refused or no key is open.
  void WriteString(const std::string& name, const std::string& value);

 private:
  // The key `key` is taken relative to; strips a leading '\' from `key`.
  win::HKEY BaseKey(std::string& key, bool& relative) const;
  // RegCreateKeyExA or RegOpenKeyExA with full access, then with what reading and writing values needs.
  win::LONG OpenWithFallback(win::HKEY base, const std::string& key, bool can_create, win::HKEY* result);

  win::HKEY root_key_ = win::HKEY_CURRENT_USER;
  win::HKEY current_key_ = nullptr;
  std::string current_path_;
};

}  // namespace ui
