// The installer program: real windows through the FLTK backend, the real clock.
#include <cstdio>

#include "setup/setup.h"
#include "ui/fltk/fltk_backend.h"
#include "ui/resources.h"

int main() {
  if (!ui::FltkBackend::DisplayAvailable()) {
    std::fprintf(stderr, "setup: no display to show the installer on (is DISPLAY set?)\n");
    return 1;
  }
  ui::MonotonicClock clock;
  ui::FltkBackend backend(clock);
  setup::RegisterEmbeddedResources();
  backend.SetApplicationIcon(ui::FindResource("icon.png"));
  return setup::Run(backend, clock);
}
