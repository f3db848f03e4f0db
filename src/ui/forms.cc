#include "ui/forms.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/exceptions.h"
#include "ui/layout.h"
#include "ui/resources.h"

namespace ui {

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetColor(clBtnFace);
}

TForm::~TForm() {
  if (Application) {
    Application->PopModal(this);
    Application->GetBackend().FormHidden(*this);
  }
}

bool TForm::AcceptsInput() const {
  if (!Visible()) return false;
  TForm* top = Application->TopModalForm();
  return top == nullptr || top == this;
}

void TForm::ShowForm() {
  if (Visible()) return;
  // An error in OnShow ends that handler only: it is shown, and the form shows all the same.
  if (OnShow) {
    try {
      OnShow(this);
    } catch (const std::exception& e) {
      Application->HandleException(e);
    }
  }
  SetVisible(true);
  Application->GetBackend().FormShown(*this);
  if (!active_control_ || !active_control_->CanFocus()) {
    auto sequence = TabSequence();
    SetActiveControl(sequence.empty() ? nullptr : sequence.front());
  } else {
    Application->GetBackend().FocusChanged(*this, active_control_);
  }
}

void TForm::HideForm() {
  if (!Visible()) return;
  SetVisible(false);
  Application->GetBackend().FormHidden(*this);
}

void TForm::Close() {
  if (modal_) {
    modal_result_ = mrCancel;
    return;
  }
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application->MainForm() == this) Application->Terminate();
  else HideForm();
}

void TForm::CloseModal() {
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) modal_result_ = mrNone;
}

int TForm::ShowModal() {
  if (modal_ || Visible()) throw Exception("Cannot make a visible window modal");
  modal_ = true;
  modal_result_ = mrNone;
  Application->PushModal(this);
  struct Restore {
    TForm* form;
    ~Restore() {
      form->modal_ = false;
      form->HideForm();
      Application->PopModal(form);
    }
  } restore{this};
  ShowForm();
  for (;;) {
    // Once the quit request is taken every modal loop ends as cancelled, one entered afterwards too,
    // without waiting for input first.
    if (!Application->Terminated()) Application->HandleMessage();
    if (Application->Terminated()) {
      modal_result_ = mrCancel;
      break;
    }
    if (modal_result_ != mrNone) {
      CloseModal();
      if (modal_result_ != mrNone) break;
    }
  }
  return modal_result_;
}

void TForm::Repaint() { Application->GetBackend().RepaintNow(*this); }

void TForm::SetActiveControl(TWinControl* control) {
  active_control_ = control;
  if (Visible()) Application->GetBackend().FocusChanged(*this, control);
}

namespace {

void CollectTabOrder(const TWinControl& parent, bool reachable_only, std::vector<TWinControl*>& out) {
  std::vector<TWinControl*> children;
  for (TControl* c : parent.Controls())
    if (auto* w = dynamic_cast<TWinControl*>(c)) children.push_back(w);
  std::stable_sort(children.begin(), children.end(),
                   [](const TWinControl* a, const TWinControl* b) { return a->TabOrder < b->TabOrder; });
  for (TWinControl* w : children) {
    if (w->TabStop && (!reachable_only || w->CanFocus())) out.push_back(w);
    if (!w->Controls().empty()) CollectTabOrder(*w, reachable_only, out);
  }
}

}  // namespace

std::vector<TWinControl*> TForm::TabSequence(bool reachable_only) const {
  std::vector<TWinControl*> out;
  CollectTabOrder(*this, reachable_only, out);
  return out;
}

void TForm::SelectNext(bool forward) {
  auto sequence = TabSequence();
  if (sequence.empty()) return;
  auto it = std::find(sequence.begin(), sequence.end(), active_control_);
  size_t n = sequence.size();
  size_t index;
  if (it == sequence.end()) index = forward ? 0 : n - 1;
  else index = (static_cast<size_t>(it - sequence.begin()) + (forward ? 1 : n - 1)) % n;
  SetActiveControl(sequence[index]);
}

void TForm::LoadLayout(const std::string& resource_name) {
  ApplyLayout(ParseLayout(FindResource(resource_name), resource_name), *this);
}

bool TForm::BindComponent(const std::string& name, TComponent* component) {
  auto it = binders_.find(name);
  if (it == binders_.end()) return true;  // no field for it: the form owns it all the same
  return it->second(component);
}

bool TForm::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "ClientWidth") SetBounds(Left(), Top(), v.AsInt(), Height());
  else if (name == "ClientHeight") SetBounds(Left(), Top(), Width(), v.AsInt());
  else if (name == "BorderStyle") {
    const std::string& s = v.AsIdentifier();
    BorderStyle = s == "bsNone" ? bsNone : s == "bsSingle" ? bsSingle : s == "bsDialog" ? bsDialog
                : s == "bsToolWindow" ? bsToolWindow : bsSizeable;
  } else if (name == "BorderIcons") {
    BorderIcons.SystemMenu = v.HasItem("biSystemMenu");
    BorderIcons.Minimize = v.HasItem("biMinimize");
    BorderIcons.Maximize = v.HasItem("biMaximize");
  } else if (name == "Position") Position = v.AsIdentifier() == "poScreenCenter" ? poScreenCenter : poDesigned;
  else if (name == "OnCreate") OnCreate = FindHandler<void(TObject*)>(v.AsIdentifier());
  else if (name == "OnShow") OnShow = FindHandler<void(TObject*)>(v.AsIdentifier());
  else if (name == "OnClose") OnClose = FindHandler<void(TObject*, TCloseAction&)>(v.AsIdentifier());
  else if (name == "ActiveControl") {
    active_control_ = dynamic_cast<TWinControl*>(FindComponent(v.AsIdentifier()));
  } else if (name == "Visible") {
    (void)v.AsBool();  // forms are shown by the program, never by their layout
  } else return TWinControl::ApplyProperty(name, v, form);
  return true;
}

}  // namespace ui
