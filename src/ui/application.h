// TApplication: the one application object. It owns the forms, the message queue and the timers, runs
// the main loop and the nested loops (ShowModal, message boxes), and shows errors that escape handlers.
// One UI thread; every handler runs to its end when its message is dispatched.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/clock.h"
#include "ui/component.h"

namespace ui {

class TEdit;
class TForm;
class TTimer;

// Keys the framework gives a meaning to.
enum class Key { Tab, ShiftTab, Enter, Escape, Space, Up, Down, Left, Right, Home, End, PageUp, PageDown };

// Message box flags and results, with their Windows values.
enum : unsigned { MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ICONERROR = 0x10, MB_ICONWARNING = 0x30,
                  MB_ICONINFORMATION = 0x40 };
enum : int { IDOK = 1, IDCANCEL = 2 };

class TApplication : public TComponent {
 public:
  TApplication(Backend& backend, Clock& clock);
  ~TApplication() override;

  std::string Title;

  // Creates a form owned by the application, stores it in `reference`, then runs its OnCreate (an
  // error there goes to the error display and creation goes on). The first form is the main form.
  template <class T>
  T* CreateForm(T*& reference) {
    T* form = new T(this);
    reference = form;
    AddForm(form);
    return form;
  }
  TForm* MainForm() const { return main_form_; }
  const std::vector<TForm*>& Forms() const { return forms_; }

  // Shows the main form and dispatches messages until the application terminates.
  void Run();
  // Asks the application to end: posts the quit request.
  void Terminate();
  // True once a loop has taken the quit request.
  bool Terminated() const { return terminated_; }
  // Dispatches one message, waiting for one when none is there.
  void HandleMessage();
  // Dispatches every message that waits (input and due ticks included), then returns.
  void ProcessMessages();
  // Posts work to run as a message of the queue.
  void Post(std::function<void()> work);
  // Posts work meant for `target`, dropped when the target is freed before it runs (a second click
  // queued for a message box that the first one closed).
  void PostFor(const TComponent* target, std::function<void()> work);

  // The error display: a message box captioned with the title, error icon, OK. A full stop is
  // appended when the text's last character sorts after '.'.
  void ShowException(const std::string& text);
  void HandleException(const std::exception& error);
  // A modal message box; returns IDOK or IDCANCEL. Runs a nested loop.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

  // Input path, shared by the backends and the tests: each posts a message; at dispatch the input is
  // dropped unless its target is reachable (visible, enabled, not covered, not below a modal form).
  void InputClick(TControl* control);
  void InputKey(TForm* form, Key key);
  void InputText(TEdit* edit, const std::string& text);  // Windows-1252
  void InputClose(TForm* form);                          // close box, system menu Close, Alt+F4
  void InputFocus(TWinControl* control);

  // Timers (TTimer registers itself).
  void AddTimer(TTimer* timer);
  void RemoveTimer(TTimer* timer);
  std::optional<Millis> NextTimerDue() const;

  // Sockets: a one-shot watch; when the socket is ready for `events` (WSAPoll bits) the backend calls
  // SocketReady, which removes the watch and posts `ready` as a message.
  using SocketCallback = std::function<void(short revents)>;
  struct SocketWatch {
    int id;
    std::uintptr_t socket;
    short events;
    SocketCallback ready;
  };
  int WatchSocket(std::uintptr_t socket, short events, SocketCallback ready);
  void CancelSocketWatch(int id);
  const std::vector<SocketWatch>& SocketWatches() const { return watches_; }
  void SocketReady(int id, short revents);

  // Modal forms, innermost last.
  const std::vector<TForm*>& ModalForms() const { return modal_forms_; }
  TForm* TopModalForm() const { return modal_forms_.empty() ? nullptr : modal_forms_.back(); }
  void PushModal(TForm* form);
  void PopModal(TForm* form);

  Clock& GetClock() const { return clock_; }
  Backend& GetBackend() const { return backend_; }
  // Messages waiting (for tests and the backends' wake-up logic).
  size_t PendingMessages() const { return queue_.size(); }

 private:
  struct Message {
    std::function<void()> run;
    bool quit = false;
  };
  void AddForm(TForm* form);
  void PostDueTicks();
  bool DispatchOne();
  void Dispatch(Message& message);

  Backend& backend_;
  Clock& clock_;
  TForm* main_form_ = nullptr;
  std::vector<TForm*> forms_;
  std::deque<Message> queue_;
  std::vector<TTimer*> timers_;
  std::vector<SocketWatch> watches_;
  int next_watch_id_ = 1;
  std::vector<TForm*> modal_forms_;
  bool terminated_ = false;
};

// The application object of the process (set by the TApplication constructor).
extern TApplication* Application;

}  // namespace ui
