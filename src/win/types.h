// Windows scalar types and last-error codes, as the Windows calls of this layer report them.
// Strings handed to and from this layer are single-byte Windows-1252 text (std::string), never UTF-8.
#pragma once

#include <cstdint>

namespace win {

using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using HRESULT = std::int32_t;
using BYTE = std::uint8_t;

// Error codes of GetLastError (and of the registry calls, which return them).
enum : DWORD {
  ERROR_SUCCESS = 0,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_PATH_NOT_FOUND = 3,
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_HANDLE = 6,
  ERROR_NOT_ENOUGH_MEMORY = 8,
  ERROR_INVALID_DRIVE = 15,
  ERROR_NOT_SAME_DEVICE = 17,
  ERROR_NOT_READY = 21,
  ERROR_WRITE_FAULT = 29,
  ERROR_READ_FAULT = 30,
  ERROR_SHARING_VIOLATION = 32,
  ERROR_HANDLE_DISK_FULL = 39,
  ERROR_FILE_EXISTS = 80,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_DISK_FULL = 112,
  ERROR_INSUFFICIENT_BUFFER = 122,
  ERROR_INVALID_NAME = 123,
  ERROR_DIR_NOT_EMPTY = 145,
  ERROR_ALREADY_EXISTS = 183,
  ERROR_FILENAME_EXCED_RANGE = 206,
  ERROR_MORE_DATA = 234,
  ERROR_NO_MORE_ITEMS = 259,
  ERROR_DIRECTORY = 267,
  ERROR_CANTOPEN = 1011,
  ERROR_CANTREAD = 1012,
  ERROR_CANTWRITE = 1013,
  ERROR_BADDB = 1009,
  ERROR_FILE_INVALID = 1006,
};

// Thread's last error, as GetLastError/SetLastError.
DWORD GetLastError();
void SetLastError(DWORD code);

}  // namespace win
