// Splitting a Windows command line into words, by the rules programs apply to their own command line
// (those of CommandLineToArgvW and the C runtime). Pure text work: no files, no blocking.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace win {

struct CommandLineWord {
  std::string text;   // the word with its quoting removed
  std::size_t begin;  // where its raw text starts in the line
  std::size_t end;    // one past where its raw text ends
  bool quoted;        // its raw text holds a quotation mark
};

// Words are separated by spaces and tabs outside quotation marks. A run of 2n backslashes before a
// quotation mark gives n backslashes and the mark opens or closes quoting; 2n+1 give n backslashes and a
// literal mark; backslashes elsewhere are literal; "" inside quoting is a literal mark.
std::vector<CommandLineWord> SplitCommandLine(const std::string& line);

// The program name at the start of a command line, as the system reads it: up to the closing quotation
// mark when it starts with one (no escapes), else up to the first space or tab. `rest` gets what follows.
std::string ProgramWord(const std::string& line, std::string& rest);

}  // namespace win
