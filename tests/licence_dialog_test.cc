// The licence agreement dialog: when it comes up, what it shows, and the ways out of it, run in-process on
// the headless backend against a fresh system root.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "setup/Unit1.h"
#include "setup/Unit3.h"
#include "setup/Unit4.h"
#include "setup/setup.h"
#include "support/installer_harness.h"
#include "ui/resources.h"

namespace {

namespace fs = std::filesystem;
using testing_support::InstallerHarness;
using testing_support::TempRoot;
using ui::HeadlessBackend;
using ui::Key;

const std::vector<std::string> kMainAndDialog = {"Form1", "Form4"};

// Every folder and file under the system root with its content, to show that nothing was written.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    if (entry.is_symlink())
      entries[relative] = "-> " + fs::read_symlink(entry.path()).string();
    else if (entry.is_directory())
      entries[relative + "/"] = "";
    else
      entries[relative] = TempRoot::ReadFile(entry.path().string());
  }
  return entries;
}

// The agreement text compiled into the program, line by line.
std::vector<std::string> AgreementLines() {
  setup::RegisterEmbeddedResources();
  std::string_view text = ui::FindResource("license.txt");
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1)
    lines.emplace_back(text.substr(start, end - start));
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool DialogOpen() { return setup::Form4 && setup::Form4->Visible() && setup::Form4->AcceptsInput(); }

// One run of the installer, with the steps these tests share.
struct DialogRun {
  InstallerHarness h;
  std::map<std::string, std::string> at_dialog;  // the root as it was when the dialog came up

  // Runs the installer; a script that can no longer go on fails the test instead of escaping it.
  int Run() {
    try {
      return h.Run();
    } catch (const ui::HeadlessStalled& stalled) {
      setup::Form1 = nullptr;
      setup::Form3 = nullptr;
      setup::Form4 = nullptr;
      ADD_FAILURE() << "the installer stalled: " << stalled.why;
      return -1;
    }
  }
  // When the dialog comes up: remember the root, then act.
  void WhenDialogShown(std::function<void()> act) {
    h.backend.When(DialogOpen, [this, act] {
      at_dialog = Snapshot(h.root.host());
      act();
    });
  }
  void Press(Key key) {
    h.backend.Then([key] { HeadlessBackend::Press(setup::Form4, key); });
  }
  void ExpectNothingWritten() const {
    EXPECT_FALSE(at_dialog.empty()) << "the dialog never came up";
    EXPECT_EQ(Snapshot(h.root.host()), at_dialog);
    std::string hive = TempRoot::ReadFile(h.root.host() + "/system.reg");
    std::transform(hive.begin(), hive.end(), hive.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(hive.find("vnta"), std::string::npos);
    for (const auto& [name, content] : InstallerHarness::ProductFiles())
      EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content) << name;
    EXPECT_FALSE(TempRoot::Exists(h.root.drive_c() + "/Program Files/Vantiro"));
  }
};

TEST(LicenceDialog, ComesUpOnceAt100msAndNeverAgain) {
  DialogRun run;
  ui::Millis shown_at = -1;
  run.WhenDialogShown([&] {
    shown_at = run.h.clock.Now();
    EXPECT_FALSE(setup::Form1->AcceptsInput());  // the main window waits behind it
    EXPECT_TRUE(setup::Form1->Visible());
    HeadlessBackend::Press(setup::Form4, Key::Enter);
  });
  // Keep the program open for most of a day of virtual time, in growing steps, then quit.
  for (ui::Millis step : {100, 1000, 60 * 1000, 3600 * 1000, 12 * 3600 * 1000})
    run.h.backend.Then([&run, step] { run.h.clock.Advance(step); });
  run.h.backend.Then([] { HeadlessBackend::Click(setup::Form1->BitBtn2); });
  EXPECT_EQ(run.Run(), 0);
  EXPECT_EQ(shown_at, 100);
  EXPECT_GT(run.h.clock.Now(), 12 * 3600 * 1000);
  EXPECT_EQ(run.h.backend.ShownForms(), kMainAndDialog);
  EXPECT_TRUE(run.h.backend.ScriptDone());
}

