#include "win/shell_link.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::uint32_t U32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b.at(at + i));
  return v;
}

void SetU32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<char>(v >> (8 * i));
}

win::ShellLinkData Target(const std::string& path) {
  win::ShellLinkData data;
  data.local_base_path = path;
  data.file_attributes = 0x20;
  data.drive_serial_number = 0x1234ABCD;
  return data;
}

constexpr std::size_t kLinkInfo = 76;

TEST(ShellLinkBytes, HeaderAndLinkInfoAreLaidOutAsReadersExpect) {
  const std::string path = "C:\\Program Files\\Vantiro\\vantro.exe";
  std::string b = win::BuildShellLink(Target(path));

  EXPECT_EQ(U32(b, 0), 0x4Cu);
  EXPECT_EQ(b.substr(4, 16),
            std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16));
  EXPECT_EQ(U32(b, 20), 0x82u);  // HasLinkInfo | IsUnicode
  EXPECT_EQ(U32(b, 24), 0x20u);
  EXPECT_EQ(U32(b, 60), 1u);  // ShowCommand

  // LinkInfo: size covers everything up to the terminal block; offsets chain without gaps.
  std::uint32_t info_size = U32(b, kLinkInfo);
  ASSERT_EQ(b.size(), kLinkInfo + info_size + 4);
  EXPECT_EQ(U32(b, kLinkInfo + 4), 0x1Cu);
  EXPECT_EQ(U32(b, kLinkInfo + 8), 1u);
  std::uint32_t volume = U32(b, kLinkInfo + 12);
  std::uint32_t base = U32(b, kLinkInfo + 16);
  std::uint32_t suffix = U32(b, kLinkInfo + 24);
  EXPECT_EQ(volume, 0x1Cu);
  EXPECT_EQ(U32(b, kLinkInfo + 20), 0u);
  std::uint32_t volume_size = U32(b, kLinkInfo + volume);
  EXPECT_EQ(volume_size, 0x11u);  // header and an empty label's NUL
  EXPECT_EQ(U32(b, kLinkInfo + volume + 4), 3u);
  EXPECT_EQ(U32(b, kLinkInfo + volume + 8), 0x1234ABCDu);
  EXPECT_EQ(U32(b, kLinkInfo + volume + 12), 0x10u);
  EXPECT_EQ(base, volume + volume_size);
  EXPECT_EQ(b.substr(kLinkInfo + base, path.size() + 1), path + '\0');
  EXPECT_EQ(suffix, base + path.size() + 1);
  EXPECT_EQ(suffix + 1, info_size);
  EXPECT_EQ(b[kLinkInfo + suffix], '\0');
  EXPECT_EQ(U32(b, b.size() - 4), 0u);
}

TEST(ShellLinkBytes, RoundTripsEverythingTheBuilderWrites) {
  win::ShellLinkData data = Target("C:\\Caf\xE9\\x.exe");  // é in the code page
  data.creation_time = 0x01D0000000000001ull;
  data.access_time = 0x01D0000000000002ull;
  data.write_time = 0x01D0000000000003ull;
  data.file_size = 4096;
  data.icon_index = -2;
  data.show_command = 7;
  data.hot_key = 0x0241;
  data.volume_label = "DATA";
  data.name = u"Vantiro \u00e9";
  data.working_dir = u"C:\\Program Files";
  data.arguments = u"-x \"y\"";
  data.icon_location = u"C:\\i.ico";

  std::string bytes = win::BuildShellLink(data);
  win::ShellLinkData back;
  std::string why;
  ASSERT_TRUE(win::ParseShellLink(bytes, back, &why)) << why;
  EXPECT_EQ(U32(bytes, 20), 0x82u | 0x04 | 0x10 | 0x20 | 0x40);
  EXPECT_EQ(back.local_base_path, data.local_base_path);
  EXPECT_EQ(back.file_attributes, data.file_attributes);
  EXPECT_EQ(back.creation_time, data.creation_time);
  EXPECT_EQ(back.access_time, data.access_time);
  EXPECT_EQ(back.write_time, data.write_time);
  EXPECT_EQ(back.file_size, data.file_size);
  EXPECT_EQ(back.icon_index, data.icon_index);
  EXPECT_EQ(back.show_command, data.show_command);
  EXPECT_EQ(back.hot_key, data.hot_key);
  EXPECT_EQ(back.drive_type, data.drive_type);
  EXPECT_EQ(back.drive_serial_number, data.drive_serial_number);
  EXPECT_EQ(back.volume_label, data.volume_label);
  EXPECT_EQ(back.name, data.name);
  EXPECT_TRUE(back.relative_path.empty());
  EXPECT_EQ(back.working_dir, data.working_dir);
  EXPECT_EQ(back.arguments, data.arguments);
  EXPECT_EQ(back.icon_location, data.icon_location);
}

