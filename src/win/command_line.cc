#include "win/command_line.h"

namespace win {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<CommandLineWord> SplitCommandLine(const std::string& line) {
  std::vector<CommandLineWord> words;
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n) return words;
    CommandLineWord word{"", i, i, false};
    bool in_quotes = false;
    while (i < n && (in_quotes || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        std::size_t run = 0;
        while (i < n && line[i] == '\\') ++run, ++i;
        if (i < n && line[i] == '"') {
          word.text.append(run / 2, '\\');
          if (run % 2 == 1) {
            word.text += '"';
            word.quoted = true;
            ++i;
          }
          // with an even run the mark is handled as a quote below
        } else {
          word.text.append(run, '\\');
        }
        continue;
      }
      if (line[i] == '"') {
        word.quoted = true;
        if (in_quotes && i + 1 < n && line[i + 1] == '"') {
          word.text += '"';
          i += 2;
          continue;
        }
        in_quotes = !in_quotes;
        ++i;
        continue;
      }
      word.text += line[i++];
    }
    word.end = i;
    words.push_back(std::move(word));
  }
}

std::string ProgramWord(const std::string& line, std::string& rest) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() && line[i] == '"') {
    std::size_t close = line.find('"', i + 1);
    if (close == std::string::npos) {
      rest.clear();
      return line.substr(i + 1);
    }
    rest = line.substr(close + 1);
    return line.substr(i + 1, close - i - 1);
  }
  std::size_t end = i;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  rest = line.substr(end);
  return line.substr(i, end - i);
}

}  // namespace win
