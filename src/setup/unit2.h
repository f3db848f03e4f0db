// unit2: the install engine and the process-wide install state. The wizard, the engine and the sign-up
// notice exchange paths and flags through these module-level variables, never through arguments.
// installfiles runs on the UI thread inside a click handler; it dispatches pending messages once.
#pragma once

#include <string>

namespace setup {

// InstallState. Strings are Windows-1252 paths, taken as they come: nothing trims or normalises them.
extern std::string SourceDir;       // start directory + "\": file names are appended directly
extern std::string WindowsDir;      // the Windows directory, no trailing backslash unless a root
extern std::string InstallDir;      // the "Install to:" text, unchanged
extern std::string UninstallerDir;  // = WindowsDir
extern std::string DesktopDir;      // the user's shell folders, as stored in the registry
extern std::string StartMenuDir;
extern bool AddDesktopIcon;
extern bool AddStartMenuLinks;
extern bool InstallFailed;
extern bool SkipSignUp;

// The shipped file set.
inline constexpr const char* kMainExecutable = "vantro.exe";
inline constexpr const char* kUninstaller = "uninst1.exe";

// Creates the installation directory, moves the product's files from SourceDir into InstallDir and the
// uninstaller into UninstallerDir, then makes the shortcuts the flags ask for. A main executable that
// cannot be copied is shown to the user and reported through InstallFailed.
void installfiles();

// Puts every field back to its process-start value (empty, false), so tests can run the installer
// several times in one process.
void ResetInstallStateForTests();

}  // namespace setup