TEST(LicenceDialog, WindowAndControlsAsLaidOut) {
  DialogRun run;
  run.WhenDialogShown([] {
    const setup::TForm4& f = *setup::Form4;
    EXPECT_EQ(f.Name, "Form4");
    EXPECT_EQ(f.Caption(), "License Agreement & Disclaimer");
    EXPECT_EQ(f.ClientWidth(), 551);
    EXPECT_EQ(f.ClientHeight(), 348);
    EXPECT_EQ(f.BorderStyle, ui::bsSingle);
    EXPECT_EQ(f.BorderIcons, (ui::TBorderIcons{.SystemMenu = true, .Minimize = true, .Maximize = false}));
    EXPECT_EQ(f.Position, ui::poScreenCenter);
    EXPECT_TRUE(f.Modal());

    EXPECT_EQ(f.Label1->BoundsRect(), (ui::TRect{74, 26, 374, 23}));
    EXPECT_EQ(f.Label1->Caption(), "Vantiro Disclaimer and License Agreement");
    const ui::TFont& heading = f.Label1->FontUsed();
    EXPECT_EQ(heading.Name, "Times New Roman");
    EXPECT_EQ(heading.Height, -21);  // character height, not cell height
    EXPECT_EQ(ui::RedOf(heading.Color), 0);
    EXPECT_EQ(ui::GreenOf(heading.Color), 128);
    EXPECT_EQ(ui::BlueOf(heading.Color), 128);
    EXPECT_TRUE(heading.Underline);
    EXPECT_FALSE(heading.Bold || heading.Italic);
    EXPECT_EQ(heading.Charset, ui::ANSI_CHARSET);

    EXPECT_EQ(f.Memo1->BoundsRect(), (ui::TRect{6, 64, 539, 225}));
    EXPECT_TRUE(f.Memo1->ReadOnly);
    EXPECT_EQ(f.Memo1->ScrollBars, ui::ssVertical);
    EXPECT_TRUE(f.Memo1->WordWrap);
    EXPECT_EQ(f.Memo1->Lines().size(), 49u);
    EXPECT_EQ(f.Memo1->FontUsed().Name, "MS Sans Serif");

    struct {
      ui::TButton* button;
      ui::TRect bounds;
      const char* caption;
    } buttons[] = {{f.Button1, {159, 312, 75, 25}, "Agree"}, {f.Button2, {280, 312, 75, 25}, "Cancel"}};
    for (const auto& b : buttons) {
      EXPECT_EQ(b.button->BoundsRect(), b.bounds) << b.caption;
      EXPECT_EQ(b.button->Caption(), b.caption);
      EXPECT_FALSE(b.button->Default) << b.caption;
      EXPECT_FALSE(b.button->Cancel) << b.caption;
      EXPECT_EQ(b.button->ModalResult, ui::mrNone) << b.caption;
    }
    EXPECT_EQ(f.ActiveControl(), f.Button1);
  });
  // Tab walks Agree, Cancel, the text, and round again.
  std::vector<std::string> focus;
  for (int i = 0; i < 3; ++i) {
    run.Press(Key::Tab);
    run.h.backend.Then([&focus] { focus.push_back(setup::Form4->ActiveControl()->Name); });
  }
  run.h.backend.Then([] { HeadlessBackend::Click(setup::Form4->Button1); });
  run.h.backend.Then([] { HeadlessBackend::Click(setup::Form1->BitBtn2); });
  EXPECT_EQ(run.Run(), 0);
  EXPECT_EQ(focus, (std::vector<std::string>{"Button2", "Memo1", "Button1"}));
  EXPECT_TRUE(run.h.backend.ScriptDone());
}

