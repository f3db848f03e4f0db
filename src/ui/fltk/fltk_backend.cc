#include "ui/fltk/fltk_backend.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/fltk/fltk_widgets.h"
#include "ui/forms.h"
#include "win/winsock.h"

namespace ui {

namespace {

// What the backend keeps for one control (in TControl::BackendPeer).
struct Peer {
  TControl* control = nullptr;
  const FltkWidgetClass* widget_class = nullptr;
  Fl_Widget* widget = nullptr;  // null: a control of a class without a widget
  Fl_Group* group = nullptr;    // where the widgets of the control's children go
  bool is_form = false;
  bool focus_pending = false;      // forms: the framework moved the focus and FLTK has not followed yet
  int range_w = -1, range_h = -1;  // forms: the size limits last given to the window manager
};

Peer* PeerOf(const TControl& control) { return static_cast<Peer*>(control.BackendPeer); }

bool Usable(const Fl_Widget* w) { return w && w->visible_r() && w->active_r(); }

class FormWindow : public Fl_Double_Window {
 public:
  explicit FormWindow(TForm& form)
      : Fl_Double_Window(std::max(1, form.ClientWidth()), std::max(1, form.ClientHeight())), form_(form) {
    end();
    resizable(nullptr);  // the layout is in pixels: children never scale with the window
    box(FL_FLAT_BOX);
    callback(CloseBox, &form_);
  }
  TForm& form() { return form_; }

  // The application's title names its windows to the desktop, as one program: their class (what task
  // lists group windows by) and the label a window shows when iconified. Taken when the window maps.
  void NameAfterApplication(const std::string& title) {
    if (title.empty() || title == application_title_) return;
    application_title_ = title;
    xclass(application_title_.c_str());
    iconlabel(application_title_.c_str());  // FLTK keeps the pointer: the string lives with the window
  }

  int handle(int event) override {
    if (event == FL_FOCUS) {
      // The window got the keyboard: it goes to the control the framework has focused, not to the first
      // child FLTK would pick.
      TWinControl* active = form_.ActiveControl();
      Peer* peer = active ? PeerOf(*active) : nullptr;
      if (peer && Usable(peer->widget) && peer->widget != this) peer->widget->take_focus();
      return 1;
    }
    return Fl_Double_Window::handle(event);
  }

  // FLTK draws a window only once the server has exposed it; until then drawing would be lost.
  bool drawn() const { return drawn_; }
  void show() override {
    if (!shown()) drawn_ = false;
    Fl_Double_Window::show();
  }
  void hide() override {
    drawn_ = false;
    Fl_Double_Window::hide();
  }
  void draw() override {
    Fl_Double_Window::draw();
    drawn_ = true;
  }

 private:
  static void CloseBox(Fl_Widget*, void* data) {
    auto* form = static_cast<TForm*>(data);
    // Escape is a key of the form (its cancel button), never a way to close the window by itself.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    if (!form->BorderIcons.SystemMenu) return;  // no close box, no Alt+F4
    if (Application) Application->InputClose(form);
  }
  TForm& form_;
  bool drawn_ = false;
  std::string application_title_;
};

// The framework's meaning of a key press, when it has one.
std::optional<Key> FrameworkKey(int key, int state) {
  if (state & (FL_CTRL | FL_ALT | FL_META)) return std::nullopt;
  switch (key) {
    case FL_Tab: return (state & FL_SHIFT) ? Key::ShiftTab : Key::Tab;
    case FL_Enter:
    case FL_KP_Enter: return Key::Enter;
    case FL_Escape: return Key::Escape;
    case ' ': return (state & FL_SHIFT) ? std::nullopt : std::optional<Key>(Key::Space);
    case FL_Up: return Key::Up;
    case FL_Down: return Key::Down;
    case FL_Left: return Key::Left;
    case FL_Right: return Key::Right;
    case FL_Home: return Key::Home;
    case FL_End: return Key::End;
    case FL_Page_Up: return Key::PageUp;
    case FL_Page_Down: return Key::PageDown;
    default: return std::nullopt;
  }
}

}  // namespace

struct FltkBackend::State {
  explicit State(Clock& c) : clock(c) {}

