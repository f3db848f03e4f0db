#include "win/registry_text.h"

#include <gtest/gtest.h>

#include "win/registry.h"

namespace win {
namespace {

// A hive as regedit writes it: every kind of value, names and strings with quotes, backslashes and
// Windows-1252 letters (\xe9 is e-acute), a hex list long enough to be continued.
const std::string kCanonicalHive =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE]\r\n"
    "\"AtRoot\"=dword:00000001\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\vnta]\r\n"
    "@=\"default\"\r\n"
    "\"installdir\"=\"C:\\\\Program Files\\\\Vantiro\"\r\n"
    "\"Quote \\\"x\\\" caf\xe9\"=\"say \\\"hi\\\" \\\\ caf\xe9\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Blob\"=hex:01,02,ff\r\n"
    "\"NoData\"=hex:\r\n"
    "\"Path\"=hex(2):25,53,59,53,25,00\r\n"
    "\"Multi\"=hex(7):61,00,62,00,00\r\n"
    "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\"None\"=hex(0):\r\n"
    "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
    "  2f,30,31\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Other key]\r\n"
    "\r\n";

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

TEST(RegistryTextTest, CanonicalTextReadsAndWritesBackByteForByte) {
  RegistryHive hive(HiveRoot::kLocalMachine);
  RegistryTextError error;
  ASSERT_TRUE(ParseRegistryText(kCanonicalHive, hive, error)) << error.line << ": " << error.message;
  EXPECT_EQ(FormatRegistryText(hive), kCanonicalHive);

  const HiveKey* key = hive.FindKey("Software\\vnta");
  ASSERT_NE(key, nullptr);
  struct Expected {
    const char* name;
    DWORD type;
    std::string data;
  } expected[] = {
      {"", REG_SZ, std::string("default") + '\0'},
      {"installdir", REG_SZ, std::string("C:\\Program Files\\Vantiro") + '\0'},
      {"Quote \"x\" caf\xe9", REG_SZ, std::string("say \"hi\" \\ caf\xe9") + '\0'},
      {"Empty", REG_SZ, std::string(1, '\0')},
      {"Count", REG_DWORD, Bytes({0x2a, 0, 0, 0})},
      {"Blob", REG_BINARY, Bytes({1, 2, 0xff})},
      {"NoData", REG_BINARY, ""},
      {"Path", REG_EXPAND_SZ, std::string("%SYS%") + '\0'},
      {"Multi", REG_MULTI_SZ, Bytes({'a', 0, 'b', 0, 0})},
      {"Big", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
      {"None", REG_NONE, ""},
  };
  for (const auto& e : expected) {
    const HiveValue* value = key->FindValue(e.name);
    ASSERT_NE(value, nullptr) << e.name;
    EXPECT_EQ(value->type, e.type) << e.name;
    EXPECT_EQ(value->data, e.data) << e.name;
  }
  const HiveValue* long_value = key->FindValue("Long");
  ASSERT_NE(long_value, nullptr);
  ASSERT_EQ(long_value->data.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(long_value->data[i], static_cast<char>(i));
}

// Data that "..." or dword: cannot carry goes out as hex(N): and comes back unchanged.
TEST(RegistryTextTest, DataOutsideTheShortFormsComesBackUnchanged) {
  struct Case {
    DWORD type;
    std::string data;
    const char* line;
  } cases[] = {
      {REG_SZ, "no terminator", "\"v\"=hex(1):6e,6f,20,74,65,72,6d,69,6e,61,74,6f,72\r\n"},
      {REG_SZ, std::string("a\0b\0", 4), "\"v\"=hex(1):61,00,62,00\r\n"},
      {REG_SZ, std::string("two\r\nlines") + '\0', "\"v\"=hex(1):74,77,6f,0d,0a,6c,69,6e,65,73,00\r\n"},
      {REG_SZ, "", "\"v\"=hex(1):\r\n"},
      {REG_DWORD, Bytes({1, 2, 3}), "\"v\"=hex(4):01,02,03\r\n"},
      {REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12}), "\"v\"=dword:12345678\r\n"},
      {0x12345, Bytes({0xab}), "\"v\"=hex(12345):ab\r\n"},
  };
  for (const auto& c : cases) {
    RegistryHive hive(HiveRoot::kCurrentUser);
    hive.CreateKey("k").SetValue("v", c.type, c.data);
    std::string text = FormatRegistryText(hive);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\k]\r\n" + std::string(c.line)), std::string::npos) << text;

    RegistryHive again(HiveRoot::kCurrentUser);
    RegistryTextError error;
    ASSERT_TRUE(ParseRegistryText(text, again, error)) << error.message;
    const HiveValue* value = again.FindKey("k")->FindValue("v");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, c.type);
    EXPECT_EQ(value->data, c.data);
  }
}

