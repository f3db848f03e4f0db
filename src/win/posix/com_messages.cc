// The system's message texts for the result codes this layer can produce, as Windows formats them
// (without inserts and without the line end). Codes of other facilities have no text here.
#include <cstdint>
#include <iterator>

#include "win/com.h"

namespace win {
namespace {

struct Message {
  std::uint32_t code;
  const char* text;
};

// Result codes with a text of their own.
constexpr Message kResultMessages[] = {
    {0x80004001, "Not implemented"},
    {0x80004002, "No such interface supported"},
    {0x80004003, "Invalid pointer"},
    {0x80004004, "Operation aborted"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80040110, "Class does not support aggregation (or class object is remote)"},
    {0x80040111, "ClassFactory cannot supply requested class"},
    {0x80040154, "Class not registered"},
    {0x800401F0, "CoInitialize has not been called."},
    {0x800401F1, "CoInitialize has already been called."},
};

// Win32 error codes, which HRESULTs of facility 7 wrap.
constexpr Message kWin32Messages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough storage is available to process this command."},
    {11, "An attempt was made to load a program with an incorrect format."},
    {14, "Not enough storage is available to complete this operation."},
    {15, "The system cannot find the drive specified."},
    {17, "The system cannot move the file to a different disk drive."},
    {19, "The media is write protected."},
    {21, "The device is not ready."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {39, "The disk is full."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {267, "The directory name is invalid."},
    {1006, "The volume for a file has been externally altered so that the opened file is no longer valid."},
    {1011, "The configuration registry key could not be opened."},
    {1012, "The configuration registry key could not be read."},
    {1013, "The configuration registry key could not be written."},
};

const char* Find(const Message* table, std::size_t count, std::uint32_t code) {
  for (std::size_t i = 0; i < count; ++i)
    if (table[i].code == code) return table[i].text;
  return nullptr;
}

}  // namespace

std::string SystemErrorMessage(HRESULT hr) {
  auto code = static_cast<std::uint32_t>(hr);
  if (const char* text = Find(kResultMessages, std::size(kResultMessages), code)) return text;
  constexpr std::uint32_t kFacilityWin32Failure = 0x80070000;
  if ((code & 0xFFFF0000u) == kFacilityWin32Failure) code &= 0xFFFF;
  if (const char* text = Find(kWin32Messages, std::size(kWin32Messages), code)) return text;
  return "";
}

}  // namespace win
