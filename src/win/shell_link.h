// The bytes of a shell-link (.lnk) file: building them from what a shortcut holds, and reading them
// back. Pure functions over memory, no files or system calls, so any bytes may be fed to the parser.
// Written form: header, LinkInfo (VolumeID and LocalBasePath) when there is a target, StringData for
// the strings that are set (UTF-16), and the terminal block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "win/types.h"

namespace win {

// LinkFlags of the header.
enum : DWORD {
  SLDF_HAS_ID_LIST = 0x01,
  SLDF_HAS_LINK_INFO = 0x02,
  SLDF_HAS_NAME = 0x04,
  SLDF_HAS_RELPATH = 0x08,
  SLDF_HAS_WORKINGDIR = 0x10,
  SLDF_HAS_ARGS = 0x20,
  SLDF_HAS_ICONLOCATION = 0x40,
  SLDF_UNICODE = 0x80,
};

// What a shortcut holds. Times are FILETIMEs (100 ns since 1601), 0 when unknown.
struct ShellLinkData {
  std::string local_base_path;  // the target, code-page bytes; empty: no LinkInfo
  DWORD file_attributes = 0;    // the target's, when it was known
  std::uint64_t creation_time = 0;
  std::uint64_t access_time = 0;
  std::uint64_t write_time = 0;
  DWORD file_size = 0;  // low 32 bits of the target's size
  std::int32_t icon_index = 0;
  DWORD show_command = 1;  // SW_SHOWNORMAL
  std::uint16_t hot_key = 0;
  // The volume that holds the target.
  DWORD drive_type = 3;  // DRIVE_FIXED
  DWORD drive_serial_number = 0;
  std::string volume_label;  // code-page bytes
  // Optional strings, each written only when not empty (at most 65535 UTF-16 units each).
  std::u16string name;  // the description
  std::u16string relative_path;
  std::u16string working_dir;
  std::u16string arguments;
  std::u16string icon_location;
};

// Longest string StringData can hold (its count is 16 bits).
constexpr std::size_t kMaxShellLinkString = 0xFFFF;

// The file's bytes. Strings longer than kMaxShellLinkString are cut to it; callers check first.
std::string BuildShellLink(const ShellLinkData& data);

// Reads `bytes` into `data`. False, with the reason in `*why` (when given), for anything that is not a
// well-formed shell link: short or oversized structures, offsets outside their structure, strings
// without their terminator, a missing terminal block. An ID list and extra data blocks are skipped;
// a network location is not read (local_base_path stays empty).
bool ParseShellLink(std::string_view bytes, ShellLinkData& data, std::string* why);

}  // namespace win