  Clock& clock;
  std::vector<Peer*> forms;  // forms that have a window
  std::unordered_set<Peer*> peers;
  std::unordered_map<const Fl_Widget*, Peer*> by_widget;
  bool dirty = true;
  bool sockets_dirty = false;
  std::map<int, int> watched_fds;  // descriptor -> FLTK events
  Fl_Event_Dispatch previous_dispatch = nullptr;

  static State* instance;  // the event hook and the descriptor callback have no other way in

  Peer* EnsurePeer(TControl& control);
  Peer* EnsureFormPeer(TForm& form);
  void DeletePeer(Peer* peer);
  void SyncAll();
  void SyncForm(Peer& form_peer);
  void SyncChildren(TWinControl& parent, Fl_Group& group, int origin_x, int origin_y);
  void ApplyFocus(Peer& form_peer);
  void SyncSockets();
  bool FocusedWidgetOwns(int key) const;
  void RefocusAll() {
    for (Peer* f : forms) f->focus_pending = true;
  }

  static int Dispatch(int event, Fl_Window* window);
  static void DescriptorReady(int fd, void* data);
};

FltkBackend::State* FltkBackend::State::instance = nullptr;

// ---- peers

Peer* FltkBackend::State::EnsurePeer(TControl& control) {
  if (Peer* p = PeerOf(control)) return p;
  auto* p = new Peer;
  p->control = &control;
  control.BackendPeer = p;
  peers.insert(p);
  p->widget_class = FindFltkWidgetClass(control);
  if (p->widget_class && p->widget_class->create) {
    // A new FLTK widget joins whichever group is open: none may be.
    Fl_Group::current(nullptr);
    p->widget = p->widget_class->create(control);
    Fl_Group::current(nullptr);
    if (p->widget) {
      if (p->widget_class->container) p->group = p->widget->as_group();
      by_widget[p->widget] = p;
    }
  }
  return p;
}

Peer* FltkBackend::State::EnsureFormPeer(TForm& form) {
  if (Peer* p = PeerOf(form)) return p;
  auto* p = new Peer;
  p->control = &form;
  p->is_form = true;
  form.BackendPeer = p;
  peers.insert(p);
  Fl_Group::current(nullptr);
  auto* window = new FormWindow(form);
  Fl_Group::current(nullptr);
  p->widget = window;
  p->group = window;
  by_widget[window] = p;
  forms.push_back(p);
  return p;
}

void FltkBackend::State::DeletePeer(Peer* p) {
  if (p->is_form) forms.erase(std::remove(forms.begin(), forms.end(), p), forms.end());
  if (Fl_Widget* w = p->widget) {
    // The children's widgets belong to their own controls: take them out before the group goes.
    if (p->group)
      while (p->group->children() > 0) p->group->remove(p->group->child(0));
    if (Fl_Group* parent = w->parent()) parent->remove(w);
    by_widget.erase(w);
    if (p->is_form) w->hide();
    delete w;
  }
  peers.erase(p);
  delete p;
  dirty = true;
}

// ---- bringing widgets in line with controls

void FltkBackend::State::SyncAll() {
  if (sockets_dirty) SyncSockets();
  if (dirty) {
    dirty = false;
    for (Peer* f : forms) SyncForm(*f);
  }
  for (Peer* f : forms)
    if (f->focus_pending) ApplyFocus(*f);
}

void FltkBackend::State::SyncForm(Peer& fp) {
  auto& form = static_cast<TForm&>(*fp.control);
  auto* window = static_cast<FormWindow*>(fp.widget);
  std::string caption = DisplayText(form.Caption());
  if (!window->label() || caption != window->label()) window->copy_label(caption.c_str());
  window->color(ToFlColor(form.ColorUsed()));
  int w = std::max(1, form.ClientWidth()), h = std::max(1, form.ClientHeight());
  if (window->w() != w || window->h() != h) window->size(w, h);
  if (fp.range_w != w || fp.range_h != h) {
    fp.range_w = w;
    fp.range_h = h;
    if (form.BorderStyle == bsSizeable)
      window->size_range(1, 1);
    else
      window->size_range(w, h, w, h);
    // FLTK rewrites the title-bar functions with the size limits.
    SetWindowFunctions(*window, form.BorderIcons.SystemMenu, form.BorderIcons.Minimize,
                       form.BorderStyle == bsSizeable);
  }
  SyncChildren(form, *window, 0, 0);
  // Forms are small and double-buffered: drawing all of it keeps panels over what they cover.
  window->redraw();
}

void FltkBackend::State::SyncChildren(TWinControl& parent, Fl_Group& group, int origin_x, int origin_y) {
  int index = 0;
  for (TControl* c : parent.Controls()) {
    Peer* p = EnsurePeer(*c);
    Fl_Widget* w = p->widget;
    if (!w) continue;
    // FLTK draws children in order and gives the mouse to the last one first: the stacking order.
    if (index >= group.children() || group.child(index) != w) group.insert(*w, index);
    ++index;
    TRect r = c->BoundsRect();
    // FLTK places every widget in its window's coordinates.
    int x = origin_x + r.Left, y = origin_y + r.Top;
    if (w->x() != x || w->y() != y || w->w() != r.Width || w->h() != r.Height)
      w->resize(x, y, r.Width, r.Height);
    // A control under a visible panel stays visible to the framework, but FLTK must not let Tab or the
    // mouse reach it. Pictures and labels keep being drawn: the panel paints over what it covers.
    bool shown = c->Visible() && !(dynamic_cast<TWinControl*>(c) && c->IsCovered());
    if (shown != (w->visible() != 0)) shown ? w->show() : w->hide();
    if (c->Enabled() != (w->active() != 0)) c->Enabled() ? w->activate() : w->deactivate();
    if (p->widget_class->update) p->widget_class->update(*c, *w);
    if (p->group)
      if (auto* wc = dynamic_cast<TWinControl*>(c)) SyncChildren(*wc, *p->group, x, y);
  }
  // Widgets left over belong to controls that moved elsewhere; their new parent takes them in.
  while (group.children() > index) group.remove(group.child(group.children() - 1));
}

void FltkBackend::State::ApplyFocus(Peer& fp) {
  auto& form = static_cast<TForm&>(*fp.control);
  auto* window = static_cast<FormWindow*>(fp.widget);
  if (!window->shown() || !form.Visible()) return;
  // Only a window that has the keyboard follows at once; another one takes the focus when activated
  // (FormWindow::handle), so typing never lands in a window the user is not in.
  Fl_Widget* current = Fl::focus();
  if (current && !window->contains(current)) return;
  fp.focus_pending = false;
  TWinControl* target = form.ActiveControl();
  Peer* tp = target ? PeerOf(*target) : nullptr;
  if (tp && Usable(tp->widget)) {
    if (current != tp->widget) tp->widget->take_focus();
  } else if (current != window) {
    Fl::focus(window);
  }
}

bool FltkBackend::State::FocusedWidgetOwns(int key) const {
  for (Fl_Widget* w = Fl::focus(); w; w = w->parent()) {
    auto it = by_widget.find(w);
    if (it == by_widget.end()) continue;
    const FltkWidgetClass* c = it->second->widget_class;
    return c && c->owns_key && c->owns_key(key);
  }
  return false;
}

// ---- input

int FltkBackend::State::Dispatch(int event, Fl_Window* window) {
  auto* form_window = dynamic_cast<FormWindow*>(window);
  // While a widget holds the grab (an open drop-down list), its keys are its own.
  if (instance && form_window && Application && !Fl::grab()) {
    // Keys mean what the framework says; FLTK's own shortcuts, group navigation and Escape-closes-window
    // never apply to a form.
    if (event == FL_SHORTCUT) return 0;
    if (event == FL_KEYBOARD) {
      int key = Fl::event_key();
      std::optional<Key> k = FrameworkKey(key, Fl::event_state());
      if (k && !instance->FocusedWidgetOwns(key)) {
        Application->InputKey(&form_window->form(), *k);
        return 1;
      }
    }
  }
  return Fl::handle_(event, window);
}

// ---- sockets

void FltkBackend::State::SyncSockets() {
  sockets_dirty = false;
  std::map<int, int> wanted;
  if (Application)
    for (const auto& watch : Application->SocketWatches()) {
      int events = 0;
      if (watch.events & win::POLLRDNORM) events |= FL_READ;
      if (watch.events & win::POLLWRNORM) events |= FL_WRITE;
      if (events == 0) events = FL_READ;  // errors and hang-ups make a socket readable
      wanted[static_cast<int>(watch.socket)] |= events;
    }
  for (const auto& [fd, events] : watched_fds) {
    auto it = wanted.find(fd);
    if (it == wanted.end() || it->second != events) Fl::remove_fd(fd);
  }
  for (const auto& [fd, events] : wanted) {
    auto it = watched_fds.find(fd);
    if (it == watched_fds.end() || it->second != events) Fl::add_fd(fd, events, DescriptorReady, this);
  }
  watched_fds = std::move(wanted);
}

void FltkBackend::State::DescriptorReady(int fd, void* data) {
  auto* state = static_cast<State*>(data);
  if (!Application) return;
  // Ask the socket layer what is ready, as the headless backend does, so both report the same bits.
  std::vector<std::pair<int, short>> ready;
  for (const auto& watch : Application->SocketWatches()) {
    if (static_cast<int>(watch.socket) != fd) continue;
    win::WSAPOLLFD p{watch.socket, watch.events, 0};
    if (win::WSAPoll(&p, 1, 0) > 0 && p.revents) ready.emplace_back(watch.id, p.revents);
  }
  // Each watch is one-shot: SocketReady drops it; FLTK stops watching at the next sync, outside its loop.
  for (const auto& [id, revents] : ready) Application->SocketReady(id, revents);
  state->sockets_dirty = true;
}

// ---- the backend

FltkBackend::FltkBackend(Clock& clock) : state_(std::make_unique<State>(clock)) {
  State::instance = state_.get();
  state_->previous_dispatch = Fl::event_dispatch();
  Fl::event_dispatch(State::Dispatch);
  Fl::visible_focus(1);
  RegisterStandardWidgets();
  RegisterFileControlWidgets();
}

FltkBackend::~FltkBackend() {
  for (const auto& [fd, events] : state_->watched_fds) Fl::remove_fd(fd);
  // Take every widget out of its group first, so that deleting a group never deletes another's widget.
  for (Peer* p : state_->peers)
    if (p->group)
      while (p->group->children() > 0) p->group->remove(p->group->child(0));
  for (Peer* p : state_->peers) {
    if (p->widget) {
      if (p->is_form) p->widget->hide();
      if (Fl_Group* parent = p->widget->parent()) parent->remove(p->widget);
      delete p->widget;
    }
    p->control->BackendPeer = nullptr;
    delete p;
  }
  Fl::event_dispatch(state_->previous_dispatch);
  State::instance = nullptr;
}

bool FltkBackend::DisplayAvailable() { return CanOpenDisplay(); }

bool FltkBackend::SetApplicationIcon(std::string_view png_bytes) {
  if (png_bytes.empty()) return false;
  Fl_PNG_Image icon("icon", reinterpret_cast<const unsigned char*>(png_bytes.data()),
                    static_cast<int>(png_bytes.size()));
  if (icon.fail() != 0 || icon.w() <= 0 || icon.h() <= 0) return false;
  Fl_Window::default_icon(&icon);  // copies the picture
  return true;
}

void FltkBackend::Poll() {
  state_->SyncAll();
  // One check may handle queued window-system events and skip the descriptors: go on while it finds work.
  for (int round = 0; round < 10; ++round) {
    if (state_->sockets_dirty) state_->SyncSockets();
    if (Fl::wait(0.0) <= 0) break;
  }
  if (state_->sockets_dirty) state_->SyncSockets();
}

void FltkBackend::Wait(std::optional<Millis> deadline) {
  state_->SyncAll();
  double seconds = 1e20;  // FLTK's "forever"
  if (Application && Application->PendingMessages() > 0)
    seconds = 0;
  else if (deadline)
    seconds = static_cast<double>(std::max<Millis>(0, *deadline - state_->clock.Now())) / 1000.0;
  // Input and descriptor callbacks post messages and end the wait; ticks are the framework's, by deadline.
  Fl::wait(seconds);
  if (state_->sockets_dirty) state_->SyncSockets();
}

void FltkBackend::FormShown(TForm& form) {
  OpenDisplay();
  Peer* p = state_->EnsureFormPeer(form);
  auto* window = static_cast<FormWindow*>(p->widget);
  state_->dirty = true;
  state_->SyncAll();
  if (!form.Placed) {
    int w = window->w(), h = window->h();
    if (form.Position == poScreenCenter) {
      int sx, sy, sw, sh;
      Fl::screen_xywh(sx, sy, sw, sh, 0);
      window->position(sx + (sw - w) / 2, sy + (sh - h) / 2);
    } else {
      window->position(form.Left(), form.Top());
    }
    form.Placed = true;
  }
  if (form.BorderStyle == bsNone) window->border(0);
  // FLTK takes a window's modality when it maps it.
  const auto& modal = Application->ModalForms();
  if (Application->TopModalForm() == &form)
    window->set_modal();
  else if (std::find(modal.begin(), modal.end(), &form) == modal.end())
    window->clear_modal_states();
  window->NameAfterApplication(DisplayText(Application->Title));
  window->show();
  SetWindowFunctions(*window, form.BorderIcons.SystemMenu, form.BorderIcons.Minimize,
                     form.BorderStyle == bsSizeable);
  p->focus_pending = true;
}

void FltkBackend::FormHidden(TForm& form) {
  Peer* p = PeerOf(form);
  if (p && p->widget) p->widget->hide();
  // The keyboard leaves with the window; the one it goes back to focuses the control it had.
  state_->RefocusAll();
}

void FltkBackend::ControlChanged(TControl& control) {
  state_->dirty = true;
  // A control taken off its parent leaves the parent's group now: the group may go before the next sync.
  Peer* p = PeerOf(control);
  if (p && p->widget && !p->is_form && !control.Parent())
    if (Fl_Group* group = p->widget->parent()) group->remove(p->widget);
}

void FltkBackend::ControlDestroyed(TControl& control) {
  Peer* p = PeerOf(control);
  if (!p) return;
  control.BackendPeer = nullptr;
  state_->DeletePeer(p);
}

void FltkBackend::FocusChanged(TForm& form, TWinControl*) {
  if (Peer* p = PeerOf(form)) p->focus_pending = true;
}

void FltkBackend::RepaintNow(TForm& form) {
  state_->SyncAll();
  Peer* p = PeerOf(form);
  if (!p || !p->widget) return;
  auto* window = static_cast<FormWindow*>(p->widget);
  if (!window->shown()) return;
  // A window just shown is drawn once the server has mapped it. Wait for that a little, not for ever:
  // an iconified window never is. Input taken meanwhile only becomes messages.
  for (int i = 0; i < 50 && !window->drawn(); ++i) Fl::wait(0.02);
  window->redraw();
  Fl::flush();
  SyncDisplay();
}

void FltkBackend::ModalChanged() {
  if (!Application) return;
  state_->RefocusAll();
  TForm* top = Application->TopModalForm();
  const auto& modal = Application->ModalForms();
  for (Peer* f : state_->forms) {
    auto* window = static_cast<FormWindow*>(f->widget);
    TForm* form = static_cast<TForm*>(f->control);
    if (form == top) {
      window->set_modal();
      if (window->shown()) window->show();  // raises it
    } else if (std::find(modal.begin(), modal.end(), form) == modal.end()) {
      window->clear_modal_states();
    }
  }
}

void FltkBackend::SocketWatchesChanged() { state_->sockets_dirty = true; }

int FltkBackend::TextWidth(const TFont& font, const std::string& text) {
  OpenDisplay();
  UseFont(font);
  return LineWidth(DisplayText(text));
}

}  // namespace ui
