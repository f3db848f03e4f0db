// The system code page (Windows-1252) and its boundary with UTF-8 (host file names, the display).
#pragma once

#include <string>
#include <string_view>

#include "win/types.h"

namespace win {

// Windows-1252 bytes to UTF-8. Every byte maps (the five undefined ones to U+FFFD).
std::string AnsiToUtf8(const std::string& ansi);

// UTF-8 to Windows-1252; characters the code page lacks, and malformed bytes, become '?'.
std::string Utf8ToAnsi(const std::string& utf8);

enum : UINT { CP_ACP = 0, CP_UTF8 = 65001 };
// MultiByteToWideChar for whole strings: `text` in code page `code_page` (CP_ACP = Windows-1252).
std::u16string MultiByteToWideChar(UINT code_page, const std::string& text);

// UTF-16 to Windows-1252 ('?' for what the code page lacks).
std::string WideCharToMultiByte(UINT code_page, const std::u16string& text);

// Upper case in Windows-1252, the way Windows compares names (files, registry keys and values, window
// titles): a-z and the accented letters fold onto their capitals; everything else stays.
std::string CharUpperA(std::string_view text);

// True when `a` and `b` are the same name but for case, compared as above.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace win