TEST(RegistryTextTest, LongHexListsStayWithinEightyColumns) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7);
  for (const std::string& name : {std::string("b"), std::string(70, 'n')}) {
    RegistryHive hive(HiveRoot::kLocalMachine);
    hive.CreateKey("k").SetValue(name, REG_BINARY, data);
    std::string text = FormatRegistryText(hive);
    size_t start = text.find("\"" + name + "\"=hex:");
    ASSERT_NE(start, std::string::npos);
    int continued = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      std::string line = text.substr(start, end - start);
      if (line.empty()) break;
      EXPECT_LE(line.size(), 80u) << line;
      if (line.back() == '\\') {
        EXPECT_TRUE(line.ends_with(",\\") || line.ends_with("=hex:\\")) << line;
        ++continued;
      }
      if (line.front() == ' ') {
        EXPECT_EQ(line.substr(0, 3).find_first_not_of(' '), 2u) << line;
      }
    }
    EXPECT_GT(continued, 30);

    RegistryHive again(HiveRoot::kLocalMachine);
    RegistryTextError error;
    ASSERT_TRUE(ParseRegistryText(text, again, error)) << error.message;
    EXPECT_EQ(again.FindKey("k")->FindValue(name)->data, data);
  }
}

TEST(RegistryTextTest, ReadsLooserFilesAndWritesThemCanonically) {
  const std::string loose =
      "\n"
      "REGEDIT4\n"
      "; written by hand\n"
      "[hkey_current_user\\Software\\A\\B]\n"
      "  \"x\" = \"1\"\n"
      "\"y\"=HEX(2):41,\\\n"
      "      42 ,00\n"
      "\"z\"=dword:2a\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\a]\r\n"
      "\"x\"=\"first\"\r\n"
      "\"X\"=\"second\"\r\n";
  RegistryHive hive(HiveRoot::kCurrentUser);
  RegistryTextError error;
  ASSERT_TRUE(ParseRegistryText(loose, hive, error)) << error.line << ": " << error.message;
  EXPECT_EQ(FormatRegistryText(hive),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\A]\r\n"
            "\"x\"=\"second\"\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\A\\B]\r\n"
            "\"x\"=\"1\"\r\n"
            "\"y\"=hex(2):41,42,00\r\n"
            "\"z\"=dword:0000002a\r\n"
            "\r\n");
}

TEST(RegistryTextTest, EmptyFileIsAnEmptyHive) {
  for (const char* text : {"", "\r\n", "REGEDIT4\r\n\r\n"}) {
    RegistryHive hive(HiveRoot::kLocalMachine);
    RegistryTextError error;
    EXPECT_TRUE(ParseRegistryText(text, hive, error)) << text;
    EXPECT_EQ(hive.keys().size(), 1u);
    EXPECT_EQ(FormatRegistryText(hive), "REGEDIT4\r\n\r\n");
  }
}