TEST(LicenceDialog, MemoHoldsTheAgreementText) {
  DialogRun run;
  std::vector<std::string> shown;
  run.WhenDialogShown([&] {
    shown = setup::Form4->Memo1->Lines();
    HeadlessBackend::Click(setup::Form4->Button1);
  });
  run.h.backend.Then([] { HeadlessBackend::Click(setup::Form1->BitBtn2); });
  EXPECT_EQ(run.Run(), 0);
  EXPECT_EQ(shown, AgreementLines());
}

// The agreement as compiled into the program: plain ASCII lines ending in LF, an opening paragraph that
// names both buttons, then five sections under capitalised headings set off by empty lines.
TEST(LicenceText, ShapeOfTheAgreement) {
  setup::RegisterEmbeddedResources();
  const std::string text(ui::FindResource("license.txt"));
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
  for (unsigned char c : text) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << "byte " << int(c);

  const std::vector<std::string> lines = AgreementLines();
  ASSERT_EQ(lines.size(), 49u);
  size_t longest = 0;
  for (const auto& line : lines) longest = std::max(longest, line.size());
  EXPECT_EQ(longest, 108u);

  EXPECT_FALSE(lines.front().empty());
  EXPECT_FALSE(lines.back().empty());
  std::string opening;
  for (size_t i = 0; i < lines.size() && !lines[i].empty(); ++i) opening += lines[i] + " ";
  EXPECT_NE(opening.find("Agree button"), std::string::npos) << opening;
  EXPECT_NE(opening.find("Cancel button"), std::string::npos) << opening;

  std::vector<std::string> headings;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    EXPECT_EQ(line.find_last_not_of(' ') + 1, line.size()) << "trailing space on line " << i + 1;
    if (line.empty()) {
      EXPECT_TRUE(i > 0 && !lines[i - 1].empty()) << "two empty lines at line " << i + 1;
      continue;
    }
    bool capitals = std::none_of(line.begin(), line.end(), [](unsigned char c) { return std::islower(c); });
    if (!capitals) continue;
    EXPECT_EQ(line.back(), ':') << line;
    EXPECT_TRUE(i > 0 && lines[i - 1].empty()) << "no empty line before " << line;
    EXPECT_TRUE(i + 1 < lines.size() && lines[i + 1].empty()) << "no empty line after " << line;
    EXPECT_TRUE(i + 2 < lines.size() && !lines[i + 2].empty()) << "no text under " << line;
    headings.push_back(line);
  }
  EXPECT_EQ(headings.size(), 5u);
}

TEST(LicenceDialog, EnterAtOnceAgreesAndTheMainWindowGoesOn) {
  DialogRun run;
  std::map<std::string, std::string> after_agree;
  bool sign_up_seen = false;
  run.WhenDialogShown([] { HeadlessBackend::Press(setup::Form4, Key::Enter); });
  run.h.backend.Then([&] {
    after_agree = Snapshot(run.h.root.host());
    EXPECT_FALSE(setup::Form4->Visible());
    EXPECT_TRUE(setup::Form1->AcceptsInput());
    EXPECT_TRUE(setup::Form1->BitBtn3->IsReachable());
  });
  run.h.Click([] { return setup::Form1->BitBtn3; });  // Install
  run.h.backend.Then([&] {
    sign_up_seen = setup::Form1->Panel3->Visible();
    EXPECT_EQ(setup::Form1->ActiveControl(), setup::Form1->Edit2);
    HeadlessBackend::CloseBox(setup::Form1);
  });
  EXPECT_EQ(run.Run(), 0);
  EXPECT_TRUE(sign_up_seen);
  EXPECT_EQ(after_agree, run.at_dialog);  // agreeing is recorded nowhere
  EXPECT_EQ(run.h.backend.ShownForms(), kMainAndDialog);
  EXPECT_TRUE(run.h.backend.ScriptDone());
}

