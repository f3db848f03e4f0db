// The registry store against real processes: file permissions of an ordinary user, writers racing each
// other, and writers killed in the middle of a change.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>
#include <random>

#include "support/temp_root.h"
#include "support/unprivileged.h"
#include "win/registry.h"

namespace win {
namespace {

using testing_support::TempRoot;

LONG SetDword(HKEY key, const std::string& name, DWORD number) {
  return RegSetValueExA(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

LONG GetDword(HKEY key, const std::string& name, DWORD& number) {
  DWORD size = sizeof number;
  DWORD type = 0;
  LONG result = RegQueryValueExA(key, name, &type, reinterpret_cast<BYTE*>(&number), &size);
  if (result == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof number)) return ERROR_BADDB;
  return result;
}

HKEY CreateKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(root, path, KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS);
  return key;
}

// Names of the writers' temporary files left beside the hive.
std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (dirent* entry = dir ? readdir(dir) : nullptr) {
    if (std::strstr(entry->d_name, ".tmp-")) names.push_back(entry->d_name);
  }
  if (dir) closedir(dir);
  return names;
}

class RegistryPosixTest : public testing::Test {
 protected:
  std::string SystemHive() const { return root_.host() + "/system.reg"; }

  TempRoot root_;
};

// What an ordinary user gets from each call, in one line.
std::string TryEverything() {
  auto code = [](LONG result) { return std::to_string(result); };
  HKEY key = nullptr;
  std::string out =
      "create=" + code(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &key, nullptr));
  out +=
      " create-read=" + code(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\new", KEY_READ, &key, nullptr));
  out += " set=" + code(SetDword(HKEY_LOCAL_MACHINE, "x", 1));
  LONG open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &key);
  out += " open-read=" + code(open);
  DWORD number = 0;
  if (open == ERROR_SUCCESS) {
    LONG query = GetDword(key, "kept", number);
    out += " query=" + code(query) + "," + std::to_string(number);
  }
  out += " user-set=" + code(SetDword(HKEY_CURRENT_USER, "x", 1));
  return out;
}

TEST(RegistryPermissionTest, AnOrdinaryUserCannotWriteAHiveFileItMayNotWrite) {
  struct Case {
    const char* what;
    bool needs_root;
    std::function<void(const std::string& root)> arrange;
    const char* user_set;
  } cases[] = {
      {"read-only hive file", false,
       [](const std::string& root) { chmod((root + "/system.reg").c_str(), 0444); }, "0"},
      {"hive owned by root in the user's folder", true,
       [](const std::string& root) { chown((root + "/system.reg").c_str(), 0, 0); }, "0"},
      {"read-only folder", false, [](const std::string& root) { chmod(root.c_str(), 0555); }, "5"},
  };
  for (const auto& c : cases) {
    if (c.needs_root && !testing_support::RunningAsRoot()) continue;
    TempRoot root;
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Software");
    ASSERT_EQ(SetDword(key, "kept", 7), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    std::string hive = root.host() + "/system.reg";
    const std::string before = TempRoot::ReadFile(hive);
    testing_support::GiveToUnprivilegedUser(root.host());
    c.arrange(root.host());

    EXPECT_EQ(testing_support::RunUnprivileged(TryEverything),
              std::string("create=5 create-read=5 set=5 open-read=0 query=0,7 user-set=") + c.user_set)
        << c.what;
    EXPECT_EQ(TempRoot::ReadFile(hive), before) << c.what;
    EXPECT_TRUE(Leftovers(root.host()).empty()) << c.what;
  }
}

// A disk that fills up in the middle of a change: the call says so and the hive stays as it was.
TEST_F(RegistryPosixTest, FullDiskRefusesTheChangeAndKeepsTheHive) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Software\\vnta");
  ASSERT_EQ(SetDword(key, "kept", 7), ERROR_SUCCESS);
  const std::string before = TempRoot::ReadFile(SystemHive());
  testing_support::GiveToUnprivilegedUser(root_.host());

  std::string seen = testing_support::RunUnprivileged([key] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string big(100000, 'x');
    LONG result = RegSetValueExA(key, "big", REG_BINARY, reinterpret_cast<const BYTE*>(big.data()),
                                 static_cast<DWORD>(big.size()));
    return std::to_string(result) + "," + std::to_string(GetLastError());
  });
  EXPECT_EQ(seen, std::to_string(ERROR_DISK_FULL) + "," + std::to_string(ERROR_DISK_FULL));
  EXPECT_EQ(TempRoot::ReadFile(SystemHive()), before);
  EXPECT_TRUE(Leftovers(root_.host()).empty());
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

