// Starting programs and finding windows: the Windows windowing services the installer uses.
#pragma once

#include <cstdint>
#include <string>

#include "win/types.h"

namespace win {

enum : UINT { SW_HIDE = 0, SW_SHOWNORMAL = 1 };

// Starts a command line without waiting for the program. The program is the first token: quoted
// ("C:\Program Files\x.exe" args) or unquoted, where an unquoted path with spaces is tried Windows-style
// from the shortest prefix that names an existing file. It is mapped to the host; native executables
// and scripts run directly with the rest of the line split into arguments Windows-style, PE images run
// through wine when it is installed. Returns a value above 31 on success, else ERROR_FILE_NOT_FOUND (2),
// ERROR_PATH_NOT_FOUND (3) or 11 (bad format), as WinExec does.
UINT WinExec(const std::string& command_line, UINT show_command);

using HWND = std::uintptr_t;
// The first top-level window on the X display whose title equals `title` but for case (class is ignored
// when null). 0 when there is none or there is no display.
HWND FindWindowA(const char* class_name, const char* title);

}  // namespace win
