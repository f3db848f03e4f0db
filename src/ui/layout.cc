#include "ui/layout.h"

#include <cctype>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/timer.h"

namespace ui {

namespace {

[[noreturn]] void Fail(const std::string& source, int line, const std::string& what) {
  throw Exception("layout " + source + " line " + std::to_string(line) + ": " + what);
}

class Parser {
 public:
  Parser(std::string_view text, const std::string& source) : text_(text), source_(source) {}

  LayoutNode Object() {
    LayoutNode node;
    Expect("object");
    node.line = line_;
    node.name = Identifier();
    Skip();
    if (!Eat(':')) Fail(source_, line_, "':' expected after object name");
    node.class_name = Identifier();
    for (;;) {
      Skip();
      std::string word = PeekWord();
      if (word == "end") {
        Expect("end");
        return node;
      }
      if (word == "object") {
        node.children.push_back(Object());
        continue;
      }
      if (word.empty()) Fail(source_, line_, "property, object or end expected");
      LayoutProperty property;
      property.name = Identifier();
      Skip();
      if (!Eat('=')) Fail(source_, line_, "'=' expected after " + property.name);
      property.value = Value();
      node.properties.push_back(std::move(property));
    }
  }

  void End() {
    Skip();
    if (pos_ != text_.size()) Fail(source_, line_, "text after the last end");
  }

