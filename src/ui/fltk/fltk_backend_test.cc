// The FLTK backend on a real display (Xvfb in CI; the display tests skip when none answers) and FLTK's
// loop without one (timers, sockets). Input is given as FLTK events to the form's window, as the X
// server would deliver it; what the tests check is what the controls became and what the window shows.
#include "ui/fltk/fltk_backend.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "support/loopback_server.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/fltk/fltk_widgets.h"
#include "ui/forms.h"
#include "ui/timer.h"
#include "win/winsock.h"

namespace ui {
namespace {

// An edit, two check boxes and a button; a hidden red panel lies over the first check box only.
class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    Name = "TestForm";
    SetCaption("FLTK backend test");
    SetBounds(0, 0, 300, 200);
    Position = poScreenCenter;
    Edit = Add<TEdit>(10, 10, 120, 21, 0);
    Edit->OnChange = [this](TObject*) { ++changes; };
    Check = Add<TCheckBox>(10, 40, 120, 17, 1);
    Check->SetCaption("First");
    Check2 = Add<TCheckBox>(10, 62, 120, 17, 2);
    Check2->SetCaption("Second");
    Button = Add<TButton>(10, 90, 75, 25, 3);
    Button->SetCaption("Go");
    Button->OnClick = [this](TObject*) { ++clicks; };
    Panel = Add<TPanel>(5, 35, 150, 25, 4);
    Panel->BevelOuter = bvNone;
    Panel->SetColor(clRed);
    Panel->Hide();
  }

  template <class T>
  T* Add(int left, int top, int width, int height, int tab_order) {
    T* control = new T(this);
    control->SetParent(this);
    control->SetBounds(left, top, width, height);
    control->TabOrder = tab_order;
    return control;
  }

  TEdit* Edit;
  TCheckBox* Check;
  TCheckBox* Check2;
  TButton* Button;
  TPanel* Panel;
  int changes = 0;
  int clicks = 0;
};

Fl_Window* WindowTitled(const std::string& title) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
    if (w->label() && title == w->label()) return w;
  return nullptr;
}

void Key(Fl_Window* window, int key, const char* text = "", int state = 0) {
  Fl::e_keysym = key;
  Fl::e_text = const_cast<char*>(text);
  Fl::e_length = static_cast<int>(std::strlen(text));
  Fl::e_state = state;
  Fl::handle(FL_KEYBOARD, window);
  Fl::e_state = 0;
}

void Click(Fl_Window* window, int x, int y) {
  Fl::e_x = x;
  Fl::e_y = y;
  Fl::e_x_root = window->x() + x;
  Fl::e_y_root = window->y() + y;
  Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
  Fl::e_state = FL_BUTTON1;
  Fl::e_clicks = 0;
  Fl::e_is_click = 1;
  Fl::handle(FL_PUSH, window);
  Fl::e_state = 0;
  Fl::handle(FL_RELEASE, window);
}

using Rgb = std::array<int, 3>;

Rgb PixelAt(Fl_Window* window, int x, int y) {
  window->make_current();
  uchar* p = fl_read_image(nullptr, x, y, 1, 1);
  Rgb rgb{p[0], p[1], p[2]};
  delete[] p;
  return rgb;
}

// The application on the FLTK backend, without a display of its own.
class FltkLoopTest : public ::testing::Test {
 protected:
  // Runs the loop until `done` holds or a five-second watchdog tick comes.
  template <class Done>
  void RunUntil(Done done) {
    bool expired = false;
    auto* watchdog = new TTimer(app.get());
    watchdog->SetInterval(5000);
    watchdog->OnTimer = [&expired](TObject*) { expired = true; };
    while (!done() && !expired) app->HandleMessage();
    delete watchdog;
    EXPECT_FALSE(expired) << "the loop never got there";
  }

  MonotonicClock clock;
  FltkBackend backend{clock};
  std::unique_ptr<TApplication> app = std::make_unique<TApplication>(backend, clock);
};

// The test form shown on a display.
class FltkBackendTest : public FltkLoopTest {
 protected:
  void SetUp() override {
    if (!FltkBackend::DisplayAvailable()) GTEST_SKIP() << "no display answers (run under Xvfb)";
    app->CreateForm(form);
    form->ShowForm();
    app->ProcessMessages();
    window = WindowTitled("FLTK backend test");
    ASSERT_NE(window, nullptr);
  }

  TTestForm* form = nullptr;
  Fl_Window* window = nullptr;
};

