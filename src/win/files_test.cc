#include "win/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "support/temp_root.h"
#include "win/paths.h"

namespace win {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = fs::canonical(root_.drive_c()).string();
    fs::create_directories(c_ + "/src");
    fs::create_directories(c_ + "/dst");
  }

  // Names in a host folder, sorted: what a user listing it would see, temporary files included.
  static std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempRoot root_;
  std::string c_;
};

TEST_F(FilesTest, CreateDirectoryMakesOneLevel) {
  EXPECT_TRUE(CreateDirectoryA("C:\\dst\\New", nullptr));
  EXPECT_TRUE(fs::is_directory(c_ + "/dst/New"));

  struct Case {
    std::string path;
    DWORD error;
  } failures[] = {
      {"C:\\dst\\new", ERROR_ALREADY_EXISTS},  // exists, in another case
      {"C:\\", ERROR_ALREADY_EXISTS},         {"C:\\missing\\child", ERROR_PATH_NOT_FOUND},
      {"Q:\\x", ERROR_PATH_NOT_FOUND},        {"C:\\a?b", ERROR_INVALID_NAME},
  };
  for (const auto& c : failures) {
    EXPECT_FALSE(CreateDirectoryA(c.path, nullptr)) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
  EXPECT_FALSE(fs::exists(c_ + "/missing"));
}

TEST_F(FilesTest, DeleteFileRemovesFilesOnly) {
  root_.WriteFile(c_ + "/src/a.txt", "a");
  EXPECT_TRUE(DeleteFileA("C:\\SRC\\A.TXT"));
  EXPECT_FALSE(fs::exists(c_ + "/src/a.txt"));

  EXPECT_FALSE(DeleteFileA("C:\\src\\a.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA("C:\\nowhere\\a.txt"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA("C:\\dst"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(fs::is_directory(c_ + "/dst"));
}

TEST_F(FilesTest, CopyReplacesTheTargetAndKeepsTheMode) {
  root_.WriteFile(c_ + "/src/run.exe", "new program");
  fs::permissions(c_ + "/src/run.exe", fs::perms(0750));
  root_.WriteFile(c_ + "/dst/run.exe", "old");
  EXPECT_TRUE(CopyFileA("C:\\src\\run.exe", "C:\\DST\\Run.exe", false));
  EXPECT_EQ(root_.ReadFile(c_ + "/dst/run.exe"), "new program");
  EXPECT_EQ(fs::status(c_ + "/dst/run.exe").permissions() & fs::perms::all, fs::perms(0750));
  EXPECT_EQ(root_.ReadFile(c_ + "/src/run.exe"), "new program");
  EXPECT_EQ(Names(c_ + "/dst"), std::vector<std::string>{"run.exe"});

  // A large file takes the same way.
  std::string big(3 << 20, 'x');
  for (std::size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i / 4096);
  root_.WriteFile(c_ + "/src/big.bin", big);
  EXPECT_TRUE(CopyFileA("C:\\src\\big.bin", "C:\\dst\\big.bin", false));
  EXPECT_EQ(root_.ReadFile(c_ + "/dst/big.bin"), big);
}

TEST_F(FilesTest, CopyFailuresLeaveTheTargetAlone) {
  root_.WriteFile(c_ + "/src/a.txt", "a");
  root_.WriteFile(c_ + "/dst/a.txt", "old");
  ASSERT_EQ(mkfifo((c_ + "/src/fifo").c_str(), 0600), 0);
  struct Case {
    std::string from, to;
    bool fail_if_exists;
    DWORD error;
  } cases[] = {
      {"C:\\src\\a.txt", "C:\\dst\\a.txt", true, ERROR_FILE_EXISTS},
      {"C:\\src\\missing.txt", "C:\\dst\\a.txt", false, ERROR_FILE_NOT_FOUND},
      {"C:\\nowhere\\a.txt", "C:\\dst\\a.txt", false, ERROR_PATH_NOT_FOUND},
      {"C:\\src\\a.txt", "C:\\nowhere\\a.txt", false, ERROR_PATH_NOT_FOUND},
      {"C:\\src", "C:\\dst\\a.txt", false, ERROR_ACCESS_DENIED},
      {"C:\\src\\fifo", "C:\\dst\\a.txt", false, ERROR_ACCESS_DENIED},  // nothing but files; no hang
      {"C:\\src\\a.txt", "C:\\dst", false, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(CopyFileA(c.from, c.to, c.fail_if_exists)) << c.from << " -> " << c.to;
    EXPECT_EQ(GetLastError(), c.error) << c.from << " -> " << c.to;
    EXPECT_EQ(root_.ReadFile(c_ + "/dst/a.txt"), "old");
    EXPECT_EQ(Names(c_ + "/dst"), std::vector<std::string>{"a.txt"});
  }
  EXPECT_TRUE(CopyFileA("C:\\src\\a.txt", "C:\\dst\\b.txt", true));
  EXPECT_EQ(root_.ReadFile(c_ + "/dst/b.txt"), "a");
}

TEST_F(FilesTest, CopyOntoItselfNeverTruncates) {
  root_.WriteFile(c_ + "/src/a.txt", "precious");
  fs::create_hard_link(c_ + "/src/a.txt", c_ + "/src/hard.txt");
  fs::create_symlink(c_ + "/src/a.txt", c_ + "/dst/soft.txt");
  const std::string spellings[] = {
      "C:\\src\\a.txt",    "c:/SRC/A.TXT",      "C:\\src\\..\\src\\a.txt",
      "C:\\src\\hard.txt", "C:\\dst\\soft.txt", "Z:" + std::string(c_).replace(0, 1, "\\") + "\\src\\a.txt"};
  for (const auto& target : spellings) {
    EXPECT_FALSE(CopyFileA("C:\\src\\a.txt", target, false)) << target;
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << target;
    EXPECT_EQ(root_.ReadFile(c_ + "/src/a.txt"), "precious") << target;
  }
  EXPECT_EQ(Names(c_ + "/src"), (std::vector<std::string>{"a.txt", "hard.txt"}));
}

TEST_F(FilesTest, CopyReplacesALinkAtTheTargetInsteadOfWritingThroughIt) {
  root_.WriteFile(c_ + "/src/a.txt", "new");
  root_.WriteFile(c_ + "/elsewhere.txt", "keep me");
  fs::create_symlink("../elsewhere.txt", c_ + "/dst/a.txt");
  EXPECT_TRUE(CopyFileA("C:\\src\\a.txt", "C:\\dst\\a.txt", false));
  EXPECT_FALSE(fs::is_symlink(c_ + "/dst/a.txt"));
  EXPECT_EQ(root_.ReadFile(c_ + "/dst/a.txt"), "new");
  EXPECT_EQ(root_.ReadFile(c_ + "/elsewhere.txt"), "keep me");
}

TEST_F(FilesTest, CopyPastTheFileSizeLimitFailsCleanly) {
  root_.WriteFile(c_ + "/src/big.bin", std::string(256 * 1024, 'b'));
  root_.WriteFile(c_ + "/dst/big.bin", "old");
  // The limit applies to the whole process: take it in a child.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{64 * 1024, RLIM_INFINITY};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
    if (CopyFileA("C:\\src\\big.bin", "C:\\dst\\big.bin", false)) _exit(11);
    _exit(GetLastError() == ERROR_DISK_FULL ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(root_.ReadFile(c_ + "/dst/big.bin"), "old");
  EXPECT_EQ(Names(c_ + "/dst"), std::vector<std::string>{"big.bin"});
}

// One holder at a time, across processes; the hold goes with its holder, even one killed outright.
TEST_F(FilesTest, FolderLockHasOneHolderAndDiesWithIt) {
  FolderLock mine;
  ASSERT_TRUE(mine.TryAcquire("C:\\src\\"));
  FolderLock again;
  EXPECT_FALSE(again.TryAcquire("c:\\SRC")) << "the same folder however spelled";
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(again.TryAcquire("C:\\dst")) << "another folder is free";
  mine.Release();
  EXPECT_TRUE(again.TryAcquire("C:\\src"));
  again.Release();

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    FolderLock theirs;
    char taken = theirs.TryAcquire("C:\\src") ? 'y' : 'n';
    if (write(ready[1], &taken, 1) != 1) _exit(1);
    pause();  // holds until killed
    _exit(0);
  }
  char taken = 0;
  ASSERT_EQ(read(ready[0], &taken, 1), 1);
  EXPECT_EQ(taken, 'y');
  EXPECT_FALSE(mine.TryAcquire("C:\\src"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_TRUE(mine.TryAcquire("C:\\src")) << "a killed holder holds nothing";
  close(ready[0]);
  close(ready[1]);

  struct Case {
    std::string folder;
    DWORD error;
  } failures[] = {{"C:\\missing", ERROR_FILE_NOT_FOUND}, {"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND},
                  {"Q:\\", ERROR_PATH_NOT_FOUND}};
  for (const auto& c : failures) {
    FolderLock lock;
    EXPECT_FALSE(lock.TryAcquire(c.folder)) << c.folder;
    EXPECT_EQ(GetLastError(), c.error) << c.folder;
    EXPECT_FALSE(lock.Held());
  }
  EXPECT_EQ(Names(c_ + "/src"), std::vector<std::string>{}) << "nothing is written into the folder";
}

TEST_F(FilesTest, MoveNeverReplaces) {
  root_.WriteFile(c_ + "/src/a.txt", "a");
  root_.WriteFile(c_ + "/dst/taken.txt", "taken");
  EXPECT_FALSE(MoveFileA("C:\\src\\a.txt", "C:\\dst\\TAKEN.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(root_.ReadFile(c_ + "/dst/taken.txt"), "taken");
  EXPECT_EQ(root_.ReadFile(c_ + "/src/a.txt"), "a");

  EXPECT_FALSE(MoveFileA("C:\\src\\missing.txt", "C:\\dst\\b.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(MoveFileA("C:\\src\\a.txt", "C:\\nowhere\\b.txt"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  EXPECT_TRUE(MoveFileA("C:\\src\\a.txt", "C:\\dst\\b.txt"));
  EXPECT_FALSE(fs::exists(c_ + "/src/a.txt"));
  EXPECT_EQ(root_.ReadFile(c_ + "/dst/b.txt"), "a");
}

TEST_F(FilesTest, WindowsDirectoryAndAttributes) {
  char buffer[255] = "untouched";
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "C:\\windows");
  EXPECT_EQ(WindowsDirectory(), "C:\\windows");
  char small[5] = "abcd";
  EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), 11u);  // what it needs, with the zero
  EXPECT_STREQ(small, "abcd");
  EXPECT_EQ(GetFileAttributesA(WindowsDirectory()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(WindowsDirectory() + "\\NOTEPAD.EXE"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA("C:\\missing"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_TRUE(SameFile("C:\\WINDOWS", "c:/windows/system32/.."));
  EXPECT_FALSE(SameFile("C:\\windows", "C:\\users"));
  EXPECT_FALSE(SameFile("C:\\windows", "C:\\missing"));
}

TEST_F(FilesTest, ListDirectoryGivesNamesInTheCodePage) {
  root_.WriteFile(c_ + "/src/Caf\xC3\xA9.txt", "");
  root_.WriteFile(c_ + "/src/\xE6\x97\xA5.txt", "");
  fs::create_directory(c_ + "/src/Sub");
  std::vector<FindData> entries;
  ASSERT_TRUE(ListDirectory("c:\\SRC", entries));
  std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "?.txt");
  EXPECT_EQ(entries[1].name, "Caf\xE9.txt");
  EXPECT_EQ(entries[1].attributes, FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(entries[2].name, "Sub");
  EXPECT_EQ(entries[2].attributes, FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_FALSE(ListDirectory("C:\\src\\Caf\xE9.txt", entries));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_FALSE(ListDirectory("C:\\src\\missing", entries));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace win

namespace win {
namespace {

// A copy killed midway leaves its hidden temporary file; the next copy to that name removes it, but
// never one whose copier is still running.
TEST(FilesAbandonedCopies, NextCopyRemovesWhatADeadCopierLeft) {
  TempRoot root;
  const std::string folder = root.drive_c() + "/dir";
  TempRoot::WriteFile(root.drive_c() + "/source.bin", "new");
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const std::string abandoned = folder + "/.target.bin.copy-" + std::to_string(dead) + "-00000000deadbeef";
  const std::string running = folder + "/.target.bin.copy-" + std::to_string(getpid()) + "-00000000feedface";
  const std::string other = folder + "/.other.bin.copy-" + std::to_string(dead) + "-0000000000000001";
  for (const auto& f : {abandoned, running, other}) TempRoot::WriteFile(f, "partial");

  ASSERT_TRUE(CopyFileA("C:\\source.bin", "C:\\dir\\target.bin", false));
  EXPECT_EQ(TempRoot::ReadFile(folder + "/target.bin"), "new");
  EXPECT_FALSE(TempRoot::Exists(abandoned));
  EXPECT_TRUE(TempRoot::Exists(running));
  EXPECT_TRUE(TempRoot::Exists(other));  // another name's leftovers wait for a copy to that name
}

}  // namespace
}  // namespace win
