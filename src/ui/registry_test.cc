#include "ui/registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_root.h"
#include "support/unprivileged.h"

namespace ui {
namespace {

using testing_support::TempRoot;

// What a call raised, or "" when it raised nothing.
template <class F>
std::string Raised(F&& call) {
  try {
    call();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return "";
}

void SetRaw(win::HKEY root, const std::string& path, const std::string& name, win::DWORD type,
            const std::string& data) {
  win::HKEY key = nullptr;
  ASSERT_EQ(win::RegCreateKeyExA(root, path, win::KEY_ALL_ACCESS, &key, nullptr), win::ERROR_SUCCESS);
  ASSERT_EQ(win::RegSetValueExA(key, name, type, reinterpret_cast<const win::BYTE*>(data.data()),
                                static_cast<win::DWORD>(data.size())),
            win::ERROR_SUCCESS);
  win::RegCloseKey(key);
}

class TRegistryTest : public testing::Test {
 protected:
  std::string SystemHive() const { return root_.host() + "/system.reg"; }

  TempRoot root_;
};

TEST_F(TRegistryTest, CreatesOpensAndWritesKeysWhereTheirPathsSay) {
  TRegistry registry;
  EXPECT_EQ(registry.RootKey(), win::HKEY_CURRENT_USER);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(registry.CreateKey("\\Software\\vnta"));
  EXPECT_EQ(registry.CurrentKey(), nullptr);

  ASSERT_TRUE(registry.OpenKey("\\Software\\vnta", true));
  EXPECT_EQ(registry.CurrentPath(), "Software\\vnta");
  registry.WriteString("installdir", "C:\\Program Files\\Vantiro");
  EXPECT_EQ(registry.ReadString("INSTALLDIR"), "C:\\Program Files\\Vantiro");

  // Relative paths go from the current key; a leading backslash from the root.
  EXPECT_TRUE(registry.CreateKey("Parts"));
  EXPECT_EQ(registry.CurrentPath(), "Software\\vnta");
  ASSERT_TRUE(registry.OpenKey("Sub", true));
  EXPECT_EQ(registry.CurrentPath(), "Software\\vnta\\Sub");
  registry.WriteString("", "default");
  ASSERT_TRUE(registry.OpenKey("\\Software", false));
  EXPECT_EQ(registry.CurrentPath(), "Software");
  registry.CloseKey();
  registry.CloseKey();
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  ASSERT_TRUE(registry.OpenKey("Software\\vnta\\Parts", false));
  EXPECT_EQ(registry.CurrentPath(), "Software\\vnta\\Parts");

  EXPECT_EQ(TempRoot::ReadFile(SystemHive()),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software]\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\vnta]\r\n"
            "\"installdir\"=\"C:\\\\Program Files\\\\Vantiro\"\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\vnta\\Parts]\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\vnta\\Sub]\r\n"
            "@=\"default\"\r\n"
            "\r\n");

