// setup: the program entry. Brings the installer up on the backend it is given, runs the message
// loop until the main window closes, and tears everything down in order. Returns the exit code (0).
#pragma once

#include "ui/backend.h"
#include "ui/clock.h"

namespace setup {

// Registers the layouts, pictures and texts compiled into the program (generated at build time).
void RegisterEmbeddedResources();

int Run(ui::Backend& backend, ui::Clock& clock);

}  // namespace setup
