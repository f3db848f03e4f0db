// The directory list's and drive box's widgets on a real display (skipped when none answers): mouse
// rows map to entries as they are scrolled, clicks and double clicks become the list's input, and the
// keys reach the framework. Real folders in a fresh system root.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/temp_root.h"
#include "ui/application.h"
#include "ui/file_controls.h"
#include "ui/fltk/fltk.h"
#include "ui/fltk/fltk_backend.h"
#include "ui/forms.h"
#include "win/paths.h"

namespace ui {
namespace {

namespace fs = std::filesystem;

constexpr int kListTop = 26;  // the list's top in the window; its entries start two pixels lower

class FileWidgetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FltkBackend::DisplayAvailable()) GTEST_SKIP() << "no display answers (run under Xvfb)";
    for (int i = 0; i < 15; ++i) fs::create_directories(root.drive_c() + "/Many/f" + std::to_string(100 + i));
    ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Many"));
    app->CreateForm(form);
    form->SetCaption("File controls test");
    form->SetBounds(0, 0, 303, 265);
    box = new TDriveComboBox(form);
    box->SetParent(form);
    box->SetBounds(2, 3, 157, 19);
    box->TabOrder = 1;
    list = new TDirectoryListBox(form);
    list->SetParent(form);
    list->SetBounds(0, kListTop, 297, 185);  // eleven rows of 16
    list->TabOrder = 0;
    box->SetDirList(list);
    list->OnClick = [this](TObject*) { ++clicks; };
    form->ShowForm();
    app->ProcessMessages();
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
      if (w->label() && std::string(w->label()) == "File controls test") window = w;
    ASSERT_NE(window, nullptr);
  }

  // A press and release of the left button at (x, y) of the window; `clicks` > 0 makes it a double click.
  void Click(int x, int y, int clicks = 0) {
    Fl::e_x = x;
    Fl::e_y = y;
    Fl::e_x_root = window->x() + x;
    Fl::e_y_root = window->y() + y;
    Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
    Fl::e_state = FL_BUTTON1;
    Fl::e_clicks = clicks;
    Fl::e_is_click = 1;
    Fl::handle(FL_PUSH, window);
    Fl::e_state = 0;
    Fl::handle(FL_RELEASE, window);
    app->ProcessMessages();
  }
  void ClickRow(int row, int clicks = 0) { Click(100, kListTop + 2 + row * 16 + 8, clicks); }
  void Key(int key) {
    Fl::e_keysym = key;
    Fl::e_text = const_cast<char*>("");
    Fl::e_length = 0;
    Fl::e_state = 0;
    Fl::handle(FL_KEYBOARD, window);
    app->ProcessMessages();
  }

  testing_support::TempRoot root;
  MonotonicClock clock;
  FltkBackend backend{clock};
  std::unique_ptr<TApplication> app = std::make_unique<TApplication>(backend, clock);
  TForm* form = nullptr;
  TDirectoryListBox* list = nullptr;
  TDriveComboBox* box = nullptr;
  Fl_Window* window = nullptr;
  int clicks = 0;
};

TEST_F(FileWidgetsTest, RowsFollowTheScrollingAndClicksSelectTheEntryUnderThePointer) {
  // Entries: C:\, Many, f100..f114 (17); the list shows eleven at a time.
  ClickRow(3);
  EXPECT_EQ(list->ItemIndex(), 3);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(list->Focused());
  ClickRow(3);  // the same entry: no change, no OnClick
  EXPECT_EQ(clicks, 1);

  Key(FL_End);  // through the framework; the widget scrolls the last entry into view
  EXPECT_EQ(list->ItemIndex(), 16);
  ClickRow(0);
  EXPECT_EQ(list->ItemIndex(), 6) << "the first row now shows the seventh entry";
  ClickRow(12);  // below the last row: nothing there
  EXPECT_EQ(list->ItemIndex(), 6);

  Key(FL_Home);
  ClickRow(1);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(list->Directory(), "C:\\Many");
}

TEST_F(FileWidgetsTest, DoubleClickOpensTheEntryWhenNoClickHandlerDoes) {
  list->OnClick = nullptr;
  ClickRow(2);
  EXPECT_EQ(list->Directory(), "C:\\Many");
  ClickRow(2, 1);
  EXPECT_EQ(list->Directory(), "C:\\Many\\f100");
  EXPECT_EQ(win::GetCurrentDirectoryA(), "C:\\Many\\f100");
  // The new directory's entries start at the top again.
  ClickRow(0, 1);
  EXPECT_EQ(list->Directory(), "C:\\");
}

TEST_F(FileWidgetsTest, ArrowsOnTheDriveBoxMoveTheListToTheNextDrive) {
  root.MapDrive('d', "drive_d");
  box->UpdateDrives();
  Key(FL_Tab);  // a click would open the drop-down, which waits for a person
  EXPECT_TRUE(box->Focused());
  EXPECT_EQ(box->Drive(), 'C');
  Key(FL_Down);  // C -> D, the next drive
  EXPECT_EQ(box->Drive(), 'D');
  EXPECT_EQ(list->Directory(), "D:\\");
}

}  // namespace
}  // namespace ui
