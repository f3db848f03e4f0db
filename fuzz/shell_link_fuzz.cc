// Shell links: a link built for any target (and any strings) parses back to the same target and strings;
// and any bytes fed to the parser either fail with a reason or give data that builds and parses back the
// same.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "win/shell_link.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "shell link: %s\n", what);
  std::abort();
}

bool SameLink(const win::ShellLinkData& a, const win::ShellLinkData& b) {
  return a.local_base_path == b.local_base_path && a.file_attributes == b.file_attributes &&
         a.creation_time == b.creation_time && a.access_time == b.access_time &&
         a.write_time == b.write_time && a.file_size == b.file_size && a.icon_index == b.icon_index &&
         a.show_command == b.show_command && a.hot_key == b.hot_key && a.name == b.name &&
         a.relative_path == b.relative_path && a.working_dir == b.working_dir && a.arguments == b.arguments &&
         a.icon_location == b.icon_location &&
         (a.local_base_path.empty() ||
          (a.drive_type == b.drive_type && a.drive_serial_number == b.drive_serial_number &&
           a.volume_label == b.volume_label));
}

// Splits the input at the first zero bytes: a target in code-page bytes, then strings as UTF-16.
win::ShellLinkData FromPieces(std::string_view in) {
  win::ShellLinkData data;
  auto next = [&in]() {
    size_t end = in.find('\0');
    std::string piece(in.substr(0, end));
    in.remove_prefix(end == std::string_view::npos ? in.size() : end + 1);
    return piece;
  };
  auto wide = [](const std::string& bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    return text;
  };
  data.local_base_path = next();
  data.volume_label = next();
  data.arguments = wide(next());
  data.working_dir = wide(next());
  data.name = wide(next());
  data.icon_location = wide(std::string(in));
  data.file_size = static_cast<win::DWORD>(data.local_base_path.size() * 2654435761u);
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* bytes, size_t size) {
  if (size == 0) return 0;
  std::string_view in(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  if (bytes[0] & 1) {
    win::ShellLinkData made = FromPieces(in);
    std::string file = win::BuildShellLink(made);
    win::ShellLinkData read;
    std::string why;
    if (!win::ParseShellLink(file, read, &why)) {
      std::fprintf(stderr, "%s\n", why.c_str());
      Check(false, "a built link does not parse");
    }
    Check(read.local_base_path == made.local_base_path, "the target does not come back");
    Check(SameLink(made, read), "a field does not come back");
    return 0;
  }

  win::ShellLinkData read;
  std::string why;
  if (!win::ParseShellLink(in, read, &why)) {
    Check(!why.empty(), "a refusal without a reason");
    return 0;
  }
  // What was read builds into a link that reads back the same, when the builder can hold it.
  if (read.local_base_path.find('\0') != std::string::npos ||
      read.volume_label.find('\0') != std::string::npos)
    return 0;
  win::ShellLinkData again;
  Check(win::ParseShellLink(win::BuildShellLink(read), again, &why), "a rebuilt link does not parse");
  Check(SameLink(read, again), "a rebuilt link reads back differently");
  return 0;
}
