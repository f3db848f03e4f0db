#include "support/installer_harness.h"

#include <filesystem>

#include "setup/Unit1.h"
#include "setup/Unit4.h"
#include "setup/setup.h"
#include "setup/unit2.h"
#include "ui/application.h"
#include "win/paths.h"

namespace testing_support {

const std::vector<std::pair<std::string, std::string>>& InstallerHarness::ProductFiles() {
  static const std::vector<std::pair<std::string, std::string>> files = {
      {"vantro.exe", "#!/bin/sh\n# the product\n"},
      {"portslist.txt", "21 ftp\n22 ssh\n80 http\n"},
      {"iplist.txt", "127.0.0.1\n"},
      {"vnhelp.doc", "Vantiro help\n"},
      {"readme.txt", "Vantiro 1.1 release notes\n"},
      {"uninst1.exe", "#!/bin/sh\n# the uninstaller\n"},
  };
  return files;
}

InstallerHarness::InstallerHarness() {
  setup::ResetInstallStateForTests();
  source = root.drive_c() + "/Temp/Setup";
  for (const auto& [name, content] : ProductFiles()) TempRoot::WriteFile(source + "/" + name, content);
  win::SetCurrentDirectoryA("C:\\Temp\\Setup");
  // The sign-up host answers on a loopback address where nothing listens unless a test listens.
  SetHostsEntry("127.0.0.9", "signup.vantiro.example");
}

void InstallerHarness::SetHostsEntry(const std::string& address, const std::string& name) {
  TempRoot::WriteFile(root.drive_c() + "/windows/system32/drivers/etc/hosts",
                      "# test hosts\r\n127.0.0.1 localhost\r\n" + address + " " + name + "\r\n");
}

InstallerHarness::~InstallerHarness() { setup::ResetInstallStateForTests(); }

std::string InstallerHarness::Host(const std::string& windows_path) const {
  std::string host;
  win::MapToHost(windows_path, host);
  return host;
}

ui::TMessageForm* OpenMessageBox() {
  if (!ui::Application) return nullptr;
  return dynamic_cast<ui::TMessageForm*>(ui::Application->TopModalForm());
}

void InstallerHarness::AgreeWhenShown() {
  backend.When([] { return setup::Form4 && setup::Form4->Visible() && setup::Form4->AcceptsInput(); },
               [] { ui::HeadlessBackend::Click(setup::Form4->Button1); });
}

void InstallerHarness::AnswerBox() {
  backend.When([] { return OpenMessageBox() != nullptr; },
               [this] {
                 ui::TMessageForm* box = OpenMessageBox();
                 boxes.push_back(ShownBox{box->Caption(), box->Message->Caption(), box->IconKind, clock.Now()});
                 ui::HeadlessBackend::Click(box->OkButton);
               });
}

void InstallerHarness::Click(const std::function<ui::TControl*()>& control) {
  backend.Then([control] { ui::HeadlessBackend::Click(control()); });
}

void InstallerHarness::Type(const std::function<ui::TEdit*()>& edit, const std::string& text) {
  backend.Then([edit, text] { ui::HeadlessBackend::Type(edit(), text); });
}

void InstallerHarness::InstallWithEmail(const std::string& email) {
  AgreeWhenShown();
  Click([] { return setup::Form1->BitBtn3; });
  if (!email.empty()) Type([] { return setup::Form1->Edit2; }, email);
  Click([] { return setup::Form1->BitBtn4; });
}

void InstallerHarness::ExitWith(bool run_program, bool view_notes) {
  backend.When([] { return setup::Form1->Panel2->Visible(); },
               [run_program, view_notes] {
                 if (setup::Form1->CheckBox3->Checked() != run_program)
                   ui::HeadlessBackend::Click(setup::Form1->CheckBox3);
                 if (setup::Form1->CheckBox4->Checked() != view_notes)
                   ui::HeadlessBackend::Click(setup::Form1->CheckBox4);
                 ui::HeadlessBackend::Click(setup::Form1->Button1);
               });
}

int InstallerHarness::Run() { return setup::Run(backend, clock); }

}  // namespace testing_support