TEST(RegistryTextTest, MalformedTextNamesTheLine) {
  struct Case {
    const char* text;
    int line;
    const char* message;
  } cases[] = {
      {"Windows Registry Editor Version 5.00\r\n", 1, "not REGEDIT4"},
      {"REGEDIT4\r\n\r\n\"a\"=\"b\"\r\n", 3, "before any key"},
      {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n", 3, "not under HKEY_LOCAL_MACHINE"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\r\n", 2, "does not end with ']'"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a\\\\b]\r\n", 2, "bad key name"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\]\r\n", 2, "empty key name"},
      {"REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\a]\r\n", 2, "removal"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=-\r\n", 3, "removal"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\r\n\"x=\"y\"\r\n", 4, "expected '='"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=\"y\r\n", 3, "no closing quote"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=\"y\\\"\r\n", 3, "no closing quote"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=\"a\\tb\"\r\n", 3, "unknown escape"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=\"y\" z\r\n", 3, "after the closing quote"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\ry\"=\"z\"\r\n", 3, "bad value name"},  // a lone CR
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=dword:123456789\r\n", 3, "bad dword"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=dword:\r\n", 3, "bad dword"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=hex:01,2\r\n", 3, "bad hex byte '2'"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=hex:01,\r\n", 3, "bad hex byte ''"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=hex(z):01\r\n", 3, "bad type"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=hex;01\r\n", 3, "expected ':'"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=hex:01,\\\r\n", 3, "past the end"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=hex:01,\\\r\n  02,zz\r\n", 3, "bad hex byte 'zz'"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"x\"=str:abc\r\n", 3, "unknown data"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\a]\r\nx=1\r\n", 3, "expected a key, a value"},
  };
  for (const auto& c : cases) {
    RegistryHive hive(HiveRoot::kLocalMachine);
    RegistryTextError error;
    EXPECT_FALSE(ParseRegistryText(c.text, hive, error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos) << c.text << " gave: " << error.message;
  }
}

// Keys nest 512 levels deep, as on Windows; a deeper key line (a damaged or hostile hive, here one of
// 200,000 levels) is refused as a bad name, neither exhausting the stack nor filling memory.
TEST(RegistryTextTest, KeysNestAtMost512LevelsDeep) {
  auto line_of_depth = [](size_t depth) {
    std::string key = "[HKEY_LOCAL_MACHINE";
    for (size_t i = 0; i < depth; ++i) key += "\\k";
    return "REGEDIT4\r\n" + key + "]\r\n\"x\"=\"y\"\r\n";
  };
  RegistryHive deepest(HiveRoot::kLocalMachine);
  RegistryTextError error;
  ASSERT_TRUE(ParseRegistryText(line_of_depth(512), deepest, error)) << error.message;
  EXPECT_EQ(deepest.keys().size(), 1u + 512u) << "the root, then every level down to it";

  for (size_t depth : {513u, 200000u}) {
    RegistryHive hive(HiveRoot::kLocalMachine);
    EXPECT_FALSE(ParseRegistryText(line_of_depth(depth), hive, error)) << depth;
    EXPECT_EQ(error.line, 2) << depth;
    EXPECT_NE(error.message.find("bad key name"), std::string::npos) << error.message;
  }
}

TEST(RegistryTextTest, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
  RegistryHive hive(HiveRoot::kCurrentUser);
  bool created = false;
  hive.CreateKey("Software\\Caf\xe9", &created);
  EXPECT_TRUE(created);
  HiveKey& same = hive.CreateKey("SOFTWARE\\CAF\xc9\\New", &created);
  EXPECT_TRUE(created);
  EXPECT_EQ(same.path, "Software\\Caf\xe9\\New");
  hive.CreateKey("software\\caf\xe9", &created);
  EXPECT_FALSE(created);
  EXPECT_EQ(hive.keys().size(), 4u);

  HiveKey& key = *hive.FindKey("software\\CAF\xe9");
  key.SetValue("\x8aize \xff", REG_SZ, std::string("1") + '\0');
  key.SetValue("\x9aIZE \x9f", REG_SZ, std::string("2") + '\0');
  ASSERT_EQ(key.values.size(), 1u);
  EXPECT_EQ(key.values[0].name, "\x8aize \xff");
  EXPECT_EQ(key.values[0].data, std::string("2") + '\0');
  EXPECT_TRUE(key.DeleteValue("\x8aIZE \xff"));
  EXPECT_FALSE(key.DeleteValue("\x8aIZE \xff"));
}

}  // namespace
}  // namespace win
