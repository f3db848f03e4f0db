#include "win/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_root.h"
#include "win/system_root.h"

namespace win {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

std::string Canonical(const std::string& host) { return fs::weakly_canonical(host).string(); }

std::string HostCwd() { return fs::current_path().string(); }

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_c_ = Canonical(root_.drive_c());
    fs::create_directories(drive_c_ + "/work/sub");
    fs::create_directories(drive_c_ + "/Program Files/Vantiro");
    fs::create_directories(drive_c_ + "/Caf\xC3\xA9");  // "Café" in UTF-8, as the host names it
    drive_d_ = Canonical(root_.MapDrive('d', "data"));
    fs::create_directories(drive_d_ + "/docs");
  }

  TempRoot root_;
  std::string drive_c_, drive_d_;
};

TEST_F(PathsTest, FullPathsResolveAgainstTheCurrentDirectories) {
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\work\\sub"));
  struct Case {
    std::string path, full;
  } cases[] = {
      {"C:\\a\\b", "C:\\a\\b"},
      {"c:/a/b/", "C:\\a\\b"},
      {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:\\..\\..\\x", "C:\\x"},  // never above the root
      {"C:\\", "C:\\"},
      {"C:\\Vantiro. ", "C:\\Vantiro"},  // trailing dots and spaces are dropped
      {"\\top\\x", "C:\\top\\x"},        // root-relative: the current drive
      {"rel\\x", "C:\\work\\sub\\rel\\x"},
      {"..", "C:\\work"},
      {"..\\..\\..\\..", "C:\\"},
      {"C:", "C:\\work\\sub"},  // a bare drive is its current directory
      {"c:x", "C:\\work\\sub\\x"},
      {"D:", "D:\\"},          // a drive never visited: its root
      {"Q:\\any", "Q:\\any"},  // no disk access: an unmapped drive resolves too
  };
  for (const auto& c : cases) {
    std::string full;
    EXPECT_TRUE(GetFullPathName(c.path, full)) << c.path;
    EXPECT_EQ(full, c.full) << c.path;
  }

  // Each drive remembers its own current directory.
  ASSERT_TRUE(SetCurrentDirectoryA("D:\\docs"));
  struct Case after_switch[] = {
      {"C:", "C:\\work\\sub"}, {"C:x", "C:\\work\\sub\\x"}, {"D:", "D:\\docs"}, {"x", "D:\\docs\\x"},
      {"\\y", "D:\\y"},
  };
  for (const auto& c : after_switch) {
    std::string full;
    EXPECT_TRUE(GetFullPathName(c.path, full)) << c.path;
    EXPECT_EQ(full, c.full) << c.path;
  }
  ASSERT_TRUE(SetCurrentDirectoryA("C:"));
  EXPECT_EQ(GetCurrentDirectoryA(), "C:\\work\\sub");
  EXPECT_EQ(HostCwd(), drive_c_ + "/work/sub");
}

TEST_F(PathsTest, ForbiddenNamesFailWithInvalidName) {
  const std::string cases[] = {"",
                               "C:\\a<b",
                               "C:\\a>b",
                               "C:\\a:b",
                               "C:\\a\"b",
                               "C:\\a|b",
                               "a?b",
                               "C:\\a*",
                               std::string("C:\\a\x01"),
                               "\\\\server\\share",
                               "//server/share"};
  for (const auto& path : cases) {
    std::string out = "untouched";
    SetLastError(0);
    EXPECT_FALSE(GetFullPathName(path, out)) << path;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << path;
    SetLastError(0);
    EXPECT_FALSE(MapToHost(path, out)) << path;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << path;
  }
}

TEST_F(PathsTest, MapsToHostPathsMatchingExistingNamesWithoutRegardToCase) {
  const std::string user = ProfileUserName();
  struct Case {
    std::string path, host;
  } cases[] = {
      {"C:\\", drive_c_},
      {"C:\\PROGRAM FILES\\vantiro", drive_c_ + "/Program Files/Vantiro"},
      {"C:/program files/VANTIRO/readme.txt", drive_c_ + "/Program Files/Vantiro/readme.txt"},
      {"C:\\USERS\\" + user + "\\start menu\\programs\\Vantiro",
       drive_c_ + "/users/" + user + "/Start Menu/Programs/Vantiro"},
      {"C:\\Caf\xE9", drive_c_ + "/Caf\xC3\xA9"},       // Windows-1252 in, UTF-8 on the host
      {"C:\\CAF\xC9\\x", drive_c_ + "/Caf\xC3\xA9/x"},  // É matches é
      {"C:\\New Caf\xE9\\Deeper", drive_c_ + "/New Caf\xC3\xA9/Deeper"},  // missing names kept as given
      {"C:\\..\\..\\work", drive_c_ + "/work"},
      {"d:\\DOCS", drive_d_ + "/docs"},
      {"Z:\\", "/"},
      {"z:\\" + drive_c_.substr(1) + "\\WORK", drive_c_ + "/work"},
  };
  for (const auto& c : cases) {
    std::string host;
    EXPECT_TRUE(MapToHost(c.path, host)) << c.path;
    EXPECT_EQ(host, c.host) << c.path;
  }
}

TEST_F(PathsTest, UnmappedAndNotReadyDrivesFailLikeWindows) {
  fs::create_directory_symlink("../nowhere", root_.host() + "/dosdevices/e:");
  std::string host;
  EXPECT_FALSE(MapToHost("Q:\\x", host));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(MapToHost("E:\\x", host));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);

  EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 4) | (1u << 25));  // C, D, E, Z
  EXPECT_EQ(GetDriveTypeA("C:\\"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("d:"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("E:\\"), DRIVE_REMOVABLE);
  EXPECT_EQ(GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA("C:\\windows"), DRIVE_NO_ROOT_DIR);  // not a root
  EXPECT_EQ(GetDriveTypeA(""), DRIVE_FIXED);                   // the current drive
}

TEST_F(PathsTest, FailedDirectoryChangesChangeNothing) {
  ASSERT_TRUE(SetCurrentDirectoryA("c:\\WORK"));
  EXPECT_EQ(GetCurrentDirectoryA(), "C:\\WORK");  // as given, as Windows reports it
  EXPECT_EQ(HostCwd(), drive_c_ + "/work");
  root_.WriteFile(drive_c_ + "/work/file.txt", "x");
  fs::create_directory_symlink("../nowhere", root_.host() + "/dosdevices/e:");
  struct Case {
    std::string path;
    DWORD error;
  } cases[] = {
      {"C:\\work\\missing", ERROR_FILE_NOT_FOUND},
      {"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND},
      {"C:\\work\\file.txt", ERROR_DIRECTORY},
      {"Q:\\", ERROR_PATH_NOT_FOUND},
      {"E:\\", ERROR_NOT_READY},
      {"C:\\bad|name", ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(SetCurrentDirectoryA(c.path)) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
    EXPECT_EQ(GetCurrentDirectoryA(), "C:\\WORK") << c.path;
    EXPECT_EQ(HostCwd(), drive_c_ + "/work") << c.path;
  }
}

TEST_F(PathsTest, HostPathsMapBackToTheDriveThatHoldsThem) {
  std::string nested = Canonical(root_.MapDrive('f', "drive_c/work"));  // F: inside C: wins for its files
  struct Case {
    std::string host, windows;
  } cases[] = {
      {drive_c_, "C:\\"},
      {drive_c_ + "/Program Files/Vantiro", "C:\\Program Files\\Vantiro"},
      {drive_c_ + "/Caf\xC3\xA9/new", "C:\\Caf\xE9\\new"},
      {drive_c_ + "/\xE6\x97\xA5", "C:\\?"},  // a name the code page lacks
      // Names Windows would read as another folder's: each use fails as an invalid name instead.
      {drive_c_ + "/src./x", "C:\\src.?\\x"},
      {drive_c_ + "/trail ", "C:\\trail ?"},
      {drive_c_ + "/a\\b", "C:\\a?b"},
      {drive_c_ + "/work/sub/../sub/./x", "F:\\sub\\x"},
      {nested, "F:\\"},
      {drive_d_ + "/docs", "D:\\docs"},
      {"/usr/bin", "Z:\\usr\\bin"},
      {"/", "Z:\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(HostToWindows(c.host), c.windows) << c.host;
}

TEST_F(PathsTest, CurrentDirectoryStartsAsTheHostsMappedBack) {
  struct Case {
    std::string host, windows;
  } cases[] = {
      {drive_c_ + "/Program Files/Vantiro", "C:\\Program Files\\Vantiro"},
      {drive_d_, "D:\\"},
      {"/usr", "Z:\\usr"},
  };
  for (const auto& c : cases) {
    ResetProcessStateForTests();
    ASSERT_EQ(chdir(c.host.c_str()), 0) << c.host;
    EXPECT_EQ(GetCurrentDirectoryA(), c.windows) << c.host;
    std::string full;
    ASSERT_TRUE(GetFullPathName("x", full));
    EXPECT_EQ(full, c.windows + (c.windows.size() > 3 ? "\\x" : "x"));
  }
}

}  // namespace
}  // namespace win
