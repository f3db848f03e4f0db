// Component objects: the calls, interfaces and result codes the installer uses to make shortcuts.
// Objects are reference-counted and die on their last Release. The one class served in process is the
// shell-link object (CLSID_ShellLink); its Save writes a real .lnk file. Calls block on the disk at most.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "win/types.h"

namespace win {

using ULONG = std::uint32_t;
using WORD = std::uint16_t;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
using CLSID = GUID;
using IID = GUID;

// Result codes. Failures have the top bit set; HRESULTs of facility 7 wrap a Win32 error code.
constexpr HRESULT MakeHresult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005);
constexpr HRESULT E_HANDLE = MakeHresult(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHresult(0x800401F0);
constexpr HRESULT CO_E_ALREADYINITIALIZED = MakeHresult(0x800401F1);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
  return static_cast<HRESULT>(error) <= 0 ? static_cast<HRESULT>(error)
                                          : MakeHresult((error & 0xFFFF) | 0x80070000u);
}

// Windows' message text for a result code, as the system formats it without inserts and without the
// trailing line end ("Class not registered", "CoInitialize has not been called."). A plain Win32 error
// code, or an HRESULT that wraps one, gives that error's text. "" for a code the table does not know.
std::string SystemErrorMessage(HRESULT hr);

struct IUnknown {
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects die through Release, never through delete
};

// The ANSI face of a shortcut: strings are Windows-1252. Setters copy their argument.
struct IShellLinkA : IUnknown {
  // Copies the target path into `buffer` (`size` counts the NUL), truncated to fit. S_FALSE and ""
  // when there is no target. `find_data` is not filled here; pass nullptr. `flags` are ignored.
  virtual HRESULT GetPath(char* buffer, int size, void* find_data, DWORD flags) = 0;
  // The target. A relative or "/"-separated path is stored resolved ("C:\dir\file"). E_INVALIDARG
  // when it is longer than 259 characters (MAX_PATH with its NUL).
  virtual HRESULT SetPath(const char* path) = 0;
  virtual HRESULT SetArguments(const char* arguments) = 0;
  virtual HRESULT SetDescription(const char* description) = 0;
  virtual HRESULT SetWorkingDirectory(const char* folder) = 0;
  virtual HRESULT SetShowCmd(int show_command) = 0;

 protected:
  ~IShellLinkA() = default;
};

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* class_id) = 0;

 protected:
  ~IPersist() = default;
};

// Saving to and loading from a file named by a UTF-16 Windows path.
struct IPersistFile : IPersist {
  // S_OK when changed since the last save or load, S_FALSE when not.
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(const char16_t* file_name, DWORD mode) = 0;
  // Writes the object to `file_name` (nullptr: the current file), replacing what is there as a whole;
  // on failure nothing is written or left behind. `remember` makes the file the current one.
  virtual HRESULT Save(const char16_t* file_name, bool remember) = 0;
  virtual HRESULT SaveCompleted(const char16_t* file_name) = 0;
  // The current file, allocated with CoTaskMemAlloc (the caller frees it with CoTaskMemFree).
  // S_FALSE with a default name when there is none.
  virtual HRESULT GetCurFile(char16_t** file_name) = 0;

 protected:
  ~IPersistFile() = default;
};

// {00021401-0000-0000-C000-000000000046}
constexpr CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000000-0000-0000-C000-000000000046}
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000010C-0000-0000-C000-000000000046}
constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000010B-0000-0000-C000-000000000046}
constexpr IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {000214EE-0000-0000-C000-000000000046}
constexpr IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

enum : DWORD { CLSCTX_INPROC_SERVER = 1, CLSCTX_INPROC_HANDLER = 2, CLSCTX_LOCAL_SERVER = 4 };

// Joins this thread to the component-object services. S_OK the first time on a thread, S_FALSE when
// it already is (each call counts and wants its CoUninitialize). `reserved` must be nullptr.
HRESULT CoInitialize(void* reserved);
// Undoes one CoInitialize of this thread; the last one leaves the services (later creations fail).
void CoUninitialize();

// Creates an object of class `class_id` and asks it for `iid`, storing the interface in `*object`
// (nullptr on failure). CO_E_NOTINITIALIZED before CoInitialize on this thread, REGDB_E_CLASSNOTREG
// for a class not served in process, CLASS_E_NOAGGREGATION with an `outer`, E_NOINTERFACE when the
// object does not have `iid`, E_POINTER for a null `object`.
HRESULT CoCreateInstance(const CLSID& class_id, IUnknown* outer, DWORD class_context, const IID& iid,
                         void** object);

// Task memory, for strings an object hands to its caller.
void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* memory);

// Objects created and not yet released in this process; for tests of object lifetimes.
int LiveComObjects();

}  // namespace win
