// Declarative form layouts in a small text format:
//   object Form1: TForm1          a component: its name and class
//     Caption = 'Installation'    properties: integers, 'strings' ('' is a quote, #233 a character
//     Font.Style = [fsUnderline]  code), identifiers, [sets] and ( 'lists' ) of strings
//     OnClick = BitBtn1Click      events name handlers the form registered
//     object Label1: TLabel ... end
//   end
// Loading creates each child component, applies its properties, and binds it to the form's field.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

class TComponent;
class TForm;

struct LayoutValue {
  enum Kind { Integer, String, Identifier, Set, List } kind = Integer;
  long long number = 0;
  std::string text;                // String and Identifier
  std::vector<std::string> items;  // Set (identifiers) and List (strings)
  int line = 0;

  // Each raises ui::Exception naming the line when the value is of another kind.
  int AsInt() const;
  const std::string& AsString() const;
  const std::string& AsIdentifier() const;
  bool AsBool() const;
  bool HasItem(const std::string& item) const;
};

struct LayoutProperty {
  std::string name;
  LayoutValue value;
};

struct LayoutNode {
  std::string name;
  std::string class_name;
  std::vector<LayoutProperty> properties;
  std::vector<LayoutNode> children;
  int line = 0;
};

// Parses a layout; raises ui::Exception with the source name and line on a syntax error.
LayoutNode ParseLayout(std::string_view text, const std::string& source_name);

// Applies `root` to `form` (its own properties) and creates its children, owned by the form.
// Raises ui::Exception for an unknown class, property, handler or field of the wrong type.
void ApplyLayout(const LayoutNode& root, TForm& form);

// Creates a component of a class the layouts may name, owned by `owner`; null when unknown.
TComponent* CreateComponentOfClass(const std::string& class_name, TComponent* owner);

}  // namespace ui
