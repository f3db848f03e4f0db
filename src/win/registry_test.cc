#include "win/registry.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/temp_root.h"
#include "win/registry_text.h"
#include "win/system_root.h"

namespace win {
namespace {

using testing_support::TempRoot;

std::string Sz(const std::string& text) { return text + '\0'; }

LONG Set(HKEY key, const std::string& name, DWORD type, const std::string& data) {
  return RegSetValueExA(key, name, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

// The value's type and bytes, or the error.
struct Read {
  LONG result;
  DWORD type;
  std::string data;
};
Read Query(HKEY key, const std::string& name) {
  Read r{0, 0, {}};
  DWORD size = 0;
  r.result = RegQueryValueExA(key, name, &r.type, nullptr, &size);
  if (r.result != ERROR_SUCCESS) return r;
  r.data.resize(size);
  r.result = RegQueryValueExA(key, name, &r.type, reinterpret_cast<BYTE*>(r.data.data()), &size);
  r.data.resize(size);
  return r;
}

class RegistryTest : public testing::Test {
 protected:
  std::string SystemHive() const { return root_.host() + "/system.reg"; }
  std::string UserHive() const { return root_.host() + "/user.reg"; }

  TempRoot root_;
};

// A hand-written hive with every kind of value; one value changes through the calls and every other
// byte of the file stays as it was.
TEST_F(RegistryTest, ChangingOneValueKeepsEveryOtherByteOfTheHive) {
  const std::string before =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software]\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\vnta]\r\n"
      "@=\"default \\\"quoted\\\"\"\r\n"
      "\"installdir\"=\"C:\\\\Program Files\\\\Vantiro\"\r\n"
      "\"Caf\xe9\"=\"cr\xe8me \\\\ br\xfbl\xe9\\\"e\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:01,02,ff,00\r\n"
      "\"Path\"=hex(2):25,53,59,53,25,5c,61,00\r\n"
      "\"Multi\"=hex(7):61,00,62,00,00\r\n"
      "\"Odd\"=hex(1):61,62\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Zeta]\r\n"
      "\"z\"=\"last\"\r\n"
      "\r\n";
  TempRoot::WriteFile(SystemHive(), before);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\VNTA", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  struct Expected {
    const char* name;
    DWORD type;
    std::string data;
  } expected[] = {
      {"", REG_SZ, Sz("default \"quoted\"")},
      {"INSTALLDIR", REG_SZ, Sz("C:\\Program Files\\Vantiro")},
      {"caf\xc9", REG_SZ, Sz("cr\xe8me \\ br\xfbl\xe9\"e")},
      {"Count", REG_DWORD, std::string("\x2a\0\0\0", 4)},
      {"Blob", REG_BINARY, std::string("\x01\x02\xff\x00", 4)},
      {"Path", REG_EXPAND_SZ, Sz("%SYS%\\a")},
      {"Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
      {"Odd", REG_SZ, "ab"},
  };
  for (const auto& e : expected) {
    Read r = Query(key, e.name);
    EXPECT_EQ(r.result, ERROR_SUCCESS) << e.name;
    EXPECT_EQ(r.type, e.type) << e.name;
    EXPECT_EQ(r.data, e.data) << e.name;
  }

  ASSERT_EQ(Set(key, "installdir", REG_SZ, Sz("D:\\Apps\\\"V\"")), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  std::string after = before;
  std::string old_line = "\"installdir\"=\"C:\\\\Program Files\\\\Vantiro\"";
  after.replace(after.find(old_line), old_line.size(), "\"installdir\"=\"D:\\\\Apps\\\\\\\"V\\\"\"");
  EXPECT_EQ(TempRoot::ReadFile(SystemHive()), after);
}

TEST_F(RegistryTest, CreateOpenSetAndQuery) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\vnta\\Sub", KEY_ALL_ACCESS, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(Set(key, "name", REG_SZ, Sz("value")), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "", REG_DWORD, std::string("\1\0\0\0", 4)), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vnta\\sub\\", KEY_READ, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(Query(again, "NAME").data, Sz("value"));

  // Size query, then a buffer too small, then one that fits.
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(again, "name", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 6u);
  BYTE buffer[16] = {};
  size = 3;
  EXPECT_EQ(RegQueryValueExA(again, "name", nullptr, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(again, "name", nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), Sz("value"));
  EXPECT_EQ(RegQueryValueExA(again, "name", nullptr, nullptr, nullptr), ERROR_SUCCESS);

  HKEY sibling = nullptr;
  EXPECT_EQ(RegOpenKeyExA(again, "", KEY_READ, &sibling), ERROR_SUCCESS);
  EXPECT_EQ(Query(sibling, "").data, std::string("\1\0\0\0", 4));
  EXPECT_EQ(RegCloseKey(sibling), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);

  EXPECT_EQ(TempRoot::ReadFile(SystemHive()),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software]\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\vnta]\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\vnta\\Sub]\r\n"
            "\"name\"=\"value\"\r\n"
            "@=dword:00000001\r\n"
            "\r\n");
}

TEST_F(RegistryTest, NamesKeepTheCaseTheyWereFirstWrittenWith) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Caf\xe9", KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "Install Dir", REG_SZ, Sz("1")), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\CAF\xc9\\Child", KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\caf\xe9", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "INSTALL DIR", REG_SZ, Sz("2")), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  std::string text = TempRoot::ReadFile(UserHive());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Caf\xe9]\r\n\"Install Dir\"=\"2\"\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Caf\xe9\\Child]\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("INSTALL"), std::string::npos);
  EXPECT_EQ(text.find("CAF"), std::string::npos);
}

