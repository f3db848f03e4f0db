// The registry calls over the hive files of the system root. A handle names a hive and a key path; each
// call reads the hive file afresh (writers replace it atomically, so a plain read sees a whole hive), and
// each change is a read-modify-write under an exclusive flock on "<hive>.lock" beside it. The lock lives
// in its own file because the hive itself is replaced by rename, which would leave a lock on the old one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_set>

#include "win/codepage.h"
#include "win/posix/host_io.h"
#include "win/registry.h"
#include "win/registry_text.h"
#include "win/system_root.h"

namespace win {

struct HKEY__ {
  HiveRoot root = HiveRoot::kLocalMachine;
  std::string path;  // below the root, as the hive spells it
  REGSAM access = 0;
};

namespace {

HKEY__ local_machine_key;
HKEY__ current_user_key;

}  // namespace

HKEY const HKEY_LOCAL_MACHINE = &local_machine_key;
HKEY const HKEY_CURRENT_USER = &current_user_key;

namespace {

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                                0x00010000 /* DELETE */ | 0x00040000 /* WRITE_DAC */ |
                                0x00080000 /* WRITE_OWNER */;
constexpr size_t kMaxValueNameLength = 16383;

std::mutex handles_mutex;
std::unordered_set<HKEY> open_handles;  // every handle RegOpenKeyExA / RegCreateKeyExA gave out

LONG Done(LONG result) {
  SetLastError(static_cast<DWORD>(result));
  return result;
}

// Copies what `key` names; false when it is not an open key.
bool Resolve(HKEY key, HKEY__& out) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER) {
    out.root = key == HKEY_LOCAL_MACHINE ? HiveRoot::kLocalMachine : HiveRoot::kCurrentUser;
    out.path.clear();
    out.access = KEY_ALL_ACCESS;
    return true;
  }
  std::lock_guard<std::mutex> lock(handles_mutex);
  if (!open_handles.count(key)) return false;
  out = *key;
  return true;
}

HKEY NewHandle(HiveRoot root, const std::string& path, REGSAM access) {
  HKEY key = new HKEY__{root, path, access};
  std::lock_guard<std::mutex> lock(handles_mutex);
  open_handles.insert(key);
  return key;
}

std::string HivePath(HiveRoot root) {
  return SystemRootHostPath() + (root == HiveRoot::kLocalMachine ? "/system.reg" : "/user.reg");
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

LONG ReadError(int error) { return error == EACCES || error == EPERM ? ERROR_ACCESS_DENIED : ERROR_CANTREAD; }

LONG WriteError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
  }
  return ERROR_CANTWRITE;
}

// Write access to a hive is write access to its file, and to its folder, where the new file is made. A
// missing hive is writable when its folder is.
LONG CheckWritable(const std::string& path) {
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) return WriteError(errno);
  if (faccessat(AT_FDCWD, FolderOf(path).c_str(), W_OK, AT_EACCESS) != 0) return WriteError(errno);
  return ERROR_SUCCESS;
}

// Reads and parses the hive file; a missing file is an empty hive. A malformed one is reported on stderr.
LONG LoadHive(const std::string& path, RegistryHive& hive, std::string* text = nullptr,
              bool* exists = nullptr) {
  std::string bytes;
  if (exists) *exists = true;
  if (!posix::ReadWholeFile(path, bytes)) {
    if (errno != ENOENT) return ReadError(errno);
    if (exists) *exists = false;
    bytes.clear();
  }
  RegistryTextError error;
  if (!ParseRegistryText(bytes, hive, error)) {
    std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), error.line, AnsiToUtf8(error.message).c_str());
    return ERROR_BADDB;
  }
  if (text) *text = std::move(bytes);
  return ERROR_SUCCESS;
}

// Holds an exclusive flock on a hive's lock file for as long as it lives.
class HiveLock {
 public:
  HiveLock() = default;
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;
  ~HiveLock() {
    if (fd_ >= 0) close(fd_);  // releases the lock
  }

  LONG Acquire(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // flock needs no write access: a lock file another user made still serves.
    if (fd_ < 0 && errno == EACCES) fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return WriteError(errno);
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
  }

 private:
  int fd_ = -1;
};

