// root_check: checks that what a system root holds after an interrupted run can still be read: each
// hive file given parses as REGEDIT4, each shell-link file given parses as a shell link. Prints one line
// per fault and exits 1 when there is any. A missing file is not a fault (it may not have been made yet).
//
//   root_check FILE...      (*.reg files are hives, *.lnk files shell links)
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "win/registry_text.h"
#include "win/shell_link.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int faults = 0;
  for (int i = 1; i < argc; ++i) {
    std::string path = argv[i];
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (EndsWith(path, ".reg")) {
      win::RegistryHive hive(EndsWith(path, "user.reg") ? win::HiveRoot::kCurrentUser
                                                        : win::HiveRoot::kLocalMachine);
      win::RegistryTextError error;
      if (!win::ParseRegistryText(bytes.str(), hive, error)) {
        std::printf("%s:%d: %s\n", path.c_str(), error.line, error.message.c_str());
        ++faults;
      }
    } else if (EndsWith(path, ".lnk")) {
      win::ShellLinkData data;
      std::string why;
      if (!win::ParseShellLink(bytes.str(), data, &why)) {
        std::printf("%s: %s\n", path.c_str(), why.c_str());
        ++faults;
      }
    } else {
      std::printf("%s: neither a hive nor a shell link\n", path.c_str());
      ++faults;
    }
  }
  return faults ? 1 : 0;
}
