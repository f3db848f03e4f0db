// The installation's registry records: the product key before the transfer, the uninstall entry after
// a good one, and a refused write that stops the installation with its text.
#include <gtest/gtest.h>

#include <filesystem>

#include "setup/Unit1.h"
#include "setup/unit2.h"
#include "support/installer_harness.h"
#include "support/registry_reader.h"
#include "support/unprivileged.h"
#include "ui/application.h"

namespace {

namespace fs = std::filesystem;
using testing_support::InstallerHarness;
using testing_support::ReadRegValue;
using testing_support::TempRoot;

const char kProductKey[] = "Software\\vnta";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantiro";

void ExpectString(const char* key, const char* name, const std::string& text) {
  auto v = ReadRegValue(win::HKEY_LOCAL_MACHINE, key, name);
  ASSERT_TRUE(v) << key << " " << name;
  EXPECT_EQ(v->type, win::REG_SZ);
  EXPECT_EQ(v->bytes, text + '\0');  // the text and one zero byte
}

TEST(RegistryRecords, DefaultInstallWritesBothRecordsExactly) {
  InstallerHarness h;
  h.InstallWithEmail("");
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  ExpectString(kProductKey, "installdir", "C:\\Program Files\\Vantiro");
  ExpectString(kUninstallKey, "Displayname", "Vantiro");
  ExpectString(kUninstallKey, "DisplayName", "Vantiro");  // names match without regard to case
  ExpectString(kUninstallKey, "UninstallString", "C:\\windows\\uninst1.exe");
  // The hive on disk is REGEDIT4 text with the name's case as written.
  std::string hive = TempRoot::ReadFile(h.root.host() + "/system.reg");
  EXPECT_EQ(hive.rfind("REGEDIT4\r\n", 0), 0u);
  EXPECT_NE(hive.find("[HKEY_LOCAL_MACHINE\\Software\\vnta]\r\n\"installdir\"=\"C:\\\\Program Files\\\\Vantiro\"\r\n"),
            std::string::npos);
  EXPECT_NE(hive.find("\"Displayname\"=\"Vantiro\""), std::string::npos);
}

TEST(RegistryRecords, TypedTextIsStoredExactly) {
  for (const char* typed : {"C:\\Trailing\\", "C:\\Two  Spaces ", "C:\\Caf\xE9"}) {
    SCOPED_TRACE(typed);
    InstallerHarness h;
    h.AgreeWhenShown();
    h.Type([] { return setup::Form1->Edit1; }, typed);
    h.Click([] { return setup::Form1->BitBtn3; });
    h.Click([] { return setup::Form1->BitBtn5; });
    h.ExitWith(false, false);
    ASSERT_EQ(h.Run(), 0);
    ExpectString(kProductKey, "installdir", typed);
  }
}

TEST(RegistryRecords, ReinstallOverwritesTheThreeValuesAndKeepsOthers) {
  InstallerHarness h;
  TempRoot::WriteFile(h.root.host() + "/system.reg",
                      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\vnta]\r\n\"installdir\"=\"D:\\\\Old\"\r\n"
                      "\"Licence\"=dword:0000002a\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantiro]\r\n"
                      "\"DISPLAYNAME\"=\"Old name\"\r\n\"UninstallString\"=\"D:\\\\old.exe\"\r\n"
                      "\"Blob\"=hex:01,02,ff\r\n\r\n");
  h.InstallWithEmail("");
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  ExpectString(kProductKey, "installdir", "C:\\Program Files\\Vantiro");
  ExpectString(kUninstallKey, "Displayname", "Vantiro");
  ExpectString(kUninstallKey, "UninstallString", "C:\\windows\\uninst1.exe");
  auto licence = ReadRegValue(win::HKEY_LOCAL_MACHINE, kProductKey, "Licence");
  ASSERT_TRUE(licence);
  EXPECT_EQ(licence->type, win::REG_DWORD);
  EXPECT_EQ(licence->bytes, std::string("\x2a\0\0\0", 4));
  auto blob = ReadRegValue(win::HKEY_LOCAL_MACHINE, kUninstallKey, "Blob");
  ASSERT_TRUE(blob);
  EXPECT_EQ(blob->bytes, "\x01\x02\xff");
  // The name keeps the case it was first written with.
  EXPECT_NE(TempRoot::ReadFile(h.root.host() + "/system.reg").find("\"DISPLAYNAME\"=\"Vantiro\""), std::string::npos);
}

