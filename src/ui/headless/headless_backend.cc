#include "ui/headless/headless_backend.h"

#include <vector>

#include "ui/forms.h"
#include "win/winsock.h"

namespace ui {

void HeadlessBackend::When(std::function<bool()> ready, std::function<void()> step) {
  script_.push_back(Step{std::move(ready), std::move(step)});
}

int HeadlessBackend::RepaintCount(const TForm& form) const {
  auto it = repaints_.find(&form);
  return it == repaints_.end() ? 0 : it->second;
}

void HeadlessBackend::FormShown(TForm& form) { shown_.push_back(form.Name); }

void HeadlessBackend::RepaintNow(TForm& form) { ++repaints_[&form]; }

int HeadlessBackend::TextWidth(const TFont& font, const std::string& text) {
  // An average character of a proportional font is about half its height wide.
  return static_cast<int>(text.size()) * (font.PixelHeight() + 1) / 2;
}

bool HeadlessBackend::PollSockets(int timeout_ms) {
  const auto& watches = Application->SocketWatches();
  if (watches.empty()) return false;
  std::vector<win::WSAPOLLFD> fds;
  std::vector<int> ids;
  for (const auto& w : watches) {
    fds.push_back(win::WSAPOLLFD{w.socket, w.events, 0});
    ids.push_back(w.id);
  }
  int ready = win::WSAPoll(fds.data(), fds.size(), timeout_ms);
  if (ready <= 0) return false;
  for (size_t i = 0; i < fds.size(); ++i)
    if (fds[i].revents) Application->SocketReady(ids[i], fds[i].revents);
  return true;
}

void HeadlessBackend::Poll() { PollSockets(0); }

void HeadlessBackend::Wait(std::optional<Millis> deadline) {
  if (PollSockets(0)) return;
  if (!script_.empty() && (!script_.front().ready || script_.front().ready())) {
    Step step = std::move(script_.front());
    script_.pop_front();
    step.run();
    return;
  }
  bool sockets = !Application->SocketWatches().empty();
  if (sockets && PollSockets(deadline ? 20 : socket_wait_limit_ms)) return;
  if (deadline) {
    if (*deadline > virtual_time_limit) throw HeadlessStalled{"virtual time ran past its limit"};
    clock_.AdvanceTo(*deadline);
    return;
  }
  if (sockets) throw HeadlessStalled{"no socket became ready in time"};
  throw HeadlessStalled{script_.empty() ? "the loop waits with nothing scripted, no timer and no socket"
                                        : "the next scripted step's condition can never hold"};
}

}  // namespace ui
