// install_driver: the whole installer, headless, as a person would run it with the defaults: agree to
// the licence, Install, Skip the sign-up, Exit with nothing started. The system root is $WINROOT; the
// product is taken from the start directory (the host working directory, mapped to its drive), as the
// real program does. Used by the kill test and the transfer benchmark to run the real install engine
// without a display.
//
//   install_driver [--dir "C:\Install\Here"]
//
// Exit code: 0 when the installer reached its completion panel, 2 when it showed a message box instead
// (the box's text goes to stderr), 1 on a usage error or a stalled script.
#include <cstdio>
#include <cstring>
#include <string>

#include "setup/Unit1.h"
#include "setup/Unit4.h"
#include "setup/setup.h"
#include "setup/unit2.h"
#include "ui/application.h"
#include "ui/headless/headless_backend.h"
#include "ui/message_box.h"

namespace {

ui::TMessageForm* OpenMessageBox() {
  return ui::Application ? dynamic_cast<ui::TMessageForm*>(ui::Application->TopModalForm()) : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  std::string install_dir;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      install_dir = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--dir WINDOWS_PATH]\n", argv[0]);
      return 1;
    }
  }

  ui::VirtualClock clock;
  ui::HeadlessBackend backend(clock);
  bool completed = false;
  std::string box_text;

  backend.When([] { return setup::Form4 && setup::Form4->Visible() && setup::Form4->AcceptsInput(); },
               [] { ui::HeadlessBackend::Click(setup::Form4->Button1); });
  if (!install_dir.empty())
    backend.Then([&] { ui::HeadlessBackend::Type(setup::Form1->Edit1, install_dir); });
  backend.Then([] { ui::HeadlessBackend::Click(setup::Form1->BitBtn3); });
  backend.Then([] { ui::HeadlessBackend::Click(setup::Form1->BitBtn5); });
  // Either the completion panel or a message box (a failed copy) comes next.
  backend.When([] { return OpenMessageBox() || setup::Form1->Panel2->Visible(); },
               [&] {
                 if (ui::TMessageForm* box = OpenMessageBox()) {
                   box_text = box->Message->Caption();
                   ui::HeadlessBackend::Click(box->OkButton);
                   return;
                 }
                 completed = true;
                 if (setup::Form1->CheckBox3->Checked()) ui::HeadlessBackend::Click(setup::Form1->CheckBox3);
                 if (setup::Form1->CheckBox4->Checked()) ui::HeadlessBackend::Click(setup::Form1->CheckBox4);
                 ui::HeadlessBackend::Click(setup::Form1->Button1);
               });
  try {
    setup::Run(backend, clock);
  } catch (const ui::HeadlessStalled& stalled) {
    std::fprintf(stderr, "install_driver: the installer stalled: %s\n", stalled.why.c_str());
    return 1;
  }
  if (!box_text.empty()) {
    std::fprintf(stderr, "install_driver: message box: %s\n", box_text.c_str());
    return 2;
  }
  return completed && !setup::InstallFailed ? 0 : 1;
}
