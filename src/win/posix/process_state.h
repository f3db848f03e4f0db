// Per-process state of the layer that depends on the system root: the root's host path and the current
// directories. The installer touches it from its one UI thread; the lock only keeps a stray reader (a
// name lookup on another thread) from seeing a half-made string.
#pragma once

#include <array>
#include <mutex>
#include <string>

namespace win::posix {

struct ProcessState {
  std::recursive_mutex lock;
  std::string root;                           // host path of the root; empty until first asked
  std::string current;                        // Windows current directory; empty until first asked
  std::array<std::string, 26> drive_current;  // each drive's remembered current directory, or empty
};

ProcessState& State();

// Makes the process ready for the layer's file calls: a write past the file-size limit must fail with
// EFBIG (ERROR_DISK_FULL) rather than kill the process, so SIGXFSZ is ignored. Idempotent.
void InitialiseProcess();

// Host path of the dosdevices folder, which holds one link per drive letter.
std::string DosDevicesPath();

}  // namespace win::posix