TEST_F(FltkBackendTest, TypingReachesTheEditAsMessagesAndCodeReplacesTheText) {
  auto* input = dynamic_cast<Fl_Input*>(Fl::focus());
  ASSERT_NE(input, nullptr) << "the first control in tab order has the keyboard";
  form->Edit->SetText("ab");
  app->ProcessMessages();
  EXPECT_STREQ(input->value(), "ab");

  int changes = form->changes;
  input->position(2);
  Key(window, 'c', "c");
  EXPECT_EQ(form->Edit->Text(), "ab") << "typing is a message, taken when the loop runs";
  app->ProcessMessages();
  EXPECT_EQ(form->Edit->Text(), "abc");
  EXPECT_EQ(form->changes, changes + 1);

  Key(window, 0xE9, "\xC3\xA9");  // typed as UTF-8, kept in the code page
  app->ProcessMessages();
  EXPECT_EQ(form->Edit->Text(), "abc\xE9");
  EXPECT_STREQ(input->value(), "abc\xC3\xA9");

  Key(window, FL_Left);  // the edit's own key: the cursor moves, the text stays
  app->ProcessMessages();
  EXPECT_EQ(input->position(), 3);
  EXPECT_EQ(form->Edit->Text(), "abc\xE9");

  form->Edit->SetText("\xE9t\xE9");
  app->ProcessMessages();
  EXPECT_STREQ(input->value(), "\xC3\xA9t\xC3\xA9");
}

TEST_F(FltkBackendTest, KeysMeanWhatTheFormSays) {
  Key(window, FL_Tab);
  app->ProcessMessages();
  EXPECT_EQ(form->ActiveControl(), form->Check);
  EXPECT_EQ(dynamic_cast<Fl_Input*>(Fl::focus()), nullptr) << "FLTK's focus followed the framework's";

  Key(window, ' ', " ");
  app->ProcessMessages();
  EXPECT_TRUE(form->Check->Checked()) << "Space toggles the check box once";

  Key(window, FL_Tab, "", FL_SHIFT);
  app->ProcessMessages();
  EXPECT_EQ(form->ActiveControl(), form->Edit);
  EXPECT_NE(dynamic_cast<Fl_Input*>(Fl::focus()), nullptr);

  Key(window, FL_Escape);  // no cancel button: nothing happens, and FLTK closes nothing
  app->ProcessMessages();
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(window->shown());

  form->Button->SetFocus();
  Key(window, FL_Enter);
  app->ProcessMessages();
  EXPECT_EQ(form->clicks, 1);

  form->Button->Cancel = true;
  Key(window, FL_Escape);
  app->ProcessMessages();
  EXPECT_EQ(form->clicks, 2);
}

TEST_F(FltkBackendTest, ClicksAreMessagesAndAPanelKeepsThemFromWhatItCovers) {
  Click(window, 40, 100);
  EXPECT_EQ(form->clicks, 0) << "a click runs no handler from inside FLTK";
  app->ProcessMessages();
  EXPECT_EQ(form->clicks, 1);

  Click(window, 20, 48);
  app->ProcessMessages();
  EXPECT_TRUE(form->Check->Checked());

  form->Panel->Show();
  app->ProcessMessages();
  Click(window, 20, 48);
  Click(window, 20, 70);
  app->ProcessMessages();
  EXPECT_TRUE(form->Check->Checked()) << "the covered check box was not reached";
  EXPECT_TRUE(form->Check2->Checked()) << "the one beside the panel still is";
}

TEST_F(FltkBackendTest, RepaintPutsTheStateOnTheScreenBeforeReturning) {
  const Rgb red{255, 0, 0}, face{192, 192, 192};
  form->Repaint();
  EXPECT_EQ(PixelAt(window, 140, 50), face);
  form->Panel->Show();
  form->Repaint();
  EXPECT_EQ(PixelAt(window, 140, 50), red);
  EXPECT_EQ(PixelAt(window, 14, 48), red) << "the panel is drawn over the check box";
  form->Panel->Hide();
  form->Repaint();
  EXPECT_EQ(PixelAt(window, 140, 50), face);
}

// The desktop knows the program by the application's title: the window's class and icon name.
TEST_F(FltkBackendTest, WindowsCarryTheApplicationTitleForTheDesktop) {
  form->HideForm();
  app->Title = "Setup";
  form->ShowForm();
  app->ProcessMessages();
  ASSERT_NE(window->xclass(), nullptr);
  EXPECT_STREQ(window->xclass(), "Setup");
  ASSERT_NE(window->iconlabel(), nullptr);
  EXPECT_STREQ(window->iconlabel(), "Setup");
  EXPECT_STREQ(window->label(), "FLTK backend test") << "the title bar keeps the form's caption";
}

TEST_F(FltkBackendTest, TheCloseBoxClosesOnlyAFormThatHasOne) {
  form->BorderIcons.SystemMenu = false;
  window->do_callback();
  app->ProcessMessages();
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(app->Terminated());

  form->BorderIcons.SystemMenu = true;
  window->do_callback();
  app->ProcessMessages();
  EXPECT_TRUE(app->Terminated()) << "closing the main form ends the application";
}

TEST_F(FltkBackendTest, TheErrorDisplayIsAModalWindowThatEnterAnswers) {
  app->Title = "Backend test";
  bool shown = false, answered = false;
  // The box runs its own loop; a tick inside it plays the user.
  auto* user = new TTimer(app.get());
  user->SetInterval(20);
  user->OnTimer = [&](TObject*) {
    Fl_Window* box = WindowTitled("Backend test");
    if (!box || !box->shown()) return;
    shown = true;
    EXPECT_TRUE(box->modal());
    Key(box, FL_Enter);
  };
  app->Post([&] {
    app->ShowException("Something broke");
    answered = true;
  });
  RunUntil([&] { return answered; });
  delete user;
  EXPECT_TRUE(shown);
  Fl_Window* box = WindowTitled("Backend test");
  EXPECT_TRUE(box == nullptr || !box->shown());
}

