// The sign-up notice: one message over TCP to the sign-up server once the connection is up, during
// or after the installation; Skip sends nothing; every failure is silent. A real listener on a loopback
// address that the root's hosts file names signup.vantiro.example.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "setup/Unit1.h"
#include "setup/unit2.h"
#include "support/installer_harness.h"
#include "support/loopback_server.h"
#include "ui/application.h"

namespace {

namespace fs = std::filesystem;
using testing_support::InstallerHarness;
using testing_support::LoopbackServer;
using testing_support::TempRoot;

// "Vantiro 1.1 - 2026-12-11 14:05:09 - " and the address, nothing else.
void ExpectNotice(const std::string& bytes, const std::string& email) {
  static const std::regex kStamp("Vantiro 1\\.1 - \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d - ");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(bytes, m, kStamp) && m.position(0) == 0) << bytes;
  EXPECT_EQ(bytes.substr(m.length(0)), email);
}

TEST(SignUpNotice, ExactBytesOnceAndTheConnectionStaysOpenUntilTheProgramEnds) {
  struct Case {
    const char* address;
    std::string typed, sent;
  } cases[] = {
      {"127.0.0.51", "someone@example.org", "someone@example.org"},
      {"127.0.0.52", "", "Not Specified"},
      {"127.0.0.53", "   ", "   "},
      {"127.0.0.54", "Ren\xE9@caf\xE9.example", "Ren\xE9@caf\xE9.example"},  // typed text in Windows-1252
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    LoopbackServer server(c.address, 9000);
    InstallerHarness h;
    h.SetHostsEntry(c.address, "signup.vantiro.example");
    h.InstallWithEmail(c.typed);
    std::string at_completion;
    bool open_at_completion = false;
    h.backend.When([] { return setup::Form1->Panel2->Visible(); },
                   [&] {
                     if (server.Accept()) at_completion = server.ReadAvailable();
                     open_at_completion = server.Quiet();  // no end of stream yet
                     ui::HeadlessBackend::Click(setup::Form1->CheckBox3);
                     ui::HeadlessBackend::Click(setup::Form1->CheckBox4);
                     ui::HeadlessBackend::Click(setup::Form1->Button1);
                   });
    ASSERT_EQ(h.Run(), 0);
    ExpectNotice(at_completion, c.sent);
    EXPECT_TRUE(open_at_completion);
    EXPECT_TRUE(server.PeerClosed());  // closed when the program ended, with nothing more sent
    EXPECT_FALSE(server.ConnectionPending());  // one connection only
  }
}

TEST(SignUpNotice, SkipMakesNoConnectionAtAll) {
  LoopbackServer server("127.0.0.55", 9000);
  InstallerHarness h;
  h.SetHostsEntry("127.0.0.55", "signup.vantiro.example");
  h.AgreeWhenShown();
  h.Click([] { return setup::Form1->BitBtn3; });
  h.Type([] { return setup::Form1->Edit2; }, "someone@example.org");
  h.Click([] { return setup::Form1->BitBtn5; });
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  EXPECT_FALSE(server.ConnectionPending());
  EXPECT_TRUE(TempRoot::Exists(h.root.drive_c() + "/Program Files/Vantiro/vantro.exe"));
}

TEST(SignUpNotice, RefusedConnectionIsSilentAndTheInstallationCompletes) {
  LoopbackServer held("127.0.0.56", 9000, /*listen=*/false);  // the port answers with a refusal
  InstallerHarness h;
  h.SetHostsEntry("127.0.0.56", "signup.vantiro.example");
  h.InstallWithEmail("someone@example.org");
  bool completed = false;
  h.backend.When([] { return setup::Form1->Panel2->Visible(); }, [&] { completed = true; });
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  EXPECT_TRUE(completed);
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_FALSE(testing_support::OpenMessageBox());
}

TEST(SignUpNotice, GoesOutWhileARegistryErrorIsOnScreen) {
  LoopbackServer server("127.0.0.57", 9000);
  InstallerHarness h;
  h.SetHostsEntry("127.0.0.57", "signup.vantiro.example");
  // A machine hive that cannot be read refuses the product key: the installation stops with the error.
  TempRoot::WriteFile(h.root.host() + "/system.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\r\n");
  h.InstallWithEmail("someone@example.org");
  std::string received;
  std::string box_text;
  auto box_open_and_notice_in = [&] {
    if (!testing_support::OpenMessageBox()) return false;
    if (server.ConnectionPending()) server.Accept();
    received += server.ReadAvailable();
    return !received.empty();
  };
  h.backend.When(box_open_and_notice_in, [&] {
    box_text = testing_support::OpenMessageBox()->Message->Caption();
    ui::HeadlessBackend::Click(testing_support::OpenMessageBox()->OkButton);
  });
  h.backend.Then([] { ui::HeadlessBackend::CloseBox(setup::Form1); });
  ASSERT_EQ(h.Run(), 0);
  EXPECT_EQ(box_text, "Failed to create key \\Software\\vnta.");
  ExpectNotice(received, "someone@example.org");
}

TEST(SignUpNotice, HandledAtTheTransfersDispatchPointWhenTheConnectionIsUp) {
  LoopbackServer server("127.0.0.58", 9000);
  InstallerHarness h;
  h.SetHostsEntry("127.0.0.58", "signup.vantiro.example");
  std::string seen_inside_transfer;
  bool sources_still_there = false;
  bool completion_visible = true;
  h.AgreeWhenShown();
  h.Click([] { return setup::Form1->BitBtn3; });
  h.Type([] { return setup::Form1->Edit2; }, "someone@example.org");
  h.backend.Then([&] {
    ui::HeadlessBackend::Click(setup::Form1->BitBtn4);
    // The first message the transfer's dispatch runs queues a probe behind the connection's
    // notification; the probe then looks at what the server has, still inside the transfer.
    ui::Application->Post([&] {
      ui::Application->Post([&] {
        if (server.ConnectionPending()) server.Accept();
        seen_inside_transfer = server.ReadAvailable();
        sources_still_there = TempRoot::Exists(h.source + "/vantro.exe");
        completion_visible = setup::Form1->Panel2->Visible();
      });
    });
  });
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  ExpectNotice(seen_inside_transfer, "someone@example.org");
  EXPECT_TRUE(sources_still_there);  // before the sources were removed: inside the transfer
  EXPECT_FALSE(completion_visible);
}

TEST(SignUpNotice, StampIsLocalDateAndTimeWithoutTheSeparator) {
  std::string stamp = setup::SignUpStamp();
  EXPECT_TRUE(std::regex_match(stamp, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"))) << stamp;
  EXPECT_EQ(stamp.find(" - "), std::string::npos);
}

}  // namespace
