// Hive text: any bytes either fail to parse with a line number, or parse into a hive that writes out
// as text which parses back to the same hive and writes out byte for byte the same again.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "win/registry_text.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "registry text: %s\n", what);
  std::abort();
}

bool SameHive(const win::RegistryHive& a, const win::RegistryHive& b) {
  if (a.keys().size() != b.keys().size()) return false;
  for (size_t i = 0; i < a.keys().size(); ++i) {
    const win::HiveKey& x = a.keys()[i];
    const win::HiveKey& y = b.keys()[i];
    if (x.path != y.path || x.values.size() != y.values.size()) return false;
    for (size_t j = 0; j < x.values.size(); ++j)
      if (x.values[j].name != y.values[j].name || x.values[j].type != y.values[j].type ||
          x.values[j].data != y.values[j].data)
        return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the hive's root, so keys of the other root are faults half of the time.
  win::HiveRoot root = data[0] & 1 ? win::HiveRoot::kCurrentUser : win::HiveRoot::kLocalMachine;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  win::RegistryHive hive(root);
  win::RegistryTextError error;
  if (!win::ParseRegistryText(text, hive, error)) {
    Check(error.line >= 1, "a fault without its line");
    Check(!error.message.empty(), "a fault without a message");
    return 0;
  }
  for (const win::HiveKey& key : hive.keys()) {
    Check(win::IsValidKeyPath(key.path), "a parsed key path the hive cannot hold");
    for (const win::HiveValue& value : key.values)
      Check(win::IsValidValueName(value.name), "a bad value name");
  }

  std::string written = win::FormatRegistryText(hive);
  win::RegistryHive again(root);
  win::RegistryTextError again_error;
  if (!win::ParseRegistryText(written, again, again_error)) {
    std::fprintf(stderr, "line %d: %s\n--- written ---\n%s\n", again_error.line, again_error.message.c_str(),
                 written.c_str());
    Check(false, "the written text does not parse back");
  }
  Check(SameHive(hive, again), "the hive read back differs from the one written");
  Check(win::FormatRegistryText(again) == written, "writing is not stable");
  return 0;
}
