#include "ui/timer.h"

#include "ui/application.h"
#include "ui/forms.h"
#include "ui/layout.h"

namespace ui {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  Application->AddTimer(this);
  Rearm();
}

TTimer::~TTimer() {
  if (Application) Application->RemoveTimer(this);
}

void TTimer::Rearm() {
  tick_pending_ = false;
  next_due_ = Application->GetClock().Now() + interval_;
}

void TTimer::SetInterval(int milliseconds) {
  interval_ = milliseconds;
  Rearm();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  // Enabling starts a new interval from now; disabling drops a waiting tick.
  Rearm();
}

void TTimer::MarkTickPosted(Millis now) {
  tick_pending_ = true;
  next_due_ = now + interval_;
}

void TTimer::DeliverTick() {
  if (!tick_pending_) return;  // dropped by a disable (or re-enable) since it was posted
  tick_pending_ = false;
  if (enabled_ && interval_ > 0 && OnTimer) OnTimer(this);
}

bool TTimer::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  if (name == "Interval") SetInterval(v.AsInt());
  else if (name == "Enabled") SetEnabled(v.AsBool());
  else if (name == "OnTimer") OnTimer = form.FindHandler<void(TObject*)>(v.AsIdentifier());
  else return TComponent::ApplyProperty(name, v, form);
  return true;
}

}  // namespace ui