// A rewritten hive keeps the permissions it had, whatever the writer's umask (a machine hive shared
// with a group stays writable by the group).
TEST_F(RegistryPosixTest, RewritingAHiveKeepsItsPermissions) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Software\\vnta");
  ASSERT_EQ(chmod(SystemHive().c_str(), 0664), 0);
  mode_t old_mask = umask(022);
  EXPECT_EQ(SetDword(key, "changed", 1), ERROR_SUCCESS);
  umask(old_mask);
  struct stat st;
  ASSERT_EQ(stat(SystemHive().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

// Two processes change the same key at the same time; every change lands.
TEST_F(RegistryPosixTest, ConcurrentWritersLoseNoChange) {
  constexpr int kWriters = 2;
  constexpr int kValuesEach = 200;
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Software\\vnta");
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t writers[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    writers[w] = fork();
    ASSERT_GE(writers[w], 0);
    if (writers[w] == 0) {
      close(start[1]);
      char go;
      if (read(start[0], &go, 1) != 0) _exit(2);  // released when the parent closes its end
      HKEY mine = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\vnta", KEY_SET_VALUE, &mine) != ERROR_SUCCESS)
        _exit(3);
      for (int i = 0; i < kValuesEach; ++i) {
        if (SetDword(mine, "w" + std::to_string(w) + "-" + std::to_string(i), i) != ERROR_SUCCESS) _exit(4);
      }
      _exit(0);
    }
  }
  close(start[0]);
  close(start[1]);
  for (pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\vnta", KEY_READ, &key), ERROR_SUCCESS);
  int found = 0;
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValuesEach; ++i) {
      DWORD number = 0;
      if (GetDword(key, "w" + std::to_string(w) + "-" + std::to_string(i), number) == ERROR_SUCCESS &&
          number == static_cast<DWORD>(i))
        ++found;
    }
  }
  EXPECT_EQ(found, kWriters * kValuesEach);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

// A writer killed at random moments: afterwards the hive always reads, and holds at least every change
// the writer had seen succeed. Goes on until enough kills have landed in the middle of a write (a
// temporary file left behind), and checks the next writer clears those.
TEST_F(RegistryPosixTest, KilledWriterLeavesAWholeHiveWithEveryFinishedChange) {
  constexpr int kNames = 32;
  constexpr int kMidWriteKillsWanted = 20;
  constexpr int kMaxKills = 2000;
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Software\\vnta");
  std::mt19937 random(12345);
  std::map<int, DWORD> acknowledged;  // name -> last number the writer reported written
  DWORD counter = 0;
  int kills = 0, mid_write = 0;

  while (mid_write < kMidWriteKillsWanted && kills < kMaxKills) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    DWORD first = counter;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(report[0]);
      for (DWORD n = first;; ++n) {
        if (SetDword(key, "v" + std::to_string(n % kNames), n) != ERROR_SUCCESS) _exit(2);
        if (write(report[1], &n, sizeof n) != sizeof n) _exit(3);
      }
    }
    close(report[1]);
    usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed with status " << status;
    ++kills;
    DWORD n;
    while (read(report[0], &n, sizeof n) == sizeof n) {
      acknowledged[n % kNames] = n;
      counter = n + 1;
    }
    close(report[0]);
    // A write may have finished without being reported; never reuse its number.
    counter += 1;
    if (!Leftovers(root_.host()).empty()) ++mid_write;

    for (const auto& [name, number] : acknowledged) {
      DWORD stored = 0;
      ASSERT_EQ(GetDword(key, "v" + std::to_string(name), stored), ERROR_SUCCESS) << "after kill " << kills;
      ASSERT_GE(stored, number) << "v" << name << " after kill " << kills;
    }
  }
  EXPECT_GE(mid_write, kMidWriteKillsWanted)
      << "only " << mid_write << " of " << kills << " kills hit a write";

  ASSERT_EQ(SetDword(key, "after", 1), ERROR_SUCCESS);
  EXPECT_TRUE(Leftovers(root_.host()).empty());
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
}  // namespace win
