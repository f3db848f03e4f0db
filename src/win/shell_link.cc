#include "win/shell_link.h"

#include <algorithm>
#include <cstring>

namespace win {
namespace {

constexpr std::size_t kHeaderSize = 0x4C;
constexpr std::size_t kLinkInfoHeaderSize = 0x1C;  // without the Unicode offsets
constexpr std::size_t kLinkInfoUnicodeHeaderSize = 0x24;
constexpr std::size_t kVolumeIdHeaderSize = 0x10;
constexpr DWORD kVolumeIdAndLocalBasePath = 0x1;
constexpr DWORD kCommonNetworkRelativeLinkAndPathSuffix = 0x2;
constexpr std::size_t kMinExtraBlockSize = 8;  // BlockSize and BlockSignature
// {00021401-0000-0000-C000-000000000046} as stored.
constexpr unsigned char kShellLinkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// StringData's strings in the order they are stored, with the flag that says one is there.
struct StringField {
  DWORD flag;
  std::u16string ShellLinkData::*member;
};
constexpr StringField kStringFields[] = {
    {SLDF_HAS_NAME, &ShellLinkData::name},
    {SLDF_HAS_RELPATH, &ShellLinkData::relative_path},
    {SLDF_HAS_WORKINGDIR, &ShellLinkData::working_dir},
    {SLDF_HAS_ARGS, &ShellLinkData::arguments},
    {SLDF_HAS_ICONLOCATION, &ShellLinkData::icon_location},
};

void Put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(v >> 16));
}
void Put64(std::string& out, std::uint64_t v) {
  Put32(out, static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
  Put32(out, static_cast<std::uint32_t>(v >> 32));
}

// Little-endian reads; the caller has checked that the bytes are there.
std::uint16_t Get16(std::string_view b, std::size_t at) {
  auto low = static_cast<unsigned char>(b[at]);
  auto high = static_cast<unsigned char>(b[at + 1]);
  return static_cast<std::uint16_t>(low | high << 8);
}
std::uint32_t Get32(std::string_view b, std::size_t at) {
  return Get16(b, at) | static_cast<std::uint32_t>(Get16(b, at + 2)) << 16;
}
std::uint64_t Get64(std::string_view b, std::size_t at) {
  return Get32(b, at) | static_cast<std::uint64_t>(Get32(b, at + 4)) << 32;
}

bool Fail(std::string* why, const char* reason) {
  if (why) *why = reason;
  return false;
}

// The NUL-terminated string at `at` within `b`; false when `at` is outside or there is no NUL.
bool CString(std::string_view b, std::size_t at, std::string& out) {
  if (at >= b.size()) return false;
  std::size_t end = b.find('\0', at);
  if (end == std::string_view::npos) return false;
  out.assign(b.substr(at, end - at));
  return true;
}

std::string BuildVolumeId(const ShellLinkData& data) {
  std::string v;
  Put32(v, static_cast<std::uint32_t>(kVolumeIdHeaderSize + data.volume_label.size() + 1));
  Put32(v, data.drive_type);
  Put32(v, data.drive_serial_number);
  Put32(v, kVolumeIdHeaderSize);  // VolumeLabelOffset: an ANSI label right after
  v += data.volume_label;
  v += '\0';
  return v;
}

std::string BuildLinkInfo(const ShellLinkData& data) {
  std::string volume = BuildVolumeId(data);
  std::size_t local_base_path_offset = kLinkInfoHeaderSize + volume.size();
  std::size_t suffix_offset = local_base_path_offset + data.local_base_path.size() + 1;
  std::size_t size = suffix_offset + 1;
  std::string info;
  Put32(info, static_cast<std::uint32_t>(size));
  Put32(info, kLinkInfoHeaderSize);
  Put32(info, kVolumeIdAndLocalBasePath);
  Put32(info, kLinkInfoHeaderSize);  // VolumeIDOffset
  Put32(info, static_cast<std::uint32_t>(local_base_path_offset));
  Put32(info, 0);  // CommonNetworkRelativeLinkOffset: none
  Put32(info, static_cast<std::uint32_t>(suffix_offset));
  info += volume;
  info += data.local_base_path;
  info += '\0';
  info += '\0';  // CommonPathSuffix: empty, the base path is the whole target
  return info;
}

bool ParseVolumeId(std::string_view info, std::size_t at, ShellLinkData& data, std::string* why) {
  if (at > info.size() || info.size() - at < kVolumeIdHeaderSize)
    return Fail(why, "VolumeID lies outside LinkInfo");
  std::uint32_t size = Get32(info, at);
  if (size <= kVolumeIdHeaderSize || size > info.size() - at)
    return Fail(why, "VolumeID size is out of range");
  std::string_view volume = info.substr(at, size);
  data.drive_type = Get32(volume, 4);
  data.drive_serial_number = Get32(volume, 8);
  std::uint32_t label_offset = Get32(volume, 12);
  data.volume_label.clear();
  if (label_offset == 0x14) {
    // Only a Unicode label: it must lie inside the structure; it is not kept.
    if (size < 0x14 || Get32(volume, 0x10) >= size) return Fail(why, "VolumeID label lies outside it");
  } else if (!CString(volume, label_offset, data.volume_label)) {
    return Fail(why, "VolumeID label lies outside it or has no terminator");
  }
  return true;
}

bool ParseLinkInfo(std::string_view info, ShellLinkData& data, std::string* why) {
  std::uint32_t header_size = Get32(info, 4);
  if (header_size != kLinkInfoHeaderSize &&
      (header_size < kLinkInfoUnicodeHeaderSize || header_size > info.size()))
    return Fail(why, "LinkInfo header size is out of range");
  DWORD flags = Get32(info, 8);
  if (flags & kVolumeIdAndLocalBasePath) {
    std::uint32_t volume_offset = Get32(info, 12);
    std::uint32_t base_offset = Get32(info, 16);
    std::uint32_t suffix_offset = Get32(info, 24);
    if (volume_offset < header_size || base_offset < header_size || suffix_offset < header_size)
      return Fail(why, "LinkInfo offset points into its header");
    if (!ParseVolumeId(info, volume_offset, data, why)) return false;
    std::string base, suffix;
    if (!CString(info, base_offset, base))
      return Fail(why, "LocalBasePath lies outside LinkInfo or has no terminator");
    if (!CString(info, suffix_offset, suffix))
      return Fail(why, "CommonPathSuffix lies outside LinkInfo or has no terminator");
    data.local_base_path = base + suffix;
  }
  if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
    std::uint32_t network_offset = Get32(info, 20);
    if (network_offset < header_size || network_offset >= info.size())
      return Fail(why, "CommonNetworkRelativeLink lies outside LinkInfo");
  }
  return true;
}

}  // namespace

