// The headless backend: no display and a virtual clock. Tests script the user: each step runs when the
// loop would otherwise wait and its condition holds; steps act through the application's input path.
// When nothing is scripted the clock jumps to the next timer; sockets are polled for real (loopback).
// A loop that would wait forever throws HeadlessStalled (not a std::exception, so no handler eats it).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "ui/application.h"
#include "ui/backend.h"
#include "ui/clock.h"

namespace ui {

struct HeadlessStalled {
  std::string why;
};

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(VirtualClock& clock) : clock_(clock) {}

  // Script steps, run in order.
  void Then(std::function<void()> step) { When(nullptr, std::move(step)); }
  void When(std::function<bool()> ready, std::function<void()> step);
  bool ScriptDone() const { return script_.empty(); }

  // How long (real time) to wait for a socket when nothing else can happen before giving up.
  int socket_wait_limit_ms = 5000;
  // Virtual time after which a loop that only ticks timers is declared stalled.
  Millis virtual_time_limit = 24 * 3600 * 1000;

  // How many times the form was painted at once (Repaint).
  int RepaintCount(const TForm& form) const;
  // Forms in the order they were shown, by name, for tests that check what came up.
  const std::vector<std::string>& ShownForms() const { return shown_; }

  // Input as a person gives it (each posts a message).
  static void Click(TControl* control) { Application->InputClick(control); }
  static void Type(TEdit* edit, const std::string& text) { Application->InputText(edit, text); }
  static void Press(TForm* form, Key key) { Application->InputKey(form, key); }
  static void CloseBox(TForm* form) { Application->InputClose(form); }

  void Poll() override;
  void Wait(std::optional<Millis> deadline) override;
  void FormShown(TForm& form) override;
  void FormHidden(TForm&) override {}
  void ControlChanged(TControl&) override {}
  void ControlDestroyed(TControl&) override {}
  void FocusChanged(TForm&, TWinControl*) override {}
  void RepaintNow(TForm& form) override;
  void ModalChanged() override {}
  void SocketWatchesChanged() override {}
  int TextWidth(const TFont& font, const std::string& text) override;

 private:
  bool PollSockets(int timeout_ms);
  struct Step {
    std::function<bool()> ready;
    std::function<void()> run;
  };
  VirtualClock& clock_;
  std::deque<Step> script_;
  std::map<const TForm*, int> repaints_;
  std::vector<std::string> shown_;
};

}  // namespace ui
