// Code-page conversion through the C library's iconv. Converters are opened once per thread.
#include "win/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace win {
namespace {

// One converter between two encodings, opened on first use by this thread.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of `in`. At each sequence the target lacks, or that is malformed, `replacement` is
  // written and `skip(position, remaining)` bytes of input are passed over.
  template <class Skip>
  std::string Run(const std::string& in, const std::string& replacement, std::size_t max_growth, Skip skip) {
    std::string out;
    if (handle_ == reinterpret_cast<iconv_t>(-1)) return out;
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * max_growth + replacement.size() + 8);
    char* source = const_cast<char*>(in.data());
    std::size_t source_left = in.size();
    char* target = out.data();
    std::size_t target_left = out.size();
    while (source_left > 0) {
      if (iconv(handle_, &source, &source_left, &target, &target_left) != static_cast<std::size_t>(-1)) break;
      if (errno != EILSEQ && errno != EINVAL)
        break;  // E2BIG cannot happen: the buffer is sized for the worst
      if (target_left < replacement.size()) break;
      for (char c : replacement) *target++ = c;
      target_left -= replacement.size();
      std::size_t n = skip(reinterpret_cast<const unsigned char*>(source), source_left);
      source += n;
      source_left -= n;
    }
    out.resize(out.size() - target_left);
    return out;
  }

 private:
  iconv_t handle_;
};

// Length of the UTF-8 sequence at `s` when it is well formed, else 1 (the bad byte alone).
std::size_t Utf8SequenceLength(const unsigned char* s, std::size_t left) {
  std::size_t length = s[0] < 0x80                    ? 1
                       : s[0] >= 0xC2 && s[0] <= 0xDF ? 2
                       : s[0] >= 0xE0 && s[0] <= 0xEF ? 3
                       : s[0] >= 0xF0 && s[0] <= 0xF4 ? 4
                                                      : 1;
  // A character cut short by the end of the text counts as one.
  std::size_t present = length < left ? length : left;
  for (std::size_t i = 1; i < present; ++i)
    if ((s[i] & 0xC0) != 0x80) return 1;
  return present;
}

std::size_t OneByte(const unsigned char*, std::size_t) { return 1; }
std::size_t OneUnit(const unsigned char*, std::size_t left) { return left >= 2 ? 2 : left; }

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

std::string Utf16ToBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::u16string BytesToUtf16(const std::string& bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  return text;
}

std::string Utf8ToUtf16Bytes(const std::string& utf8) {
  thread_local Converter converter("UTF-16LE", "UTF-8");
  return converter.Run(utf8, std::string("\xFD\xFF", 2), 4, Utf8SequenceLength);
}

std::string Utf16BytesToUtf8(const std::string& bytes) {
  thread_local Converter converter("UTF-8", "UTF-16LE");
  return converter.Run(bytes, kReplacementUtf8, 2, OneUnit);
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
  thread_local Converter converter("UTF-8", "WINDOWS-1252");
  return converter.Run(ansi, kReplacementUtf8, 3, OneByte);
}

std::string Utf8ToAnsi(const std::string& utf8) {
  thread_local Converter converter("WINDOWS-1252", "UTF-8");
  return converter.Run(utf8, "?", 1, Utf8SequenceLength);
}

std::u16string MultiByteToWideChar(UINT code_page, const std::string& text) {
  return BytesToUtf16(Utf8ToUtf16Bytes(code_page == CP_UTF8 ? text : AnsiToUtf8(text)));
}

std::string WideCharToMultiByte(UINT code_page, const std::u16string& text) {
  std::string utf8 = Utf16BytesToUtf8(Utf16ToBytes(text));
  return code_page == CP_UTF8 ? utf8 : Utf8ToAnsi(utf8);
}

}  // namespace win
