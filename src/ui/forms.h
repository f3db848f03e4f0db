// A form: a top-level window with a caption, a client area of fixed size, border and title-bar
// buttons, and a place on the screen. ShowModal runs a nested message loop until the form closes or
// the application terminates. Forms hold the installer's handler table for their layouts.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>

#include "ui/component.h"

namespace ui {

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum TPosition { poDesigned, poScreenCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

struct TBorderIcons {
  bool SystemMenu = true;
  bool Minimize = true;
  bool Maximize = true;
  bool operator==(const TBorderIcons&) const = default;
};

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // The client area's size (the form's bounds are its client area on the screen).
  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }

  TBorderStyle BorderStyle = bsSizeable;
  TBorderIcons BorderIcons;
  TPosition Position = poDesigned;
  // True once the backend placed the form (centring happens on the first showing only).
  bool Placed = false;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TCloseEvent OnClose;

  // Shows the form (OnShow first; an error there goes to the error display), modeless.
  void ShowForm();
  void HideForm();
  // Closes the form: a modal form ends its loop as cancelled (OnClose runs when the loop closes it);
  // otherwise OnClose runs and the form hides, or, for the main form, the application terminates.
  void Close();
  // Shows the form modally and runs a nested loop until it closes; returns the modal result
  // (mrCancel when the application terminated meanwhile, without running OnClose).
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int result) { modal_result_ = result; }
  // Draws the form now, before the running handler goes on.
  void Repaint();

  // The control with the focus on this form, or null.
  TWinControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TWinControl* control);
  // Moves the focus to the next (or previous) focusable control in tab order.
  void SelectNext(bool forward);
  // The focusable controls of the form in tab order (depth-first by TabOrder).
  std::vector<TWinControl*> TabSequence(bool reachable_only = true) const;
  // True when the form takes input: visible and not below a modal form.
  bool AcceptsInput() const;

  // Loads the form's layout (from the named resource) and binds its fields and handlers.
  void LoadLayout(const std::string& resource_name);

  // Handler table for layouts: OnClick = BitBtn1Click finds the function registered here.
  template <class Sig>
  void RegisterHandler(const std::string& name, std::function<Sig> handler) {
    handlers_[name] = std::move(handler);
  }
  template <class Form>
  void RegisterHandler(const std::string& name, void (Form::*method)(TObject*)) {
    Form* self = static_cast<Form*>(this);
    RegisterHandler<void(TObject*)>(name, [self, method](TObject* s) { (self->*method)(s); });
  }
  template <class Sig>
  std::function<Sig> FindHandler(const std::string& name) const {
    auto it = handlers_.find(name);
    if (it == handlers_.end()) return nullptr;
    const auto* f = std::any_cast<std::function<Sig>>(&it->second);
    return f ? *f : nullptr;
  }
  bool HasHandler(const std::string& name) const { return handlers_.count(name) != 0; }

  // Field binding for layouts: the component named `name` is stored in `field` once created.
  template <class T>
  void BindField(const std::string& name, T*& field) {
    binders_[name] = [&field](TComponent* c) {
      field = dynamic_cast<T*>(c);
      return field != nullptr;
    };
  }
  // Called by the layout loader for every component it creates.
  bool BindComponent(const std::string& name, TComponent* component);

  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

 private:
  void CloseModal();
  std::map<std::string, std::any> handlers_;
  std::map<std::string, std::function<bool(TComponent*)>> binders_;
  TWinControl* active_control_ = nullptr;
  bool modal_ = false;
  int modal_result_ = 0;  // mrNone
};

}  // namespace ui