// A writer killed mid-write leaves its temporary file beside the hive. Only a lock holder writes there,
// so while we hold the lock any such file is a dead writer's.
void RemoveStaleTemporaries(const std::string& path) {
  std::string folder = FolderOf(path);
  std::string prefix = "." + path.substr(folder.size() + 1) + ".tmp-";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
      unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

// `change` edits the hive and tells whether it changed anything; its result is the call's.
using HiveChange = std::function<LONG(RegistryHive& hive, bool& changed)>;

// One locked read-modify-write of the whole hive file.
LONG ChangeHive(HiveRoot root, const HiveChange& change) {
  std::string path = HivePath(root);
  if (LONG result = CheckWritable(path)) return result;
  HiveLock lock;
  if (LONG result = lock.Acquire(path + ".lock")) return result;

  RegistryHive hive(root);
  std::string before;
  bool exists;
  if (LONG result = LoadHive(path, hive, &before, &exists)) return result;
  bool changed = false;
  if (LONG result = change(hive, changed)) return result;
  if (!changed) return ERROR_SUCCESS;
  std::string after = FormatRegistryText(hive);
  if (exists && after == before) return ERROR_SUCCESS;

  // A hive that is rewritten keeps its permissions (a machine hive the administrator shared with a
  // group stays shared); a new one gets the usual ones.
  struct stat st;
  bool kept = exists && stat(path.c_str(), &st) == 0;
  unsigned mode = kept ? st.st_mode & 07777 : 0644;
  RemoveStaleTemporaries(path);
  if (!posix::WriteFileAtomically(path, after, mode, kept)) return WriteError(errno);
  return ERROR_SUCCESS;
}

// `sub_key` below `base`: no leading '\', no empty component, one trailing '\' allowed.
LONG JoinKeyPath(const std::string& base, const std::string& sub_key, std::string& full) {
  std::string_view rel = sub_key;
  if (!rel.empty() && rel.front() == '\\') return ERROR_BAD_PATHNAME;
  if (!rel.empty() && rel.back() == '\\') rel.remove_suffix(1);
  if (!rel.empty() &&
      (rel.front() == '\\' || rel.back() == '\\' || rel.find("\\\\") != std::string_view::npos))
    return ERROR_BAD_PATHNAME;
  if (!IsValidKeyPath(rel)) return ERROR_INVALID_PARAMETER;
  full = base;
  if (!full.empty() && !rel.empty()) full += '\\';
  full += rel;
  return ERROR_SUCCESS;
}

LONG OpenKey(HKEY key, const std::string& sub_key, REGSAM access, HKEY* result, DWORD* disposition,
             bool create) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  HKEY__ base;
  if (!Resolve(key, base)) return ERROR_INVALID_HANDLE;
  std::string full;
  if (LONG error = JoinKeyPath(base.path, sub_key, full)) return error;
  std::string path = HivePath(base.root);
  if (access & kWriteRights) {
    if (LONG error = CheckWritable(path)) return error;
  }

  // An existing key needs no change of the hive.
  RegistryHive hive(base.root);
  if (LONG error = LoadHive(path, hive)) return error;
  if (!hive.FindKey(base.path)) return ERROR_KEY_DELETED;
  std::string spelled;
  DWORD how = REG_OPENED_EXISTING_KEY;
  if (const HiveKey* found = hive.FindKey(full)) {
    spelled = found->path;
  } else if (!create) {
    return ERROR_FILE_NOT_FOUND;
  } else if (!(base.access & KEY_CREATE_SUB_KEY)) {
    return ERROR_ACCESS_DENIED;
  } else {
    LONG error = ChangeHive(base.root, [&](RegistryHive& latest, bool& changed) -> LONG {
      if (!latest.FindKey(base.path)) return ERROR_KEY_DELETED;
      HiveKey& made = latest.CreateKey(full, &changed);
      spelled = made.path;
      how = changed ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
      return ERROR_SUCCESS;
    });
    if (error) return error;
  }
  if (disposition) *disposition = how;
  *result = NewHandle(base.root, spelled, access);
  return ERROR_SUCCESS;
}

LONG CheckValueName(const std::string& name) {
  return IsValidValueName(name) && name.size() <= kMaxValueNameLength ? ERROR_SUCCESS
                                                                      : ERROR_INVALID_PARAMETER;
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, const std::string& sub_key, REGSAM access, HKEY* result, DWORD* disposition) {
  return Done(OpenKey(key, sub_key, access, result, disposition, true));
}

