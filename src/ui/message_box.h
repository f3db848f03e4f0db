// The framework's message box: a small modal dialog built from the standard controls, so that every
// backend shows it and tests answer it through the same input path as any dialog.
#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/forms.h"
#include "ui/text_lines.h"

namespace ui {

class TMessageForm : public TForm {
 public:
  TMessageForm(TComponent* owner, const std::string& text, const std::string& caption, unsigned flags);

  TLabel* Message = nullptr;
  TImage* Icon = nullptr;  // null without an icon
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;  // null for a box with OK only
  StockIcon IconKind = StockIcon::None;
};

}  // namespace ui
