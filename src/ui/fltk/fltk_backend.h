// The FLTK backend: one double-buffered window per form, made when the form is first shown, with a
// widget per control at its layout position. User input becomes messages through the application's
// input path; sockets are watched through FLTK's loop. Wait() blocks in FLTK; nothing here runs the
// installer's handlers. UI thread only; one backend per process (it installs FLTK's event hook).
#pragma once

#include <memory>
#include <string_view>

#include "ui/backend.h"
#include "ui/clock.h"

namespace ui {

class FltkBackend : public Backend {
 public:
  // `clock` is the application's clock (deadlines given to Wait are on it).
  explicit FltkBackend(Clock& clock);
  ~FltkBackend() override;

  // True when a display server answers; without one FLTK ends the program at the first window.
  static bool DisplayAvailable();

  // Sets the icon of every window shown from now on (PNG bytes). False when the picture cannot be read.
  bool SetApplicationIcon(std::string_view png_bytes);

  void Poll() override;
  void Wait(std::optional<Millis> deadline) override;
  void FormShown(TForm& form) override;
  void FormHidden(TForm& form) override;
  void ControlChanged(TControl& control) override;
  void ControlDestroyed(TControl& control) override;
  void FocusChanged(TForm& form, TWinControl* focused) override;
  void RepaintNow(TForm& form) override;
  void ModalChanged() override;
  void SocketWatchesChanged() override;
  int TextWidth(const TFont& font, const std::string& text) override;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace ui
