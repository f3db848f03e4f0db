// Unit3: the install directory chooser TForm3, shown modally by Browse. It suggests a "Vantiro" folder
// inside the folder the user opened; whatever its field holds when it closes goes into the main
// window's "Install to:" field.
#pragma once

#include "ui/controls.h"
#include "ui/forms.h"

namespace setup {

class TForm3 : public ui::TForm {
 public:
  explicit TForm3(ui::TComponent* owner);

  ui::TLabel* Label1 = nullptr;
  ui::TEdit* Edit1 = nullptr;  // the suggested path, or the user's edit of it
  ui::TBitBtn* BitBtn1 = nullptr;  // OK

  void BitBtn1Click(ui::TObject* sender);
  void FormClose(ui::TObject* sender, ui::TCloseAction& action);
};

extern TForm3* Form3;

}  // namespace setup
