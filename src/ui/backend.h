// What a backend does for the framework: gives forms windows (real or none), tells the framework of
// user input through the application's input path, watches sockets, and waits. The framework calls it
// on the UI thread only. The backend never runs the installer's handlers itself: input becomes messages.
#pragma once

#include <optional>
#include <string>

#include "ui/clock.h"
#include "ui/graphics.h"

namespace ui {

class TControl;
class TForm;
class TWinControl;

class Backend {
 public:
  virtual ~Backend() = default;

  // Collects input and socket readiness that is already there, without blocking.
  virtual void Poll() = 0;
  // Blocks until input or socket readiness arrives or `deadline` (on the application's clock) passes.
  virtual void Wait(std::optional<Millis> deadline) = 0;

  virtual void FormShown(TForm& form) = 0;
  virtual void FormHidden(TForm& form) = 0;
  // The control's state (any of it) changed; redraw it when convenient.
  virtual void ControlChanged(TControl& control) = 0;
  // The control is about to be destroyed; drop what the backend keeps for it.
  virtual void ControlDestroyed(TControl& control) = 0;
  virtual void FocusChanged(TForm& form, TWinControl* focused) = 0;
  // Draw the form now, before control returns to the running handler.
  virtual void RepaintNow(TForm& form) = 0;
  // The stack of modal forms changed: forms below the top one take no input.
  virtual void ModalChanged() = 0;
  // The application's socket watches changed.
  virtual void SocketWatchesChanged() = 0;

  // Width in pixels of one line of text in `font`.
  virtual int TextWidth(const TFont& font, const std::string& text) = 0;
};

}  // namespace ui
