// The emulated Windows installation: a host folder laid out like a Wine prefix.
//   dosdevices/c: -> ../drive_c, dosdevices/z: -> /     drive letters
//   drive_c/windows                                      the Windows directory (notepad.exe launcher)
//   drive_c/windows/system32/drivers/etc/hosts           names looked up before the system resolver
//   drive_c/users/<user>/Desktop, .../Start Menu/Programs
//   system.reg (HKEY_LOCAL_MACHINE), user.reg (HKEY_CURRENT_USER)
// The folder is $WINROOT, else ~/.local/share/winroot. It is created and seeded on first use.
#pragma once

#include <string>

namespace win {

// Host path (UTF-8) of the system root folder, without a trailing slash.
std::string SystemRootHostPath();

// Creates whatever of the layout is missing and seeds it (folders, hosts file, text-editor launcher,
// the user's shell folders in the registry). Never replaces what exists. False when the root cannot be
// made; GetLastError tells why.
bool EnsureSystemRoot();

// The user's profile folder name under drive_c/users, as the host names it (UTF-8): the login name,
// or "user" when the login name cannot be a Windows-1252 file name (characters the code page lacks or
// Windows forbids), since the shell-folder values hold it in the code page.
std::string ProfileUserName();

// Forgets every piece of per-process state that depends on the root (current directories, cached
// lookups), so that tests can switch to a fresh root by changing WINROOT. Not for the installer.
void ResetProcessStateForTests();

}  // namespace win
