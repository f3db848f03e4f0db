#include "ui/application.h"

#include <algorithm>

#include "ui/controls.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/message_box.h"
#include "ui/timer.h"

namespace ui {

TApplication* Application = nullptr;

TApplication::TApplication(Backend& backend, Clock& clock)
    : TComponent(nullptr), backend_(backend), clock_(clock) {
  Application = this;
}

TApplication::~TApplication() {
  // Forms go first, last created first, while the application still answers their destructors.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) delete *it;
  forms_.clear();
  main_form_ = nullptr;
  while (!Components().empty()) delete Components().back();
  Application = nullptr;
}

void TApplication::AddForm(TForm* form) {
  forms_.push_back(form);
  if (!main_form_) main_form_ = form;
  if (form->OnCreate) {
    try {
      form->OnCreate(form);
    } catch (const std::exception& e) {
      HandleException(e);
    }
  }
}

void TApplication::Run() {
  if (main_form_ && !terminated_) main_form_->ShowForm();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  Message quit;
  quit.quit = true;
  queue_.push_back(std::move(quit));
}

void TApplication::Post(std::function<void()> work) { queue_.push_back(Message{std::move(work)}); }

void TApplication::PostFor(const TComponent* target, std::function<void()> work) {
  Post([lifetime = target->Lifetime(), work = std::move(work)] {
    if (!lifetime.expired()) work();
  });
}

void TApplication::Dispatch(Message& message) {
  if (message.quit) {
    terminated_ = true;
    return;
  }
  try {
    message.run();
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

bool TApplication::DispatchOne() {
  if (queue_.empty()) return false;
  Message message = std::move(queue_.front());
  queue_.pop_front();
  Dispatch(message);
  return true;
}

void TApplication::HandleMessage() {
  PostDueTicks();
  if (DispatchOne()) return;
  backend_.Poll();
  PostDueTicks();
  if (DispatchOne()) return;
  backend_.Wait(NextTimerDue());
  PostDueTicks();
  DispatchOne();
}

void TApplication::ProcessMessages() {
  for (;;) {
    backend_.Poll();
    PostDueTicks();
    if (!DispatchOne()) return;
  }
}

void TApplication::ShowException(const std::string& text) {
  std::string shown = text;
  if (!shown.empty() && static_cast<unsigned char>(shown.back()) > static_cast<unsigned char>('.'))
    shown += '.';
  MessageBox(shown, Title, MB_OK | MB_ICONERROR);
}

void TApplication::HandleException(const std::exception& error) { ShowException(error.what()); }

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  auto* box = new TMessageForm(this, text, caption, flags);
  int result;
  try {
    result = box->ShowModal();
  } catch (...) {
    delete box;
    throw;
  }
  delete box;
  if (result == mrOk) return IDOK;
  // A box with OK only answers OK however it is closed.
  return (flags & 0xF) == MB_OKCANCEL ? IDCANCEL : IDOK;
}

// ---- input path

void TApplication::InputClick(TControl* control) {
  PostFor(control, [control] {
    if (!control->IsReachable()) return;
    if (auto* w = dynamic_cast<TWinControl*>(control); w && w->CanFocus()) w->SetFocus();
    control->Click();
  });
}

void TApplication::InputFocus(TWinControl* control) {
  PostFor(control, [control] {
    if (control->CanFocus()) control->SetFocus();
  });
}

void TApplication::InputText(TEdit* edit, const std::string& text) {
  PostFor(edit, [edit, text] {
    if (!edit->IsReachable()) return;
    if (!edit->Focused()) edit->SetFocus();
    edit->UserEdit(text);
  });
}

void TApplication::InputClose(TForm* form) {
  PostFor(form, [form] {
    if (!form->AcceptsInput() || !form->BorderIcons.SystemMenu) return;
    form->Close();
  });
}

namespace {

// The form's default (Enter) or cancel (Escape) button, when it has one that can be pressed.
TButton* FindButton(TForm& form, bool want_default) {
  for (TWinControl* w : form.TabSequence()) {
    auto* b = dynamic_cast<TButton*>(w);
    if (b && (want_default ? b->Default : b->Cancel)) return b;
  }
  return nullptr;
}

}  // namespace

void TApplication::InputKey(TForm* form, Key key) {
  PostFor(form, [form, key] {
    if (!form->AcceptsInput()) return;
    TWinControl* focused = form->ActiveControl();
    if (focused && !focused->IsReachable()) focused = nullptr;
    switch (key) {
      case Key::Tab:
      case Key::ShiftTab:
        form->SelectNext(key == Key::Tab);
        return;
      case Key::Enter:
        if (auto* b = dynamic_cast<TButton*>(focused)) return b->Click();
        if (TButton* b = FindButton(*form, true)) return b->Click();
        break;
      case Key::Escape:
        if (TButton* b = FindButton(*form, false)) return b->Click();
        break;
      case Key::Space:
        if (dynamic_cast<TButton*>(focused) || dynamic_cast<TCheckBox*>(focused)) return focused->Click();
        break;
      default:
        break;
    }
    if (focused) focused->KeyDown(key);
  });
}

// ---- timers

void TApplication::AddTimer(TTimer* timer) { timers_.push_back(timer); }

void TApplication::RemoveTimer(TTimer* timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

std::optional<Millis> TApplication::NextTimerDue() const {
  std::optional<Millis> next;
  for (const TTimer* t : timers_)
    if (t->Enabled() && t->Interval() > 0 && !t->TickPending() && (!next || t->NextDue() < *next))
      next = t->NextDue();
  return next;
}

void TApplication::PostDueTicks() {
  Millis now = clock_.Now();
  for (TTimer* t : timers_) {
    if (!t->Enabled() || t->Interval() <= 0 || t->TickPending() || t->NextDue() > now) continue;
    t->MarkTickPosted(now);
    Post([this, t] {
      // The timer may have been freed since; only a registered one ticks.
      if (std::find(timers_.begin(), timers_.end(), t) != timers_.end()) t->DeliverTick();
    });
  }
}

// ---- sockets

int TApplication::WatchSocket(std::uintptr_t socket, short events, SocketCallback ready) {
  int id = next_watch_id_++;
  watches_.push_back(SocketWatch{id, socket, events, std::move(ready)});
  backend_.SocketWatchesChanged();
  return id;
}

void TApplication::CancelSocketWatch(int id) {
  auto it = std::find_if(watches_.begin(), watches_.end(), [id](const SocketWatch& w) { return w.id == id; });
  if (it == watches_.end()) return;
  watches_.erase(it);
  backend_.SocketWatchesChanged();
}

void TApplication::SocketReady(int id, short revents) {
  auto it = std::find_if(watches_.begin(), watches_.end(), [id](const SocketWatch& w) { return w.id == id; });
  if (it == watches_.end()) return;
  SocketCallback ready = std::move(it->ready);
  watches_.erase(it);
  backend_.SocketWatchesChanged();
  Post([ready, revents] { ready(revents); });
}

// ---- modal forms

void TApplication::PushModal(TForm* form) {
  modal_forms_.push_back(form);
  backend_.ModalChanged();
}

void TApplication::PopModal(TForm* form) {
  auto it = std::find(modal_forms_.begin(), modal_forms_.end(), form);
  if (it == modal_forms_.end()) return;
  modal_forms_.erase(it);
  backend_.ModalChanged();
}

}  // namespace ui
