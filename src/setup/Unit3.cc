#include "setup/Unit3.h"

#include "setup/Unit1.h"
#include "ui/application.h"

namespace setup {

TForm3* Form3 = nullptr;

TForm3::TForm3(ui::TComponent* owner) : ui::TForm(owner) {
  BindField("DriveComboBox1", DriveComboBox1);
  BindField("DirectoryListBox1", DirectoryListBox1);
  BindField("Label1", Label1);
  BindField("Edit1", Edit1);
  BindField("BitBtn1", BitBtn1);
  RegisterHandler("FormShow", &TForm3::FormShow);
  RegisterHandler("DirectoryListBox1Change", &TForm3::DirectoryListBox1Change);
  RegisterHandler("DirectoryListBox1Click", &TForm3::DirectoryListBox1Click);
  RegisterHandler("BitBtn1Click", &TForm3::BitBtn1Click);
  RegisterHandler<void(ui::TObject*, ui::TCloseAction&)>(
      "FormClose", [this](ui::TObject* s, ui::TCloseAction& a) { FormClose(s, a); });
  LoadLayout("Unit3.layout");
}

std::string TForm3::SuggestedPath() const {
  const std::string& dir = DirectoryListBox1->Directory();
  return dir + (!dir.empty() && dir.back() == '\\' ? "" : "\\") + "Vantiro";
}

// Every showing starts on the list (the last one may have ended on OK or in the field) and again on
// drive C, wherever the last one left the current directory. An error here (drive C not ready) ends the
// handler; the dialog shows all the same.
void TForm3::FormShow(ui::TObject*) {
  DirectoryListBox1->SetFocus();
  DirectoryListBox1->SetDirectory("C:");
  DirectoryListBox1->Update();
  ui::Application->ProcessMessages();
  Edit1->SetText(SuggestedPath());
}

// Each folder opened replaces the field, and with it anything the user typed there.
void TForm3::DirectoryListBox1Change(ui::TObject*) { Edit1->SetText(SuggestedPath()); }

// One click opens the entry.
void TForm3::DirectoryListBox1Click(ui::TObject*) { DirectoryListBox1->OpenCurrent(); }

void TForm3::BitBtn1Click(ui::TObject*) { Close(); }

// However the chooser closes, its path goes into the "Install to:" field, unchanged.
void TForm3::FormClose(ui::TObject*, ui::TCloseAction&) { Form1->Edit1->SetText(Edit1->Text()); }

}  // namespace setup
