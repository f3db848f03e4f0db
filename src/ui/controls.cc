#include "ui/controls.h"

#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/layout.h"
#include "ui/resources.h"
#include "ui/text_lines.h"

namespace ui {

// ---- TLabel

TLabel::TLabel(TComponent* owner) : TControl(owner) {}

bool TLabel::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "Transparent") Transparent = v.AsBool();
  else if (name == "WordWrap") WordWrap = v.AsBool();
  else if (name == "AutoSize") (void)v.AsBool();  // sizes come from the layout as given
  else if (name == "Alignment") Alignment = v.AsIdentifier() == "taCenter" ? taCenter
                                          : v.AsIdentifier() == "taRightJustify" ? taRightJustify
                                                                                : taLeftJustify;
  else return TControl::ApplyProperty(name, v, form);
  return true;
}

// ---- TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  TabStop = true;
  SetColor(clWindow);
}

void TEdit::UserEdit(const std::string& text) {
  if (ReadOnly) return;
  SetText(MaxLength > 0 && static_cast<int>(text.size()) > MaxLength ? text.substr(0, MaxLength) : text);
}

void TEdit::TextChanged() {
  if (OnChange) OnChange(this);
}

bool TEdit::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "ReadOnly") ReadOnly = v.AsBool();
  else if (name == "MaxLength") MaxLength = v.AsInt();
  else if (name == "OnChange") OnChange = form.FindHandler<void(TObject*)>(v.AsIdentifier());
  else return TWinControl::ApplyProperty(name, v, form);
  return true;
}

// ---- TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) { TabStop = true; }

void TCheckBox::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Changed();
}

void TCheckBox::Click() {
  SetChecked(!checked_);
  TControl::Click();
}

bool TCheckBox::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "Checked" || name == "State") {
    SetChecked(v.kind == LayoutValue::Identifier && v.text == "cbChecked" ? true
               : v.kind == LayoutValue::Identifier && v.text == "cbUnchecked" ? false
                                                                              : v.AsBool());
  } else return TWinControl::ApplyProperty(name, v, form);
  return true;
}

// ---- TButton

TButton::TButton(TComponent* owner) : TWinControl(owner) { TabStop = true; }

void TButton::Click() {
  if (ModalResult != mrNone)
    if (TForm* form = OwnerForm()) form->SetModalResult(ModalResult);
  TControl::Click();
}

bool TButton::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "Default") Default = v.AsBool();
  else if (name == "Cancel") Cancel = v.AsBool();
  else if (name == "ModalResult") ModalResult = v.AsInt();
  else if (name == "Kind" || name == "Glyph.Resource") (void)v;  // no stock glyphs here
  else return TWinControl::ApplyProperty(name, v, form);
  return true;
}

// ---- TPanel

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}

bool TPanel::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "BevelOuter") {
    const std::string& b = v.AsIdentifier();
    BevelOuter = b == "bvNone" ? bvNone : b == "bvLowered" ? bvLowered : bvRaised;
  } else return TWinControl::ApplyProperty(name, v, form);
  Changed();
  return true;
}

// ---- TImage

TImage::TImage(TComponent* owner) : TControl(owner) {}

void TImage::SetPicture(const std::string& resource_name) {
  picture_ = FindResource(resource_name);
  picture_name_ = resource_name;
  Changed();
}

bool TImage::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "Picture.Resource") SetPicture(v.AsString());
  else return TControl::ApplyProperty(name, v, form);
  return true;
}

// ---- TMemo

TMemo::TMemo(TComponent* owner) : TWinControl(owner) {
  TabStop = true;
  SetColor(clWindow);
}

void TMemo::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Changed();
}

void TMemo::SetLinesText(std::string_view text) {
  std::vector<std::string> lines = SplitLines(text);
  if (lines.back().empty()) lines.pop_back();  // a closing line break starts no line of its own
  SetLines(std::move(lines));
}

bool TMemo::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "ReadOnly") ReadOnly = v.AsBool();
  else if (name == "WordWrap") WordWrap = v.AsBool();
  else if (name == "ScrollBars") {
    const std::string& s = v.AsIdentifier();
    ScrollBars = s == "ssVertical" ? ssVertical : s == "ssHorizontal" ? ssHorizontal
               : s == "ssBoth" ? ssBoth : ssNone;
  } else if (name == "Lines.Strings") {
    if (v.kind != LayoutValue::List) throw Exception("layout line " + std::to_string(v.line) + ": list expected");
    SetLines(v.items);
  } else if (name == "Lines.Resource") {
    SetLinesText(FindResource(v.AsString()));
  } else return TWinControl::ApplyProperty(name, v, form);
  return true;
}

}  // namespace ui