LONG RegOpenKeyExA(HKEY key, const std::string& sub_key, REGSAM access, HKEY* result) {
  return Done(OpenKey(key, sub_key, access, result, nullptr, false));
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER) return Done(ERROR_SUCCESS);
  {
    std::lock_guard<std::mutex> lock(handles_mutex);
    if (!open_handles.erase(key)) return Done(ERROR_INVALID_HANDLE);
  }
  delete key;
  return Done(ERROR_SUCCESS);
}

LONG RegSetValueExA(HKEY key, const std::string& name, DWORD type, const BYTE* data, DWORD size) {
  HKEY__ target;
  if (!Resolve(key, target)) return Done(ERROR_INVALID_HANDLE);
  if (!(target.access & KEY_SET_VALUE)) return Done(ERROR_ACCESS_DENIED);
  if (!data && size) return Done(ERROR_INVALID_PARAMETER);
  if (LONG error = CheckValueName(name)) return Done(error);
  std::string_view bytes(reinterpret_cast<const char*>(data), data ? size : 0);
  return Done(ChangeHive(target.root, [&](RegistryHive& hive, bool& changed) -> LONG {
    HiveKey* found = hive.FindKey(target.path);
    if (!found) return ERROR_KEY_DELETED;
    found->SetValue(name, type, bytes);
    changed = true;
    return ERROR_SUCCESS;
  }));
}

LONG RegQueryValueExA(HKEY key, const std::string& name, DWORD* type, BYTE* data, DWORD* size) {
  HKEY__ target;
  if (!Resolve(key, target)) return Done(ERROR_INVALID_HANDLE);
  if (!(target.access & KEY_QUERY_VALUE)) return Done(ERROR_ACCESS_DENIED);
  if (data && !size) return Done(ERROR_INVALID_PARAMETER);
  RegistryHive hive(target.root);
  if (LONG error = LoadHive(HivePath(target.root), hive)) return Done(error);
  const HiveKey* found = hive.FindKey(target.path);
  if (!found) return Done(ERROR_KEY_DELETED);
  const HiveValue* value = found->FindValue(name);
  if (!value) return Done(ERROR_FILE_NOT_FOUND);
  if (type) *type = value->type;
  if (size) {
    DWORD needed = static_cast<DWORD>(value->data.size());
    if (data && *size < needed) {
      *size = needed;
      return Done(ERROR_MORE_DATA);
    }
    if (data) std::memcpy(data, value->data.data(), needed);
    *size = needed;
  }
  return Done(ERROR_SUCCESS);
}

LONG RegDeleteValueA(HKEY key, const std::string& name) {
  HKEY__ target;
  if (!Resolve(key, target)) return Done(ERROR_INVALID_HANDLE);
  if (!(target.access & KEY_SET_VALUE)) return Done(ERROR_ACCESS_DENIED);
  return Done(ChangeHive(target.root, [&](RegistryHive& hive, bool& changed) -> LONG {
    HiveKey* found = hive.FindKey(target.path);
    if (!found) return ERROR_KEY_DELETED;
    changed = found->DeleteValue(name);
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  }));
}

bool SeedUserShellFolders() {
  static const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  std::string profile = "C:\\users\\" + Utf8ToAnsi(ProfileUserName()) + "\\";
  const std::pair<const char*, std::string> seeds[] = {
      {"Desktop", profile + "Desktop" + '\0'},
      {"Start Menu", profile + "Start Menu" + '\0'},
  };
  auto missing = [&](const RegistryHive& hive) {
    const HiveKey* key = hive.FindKey(kKey);
    for (const auto& [name, data] : seeds) {
      if (!key || !key->FindValue(name)) return true;
    }
    return false;
  };

  // A seeded hive is left alone, even when it is read-only.
  RegistryHive current(HiveRoot::kCurrentUser);
  if (LONG error = LoadHive(HivePath(HiveRoot::kCurrentUser), current)) return Done(error) == ERROR_SUCCESS;
  if (!missing(current)) return true;
  LONG result = ChangeHive(HiveRoot::kCurrentUser, [&](RegistryHive& hive, bool& changed) -> LONG {
    changed = missing(hive);
    HiveKey& key = hive.CreateKey(kKey);
    for (const auto& [name, data] : seeds) {
      if (!key.FindValue(name)) key.SetValue(name, REG_SZ, data);
    }
    return ERROR_SUCCESS;
  });
  return Done(result) == ERROR_SUCCESS;
}

}  // namespace win