TEST_F(RegistryTest, RefusedCallsSayWhyAndChangeNothing) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\vnta", KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "kept", REG_SZ, Sz("yes")), ERROR_SUCCESS);
  HKEY read_only = nullptr, write_only = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\vnta", KEY_READ, &read_only), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\vnta", KEY_SET_VALUE, &write_only), ERROR_SUCCESS);
  HKEY closed = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &closed), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  const std::string hive = TempRoot::ReadFile(SystemHive());

  HKEY out = nullptr;
  DWORD size = 4;
  BYTE byte = 0;
  struct Case {
    const char* what;
    LONG result;
    LONG expected;
  } cases[] = {
      {"missing key", RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\none", KEY_READ, &out),
       ERROR_FILE_NOT_FOUND},
      {"missing value", RegQueryValueExA(key, "none", nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND},
      {"delete missing value", RegDeleteValueA(key, "none"), ERROR_FILE_NOT_FOUND},
      {"leading backslash", RegCreateKeyExA(HKEY_LOCAL_MACHINE, "\\Software", KEY_READ, &out, nullptr),
       ERROR_BAD_PATHNAME},
      {"empty component", RegCreateKeyExA(HKEY_LOCAL_MACHINE, "a\\\\b", KEY_READ, &out, nullptr),
       ERROR_BAD_PATHNAME},
      {"line break in key", RegCreateKeyExA(HKEY_LOCAL_MACHINE, "a\nb", KEY_READ, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"long key name", RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(256, 'k'), KEY_READ, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"line break in value name", Set(key, "a\r\nb", REG_SZ, Sz("x")), ERROR_INVALID_PARAMETER},
      {"no data but a size", RegSetValueExA(key, "x", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER},
      {"buffer without size", RegQueryValueExA(key, "kept", nullptr, &byte, nullptr),
       ERROR_INVALID_PARAMETER},
      {"set through a read handle", Set(read_only, "x", REG_SZ, Sz("x")), ERROR_ACCESS_DENIED},
      {"create through a read handle", RegCreateKeyExA(read_only, "new", KEY_READ, &out, nullptr),
       ERROR_ACCESS_DENIED},
      {"query through a write handle", RegQueryValueExA(write_only, "kept", nullptr, &byte, &size),
       ERROR_ACCESS_DENIED},
      {"closed handle", Set(closed, "x", REG_SZ, Sz("x")), ERROR_INVALID_HANDLE},
      {"closed twice", RegCloseKey(closed), ERROR_INVALID_HANDLE},
      {"null handle", RegOpenKeyExA(nullptr, "Software", KEY_READ, &out), ERROR_INVALID_HANDLE},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, c.expected) << c.what;
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\none", KEY_READ, &out), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(TempRoot::ReadFile(SystemHive()), hive);

  EXPECT_EQ(RegDeleteValueA(write_only, "KEPT"), ERROR_SUCCESS);
  EXPECT_EQ(Query(read_only, "kept").result, ERROR_FILE_NOT_FOUND);
  for (HKEY open : {key, read_only, write_only}) EXPECT_EQ(RegCloseKey(open), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryTest, KeyRemovedFromTheFileBehindAnOpenHandle) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Gone", KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  TempRoot::WriteFile(UserHive(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n");
  EXPECT_EQ(Set(key, "x", REG_SZ, Sz("x")), ERROR_KEY_DELETED);
  EXPECT_EQ(Query(key, "x").result, ERROR_KEY_DELETED);
  EXPECT_EQ(TempRoot::ReadFile(UserHive()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, MalformedHiveIsReportedAndNeverRewritten) {
  const std::string broken =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software]\r\n"
      "\"good\"=\"1\"\r\n"
      "\"bad\"=hex:0g\r\n";
  TempRoot::WriteFile(SystemHive(), broken);

  HKEY key = nullptr;
  testing::internal::CaptureStderr();
  LONG create = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\vnta", KEY_ALL_ACCESS, &key, nullptr);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(create, ERROR_BADDB);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BADDB));
  EXPECT_EQ(said, SystemHive() + ":5: bad hex byte '0g'\n");

  testing::internal::CaptureStderr();
  EXPECT_EQ(Set(HKEY_LOCAL_MACHINE, "x", REG_SZ, Sz("x")), ERROR_BADDB);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &key), ERROR_BADDB);
  EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, nullptr), ERROR_BADDB);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(TempRoot::ReadFile(SystemHive()), broken);

  // The other hive is unaffected.
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\vnta", KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, SeedingFillsOnlyMissingShellFolders) {
  const std::string shell_folders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const std::string profile = "C:\\users\\" + ProfileUserName() + "\\";
  // A fresh system root comes seeded.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, shell_folders, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "Desktop").data, Sz(profile + "Desktop"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  TempRoot::WriteFile(UserHive(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + shell_folders +
                                      "]\r\n\"desktop\"=\"D:\\\\Mine\"\r\n\r\n");
  ASSERT_TRUE(SeedUserShellFolders());

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, shell_folders, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "Desktop").data, Sz("D:\\Mine"));
  Read start_menu = Query(key, "Start Menu");
  EXPECT_EQ(start_menu.type, REG_SZ);
  EXPECT_EQ(start_menu.data, Sz(profile + "Start Menu"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  const std::string seeded = TempRoot::ReadFile(UserHive());
  ASSERT_TRUE(SeedUserShellFolders());
  EXPECT_EQ(TempRoot::ReadFile(UserHive()), seeded);

  std::remove(UserHive().c_str());
  ASSERT_TRUE(SeedUserShellFolders());
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, shell_folders, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "Desktop").data, Sz(profile + "Desktop"));
  EXPECT_EQ(Query(key, "Start Menu").data, Sz(profile + "Start Menu"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
}  // namespace win
