// The standard controls: label, one-line edit, check box, push and bitmap buttons, panel, picture and
// read-only memo. Each keeps its own state; user input reaches them through the application's input
// path (application.h), never directly from a backend.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/component.h"

namespace ui {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);
  bool Transparent = true;
  bool WordWrap = false;
  TAlignment Alignment = taLeftJustify;
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  TNotifyEvent OnChange;
  bool ReadOnly = false;
  int MaxLength = 0;  // 0: no limit
  // What typing does: the text becomes `text` (Windows-1252), OnChange fires.
  void UserEdit(const std::string& text);
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

 protected:
  void TextChanged() override;
};

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  void Click() override;  // toggles, then OnClick
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

 private:
  bool checked_ = false;
};

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  int ModalResult = mrNone;  // given to the form when clicked
  bool Default = false;      // Enter presses it wherever the focus is
  bool Cancel = false;       // Escape presses it
  void Click() override;
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;
};

// A button that may carry a picture; here the picture is optional and drawn left of the caption.
class TBitBtn : public TButton {
 public:
  using TButton::TButton;
};

enum TPanelBevel { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  TPanelBevel BevelOuter = bvRaised;
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;
};

enum class StockIcon { None, Error, Warning, Information };

// A picture drawn at its own size from its top-left corner, cut to the control's rectangle.
class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner);
  // The picture's resource name and encoded bytes (PNG).
  const std::string& PictureName() const { return picture_name_; }
  std::string_view PictureData() const { return picture_; }
  void SetPicture(const std::string& resource_name);
  // A system icon drawn instead of a picture (message boxes).
  StockIcon Stock = StockIcon::None;
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

 private:
  std::string picture_name_;
  std::string_view picture_;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);
  bool ReadOnly = false;
  bool WordWrap = true;
  TScrollStyle ScrollBars = ssNone;
  // The text's lines, without line ends.
  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(std::vector<std::string> lines);
  // Splits `text` at CR LF, LF or CR.
  void SetLinesText(std::string_view text);
  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

 private:
  std::vector<std::string> lines_;
};

}  // namespace ui
