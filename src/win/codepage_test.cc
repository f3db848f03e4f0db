#include "win/codepage.h"

#include <gtest/gtest.h>

namespace win {
namespace {

TEST(CodePage, ConvertsBetweenWindows1252AndUtf8) {
  struct Case {
    std::string ansi;
    std::string utf8;
  } cases[] = {
      {"", ""},
      {"Vantiro setup", "Vantiro setup"},
      {"Caf\xE9", "Caf\xC3\xA9"},                    // é
      {"\x80 5", "\xE2\x82\xAC 5"},                  // € sits where Latin-1 has a control character
      {"\x8A\x9C\xFF", "\xC5\xA0\xC5\x93\xC3\xBF"},  // Š œ ÿ
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8) << c.ansi;
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
  }
}

TEST(CodePage, UndefinedBytesBecomeReplacementCharacters) {
  EXPECT_EQ(AnsiToUtf8("a\x81"
                       "b\x9D"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

TEST(CodePage, WhatTheCodePageLacksBecomesQuestionMarks) {
  struct Case {
    std::string utf8;
    std::string ansi;
  } cases[] = {
      {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "??.txt"},  // two CJK characters
      {"Erd\xC5\x91s", "Erd?s"},                   // ő
      {"\xF0\x9F\x98\x80!", "?!"},                 // a character outside the BMP
      {"bad \xC3 end", "bad ? end"},               // a lead byte without its continuation
      {"\xFF\xFE", "??"},                          // bytes that never start a character
      {"cut \xE2\x82", "cut ?"},                   // a character cut short at the end
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
}

TEST(CodePage, WideCharactersRoundTrip) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, "C:\\Caf\xE9\\\x80"), u"C:\\Caf\u00e9\\\u20ac");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, "\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, u"Caf\u00e9 \u20ac \u65e5"), "Caf\xE9 \x80 ?");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, std::u16string(1, char16_t{0xD800})), "?");  // a lone surrogate
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, ""), u"");
}

}  // namespace
}  // namespace win