TEST(RegistryRecords, FailedMainCopyLeavesTheProductKeyAndNoUninstallEntry) {
  InstallerHarness h;
  fs::remove(h.source + "/vantro.exe");
  h.InstallWithEmail("");
  h.AnswerBox();
  ASSERT_EQ(h.Run(), 0);
  ASSERT_EQ(h.boxes.size(), 1u);
  ExpectString(kProductKey, "installdir", "C:\\Program Files\\Vantiro");
  EXPECT_FALSE(ReadRegValue(win::HKEY_LOCAL_MACHINE, kUninstallKey, "Displayname"));
}

// What the person saw, reported from a child process: the error box, the panel, the files.
std::string RunAsUserWithoutMachineAccess() {
  InstallerHarness h;
  // The root is the user's, as a profile is; the machine hive stays root's own and read-only to others.
  std::string hive = h.root.host() + "/system.reg";
  TempRoot::WriteFile(hive, "REGEDIT4\r\n\r\n");
  testing_support::GiveToUnprivilegedUser(h.root.host());
  if (testing_support::RunningAsRoot()) {
    if (chown(hive.c_str(), 0, 0) != 0) return "chown failed";
  } else {
    fs::permissions(hive, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  return testing_support::RunUnprivileged([&] {
    std::string report;
    h.InstallWithEmail("");
    h.backend.When([] { return testing_support::OpenMessageBox() != nullptr; },
                   [&] {
                     auto* box = testing_support::OpenMessageBox();
                     report += box->Caption() + "|" + box->Message->Caption() + "|";
                     report += box->IconKind == ui::StockIcon::Error ? "error-icon|" : "no-icon|";
                     ui::HeadlessBackend::Click(box->OkButton);
                   });
    h.backend.Then([&] {
      report += setup::Form1->Panel1->Visible() && !setup::Form1->Panel2->Visible() ? "installing|" : "other|";
      report += TempRoot::Exists(h.root.drive_c() + "/Program Files/Vantiro/vantro.exe") ? "copied|" : "nothing-copied|";
      ui::HeadlessBackend::CloseBox(setup::Form1);  // the only way on
    });
    int code = h.Run();
    report += "exit " + std::to_string(code) + "|";
    report += TempRoot::Exists(h.source + "/vantro.exe") ? "source-kept" : "source-gone";
    return report;
  });
}

TEST(RegistryRecords, UserWithoutMachineAccessGetsTheErrorBeforeAnyFileIsTouched) {
  EXPECT_EQ(RunAsUserWithoutMachineAccess(),
            "Setup|Failed to create key \\Software\\vnta.|error-icon|installing|nothing-copied|exit 0|source-kept");
}

TEST(RegistryRecords, RefusedUninstallWriteAfterGoodTransferSkipsCompletion) {
  InstallerHarness h;
  const std::string hive = h.root.host() + "/system.reg";
  const std::string broken = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\r\n\"x\"=nonsense\r\n";
  h.AgreeWhenShown();
  h.Click([] { return setup::Form1->BitBtn3; });
  h.backend.Then([&] {
    ui::HeadlessBackend::Click(setup::Form1->BitBtn4);
    // Dispatched inside the transfer, between the two records: the machine hive becomes unreadable.
    ui::Application->Post([&] { TempRoot::WriteFile(hive, broken); });
  });
  h.AnswerBox();
  bool completion = true;
  h.backend.Then([&] {
    completion = setup::Form1->Panel2->Visible();
    ui::HeadlessBackend::CloseBox(setup::Form1);
  });
  ASSERT_EQ(h.Run(), 0);
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].text, "Failed to set data for 'Displayname'");  // no full stop after a quote
  EXPECT_FALSE(completion);
  EXPECT_TRUE(TempRoot::Exists(h.root.drive_c() + "/Program Files/Vantiro/vantro.exe"));
  EXPECT_EQ(TempRoot::ReadFile(hive), broken);  // a malformed hive is never overwritten
}

}  // namespace
