// The installer refuses to run beside a running copy of the product: a top-level window titled
// "Vantiro" (in any case, as Windows compares titles) on the display. Needs Xvfb and the demo product's window program.
#include <gtest/gtest.h>

#include "setup/Unit1.h"
#include "setup/Unit4.h"
#include "support/installer_harness.h"
#include "support/x_display.h"

namespace {

using testing_support::InstallerHarness;
using testing_support::TempRoot;

const char kRunning[] =
    "Another version of Vantiro is currently running on your system.\r\r"
    "Please close the previous version and then rerun setup.";

std::string DemoWindowProgram() { return std::string(BUILD_DIR) + "/vantiro_window"; }

TEST(RunningCopyGuard, MessageBeforeAnyWindowThenTheProgramEndsAboutOneSecondAfterOk) {
  testing_support::XDisplay display;
  if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
  ASSERT_TRUE(display.StartWindowProgram({DemoWindowProgram()}, "Vantiro"));

  InstallerHarness h;
  // The person reads the message for five seconds, then presses OK.
  h.backend.When([] { return testing_support::OpenMessageBox() != nullptr; }, [&] { h.clock.Advance(5000); });
  h.AnswerBox();
  ui::Millis dialog_shown_at = -1;
  h.backend.When([] { return setup::Form4 && setup::Form4->Visible(); },
                 [&] { dialog_shown_at = h.clock.Now(); });
  EXPECT_EQ(h.Run(), 0);

  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].caption, "Setup");
  EXPECT_EQ(h.boxes[0].text, kRunning);
  EXPECT_EQ(h.boxes[0].icon, ui::StockIcon::None);
  // The message came before any installer window; then the main window, then the agreement.
  ASSERT_GE(h.backend.ShownForms().size(), 3u);
  EXPECT_EQ(h.backend.ShownForms()[0], "MessageBox");
  EXPECT_EQ(h.backend.ShownForms()[1], "Form1");
  EXPECT_EQ(h.backend.ShownForms()[2], "Form4");
  EXPECT_EQ(dialog_shown_at, 5000 + 100);
  EXPECT_GE(h.clock.Now(), 5000 + 1000);
  EXPECT_LT(h.clock.Now(), 5000 + 1100);
  EXPECT_FALSE(setup::Form1);  // the program ended (its forms are gone)
  for (const auto& [name, content] : InstallerHarness::ProductFiles())
    EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content);
}

TEST(RunningCopyGuard, SimilarTitlesDoNotCount) {
  testing_support::XDisplay display;
  if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
  // The demo window program takes its title from VANTIRO_DEMO_TITLE.
  for (const char* title : {"Vantiro 1.1", "Vantiro Setup", "Setup"}) {
    SCOPED_TRACE(title);
    setenv("VANTIRO_DEMO_TITLE", title, 1);
    ASSERT_TRUE(display.StartWindowProgram({DemoWindowProgram()}, title));
  }
  unsetenv("VANTIRO_DEMO_TITLE");
  InstallerHarness h;
  h.AgreeWhenShown();
  h.Click([] { return setup::Form1->BitBtn2; });  // Quit
  EXPECT_EQ(h.Run(), 0);
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_EQ(h.backend.ShownForms().at(0), "Form1");
}

}  // namespace