TEST(ShellLinkBytes, LinkWithoutTargetHasNoLinkInfo) {
  std::string bytes = win::BuildShellLink(win::ShellLinkData{});
  EXPECT_EQ(bytes.size(), 76u + 4u);
  EXPECT_EQ(U32(bytes, 20), 0x80u);
  win::ShellLinkData back;
  ASSERT_TRUE(win::ParseShellLink(bytes, back, nullptr));
  EXPECT_EQ(back.local_base_path, "");
}

TEST(ShellLinkBytes, SkipsIdListAndExtraBlocksOfOtherWriters) {
  std::string built = win::BuildShellLink(Target("C:\\a.exe"));
  std::string bytes = built.substr(0, 76);
  SetU32(bytes, 20, U32(bytes, 20) | 0x01);
  bytes += std::string("\x04\x00\x02\x00\x00\x00", 6);  // ID list of 4 bytes: one empty item, end
  bytes += built.substr(76, built.size() - 76 - 4);
  bytes += std::string("\x0C\x00\x00\x00\x05\x00\x00\xA0\x00\x00\x00\x00", 12);  // a 12-byte block
  bytes += std::string(4, '\0');
  win::ShellLinkData back;
  std::string why;
  ASSERT_TRUE(win::ParseShellLink(bytes, back, &why)) << why;
  EXPECT_EQ(back.local_base_path, "C:\\a.exe");
}

TEST(ShellLinkBytes, RejectsMalformedLinksWithAReason) {
  const std::string good = win::BuildShellLink(Target("C:\\a.exe"));
  struct Case {
    const char* what;
    std::ptrdiff_t at;  // where a 32-bit value is overwritten; negative: from the end
    std::uint32_t value;
  };
  const Case cases[] = {
      {"header size", 0, 0x4D},
      {"class", 4, 0x00021402},
      {"LinkInfo size past the end", kLinkInfo, 0x1000},
      {"LinkInfo smaller than its header", kLinkInfo, 0x10},
      {"LinkInfo header size", kLinkInfo + 4, 0x20},
      {"VolumeID offset outside", kLinkInfo + 12, 0x400},
      {"VolumeID offset inside the header", kLinkInfo + 12, 0x08},
      {"LocalBasePath offset outside", kLinkInfo + 16, 0x400},
      {"CommonPathSuffix offset outside", kLinkInfo + 24, 0x400},
      {"VolumeID size too small", kLinkInfo + 0x1C, 0x10},
      {"VolumeID size past LinkInfo", kLinkInfo + 0x1C, 0x200},
      {"volume label outside", kLinkInfo + 0x1C + 12, 0x80},
      {"StringData flag without a string", 20, 0x82 | 0x20},
      {"extra block too small to be one", -4, 6},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    SetU32(bytes, c.at < 0 ? bytes.size() + c.at : static_cast<std::size_t>(c.at), c.value);
    win::ShellLinkData data;
    std::string why;
    EXPECT_FALSE(win::ParseShellLink(bytes, data, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }

  // A base path that runs to the end of LinkInfo without its NUL.
  std::string unterminated = good;
  std::uint32_t info_size = U32(good, kLinkInfo);
  unterminated[kLinkInfo + info_size - 2] = 'x';
  unterminated[kLinkInfo + info_size - 1] = 'x';
  win::ShellLinkData data;
  std::string why;
  EXPECT_FALSE(win::ParseShellLink(unterminated, data, &why));
  EXPECT_FALSE(why.empty());
}

TEST(ShellLinkBytes, EveryTruncationIsRejected) {
  win::ShellLinkData full = Target("C:\\Program Files\\Vantiro\\vantro.exe");
  full.arguments = u"/s";
  const std::string good = win::BuildShellLink(full);
  for (std::size_t n = 0; n < good.size(); ++n) {
    win::ShellLinkData data;
    std::string why;
    EXPECT_FALSE(win::ParseShellLink(std::string_view(good).substr(0, n), data, &why)) << n;
    EXPECT_FALSE(why.empty()) << n;
  }
}

}  // namespace
