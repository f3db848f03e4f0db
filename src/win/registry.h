// The registry calls, with their Windows names and results, over the hive files of the system root:
// HKEY_LOCAL_MACHINE in <root>/system.reg, HKEY_CURRENT_USER in <root>/user.reg (REGEDIT4 text).
// Every change is one locked read-modify-write of the whole hive file, replaced atomically; reads see the
// last complete hive. Calls block on the disk and on other writers' locks; they run no handlers.
#pragma once

#include <string>

#include "win/types.h"

namespace win {

struct HKEY__;  // an open key
using HKEY = HKEY__*;

// The two predefined keys. Closing them does nothing.
extern HKEY const HKEY_LOCAL_MACHINE;
extern HKEY const HKEY_CURRENT_USER;

using REGSAM = DWORD;
enum : REGSAM {
  KEY_QUERY_VALUE = 0x0001,
  KEY_SET_VALUE = 0x0002,
  KEY_CREATE_SUB_KEY = 0x0004,
  KEY_ENUMERATE_SUB_KEYS = 0x0008,
  KEY_NOTIFY = 0x0010,
  KEY_CREATE_LINK = 0x0020,
  KEY_WOW64_64KEY = 0x0100,
  KEY_WOW64_32KEY = 0x0200,
  KEY_READ = 0x20019,
  KEY_WRITE = 0x20006,
  KEY_ALL_ACCESS = 0xF003F,
};

// Value types.
enum : DWORD {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_MULTI_SZ = 7,
  REG_QWORD = 11,
};

// Dispositions of RegCreateKeyExA.
enum : DWORD { REG_CREATED_NEW_KEY = 1, REG_OPENED_EXISTING_KEY = 2 };

// Errors only the registry calls return.
enum : DWORD { ERROR_BAD_PATHNAME = 161, ERROR_KEY_DELETED = 1018 };

// Every call returns ERROR_SUCCESS or a Windows error code, and sets the last error to it:
//   ERROR_INVALID_HANDLE  `key` is not an open key;
//   ERROR_BAD_PATHNAME    `sub_key` starts with '\' or has an empty component;
//   ERROR_INVALID_PARAMETER a name the hive cannot hold (control characters in key names, CR/LF in value
//                         names, components over 255 characters), or inconsistent buffer arguments;
//   ERROR_ACCESS_DENIED   a write right was asked (or a change made) and the process may not write the
//                         hive file; or the handle lacks the right the call needs;
//   ERROR_FILE_NOT_FOUND  no such key or value;
//   ERROR_KEY_DELETED     the handle's key is no longer in the hive (the file was edited);
//   ERROR_BADDB           the hive file is malformed: one line "<file>:<line>: <fault>" goes to stderr and
//                         the file is never rewritten;
//   ERROR_DISK_FULL, ERROR_CANTREAD, ERROR_CANTWRITE for host failures.
// Sub-key paths are relative to `key`, components separated by '\' (a trailing '\' is allowed); names
// match without regard to case and keep the case they were first written with.

// Opens `sub_key` under `key`, creating it and its missing parents. `disposition` (optional) tells
// whether it was created. Creating needs KEY_CREATE_SUB_KEY on `key`.
LONG RegCreateKeyExA(HKEY key, const std::string& sub_key, REGSAM access, HKEY* result, DWORD* disposition);

// Opens an existing key ("" opens `key` itself again).
LONG RegOpenKeyExA(HKEY key, const std::string& sub_key, REGSAM access, HKEY* result);

LONG RegCloseKey(HKEY key);

// Sets a value ("" the default value) to `size` bytes of `data` of `type`, kept byte for byte. A REG_SZ
// should count its closing zero in `size`, as on Windows. Needs KEY_SET_VALUE.
LONG RegSetValueExA(HKEY key, const std::string& name, DWORD type, const BYTE* data, DWORD size);

// Reads a value as on Windows: `type` and `size` optional; with `data` null, only the size is told; when
// `*size` is too small, ERROR_MORE_DATA and `*size` becomes the size needed (the buffer's contents are
// then unspecified). Data comes back exactly as set. Needs KEY_QUERY_VALUE.
LONG RegQueryValueExA(HKEY key, const std::string& name, DWORD* type, BYTE* data, DWORD* size);

// Removes a value. Needs KEY_SET_VALUE.
LONG RegDeleteValueA(HKEY key, const std::string& name);

// Not a Windows call: seeds the key Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders
// of HKEY_CURRENT_USER with "Desktop" and "Start Menu" (REG_SZ, "C:\users\<user>\Desktop" and so on)
// where they are missing, in one change of user.reg. Values already there are kept. False with the last
// error set on failure.
bool SeedUserShellFolders();

}  // namespace win
