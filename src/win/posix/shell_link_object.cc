// The shell-link object (CLSID_ShellLink): a shortcut's target and strings in memory, saved to and
// loaded from .lnk files on the emulated system root.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "win/codepage.h"
#include "win/com.h"
#include "win/paths.h"
#include "win/posix/com_classes.h"
#include "win/posix/errors.h"
#include "win/posix/host_io.h"
#include "win/shell_link.h"

namespace win::posix {
namespace {

constexpr std::size_t kMaxPath = 260;  // with the NUL

// Fails with the Windows error for the host's errno after a file call on `host_path`.
HRESULT FailWithErrno(const std::string& host_path) {
  int error = errno;
  DWORD code = error == ENOENT ? MissingPathError(host_path) : WindowsErrorFromErrno(error);
  SetLastError(code);
  return HRESULT_FROM_WIN32(code);
}

std::uint64_t FileTime(const statx_timestamp& t) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  std::int64_t seconds = t.tv_sec + kSecondsFrom1601To1970;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * 10000000u + t.tv_nsec / 100;
}

// What a shortcut records of its target when the target exists: attributes, times and size; and of
// the drive that holds it: its type and a serial number (from the host device of its root).
void DescribeTarget(const std::string& target, ShellLinkData& data) {
  std::string host;
  struct statx st;
  if (MapToHost(target, host) &&
      statx(AT_FDCWD, host.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) == 0) {
    data.file_attributes = S_ISDIR(st.stx_mode) ? 0x10 : 0x20;  // directory : archive
    data.write_time = FileTime(st.stx_mtime);
    data.access_time = FileTime(st.stx_atime);
    data.creation_time = (st.stx_mask & STATX_BTIME) ? FileTime(st.stx_btime) : data.write_time;
    data.file_size = S_ISDIR(st.stx_mode) ? 0 : static_cast<DWORD>(st.stx_size & 0xFFFFFFFFu);
  }
  if (target.size() >= 3 && target[1] == ':') {
    std::string root = target.substr(0, 3);
    UINT type = GetDriveTypeA(root);
    if (type > DRIVE_NO_ROOT_DIR) data.drive_type = type;
    std::string root_host;
    struct stat root_st;
    if (MapToHost(root, root_host) && stat(root_host.c_str(), &root_st) == 0) {
      auto dev = static_cast<std::uint64_t>(root_st.st_dev);
      data.drive_serial_number = static_cast<DWORD>(dev ^ (dev >> 32));
    }
  }
}

// Copies `text` into a caller's buffer of `size` chars, NUL included, truncating to fit.
void CopyOut(const std::string& text, char* buffer, int size) {
  std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

class ShellLink final : public IShellLinkA, public IPersistFile {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IShellLinkA) {
      *object = static_cast<IShellLinkA*>(this);
    } else if (iid == IID_IPersist || iid == IID_IPersistFile) {
      *object = static_cast<IPersistFile*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IShellLinkA
  HRESULT GetPath(char* buffer, int size, void*, DWORD) override {
    if (buffer == nullptr || size <= 0) return E_INVALIDARG;
    CopyOut(path_, buffer, size);
    return path_.empty() ? S_FALSE : S_OK;
  }
  HRESULT SetPath(const char* path) override {
    if (path == nullptr) return E_INVALIDARG;
    std::string full;
    if (*path == '\0') {
      full.clear();
    } else if (!GetFullPathName(path, full) || full.size() >= kMaxPath) {
      return E_INVALIDARG;
    }
    path_ = full;
    dirty_ = true;
    return S_OK;
  }
  HRESULT SetArguments(const char* arguments) override { return SetString(arguments, arguments_); }
  HRESULT SetDescription(const char* description) override { return SetString(description, description_); }
  HRESULT SetWorkingDirectory(const char* folder) override { return SetString(folder, working_dir_); }
  HRESULT SetShowCmd(int show_command) override {
    show_command_ = show_command;
    dirty_ = true;
    return S_OK;
  }

  // IPersistFile
  HRESULT GetClassID(CLSID* class_id) override {
    if (class_id == nullptr) return E_POINTER;
    *class_id = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(const char16_t* file_name, DWORD) override;
  HRESULT Save(const char16_t* file_name, bool remember) override;
  HRESULT SaveCompleted(const char16_t*) override { return S_OK; }
  HRESULT GetCurFile(char16_t** file_name) override {
    if (file_name == nullptr) return E_POINTER;
    std::u16string name = current_file_.empty() ? u"*.lnk" : current_file_;
    auto* copy = static_cast<char16_t*>(CoTaskMemAlloc((name.size() + 1) * sizeof(char16_t)));
    if (copy == nullptr) return E_OUTOFMEMORY;
    name.copy(copy, name.size());
    copy[name.size()] = u'\0';
    *file_name = copy;
    return current_file_.empty() ? S_FALSE : S_OK;
  }

 private:
  ~ShellLink() = default;

  HRESULT SetString(const char* text, std::string& field) {
    if (text == nullptr || std::strlen(text) > kMaxShellLinkString) return E_INVALIDARG;
    field = text;
    dirty_ = true;
    return S_OK;
  }

  std::atomic<ULONG> references_{1};
  LiveObject live_;
  std::string path_;  // full Windows path, code page
  std::string arguments_;
  std::string description_;
  std::string working_dir_;
  int show_command_ = 1;  // SW_SHOWNORMAL
  bool dirty_ = false;
  std::u16string current_file_;
};

HRESULT ShellLink::Save(const char16_t* file_name, bool remember) {
  std::u16string name = file_name ? std::u16string(file_name) : current_file_;
  if (name.empty()) return E_INVALIDARG;
  std::string host;
  if (!MapToHost(WideCharToMultiByte(CP_ACP, name), host)) return HRESULT_FROM_WIN32(GetLastError());

  ShellLinkData data;
  data.local_base_path = path_;
  if (!path_.empty()) DescribeTarget(path_, data);
  data.show_command = static_cast<DWORD>(show_command_);
  data.name = MultiByteToWideChar(CP_ACP, description_);
  data.working_dir = MultiByteToWideChar(CP_ACP, working_dir_);
  data.arguments = MultiByteToWideChar(CP_ACP, arguments_);
  if (!WriteFileAtomically(host, BuildShellLink(data))) return FailWithErrno(host);
  if (remember) {
    current_file_ = name;
    dirty_ = false;
  }
  return S_OK;
}

HRESULT ShellLink::Load(const char16_t* file_name, DWORD) {
  if (file_name == nullptr || *file_name == u'\0') return E_INVALIDARG;
  std::u16string name = file_name;
  std::string host, bytes;
  if (!MapToHost(WideCharToMultiByte(CP_ACP, name), host)) return HRESULT_FROM_WIN32(GetLastError());
  if (!ReadWholeFile(host, bytes)) return FailWithErrno(host);
  ShellLinkData data;
  if (!ParseShellLink(bytes, data, nullptr)) return E_FAIL;
  path_ = data.local_base_path;
  description_ = WideCharToMultiByte(CP_ACP, data.name);
  working_dir_ = WideCharToMultiByte(CP_ACP, data.working_dir);
  arguments_ = WideCharToMultiByte(CP_ACP, data.arguments);
  show_command_ = static_cast<int>(data.show_command);
  current_file_ = name;
  dirty_ = false;
  return S_OK;
}

}  // namespace

HRESULT CreateShellLink(const IID& iid, void** object) {
  auto* link = new (std::nothrow) ShellLink;
  if (link == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = link->QueryInterface(iid, object);
  link->Release();  // the caller's reference, if any, is the one QueryInterface added
  return hr;
}

}  // namespace win::posix