  // The default root is the user's hive.
  TRegistry user;
  ASSERT_TRUE(user.OpenKey("Software\\vnta", true));
  user.WriteString("mine", "caf\xe9");
  EXPECT_NE(TempRoot::ReadFile(root_.host() + "/user.reg")
                .find("[HKEY_CURRENT_USER\\Software\\vnta]\r\n"
                      "\"mine\"=\"caf\xe9\"\r\n"),
            std::string::npos);
}

TEST_F(TRegistryTest, ReadStringGivesStringsAndRefusesOtherData) {
  SetRaw(win::HKEY_CURRENT_USER, "Software\\vnta", "Text", win::REG_SZ, std::string("C:\\x") + '\0');
  SetRaw(win::HKEY_CURRENT_USER, "Software\\vnta", "Expand", win::REG_EXPAND_SZ,
         std::string("%WINDIR%\\a") + '\0');
  SetRaw(win::HKEY_CURRENT_USER, "Software\\vnta", "Unterminated", win::REG_SZ, "ab");
  SetRaw(win::HKEY_CURRENT_USER, "Software\\vnta", "Inner zero", win::REG_SZ, std::string("ab\0cd\0", 6));
  SetRaw(win::HKEY_CURRENT_USER, "Software\\vnta", "Count", win::REG_DWORD, std::string("\x2a\0\0\0", 4));
  SetRaw(win::HKEY_CURRENT_USER, "Software\\vnta", "Blob", win::REG_BINARY, "");
  SetRaw(win::HKEY_CURRENT_USER, "Software\\vnta", "List", win::REG_MULTI_SZ, std::string("a\0\0", 3));

  TRegistry registry;
  EXPECT_EQ(registry.ReadString("Text"), "");  // no key open
  ASSERT_TRUE(registry.OpenKey("Software\\vnta", false));
  struct Case {
    const char* name;
    const char* value;
    const char* raised;
  } cases[] = {
      {"Text", "C:\\x", ""},
      {"Expand", "%WINDIR%\\a", ""},
      {"Unterminated", "ab", ""},
      {"Inner zero", "ab", ""},
      {"Missing", "", ""},
      {"Count", "", "Invalid data type for 'Count'"},
      {"Blob", "", "Invalid data type for 'Blob'"},
      {"List", "", "Invalid data type for 'List'"},
  };
  for (const auto& c : cases) {
    std::string value;
    EXPECT_EQ(Raised([&] { value = registry.ReadString(c.name); }), c.raised) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
}

TEST_F(TRegistryTest, RefusalsRaiseTheFrameworksTexts) {
  TRegistry registry;
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  EXPECT_EQ(Raised([&] { registry.WriteString("installdir", "x"); }), "Failed to set data for 'installdir'");
  EXPECT_EQ(Raised([&] { registry.CreateKey("\\Software\\\\vnta"); }),
            "Failed to create key \\Software\\\\vnta");

  ASSERT_TRUE(registry.OpenKey("\\Software", true));
  EXPECT_FALSE(registry.OpenKey("Missing", false));
  EXPECT_EQ(registry.CurrentPath(), "Software");
  EXPECT_NE(registry.CurrentKey(), nullptr);

  TempRoot::WriteFile(SystemHive(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Raised([&] { registry.CreateKey("\\Software\\vnta"); }), "Failed to create key \\Software\\vnta");
  EXPECT_FALSE(registry.OpenKey("\\Software\\vnta", true));
  EXPECT_EQ(Raised([&] { registry.WriteString("installdir", "x"); }), "Failed to set data for 'installdir'");
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("system.reg:3: "), std::string::npos) << said;
  EXPECT_EQ(TempRoot::ReadFile(SystemHive()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n");
}

// An ordinary user with a read-only system hive: every change is refused with the framework's text.
TEST_F(TRegistryTest, ReadOnlyHiveRefusesAnOrdinaryUser) {
  SetRaw(win::HKEY_LOCAL_MACHINE, "Software\\vnta", "installdir", win::REG_SZ, std::string("C:\\old") + '\0');
  const std::string before = TempRoot::ReadFile(SystemHive());
  testing_support::GiveToUnprivilegedUser(root_.host());
  std::filesystem::permissions(SystemHive(), std::filesystem::perms(0444));

  std::string seen = testing_support::RunUnprivileged([] {
    TRegistry registry;
    registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
    std::string out = Raised([&] { registry.CreateKey("\\Software\\vnta"); });
    out += "|" + std::to_string(registry.OpenKey("\\Software\\vnta", true));
    out += "|" + Raised([&] { registry.WriteString("installdir", "C:\\new"); });
    return out;
  });
  EXPECT_EQ(seen, "Failed to create key \\Software\\vnta|0|Failed to set data for 'installdir'");
  EXPECT_EQ(TempRoot::ReadFile(SystemHive()), before);
}

}  // namespace
}  // namespace ui
