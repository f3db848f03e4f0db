#include "win/codepage.h"

namespace win {
namespace {

unsigned char Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  // The Windows-1252 letters: à..þ (less ÷) fold onto À..Þ; š, œ, ž, ÿ onto Š, Œ, Ž, Ÿ.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

}  // namespace

std::string CharUpperA(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
  return upper;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(static_cast<unsigned char>(a[i])) != Upper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace win
