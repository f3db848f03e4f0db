#include "win/registry_text.h"

#include <cstdio>

#include "win/codepage.h"
#include "win/registry.h"

namespace win {
namespace {

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;  // levels below the root, as Windows allows
// regedit keeps continued hex lines within 80 columns, the ",\" included.
constexpr size_t kLineWidth = 80;

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits.
bool ParseHexNumber(std::string_view s, DWORD& value) {
  if (s.empty() || s.size() > 8) return false;
  value = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    value = value << 4 | static_cast<DWORD>(d);
  }
  return true;
}

// The file split into lines, CRLF or LF ends, with 1-based numbers.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int number_ = 0;
};

class Parser {
 public:
  Parser(std::string_view text, RegistryHive& hive, RegistryTextError& error)
      : lines_(text), hive_(hive), error_(error) {}

  bool Run() {
    std::string_view line;
    // An empty file (nothing but blank lines) is an empty hive.
    bool any = false;
    while (lines_.Next(line)) {
      if (TrimRight(line).empty()) continue;
      any = true;
      break;
    }
    if (!any) return true;
    if (TrimRight(line) != "REGEDIT4") return Fail(lines_.number(), "the first line is not REGEDIT4");
    while (lines_.Next(line)) {
      std::string_view s = TrimRight(TrimLeft(line));
      if (s.empty() || s.front() == ';') continue;
      bool ok = s.front() == '[' ? KeyLine(s) : ValueLine(s);
      if (!ok) return false;
    }
    return true;
  }

 private:
  bool Fail(int line, std::string message) {
    error_.line = line;
    error_.message = std::move(message);
    return false;
  }

  bool KeyLine(std::string_view s) {
    if (s.back() != ']') return Fail(lines_.number(), "a key line does not end with ']'");
    std::string_view path = s.substr(1, s.size() - 2);
    if (!path.empty() && path.front() == '-')
      return Fail(lines_.number(), "key removal has no place in a hive");
    std::string_view root = path.substr(0, path.find('\\'));
    std::string_view rest = root.size() < path.size() ? path.substr(root.size() + 1) : std::string_view();
    const char* own = HiveRootName(hive_.root());
    if (!EqualNoCase(root, own)) {
      std::string message = "key '" + std::string(path) + "' is not under " + own;
      return Fail(lines_.number(), message);
    }
    if (root.size() < path.size() && rest.empty())
      return Fail(lines_.number(), "empty key name in '" + std::string(path) + "'");
    if (!IsValidKeyPath(rest)) return Fail(lines_.number(), "bad key name '" + std::string(path) + "'");
    key_ = &hive_.CreateKey(rest);
    return true;
  }

  // Reads a quoted string at the front of `s` (escapes \\ and \"), leaving `s` after the closing quote.
  bool QuotedString(std::string_view& s, std::string& out, int line) {
    out.clear();
    size_t i = 1;
    for (; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') break;
      if (c == '\\') {
        if (i + 1 == s.size()) {
          i = s.size();
          break;
        }
        char next = s[++i];
        if (next != '\\' && next != '"') return Fail(line, std::string("unknown escape '\\") + next + "'");
        out += next;
        continue;
      }
      out += c;
    }
    if (i >= s.size()) return Fail(line, "a quoted string has no closing quote");
    s.remove_prefix(i + 1);
    return true;
  }

  bool ValueLine(std::string_view s) {
    int line = lines_.number();
    if (!key_) return Fail(line, "a value before any key");
    std::string name;
    if (s.front() == '@') {
      s.remove_prefix(1);
    } else if (s.front() == '"') {
      if (!QuotedString(s, name, line)) return false;
      // A name the hive could not hold (a zero byte, a line break) would be written back as another.
      if (!IsValidValueName(name)) return Fail(line, "bad value name");
    } else {
      return Fail(line, "expected a key, a value or a blank line");
    }
    s = TrimLeft(s);
    if (s.empty() || s.front() != '=') return Fail(line, "expected '=' after the value name");
    s = TrimLeft(s.substr(1));

    std::string data;
    DWORD type;
    if (!s.empty() && s.front() == '"') {
      if (!QuotedString(s, data, line)) return false;
      if (!TrimLeft(s).empty()) return Fail(line, "text after the closing quote");
      data += '\0';
      type = REG_SZ;
    } else if (StartsWithNoCase(s, "dword:")) {
      DWORD number;
      if (!ParseHexNumber(s.substr(6), number))
        return Fail(line, "bad dword '" + std::string(s.substr(6)) + "'");
      for (int i = 0; i < 4; ++i) data += static_cast<char>(number >> (8 * i) & 0xFF);
      type = REG_DWORD;
    } else if (StartsWithNoCase(s, "hex")) {
      if (!HexData(s.substr(3), type, data, line)) return false;
    } else if (s == "-") {
      return Fail(line, "value removal has no place in a hive");
    } else {
      return Fail(line, "unknown data '" + std::string(s) + "'");
    }
    key_->SetValue(name, type, data);
    return true;
  }

