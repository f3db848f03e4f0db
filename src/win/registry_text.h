// One registry hive in memory and its text form: regedit's REGEDIT4 export (Windows-1252, CRLF). The
// hive owns its keys and values; keys keep the order they were first seen or created, names keep the
// case they were first written with and match without regard to case. Pure data: no files, no blocking.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "win/types.h"

namespace win {

enum class HiveRoot { kLocalMachine, kCurrentUser };

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
const char* HiveRootName(HiveRoot root);

struct HiveValue {
  std::string name;  // "" is the key's default value
  DWORD type = 0;
  std::string data;  // the bytes exactly as set (a string's closing zero included)
};

struct HiveKey {
  std::string path;               // below the root, components joined by '\'; "" is the root itself
  std::vector<HiveValue> values;  // in the order first set

  const HiveValue* FindValue(std::string_view name) const;
  // Sets or replaces a value; a replaced value keeps its place and the case of its name.
  void SetValue(std::string_view name, DWORD type, std::string_view data);
  // False when there was no such value.
  bool DeleteValue(std::string_view name);
};

class RegistryHive {
 public:
  explicit RegistryHive(HiveRoot root);

  HiveRoot root() const { return root_; }
  // Every key, the root first, then in the order first seen or created.
  const std::vector<HiveKey>& keys() const { return keys_; }

  // The key at `path` ("" the root, components separated by '\'), or nullptr.
  const HiveKey* FindKey(std::string_view path) const;
  HiveKey* FindKey(std::string_view path);
  // Finds or creates the key at `path` and its missing ancestors. `created` tells whether the key itself
  // was new. `path` must be valid (see IsValidKeyPath).
  HiveKey& CreateKey(std::string_view path, bool* created = nullptr);

 private:
  HiveRoot root_;
  std::vector<HiveKey> keys_;
  std::unordered_map<std::string, size_t> index_;  // folded path -> place in keys_
};


// A key path the hive can hold: "" or at most 512 components separated by single '\', each 1 to 255
// characters, none holding a control character below 0x20.
bool IsValidKeyPath(std::string_view path);
// A value name the text form can hold: no zero, CR or LF.
bool IsValidValueName(std::string_view name);

struct RegistryTextError {
  int line = 0;  // 1-based line of the file where the fault is
  std::string message;
};

// Reads REGEDIT4 text (CRLF or LF line ends; "; ..." comment lines skipped; an empty file is an empty
// hive). A key of another root than `hive`'s is a fault. On failure fills `error` and leaves `hive` in an
// unspecified state.
bool ParseRegistryText(std::string_view text, RegistryHive& hive, RegistryTextError& error);

// Writes the hive as regedit does: "REGEDIT4", then each key in brackets with its values, a blank line
// between keys, CRLF line ends; strings quoted, dword:, hex:, hex(2):, hex(7):, hex(N):, long hex lists
// continued with ",\" and a two-space indent so that lines stay within 80 columns. Data a quoted string
// or dword: could not give back byte for byte is written as hex(N): instead. The root is written only
// when it has values.
std::string FormatRegistryText(const RegistryHive& hive);

}  // namespace win
