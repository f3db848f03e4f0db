#include "ui/component.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/layout.h"

namespace ui {

// ---- TComponent

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Free owned components, last made first; each removes itself from our list.
  while (!components_.empty()) delete components_.back();
  if (owner_) {
    auto& siblings = owner_->components_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : components_)
    if (c->Name == name) return c;
  return nullptr;
}

bool TComponent::ApplyProperty(const std::string& name, const LayoutValue& value, TForm&) {
  if (name == "Name") {
    Name = value.AsString();
    return true;
  }
  return false;
}

// ---- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (Application) Application->GetBackend().ControlDestroyed(*this);
  if (TForm* form = OwnerForm(); form && form != this && form->ActiveControl() == this)
    form->SetActiveControl(nullptr);
  SetParent(nullptr);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  parent_ = parent;
  if (parent_) parent_->controls_.push_back(this);
  Changed();
}

TForm* TControl::OwnerForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::SetBounds(int left, int top, int width, int height) {
  TRect r{left, top, width, height};
  if (r == bounds_) return;
  bounds_ = r;
  Changed();
}

TRect TControl::ClientRectOnForm() const {
  TRect r = bounds_;
  if (dynamic_cast<const TForm*>(this)) return TRect{0, 0, r.Width, r.Height};
  for (const TControl* p = parent_; p && !dynamic_cast<const TForm*>(p); p = p->parent_) {
    r.Left += p->bounds_.Left;
    r.Top += p->bounds_.Top;
  }
  return r;
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
  // Showing or hiding a panel changes what its siblings' controls can reach.
  if (parent_) parent_->Changed();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void TControl::SetCaption(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  Changed();
  TextChanged();
}

void TControl::SetFont(const TFont& font) {
  font_ = font;
  parent_font_ = false;
  Changed();
}

const TFont& TControl::FontUsed() const {
  if (parent_font_ && parent_) return parent_->FontUsed();
  return font_;
}

void TControl::SetColor(TColor color) {
  color_ = color;
  parent_color_ = false;
  Changed();
}

TColor TControl::ColorUsed() const {
  if (parent_color_ && parent_) return parent_->ColorUsed();
  return color_;
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

bool TControl::IsCovered() const {
  for (const TControl* node = this; node->parent_; node = node->parent_) {
    const auto& siblings = node->parent_->Controls();
    auto it = std::find(siblings.begin(), siblings.end(), node);
    for (++it; it != siblings.end(); ++it) {
      const TControl* above = *it;
      if (above->visible_ && dynamic_cast<const TPanel*>(above) &&
          above->bounds_.Intersects(node->bounds_))
        return true;
    }
  }
  return false;
}

bool TControl::IsReachable() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_ || !c->enabled_) return false;
  if (IsCovered()) return false;
  TForm* form = OwnerForm();
  return form && form->AcceptsInput();
}

void TControl::Changed() {
  if (Application) Application->GetBackend().ControlChanged(*this);
}

namespace {

TColor ParseColor(const LayoutValue& v) {
  if (v.kind == LayoutValue::Integer) return static_cast<TColor>(v.number);
  static const std::pair<const char*, TColor> kNames[] = {
      {"clBlack", clBlack},   {"clWhite", clWhite},     {"clNavy", clNavy},
      {"clTeal", clTeal},     {"clRed", clRed},         {"clGray", clGray},
      {"clSilver", clSilver}, {"clMaroon", clMaroon},   {"clBlue", clBlue},
      {"clGreen", clGreen},   {"clWindow", clWindow},   {"clWindowText", clWindowText},
      {"clBtnFace", clBtnFace}, {"clBtnText", clBtnText}};
  for (const auto& [name, color] : kNames)
    if (v.AsIdentifier() == name) return color;
  throw Exception("layout line " + std::to_string(v.line) + ": unknown colour " + v.text);
}

}  // namespace

bool TControl::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  TRect r = bounds_;
  if (name == "Left") r.Left = v.AsInt();
  else if (name == "Top") r.Top = v.AsInt();
  else if (name == "Width") r.Width = v.AsInt();
  else if (name == "Height") r.Height = v.AsInt();
  else if (name == "Caption" || name == "Text") SetCaption(v.AsString());
  else if (name == "Visible") SetVisible(v.AsBool());
  else if (name == "Enabled") SetEnabled(v.AsBool());
  else if (name == "Color") SetColor(ParseColor(v));
  else if (name == "ParentFont") parent_font_ = v.AsBool();
  else if (name == "ParentColor") parent_color_ = v.AsBool();
  else if (name.rfind("Font.", 0) == 0) {
    TFont f = font_;
    std::string field = name.substr(5);
    if (field == "Name") f.Name = v.AsString();
    else if (field == "Height") f.Height = v.AsInt();
    else if (field == "Color") f.Color = ParseColor(v);
    else if (field == "Charset") f.Charset = v.AsIdentifier() == "ANSI_CHARSET" ? ANSI_CHARSET : DEFAULT_CHARSET;
    else if (field == "Style") {
      f.Bold = v.HasItem("fsBold");
      f.Italic = v.HasItem("fsItalic");
      f.Underline = v.HasItem("fsUnderline");
    } else return false;
    SetFont(f);
  } else if (name == "OnClick") {
    OnClick = form.FindHandler<void(TObject*)>(v.AsIdentifier());
    if (!OnClick) throw Exception("layout line " + std::to_string(v.line) + ": no handler " + v.text);
  } else return TComponent::ApplyProperty(name, v, form);
  if (!(r == bounds_)) SetBounds(r.Left, r.Top, r.Width, r.Height);
  return true;
}

// ---- TWinControl

TWinControl::~TWinControl() {
  for (TControl* c : std::vector<TControl*>(controls_)) c->SetParent(nullptr);
}

bool TWinControl::CanFocus() const { return TabStop && IsReachable(); }

bool TWinControl::Focused() const {
  TForm* form = OwnerForm();
  return form && form->ActiveControl() == this;
}

void TWinControl::SetFocus() {
  if (TForm* form = OwnerForm()) form->SetActiveControl(this);
}

bool TWinControl::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "TabOrder") TabOrder = v.AsInt();
  else if (name == "TabStop") TabStop = v.AsBool();
  else return TControl::ApplyProperty(name, v, form);
  return true;
}

}  // namespace ui