  // `s` follows "hex": "(N):" or ":", then bytes separated by commas, continued on the next lines while a
  // line ends with '\'.
  bool HexData(std::string_view s, DWORD& type, std::string& data, int line) {
    type = REG_BINARY;
    if (!s.empty() && s.front() == '(') {
      size_t close = s.find(')');
      if (close == std::string_view::npos || !ParseHexNumber(s.substr(1, close - 1), type))
        return Fail(line, "bad type in '" + std::string(s) + "'");
      s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != ':') return Fail(line, "expected ':' after hex");
    std::string list(s.substr(1));
    for (;;) {
      std::string_view trimmed = TrimRight(list);
      if (trimmed.empty() || trimmed.back() != '\\') break;
      list.resize(trimmed.size() - 1);
      std::string_view next;
      if (!lines_.Next(next)) return Fail(lines_.number(), "the hex list goes on past the end of the file");
      list += TrimLeft(next);
    }
    std::string_view rest = TrimRight(list);
    if (rest.empty()) return true;
    for (;;) {
      std::string_view item = TrimRight(TrimLeft(rest.substr(0, rest.find(','))));
      if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0)
        return Fail(line, "bad hex byte '" + std::string(item) + "'");
      data += static_cast<char>(HexDigit(item[0]) << 4 | HexDigit(item[1]));
      size_t comma = rest.find(',');
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    return true;
  }

  LineReader lines_;
  RegistryHive& hive_;
  RegistryTextError& error_;
  HiveKey* key_ = nullptr;  // the key whose values follow
};

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// A string that "..." gives back exactly: one closing zero, no other zero, no line break.
bool FitsQuotedString(std::string_view data) {
  if (data.empty() || data.back() != '\0') return false;
  data.remove_suffix(1);
  return data.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendHexList(std::string& out, size_t line_start, std::string_view data) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < data.size(); ++i) {
    bool last = i + 1 == data.size();
    // Room for "xx," and the continuation's '\' on this line; else continue on the next (a long value
    // name may leave no room even for the first byte).
    if (out.size() - line_start + 4 > kLineWidth) {
      out += "\\\r\n  ";
      line_start = out.size() - 2;
    }
    unsigned char byte = static_cast<unsigned char>(data[i]);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
    if (!last) out += ',';
  }
}

void AppendValue(std::string& out, const HiveValue& value) {
  size_t line_start = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, value.name);
  }
  out += '=';
  if (value.type == REG_SZ && FitsQuotedString(value.data)) {
    AppendQuoted(out, std::string_view(value.data).substr(0, value.data.size() - 1));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.data[i]);
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
    out += text;
  } else {
    if (value.type == REG_BINARY) {
      out += "hex:";
    } else {
      char text[24];
      std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
      out += text;
    }
    AppendHexList(out, line_start, value.data);
  }
  out += "\r\n";
}

}  // namespace

const char* HiveRootName(HiveRoot root) {
  return root == HiveRoot::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool IsValidKeyPath(std::string_view path) {
  if (path.empty()) return true;
  size_t start = 0;
  for (size_t depth = 1; depth <= kMaxKeyDepth; ++depth) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view component = path.substr(start, end - start);
    if (component.empty() || component.size() > kMaxKeyNameLength) return false;
    for (char c : component) {
      if (static_cast<unsigned char>(c) < 0x20) return false;
    }
    if (end == path.size()) return true;
    start = end + 1;
  }
  return false;  // deeper than a registry nests keys
}

bool IsValidValueName(std::string_view name) {
  return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

const HiveValue* HiveKey::FindValue(std::string_view name) const {
  for (const HiveValue& value : values) {
    if (EqualNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

void HiveKey::SetValue(std::string_view name, DWORD type, std::string_view data) {
  for (HiveValue& value : values) {
    if (EqualNoCase(value.name, name)) {
      value.type = type;
      value.data = data;
      return;
    }
  }
  values.push_back(HiveValue{std::string(name), type, std::string(data)});
}

bool HiveKey::DeleteValue(std::string_view name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualNoCase(it->name, name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

RegistryHive::RegistryHive(HiveRoot root) : root_(root) {
  keys_.push_back(HiveKey{});
  index_[""] = 0;
}

const HiveKey* RegistryHive::FindKey(std::string_view path) const {
  auto it = index_.find(CharUpperA(path));
  return it == index_.end() ? nullptr : &keys_[it->second];
}

HiveKey* RegistryHive::FindKey(std::string_view path) {
  auto it = index_.find(CharUpperA(path));
  return it == index_.end() ? nullptr : &keys_[it->second];
}

HiveKey& RegistryHive::CreateKey(std::string_view path, bool* created) {
  if (created) *created = false;
  if (HiveKey* key = FindKey(path)) return *key;
  // The nearest ancestor that exists, then each missing level from there down: keys come after their
  // parents and take the parent's spelling.
  size_t have = path.size();
  const HiveKey* parent = nullptr;
  while (!parent) {
    have = path.rfind('\\', have == path.size() ? std::string_view::npos : have - 1);
    if (have == std::string_view::npos) break;
    parent = FindKey(path.substr(0, have));
  }
  std::string full = parent ? parent->path : "";
  size_t start = parent ? have + 1 : 0;
  for (;;) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (!full.empty()) full += '\\';
    full.append(path.substr(start, end - start));
    index_[CharUpperA(full)] = keys_.size();
    keys_.push_back(HiveKey{full, {}});
    if (end == path.size()) break;
    start = end + 1;
  }
  if (created) *created = true;
  return keys_.back();
}

bool ParseRegistryText(std::string_view text, RegistryHive& hive, RegistryTextError& error) {
  return Parser(text, hive, error).Run();
}

std::string FormatRegistryText(const RegistryHive& hive) {
  std::string out = "REGEDIT4\r\n";
  for (const HiveKey& key : hive.keys()) {
    if (key.path.empty() && key.values.empty()) continue;
    out += "\r\n[";
    out += HiveRootName(hive.root());
    if (!key.path.empty()) {
      out += '\\';
      out += key.path;
    }
    out += "]\r\n";
    for (const HiveValue& value : key.values) AppendValue(out, value);
  }
  out += "\r\n";
  return out;
}

}  // namespace win
