#include "setup/Unit4.h"

#include "setup/Unit1.h"

namespace setup {

TForm4* Form4 = nullptr;

TForm4::TForm4(ui::TComponent* owner) : ui::TForm(owner) {
  BindField("Label1", Label1);
  BindField("Memo1", Memo1);
  BindField("Button1", Button1);
  BindField("Button2", Button2);
  RegisterHandler("Button1Click", &TForm4::Button1Click);
  RegisterHandler("Button2Click", &TForm4::Button2Click);
  LoadLayout("Unit4.layout");
}

void TForm4::Button1Click(ui::TObject*) {
  Form1->ShowForm();
  Close();
}

// Closing the main window asks the application to end; this dialog's loop then ends as cancelled.
void TForm4::Button2Click(ui::TObject*) { Form1->Close(); }

}  // namespace setup
