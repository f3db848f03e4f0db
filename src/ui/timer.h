// A timer whose ticks are messages: at most one tick of a timer waits in the queue; a tick runs only
// where messages are dispatched, and never interrupts code. Disabling a timer drops its waiting tick.
#pragma once

#include "ui/clock.h"
#include "ui/component.h"

namespace ui {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  int Interval() const { return interval_; }
  void SetInterval(int milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  TNotifyEvent OnTimer;

  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

  // The application's side: when the next tick is due, and the tick itself.
  Millis NextDue() const { return next_due_; }
  bool TickPending() const { return tick_pending_; }
  void MarkTickPosted(Millis now);
  void DeliverTick();

 private:
  void Rearm();
  int interval_ = 1000;
  bool enabled_ = true;
  bool tick_pending_ = false;
  Millis next_due_ = 0;
};

}  // namespace ui