std::string BuildShellLink(const ShellLinkData& data) {
  DWORD flags = SLDF_UNICODE;
  if (!data.local_base_path.empty()) flags |= SLDF_HAS_LINK_INFO;
  for (const StringField& field : kStringFields)
    if (!(data.*field.member).empty()) flags |= field.flag;

  std::string out;
  Put32(out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kShellLinkClassId), sizeof kShellLinkClassId);
  Put32(out, flags);
  Put32(out, data.file_attributes);
  Put64(out, data.creation_time);
  Put64(out, data.access_time);
  Put64(out, data.write_time);
  Put32(out, data.file_size);
  Put32(out, static_cast<std::uint32_t>(data.icon_index));
  Put32(out, data.show_command);
  Put16(out, data.hot_key);
  Put16(out, 0);  // Reserved1..3
  Put32(out, 0);
  Put32(out, 0);

  if (flags & SLDF_HAS_LINK_INFO) out += BuildLinkInfo(data);
  for (const StringField& field : kStringFields) {
    if (!(flags & field.flag)) continue;
    const std::u16string& text = data.*field.member;
    std::size_t count = std::min(text.size(), kMaxShellLinkString);
    Put16(out, static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) Put16(out, text[i]);
  }
  Put32(out, 0);  // the terminal block ends ExtraData
  return out;
}

bool ParseShellLink(std::string_view bytes, ShellLinkData& data, std::string* why) {
  data = ShellLinkData{};
  if (bytes.size() < kHeaderSize) return Fail(why, "shorter than the 76-byte header");
  if (Get32(bytes, 0) != kHeaderSize) return Fail(why, "header size is not 76");
  if (std::memcmp(bytes.data() + 4, kShellLinkClassId, sizeof kShellLinkClassId) != 0)
    return Fail(why, "not of the shell-link class");
  DWORD flags = Get32(bytes, 20);
  data.file_attributes = Get32(bytes, 24);
  data.creation_time = Get64(bytes, 28);
  data.access_time = Get64(bytes, 36);
  data.write_time = Get64(bytes, 44);
  data.file_size = Get32(bytes, 52);
  data.icon_index = static_cast<std::int32_t>(Get32(bytes, 56));
  data.show_command = Get32(bytes, 60);
  data.hot_key = Get16(bytes, 64);
  std::size_t at = kHeaderSize;

  if (flags & SLDF_HAS_ID_LIST) {
    if (bytes.size() - at < 2) return Fail(why, "ID list size is missing");
    std::size_t size = Get16(bytes, at);
    if (bytes.size() - at - 2 < size) return Fail(why, "ID list runs past the end");
    at += 2 + size;
  }

  if (flags & SLDF_HAS_LINK_INFO) {
    if (bytes.size() - at < 4) return Fail(why, "LinkInfo size is missing");
    std::uint32_t size = Get32(bytes, at);
    if (size < kLinkInfoHeaderSize) return Fail(why, "LinkInfo is smaller than its header");
    if (bytes.size() - at < size) return Fail(why, "LinkInfo runs past the end");
    if (!ParseLinkInfo(bytes.substr(at, size), data, why)) return false;
    at += size;
  }

  for (const StringField& field : kStringFields) {
    if (!(flags & field.flag)) continue;
    if (bytes.size() - at < 2) return Fail(why, "StringData count is missing");
    std::size_t count = Get16(bytes, at);
    at += 2;
    std::size_t unit = (flags & SLDF_UNICODE) ? 2 : 1;
    if ((bytes.size() - at) / unit < count) return Fail(why, "StringData string runs past the end");
    std::u16string& text = data.*field.member;
    // Strings of a link without the Unicode flag are in its writer's code page; read as Latin-1.
    for (std::size_t i = 0; i < count; ++i)
      text += unit == 2 ? static_cast<char16_t>(Get16(bytes, at + 2 * i))
                        : static_cast<char16_t>(static_cast<unsigned char>(bytes[at + i]));
    at += count * unit;
  }

  for (;;) {
    if (bytes.size() - at < 4) return Fail(why, "no terminal block");
    std::uint32_t size = Get32(bytes, at);
    if (size < 4) return true;  // the terminal block; anything after it is not ours to read
    if (size < kMinExtraBlockSize || bytes.size() - at < size)
      return Fail(why, "extra data block size is out of range");
    at += size;
  }
}

}  // namespace win
