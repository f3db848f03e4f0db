// Unit3: the install directory chooser TForm3, shown modally by Browse. Each showing starts on drive C's
// current directory and suggests a "Vantiro" folder inside the folder the user opens; whatever its field
// holds when it closes goes into the main window's "Install to:" field. Browsing moves the process's
// current directory; errors from the list go to the error display.
#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/file_controls.h"
#include "ui/forms.h"

namespace setup {

class TForm3 : public ui::TForm {
 public:
  explicit TForm3(ui::TComponent* owner);

  ui::TDriveComboBox* DriveComboBox1 = nullptr;
  ui::TDirectoryListBox* DirectoryListBox1 = nullptr;
  ui::TLabel* Label1 = nullptr;
  ui::TEdit* Edit1 = nullptr;      // the suggested path, or the user's edit of it
  ui::TBitBtn* BitBtn1 = nullptr;  // OK

  void FormShow(ui::TObject* sender);
  void DirectoryListBox1Change(ui::TObject* sender);
  void DirectoryListBox1Click(ui::TObject* sender);
  void BitBtn1Click(ui::TObject* sender);
  void FormClose(ui::TObject* sender, ui::TCloseAction& action);

  // The list's directory with "\Vantiro" after exactly one backslash.
  std::string SuggestedPath() const;
};

extern TForm3* Form3;

}  // namespace setup