// A control class of another module, and one nobody gave a widget.
class TProbe : public TControl {
 public:
  using TControl::TControl;
};
class TUnknown : public TWinControl {
 public:
  using TWinControl::TWinControl;
};

struct ProbeWidget : Fl_Widget {
  ProbeWidget() : Fl_Widget(0, 0, 0, 0) {}
  void draw() override {}
};
Fl_Widget* made_probe = nullptr;

TEST_F(FltkBackendTest, RegisteredClassesGetWidgetsAtTheirLayoutPlaceAndUnknownOnesNone) {
  FltkWidgetClass probe_class;
  probe_class.create = [](TControl&) -> Fl_Widget* { return made_probe = new ProbeWidget; };
  RegisterFltkWidgetClass<TProbe>(probe_class);

  form->Panel->SetBounds(15, 74, 200, 60);
  form->Panel->Show();
  auto* probe = new TProbe(form);
  probe->SetParent(form->Panel);
  probe->SetBounds(55, 6, 20, 10);
  auto* unknown = new TUnknown(form);
  unknown->SetParent(form);
  unknown->SetBounds(16, 16, 0, 0);
  auto* orphan = new TCheckBox(form);  // on a control without a widget: drawn nowhere, no harm
  orphan->SetParent(unknown);
  form->Repaint();
  app->ProcessMessages();

  ASSERT_NE(made_probe, nullptr);
  EXPECT_EQ(made_probe->x(), 70) << "window coordinates: the panel's left plus the control's";
  EXPECT_EQ(made_probe->y(), 80);
  EXPECT_EQ(made_probe->w(), 20);
  EXPECT_EQ(made_probe->h(), 10);
  EXPECT_EQ(made_probe->window(), window);

  form->Panel->SetBounds(20, 70, 200, 60);
  app->ProcessMessages();
  EXPECT_EQ(made_probe->x(), 75);
  EXPECT_EQ(made_probe->y(), 76);

  delete probe;  // its widget goes with it
  delete unknown;
  made_probe = nullptr;
  form->Repaint();
  app->ProcessMessages();
}

TEST_F(FltkLoopTest, TimersTickWhileTheLoopWaitsInFltk) {
  int ticks = 0;
  auto* timer = new TTimer(app.get());
  timer->SetInterval(10);
  timer->OnTimer = [&ticks](TObject*) { ++ticks; };
  RunUntil([&] { return ticks >= 3; });
  delete timer;
}

TEST_F(FltkLoopTest, SocketReadinessArrivesOnceThroughFltksLoop) {
  win::WSADATA data;
  ASSERT_EQ(win::WSAStartup(win::MAKEWORD(1, 1), &data), 0);
  struct Case {
    bool listening;
    int error;  // what the socket says once ready
  } cases[] = {{true, 0}, {false, win::WSAECONNREFUSED}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.listening ? "server listening" : "connection refused");
    testing_support::LoopbackServer server("127.0.0.1", 0, c.listening);
    win::SOCKET s = win::TcpSocket();
    ASSERT_NE(s, win::INVALID_SOCKET);
    win::Connect(s, 0x7F000001, server.port());
    int calls = 0;
    short revents = 0;
    app->WatchSocket(s, win::POLLWRNORM, [&](short r) {
      ++calls;
      revents = r;
    });
    RunUntil([&] { return calls > 0; });
    EXPECT_NE(revents, 0);
    EXPECT_EQ(win::SocketError(s), c.error);
    EXPECT_TRUE(app->SocketWatches().empty()) << "a watch is one-shot";
    app->ProcessMessages();
    EXPECT_EQ(calls, 1);
    win::closesocket(s);
  }
  win::WSACleanup();
}

TEST(LayoutLinesTest, BreaksAtLineEndsAndWrapsBetweenWords) {
  auto chars = [](std::string_view s) { return static_cast<double>(s.size()); };
  struct Case {
    const char* text;
    int width;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\r\nb\rc\nd", 0, {"a", "b", "c", "d"}},
      {"", 0, {""}},
      {"a\n", 0, {"a", ""}},
      {"a\r\n\r\nb", 0, {"a", "", "b"}},
      {"the quick brown fox", 10, {"the quick", "brown fox"}},
      {"the quick brown fox", 100, {"the quick brown fox"}},
      {"abcdefghij xy", 5, {"abcdefghij", "xy"}},
      {"a   b", 1, {"a", "b"}},
      {"one two\nthree four", 8, {"one two", "three", "four"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LayoutLines(c.text, c.width, chars), c.lines) << "\"" << c.text << "\" in " << c.width;
}

}  // namespace
}  // namespace ui