 private:
  void Skip() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') ++line_;
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }
  bool Eat(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  static bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
  std::string PeekWord() {
    size_t end = pos_;
    while (end < text_.size() && WordChar(text_[end])) ++end;
    return std::string(text_.substr(pos_, end - pos_));
  }
  std::string Identifier() {
    Skip();
    std::string word = PeekWord();
    if (word.empty() || std::isdigit(static_cast<unsigned char>(word[0])))
      Fail(source_, line_, "name expected");
    pos_ += word.size();
    return word;
  }
  void Expect(const char* word) {
    Skip();
    if (PeekWord() != word) Fail(source_, line_, std::string("'") + word + "' expected");
    pos_ += std::string_view(word).size();
  }

  // 'text' parts and #nnn character codes, joined with or without '+'.
  std::string String() {
    std::string out;
    for (;;) {
      Skip();
      if (Eat('\'')) {
        for (;;) {
          if (pos_ >= text_.size() || text_[pos_] == '\n') Fail(source_, line_, "unterminated string");
          char c = text_[pos_++];
          if (c == '\'') {
            if (Eat('\'')) out += '\'';
            else break;
          } else {
            out += c;
          }
        }
      } else if (Eat('#')) {
        size_t start = pos_;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        if (start == pos_) Fail(source_, line_, "character code expected after #");
        int code = std::stoi(std::string(text_.substr(start, pos_ - start)));
        if (code > 255) Fail(source_, line_, "character code above 255");
        out += static_cast<char>(code);
      } else {
        return out;
      }
      // 'a'#13'b' joins parts written together; 'a' + 'b' joins across spaces; anything else ends the
      // string, so that the items of a ( ... ) list stay apart.
      if (pos_ < text_.size() && (text_[pos_] == '\'' || text_[pos_] == '#')) continue;
      size_t before = pos_;
      int line_before = line_;
      Skip();
      if (Eat('+')) continue;
      pos_ = before;
      line_ = line_before;
      return out;
    }
  }

  LayoutValue Value() {
    Skip();
    LayoutValue v;
    v.line = line_;
    if (pos_ >= text_.size()) Fail(source_, line_, "value expected");
    char c = text_[pos_];
    if (c == '\'' || c == '#') {
      v.kind = LayoutValue::String;
      v.text = String();
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      v.kind = LayoutValue::Integer;
      size_t start = pos_++;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      if (pos_ - start == 1 && c == '-') Fail(source_, line_, "number expected after -");
      v.number = std::stoll(std::string(text_.substr(start, pos_ - start)));
    } else if (c == '$') {
      ++pos_;
      size_t start = pos_;
      while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      if (pos_ == start) Fail(source_, line_, "hex digits expected after $");
      v.kind = LayoutValue::Integer;
      v.number = std::stoll(std::string(text_.substr(start, pos_ - start)), nullptr, 16);
    } else if (c == '[') {
      ++pos_;
      v.kind = LayoutValue::Set;
      Skip();
      while (!Eat(']')) {
        v.items.push_back(Identifier());
        Skip();
        Eat(',');
        Skip();
      }
    } else if (c == '(') {
      ++pos_;
      v.kind = LayoutValue::List;
      Skip();
      while (!Eat(')')) {
        if (pos_ >= text_.size()) Fail(source_, line_, "unterminated list");
        v.items.push_back(String());
        Skip();
      }
    } else {
      v.kind = LayoutValue::Identifier;
      v.text = Identifier();
    }
    return v;
  }

  std::string_view text_;
  std::string source_;
  size_t pos_ = 0;
  int line_ = 1;
};

void ApplyProperties(const LayoutNode& node, TComponent& component, TForm& form) {
  for (const LayoutProperty& p : node.properties) {
    bool is_event = p.name.size() > 2 && p.name.rfind("On", 0) == 0 && std::isupper(static_cast<unsigned char>(p.name[2]));
    if (is_event && !form.HasHandler(p.value.AsIdentifier()))
      throw Exception("layout line " + std::to_string(p.value.line) + ": the form has no handler " + p.value.text);
    if (!component.ApplyProperty(p.name, p.value, form))
      throw Exception("layout line " + std::to_string(p.value.line) + ": " + node.class_name +
                      " has no property " + p.name);
  }
}

void CreateChildren(const LayoutNode& node, TWinControl* parent, TForm& form) {
  for (const LayoutNode& child : node.children) {
    TComponent* component = CreateComponentOfClass(child.class_name, &form);
    if (!component) throw Exception("layout line " + std::to_string(child.line) + ": unknown class " + child.class_name);
    component->Name = child.name;
    if (auto* control = dynamic_cast<TControl*>(component)) control->SetParent(parent);
    if (!form.BindComponent(child.name, component))
      throw Exception("layout line " + std::to_string(child.line) + ": " + child.name + " is not of its field's class");
    ApplyProperties(child, *component, form);
    if (auto* container = dynamic_cast<TWinControl*>(component)) CreateChildren(child, container, form);
    else if (!child.children.empty())
      throw Exception("layout line " + std::to_string(child.line) + ": " + child.name + " cannot hold controls");
    component->Loaded();
  }
}

}  // namespace

int LayoutValue::AsInt() const {
  if (kind != Integer) throw Exception("layout line " + std::to_string(line) + ": number expected");
  return static_cast<int>(number);
}

const std::string& LayoutValue::AsString() const {
  if (kind != String) throw Exception("layout line " + std::to_string(line) + ": string expected");
  return text;
}

const std::string& LayoutValue::AsIdentifier() const {
  if (kind != Identifier) throw Exception("layout line " + std::to_string(line) + ": name expected");
  return text;
}

bool LayoutValue::AsBool() const {
  if (kind == Identifier && (text == "True" || text == "true")) return true;
  if (kind == Identifier && (text == "False" || text == "false")) return false;
  throw Exception("layout line " + std::to_string(line) + ": True or False expected");
}

bool LayoutValue::HasItem(const std::string& item) const {
  for (const auto& i : items)
    if (i == item) return true;
  return false;
}

LayoutNode ParseLayout(std::string_view text, const std::string& source_name) {
  Parser parser(text, source_name);
  LayoutNode root = parser.Object();
  parser.End();
  return root;
}

void ApplyLayout(const LayoutNode& root, TForm& form) {
  form.Name = root.name;
  CreateChildren(root, &form, form);
  // The form's own properties last, so that references to its controls (ActiveControl) resolve.
  ApplyProperties(root, form, form);
  form.Loaded();
}

}  // namespace ui
