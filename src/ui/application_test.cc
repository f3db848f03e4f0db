// The framework's semantics on the headless backend: loops, modal dialogs, termination, timers, the
// error display, focus and reachability.
#include "ui/application.h"

#include <gtest/gtest.h>

#include <functional>

#include "ui/controls.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/headless/headless_backend.h"
#include "ui/message_box.h"
#include "ui/timer.h"

namespace ui {
namespace {

struct Framework : ::testing::Test {
  VirtualClock clock;
  HeadlessBackend backend{clock};
  TApplication app{backend, clock};

  TForm* NewForm(const std::string& name) {
    TForm* form = nullptr;
    app.CreateForm(form);
    form->Name = name;
    form->SetBounds(0, 0, 300, 200);
    return form;
  }
  template <class T>
  T* Put(TWinControl* parent, TRect r, int tab_order = -1) {
    T* c = new T(parent->OwnerForm());
    c->SetParent(parent);
    c->SetBounds(r.Left, r.Top, r.Width, r.Height);
    if constexpr (std::is_base_of_v<TWinControl, T>) c->TabOrder = tab_order;
    return c;
  }
  TMessageForm* OpenBox() const { return dynamic_cast<TMessageForm*>(app.TopModalForm()); }
};

TEST_F(Framework, TimerTicksInsideNestedModalLoopAndTerminateCancelsIt) {
  TForm* main = NewForm("Main");
  TForm* dialog = NewForm("Dialog");
  auto* agree = Put<TButton>(dialog, {10, 10, 75, 25}, 0);
  bool agree_ran = false;
  agree->OnClick = [&](TObject*) { agree_ran = true; };
  auto* show = new TTimer(main);
  show->SetInterval(100);
  show->SetEnabled(false);
  auto* close = new TTimer(main);
  close->SetInterval(1000);
  int modal_result = -1;
  Millis shown_at = -1;
  show->OnTimer = [&](TObject*) {
    show->SetEnabled(false);
    shown_at = clock.Now();
    modal_result = dialog->ShowModal();
  };
  close->OnTimer = [&](TObject*) { main->Close(); };
  show->SetEnabled(true);
  app.Run();  // nothing is scripted: time jumps to each timer

  EXPECT_EQ(shown_at, 100);
  EXPECT_EQ(modal_result, mrCancel);
  EXPECT_FALSE(agree_ran);
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(dialog->Visible());
  EXPECT_GE(clock.Now(), 1000);
}

TEST_F(Framework, ProcessMessagesDrainsWhatWaitsAndReturns) {
  NewForm("Main");
  std::vector<int> order;
  app.Post([&] {
    order.push_back(1);
    app.Post([&] { order.push_back(3); });
  });
  app.Post([&] { order.push_back(2); });
  app.ProcessMessages();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(app.PendingMessages(), 0u);
  app.ProcessMessages();  // nothing waits: returns at once without advancing time
  EXPECT_EQ(clock.Now(), 0);
}

TEST_F(Framework, AtMostOnePendingTickPerTimerAndDisableDropsIt) {
  TForm* main = NewForm("Main");
  auto* timer = new TTimer(main);
  timer->SetInterval(100);
  int ticks = 0;
  timer->OnTimer = [&](TObject*) { ++ticks; };
  clock.Advance(1000);  // ten intervals pass while the thread is busy
  app.ProcessMessages();
  EXPECT_EQ(ticks, 1);

  clock.Advance(100);
  app.Post([&] { timer->SetEnabled(false); });
  app.ProcessMessages();  // the disable runs before the waiting tick: the tick is dropped
  EXPECT_EQ(ticks, 1);
}

TEST_F(Framework, ErrorDisplayAppendsFullStopAfterLaterCharactersAndProgramGoesOn) {
  NewForm("Main")->ShowForm();
  app.Title = "Setup";
  struct Case {
    std::string raised, shown;
  } cases[] = {
      {"Failed to create key \\Software\\vnta", "Failed to create key \\Software\\vnta."},
      {"Failed to set data for 'installdir'", "Failed to set data for 'installdir'"},  // ' sorts before .
      {"Ends in a stop.", "Ends in a stop."},
      {"I/O error 21", "I/O error 21."},
      {"Caf\xE9", "Caf\xE9."},  // Windows-1252 letters sort after '.'
  };
  for (const auto& c : cases) {
    std::string caption, text;
    bool icon = false;
    backend.When([&] { return OpenBox() != nullptr; },
                 [&] {
                   caption = OpenBox()->Caption();
                   text = OpenBox()->Message->Caption();
                   icon = OpenBox()->IconKind == StockIcon::Error;
                   HeadlessBackend::Click(OpenBox()->OkButton);
                 });
    bool after = false;
    app.Post([&] { throw Exception(c.raised); });
    app.Post([&] { after = true; });
    while (!after) app.HandleMessage();
    EXPECT_EQ(caption, "Setup");
    EXPECT_EQ(text, c.shown);
    EXPECT_TRUE(icon);
  }
}

TEST_F(Framework, TabFollowsTabOrderAndSkipsCoveredControls) {
  TForm* form = NewForm("Main");
  auto* b = Put<TButton>(form, {10, 10, 75, 25}, 1);
  auto* a = Put<TEdit>(form, {10, 40, 75, 21}, 0);
  auto* c = Put<TCheckBox>(form, {10, 70, 75, 17}, 2);
  auto* panel = Put<TPanel>(form, {0, 60, 300, 140}, 3);
  auto* inner = Put<TButton>(panel, {5, 5, 75, 25}, 0);
  panel->Hide();
  form->ShowForm();
  EXPECT_EQ(form->ActiveControl(), a);  // the first in tab order has the focus
  std::vector<TWinControl*> visited;
  for (int i = 0; i < 4; ++i) {
    HeadlessBackend::Press(form, Key::Tab);
    app.ProcessMessages();
    visited.push_back(form->ActiveControl());
  }
  EXPECT_EQ(visited, (std::vector<TWinControl*>{b, c, a, b}));

  panel->Show();  // covers the check box (and the edit), not the button at the top
  EXPECT_FALSE(c->IsReachable());
  EXPECT_TRUE(c->Visible());
  EXPECT_EQ(form->TabSequence(), (std::vector<TWinControl*>{b, inner}));
  bool clicked = false;
  c->OnClick = [&](TObject*) { clicked = true; };
  HeadlessBackend::Click(c);
  app.ProcessMessages();
  EXPECT_FALSE(clicked);
  EXPECT_FALSE(c->Checked());
}

TEST_F(Framework, EnterPressesOnlyTheFocusedButtonAndEscapeNothingWithoutCancelButton) {
  TForm* form = NewForm("Main");
  auto* first = Put<TButton>(form, {10, 10, 75, 25}, 0);
  auto* second = Put<TButton>(form, {100, 10, 75, 25}, 1);
  std::string pressed;
  first->OnClick = [&](TObject*) { pressed += "1"; };
  second->OnClick = [&](TObject*) { pressed += "2"; };
  form->ShowForm();
  HeadlessBackend::Press(form, Key::Enter);
  HeadlessBackend::Press(form, Key::Escape);
  HeadlessBackend::Press(form, Key::Tab);
  HeadlessBackend::Press(form, Key::Enter);
  app.ProcessMessages();
  EXPECT_EQ(pressed, "12");
}

TEST_F(Framework, InputToAFormBelowAModalDialogIsDropped) {
  TForm* main = NewForm("Main");
  TForm* dialog = NewForm("Dialog");
  auto* main_button = Put<TButton>(main, {10, 10, 75, 25}, 0);
  auto* ok = Put<TButton>(dialog, {10, 10, 75, 25}, 0);
  ok->ModalResult = mrOk;
  int main_clicks = 0;
  main_button->OnClick = [&](TObject*) { ++main_clicks; };
  main->ShowForm();
  backend.Then([&] { HeadlessBackend::Click(main_button); });
  backend.Then([&] { HeadlessBackend::CloseBox(main); });
  backend.Then([&] { HeadlessBackend::Click(ok); });
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_EQ(main_clicks, 0);
  EXPECT_FALSE(app.Terminated());
  app.ProcessMessages();
  EXPECT_FALSE(app.Terminated());
}

TEST_F(Framework, CloseBoxOnModalDialogRunsOnCloseAndReturnsCancel) {
  NewForm("Main")->ShowForm();
  TForm* dialog = NewForm("Dialog");
  int closes = 0;
  dialog->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
  backend.Then([&] { HeadlessBackend::CloseBox(dialog); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(dialog->Visible());
}

// Input that arrives together (a double click, a repeated key) is queued as one message each: what
// the first closes and frees, the second must not reach. Under the sanitizers this would be a use of
// freed memory; here the second input also must not answer the next box.
TEST_F(Framework, InputQueuedForAMessageBoxThatTheFirstClosedIsDropped) {
  TForm* main = NewForm("Main");
  main->ShowForm();
  struct Case {
    const char* name;
    std::function<void(TMessageForm*)> input;
  } cases[] = {
      {"OK clicked twice", [](TMessageForm* box) { HeadlessBackend::Click(box->OkButton); }},
      {"Enter twice", [](TMessageForm* box) { HeadlessBackend::Press(box, Key::Enter); }},
      {"close box twice", [](TMessageForm* box) { HeadlessBackend::CloseBox(box); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    backend.When([&] { return OpenBox() != nullptr; },
                 [&] {
                   c.input(OpenBox());
                   c.input(OpenBox());
                 });
    EXPECT_EQ(app.MessageBox("first", "Setup", MB_OK), IDOK);
    // The second box must wait for input of its own: it would stall, not close, if a stale click
    // still reached it.
    bool second_answered = false;
    backend.When([&] { return OpenBox() != nullptr; },
                 [&] {
                   second_answered = true;
                   HeadlessBackend::Click(OpenBox()->OkButton);
                 });
    EXPECT_EQ(app.MessageBox("second", "Setup", MB_OK), IDOK);
    EXPECT_TRUE(second_answered);
    EXPECT_TRUE(main->Visible());
  }
}

// A box opened after the quit request was taken (an error met after the close box was clicked during
// a long step) ends at once as cancelled, as every open dialog does at the quit; it never waits.
TEST_F(Framework, AModalLoopEnteredAfterTheQuitEndsAtOnceAsCancelled) {
  TForm* main = NewForm("Main");
  main->ShowForm();
  HeadlessBackend::CloseBox(main);
  app.ProcessMessages();
  ASSERT_TRUE(app.Terminated());
  TForm* dialog = NewForm("Dialog");
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_FALSE(dialog->Visible());
  EXPECT_EQ(app.MessageBox("late", "Setup", MB_OKCANCEL), IDCANCEL);
}

TEST_F(Framework, StalledLoopIsReportedInsteadOfHanging) {
  NewForm("Main")->ShowForm();
  EXPECT_THROW(app.HandleMessage(), HeadlessStalled);
}

}  // namespace
}  // namespace ui
