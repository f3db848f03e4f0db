#include "setup/Unit3.h"

#include "setup/Unit1.h"

namespace setup {

TForm3* Form3 = nullptr;

TForm3::TForm3(ui::TComponent* owner) : ui::TForm(owner) {
  BindField("Label1", Label1);
  BindField("Edit1", Edit1);
  BindField("BitBtn1", BitBtn1);
  RegisterHandler("BitBtn1Click", &TForm3::BitBtn1Click);
  RegisterHandler<void(ui::TObject*, ui::TCloseAction&)>(
      "FormClose", [this](ui::TObject* s, ui::TCloseAction& a) { FormClose(s, a); });
  LoadLayout("Unit3.layout");
}

void TForm3::BitBtn1Click(ui::TObject*) { Close(); }

// However the chooser closes, its path goes into the "Install to:" field, unchanged.
void TForm3::FormClose(ui::TObject*, ui::TCloseAction&) { Form1->Edit1->SetText(Edit1->Text()); }

}  // namespace setup