TEST(LicenceDialog, CancelEndsTheProgramAndWritesNothing) {
  struct Case {
    const char* how;
    std::function<void()> act;
  } cases[] = {
      {"click Cancel", [] { HeadlessBackend::Click(setup::Form4->Button2); }},
      {"Tab then Enter",
       [] {
         HeadlessBackend::Press(setup::Form4, Key::Tab);
         HeadlessBackend::Press(setup::Form4, Key::Enter);
       }},
      {"Tab then Space",
       [] {
         HeadlessBackend::Press(setup::Form4, Key::Tab);
         HeadlessBackend::Press(setup::Form4, Key::Space);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    DialogRun run;
    run.WhenDialogShown(c.act);
    EXPECT_EQ(run.Run(), 0);
    run.ExpectNothingWritten();
    EXPECT_EQ(run.h.backend.ShownForms(), kMainAndDialog);  // Form1 was never shown again
    EXPECT_TRUE(run.h.backend.ScriptDone());
  }
}

TEST(LicenceDialog, KeysWithoutAButtonLeaveItOpen) {
  // No default or cancel button: Escape does nothing anywhere, Enter does nothing off the buttons.
  struct Case {
    const char* how;
    std::vector<Key> keys;
  } cases[] = {
      {"Escape", {Key::Escape}},
      {"Escape on Cancel", {Key::Tab, Key::Escape}},
      {"Enter on the text", {Key::Tab, Key::Tab, Key::Enter}},
      {"Space on the text", {Key::Tab, Key::Tab, Key::Space}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    DialogRun run;
    bool still_open = false;
    run.WhenDialogShown([] {});
    for (Key key : c.keys) run.Press(key);
    run.h.backend.Then([&] {
      still_open = setup::Form4->Visible() && setup::Form4->Modal() && !setup::Form1->AcceptsInput();
      HeadlessBackend::Click(setup::Form4->Button1);
    });
    run.h.backend.Then([] { HeadlessBackend::Click(setup::Form1->BitBtn2); });
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(still_open);
    EXPECT_TRUE(run.h.backend.ScriptDone());
  }
}

TEST(LicenceDialog, CloseBoxLeavesTheMainWindowUsableAndTheInstallationGoesOn) {
  DialogRun run;
  bool usable = false;
  run.WhenDialogShown([] { HeadlessBackend::CloseBox(setup::Form4); });
  run.h.backend.Then(
      [&] { usable = !setup::Form4->Visible() && setup::Form1->Visible() && setup::Form1->AcceptsInput(); });
  run.h.Click([] { return setup::Form1->BitBtn3; });  // Install
  run.h.Click([] { return setup::Form1->BitBtn5; });  // Skip the sign-up
  run.h.ExitWith(false, false);
  EXPECT_EQ(run.Run(), 0);
  EXPECT_TRUE(usable);
  for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
    std::string installed = name == "uninst1.exe" ? run.h.root.drive_c() + "/windows/" + name
                                                  : run.h.root.drive_c() + "/Program Files/Vantiro/" + name;
    EXPECT_EQ(TempRoot::ReadFile(installed), content) << name;
  }
  EXPECT_NE(TempRoot::ReadFile(run.h.root.host() + "/system.reg").find("vnta"), std::string::npos);
  EXPECT_EQ(run.h.backend.ShownForms(), kMainAndDialog);
}

// The running-copy timer closes the main window while the dialog is open: the dialog ends as cancelled
// and neither of its buttons' handlers runs. The main window is hidden first, so that Agree's handler
// would have to show it again, which the backend would record.
TEST(LicenceDialog, MainWindowClosedUnderneathEndsItAsCancelled) {
  DialogRun run;
  run.WhenDialogShown([] {
    setup::Form1->HideForm();
    setup::Form1->Timer3->SetEnabled(true);
  });
  EXPECT_EQ(run.Run(), 0);
  EXPECT_EQ(run.h.clock.Now(), 1100);  // Timer3's one-second tick
  EXPECT_EQ(run.h.backend.ShownForms(), kMainAndDialog);
  run.ExpectNothingWritten();
}

}  // namespace
