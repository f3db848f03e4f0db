#include "win/command_line.h"

#include <gtest/gtest.h>

namespace win {
namespace {

std::vector<std::string> Texts(const std::string& line) {
  std::vector<std::string> texts;
  for (const auto& word : SplitCommandLine(line)) texts.push_back(word.text);
  return texts;
}

TEST(CommandLine, SplitsWordsTheWayWindowsProgramsDo) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
  } cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"\"a b\" c", {"a b", "c"}},
      {"\"\"", {""}},
      {"x\"y z\"w", {"xy zw"}},
      {"C:\\dir\\file.txt", {"C:\\dir\\file.txt"}},  // backslashes before anything else are literal
      {"a\\\\\"b c\"", {"a\\b c"}},                  // 2n backslashes and a mark: n, and quoting
      {"a\\\"b c", {"a\"b", "c"}},                   // 2n+1: n and a literal mark
      {"\"e\\\\\" f", {"e\\", "f"}},
      {"\"a\"\"b\" c", {"a\"b", "c"}},  // "" inside quotes is a mark
      {"\"open end", {"open end"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Texts(c.line), c.words) << c.line;
}

TEST(CommandLine, WordsKnowWhereTheirRawTextLies) {
  std::string line = " C:\\Program Files\\x.txt \"q\"";
  auto words = SplitCommandLine(line);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(line.substr(words[0].begin, words[1].end - words[0].begin), "C:\\Program Files\\x.txt");
  EXPECT_FALSE(words[1].quoted);
  EXPECT_TRUE(words[2].quoted);
}

TEST(CommandLine, ProgramWordEndsAtItsQuoteOrFirstBlank) {
  struct Case {
    std::string line, program, rest;
  } cases[] = {
      {"C:\\w\\notepad.exe C:\\a b.txt", "C:\\w\\notepad.exe", " C:\\a b.txt"},
      {"\"C:\\Program Files\\x.exe\" -a", "C:\\Program Files\\x.exe", " -a"},
      {"\"C:\\dir\\\" rest", "C:\\dir\\", " rest"},  // no escapes in the program's quotes
      {"  x.exe", "x.exe", ""},
      {"\"unclosed", "unclosed", ""},
  };
  for (const auto& c : cases) {
    std::string rest;
    EXPECT_EQ(ProgramWord(c.line, rest), c.program) << c.line;
    EXPECT_EQ(rest, c.rest) << c.line;
  }
}

}  // namespace
}  // namespace win
