// Unit4: the licence agreement dialog TForm4, shown modally once at start. Agree goes on in the main
// window; Cancel closes the main window, which ends the program. Agreeing is recorded nowhere.
#pragma once

#include "ui/controls.h"
#include "ui/forms.h"

namespace setup {

class TForm4 : public ui::TForm {
 public:
  explicit TForm4(ui::TComponent* owner);

  ui::TLabel* Label1 = nullptr;
  ui::TMemo* Memo1 = nullptr;      // the agreement text
  ui::TButton* Button1 = nullptr;  // Agree
  ui::TButton* Button2 = nullptr;  // Cancel

  void Button1Click(ui::TObject* sender);
  void Button2Click(ui::TObject* sender);
};

extern TForm4* Form4;

}  // namespace setup
