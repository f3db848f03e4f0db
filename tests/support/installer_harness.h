// Runs the whole installer in-process on the headless backend, against a fresh system root and a
// product folder (C:\Temp\Setup, the start directory) holding the six shipped files. Tests script the
// person with the backend's Then/When steps and the helpers below, call Run(), then look at files,
// hives and what the windows showed.
#pragma once

#include <string>
#include <vector>

#include "support/temp_root.h"
#include "ui/headless/headless_backend.h"
#include "ui/message_box.h"

namespace testing_support {

struct ShownBox {
  std::string caption;
  std::string text;
  ui::StockIcon icon;
  ui::Millis at;
};

// The message the installer shows when its main program cannot be copied.
inline constexpr char kCopyFailedText[] =
    "There was an error installing Vantiro.\r\rBe sure that you have closed any previous version of Vantiro "
    "that "
    "is running on your system and that you have adequate drive space.";

// The five files that land in the installation directory (the uninstaller goes to the Windows directory).
inline const std::vector<std::string> kInstalledNames = {"vantro.exe", "portslist.txt", "iplist.txt",
                                                         "vnhelp.doc", "readme.txt"};

class InstallerHarness {
 public:
  // The six shipped files and their contents, as the harness writes them.
  static const std::vector<std::pair<std::string, std::string>>& ProductFiles();

  InstallerHarness();
  ~InstallerHarness();

  TempRoot root;
  ui::VirtualClock clock;
  ui::HeadlessBackend backend{clock};
  std::string source;  // host path of C:\Temp\Setup

  // Host path of a Windows path on drive C ("C:\Program Files\Vantiro" -> .../drive_c/Program Files/Vantiro).
  std::string Host(const std::string& windows_path) const;

  // Names `name` in the root's hosts file (replacing earlier entries but localhost).
  void SetHostsEntry(const std::string& address, const std::string& name);

  // Script steps.
  void AgreeWhenShown();                                      // Agree on the licence agreement once it shows
  void AnswerBox();                                           // record the next message box and press its OK
  void Click(const std::function<ui::TControl*()>& control);  // a control of a form, looked up late
  void Type(const std::function<ui::TEdit*()>& edit, const std::string& text);
  // The default road up to the completion panel: Agree, Install, e-mail, OK, wait for completion.
  void InstallWithEmail(const std::string& email);
  // Exit on the completion panel with both boxes as given.
  void ExitWith(bool run_program, bool view_notes);

  // Runs the installer to its end; returns its exit code.
  int Run();

  std::vector<ShownBox> boxes;  // every message box answered through AnswerBox, in order
};

// The message box open now, or null.
ui::TMessageForm* OpenMessageBox();

}  // namespace testing_support
