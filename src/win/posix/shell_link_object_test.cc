#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "support/temp_root.h"
#include "support/unprivileged.h"
#include "win/codepage.h"
#include "win/com.h"
#include "win/shell_link.h"

namespace win {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

// What `lnkinfo` prints as the link's local path, or why there is none.
std::string LnkinfoLocalPath(const std::string& host_path) {
  std::string command = "lnkinfo '" + host_path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "(lnkinfo did not start)";
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = pclose(pipe);
  const std::string label = "Local path";
  auto at = output.find(label);
  if (status != 0 || at == std::string::npos) return "(no local path) " + output;
  auto colon = output.find(": ", at);
  auto end = output.find('\n', colon);
  return output.substr(colon + 2, end - colon - 2);
}

bool HaveLnkinfo() { return std::system("command -v lnkinfo >/dev/null 2>&1") == 0; }

// Names in a host folder, sorted, temporary files included.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// One shell-link object through its two interfaces, on an initialised thread.
class ShortcutObject {
 public:
  ShortcutObject() {
    CoInitialize(nullptr);
    void* raw = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &raw))) {
      link = static_cast<IShellLinkA*>(raw);
      if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, &raw))) file = static_cast<IPersistFile*>(raw);
    }
  }
  ~ShortcutObject() {
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
  }
  ShortcutObject(const ShortcutObject&) = delete;
  ShortcutObject& operator=(const ShortcutObject&) = delete;

  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
};

HRESULT SaveShortcut(const std::string& target, const std::u16string& link_file) {
  ShortcutObject shortcut;
  if (!shortcut.file) return E_FAIL;
  HRESULT hr = shortcut.link->SetPath(target.c_str());
  return FAILED(hr) ? hr : shortcut.file->Save(link_file.c_str(), false);
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hr));
  return text;
}

class ShellLinkObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = fs::canonical(root_.drive_c()).string();
    fs::create_directories(c_ + "/links");
  }
  void TearDown() override { EXPECT_EQ(LiveComObjects(), 0); }

  ShellLinkData ParsedLink(const std::string& host_path) {
    ShellLinkData data;
    std::string why;
    EXPECT_TRUE(ParseShellLink(TempRoot::ReadFile(host_path), data, &why)) << host_path << ": " << why;
    return data;
  }

  TempRoot root_;
  std::string c_;
};

TEST_F(ShellLinkObjectTest, SavedShortcutsReadBackInLnkinfoAndTheParser) {
  if (!HaveLnkinfo()) GTEST_SKIP() << "lnkinfo is not installed";
  const std::string long_name = std::string(259 - 25 - 4, 'n') + ".exe";  // 259 characters in all
  struct Case {
    std::string target;     // Windows path, code page
    std::u16string link;    // where the shortcut goes
    std::string link_host;  // the file that appears on the host, under drive_c
    std::string content;    // the target's content, when it exists
    DWORD attributes;
  };
  const Case cases[] = {
      {"C:\\vantro.exe", u"C:\\links\\plain.lnk", "links/plain.lnk", "MZ program", 0x20},
      {"C:\\Program Files\\Vantiro\\vantro.exe", u"C:\\links\\Vantiro.lnk", "links/Vantiro.lnk",
       std::string(70000, 'x'), 0x20},
      {"C:\\Program Files\\Caf\xE9 \xE9t\xE9\\vantro.exe", u"C:\\links\\Caf\u00e9.lnk", "links/Caf\u00e9.lnk",
       "prog", 0x20},
      {"C:\\Program Files\\Vantiro\\" + long_name, u"C:\\LINKS\\long.lnk", "links/long.lnk", "", 0},
      {"C:\\Program Files\\Vantiro", u"c:/links/folder.lnk", "links/folder.lnk", "", 0x10},
  };
  TempRoot::WriteFile(c_ + "/Program Files/Vantiro/placeholder", "");
  for (const Case& c : cases) {
    if (!c.content.empty()) {
      std::string relative = AnsiToUtf8(c.target.substr(3));
      std::replace(relative.begin(), relative.end(), '\\', '/');
      TempRoot::WriteFile(c_ + "/" + relative, c.content);
    }
    ASSERT_EQ(SaveShortcut(c.target, c.link), S_OK) << c.target;
    std::string host = c_ + "/" + c.link_host;
    ASSERT_TRUE(TempRoot::Exists(host)) << host;

    EXPECT_EQ(LnkinfoLocalPath(host), AnsiToUtf8(c.target));
    ShellLinkData data = ParsedLink(host);
    EXPECT_EQ(data.local_base_path, c.target);
    EXPECT_EQ(data.file_attributes, c.attributes) << c.target;
    EXPECT_EQ(data.file_size, c.content.size()) << c.target;
    EXPECT_EQ(data.write_time != 0, c.attributes != 0) << c.target;
    EXPECT_EQ(data.drive_type, 3u);
    EXPECT_EQ(data.show_command, 1u);
  }
}

TEST_F(ShellLinkObjectTest, SaveReplacesAFileOrALinkAtTheNameAsAWhole) {
  const std::string host = c_ + "/links/Vantiro.lnk";
  TempRoot::WriteFile(host, std::string(5000, 'o'));  // longer than a shortcut: no old tail may survive
  ASSERT_EQ(SaveShortcut("C:\\a.exe", u"C:\\links\\Vantiro.lnk"), S_OK);
  EXPECT_EQ(ParsedLink(host).local_base_path, "C:\\a.exe");

  // A symbolic link at the name is replaced by the shortcut; the file it pointed at is left alone.
  const std::string victim = c_ + "/victim.txt";
  TempRoot::WriteFile(victim, "keep me");
  fs::remove(host);
  fs::create_symlink(victim, host);
  ASSERT_EQ(SaveShortcut("C:\\b.exe", u"C:\\links\\Vantiro.lnk"), S_OK);
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(host)));
  EXPECT_EQ(ParsedLink(host).local_base_path, "C:\\b.exe");
  EXPECT_EQ(TempRoot::ReadFile(victim), "keep me");
  EXPECT_EQ(Names(c_ + "/links"), std::vector<std::string>{"Vantiro.lnk"});
}

TEST_F(ShellLinkObjectTest, SaveThatCannotWriteFailsAndLeavesNothing) {
  fs::create_directories(c_ + "/links/taken.lnk");  // a folder where the file would go
  struct Case {
    std::u16string link;
    HRESULT expected;
  };
  const Case cases[] = {
      {u"C:\\missing\\Vantiro.lnk", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
      {u"Q:\\Vantiro.lnk", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},            // no such drive
      {u"C:\\links\\\u65e5\u672c.lnk", HRESULT_FROM_WIN32(ERROR_INVALID_NAME)},  // not in the code page
      {u"C:\\links\\taken.lnk", E_ACCESSDENIED},
      {u"", E_INVALIDARG},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(SaveShortcut("C:\\a.exe", c.link)), Hex(c.expected));
    EXPECT_EQ(Names(c_ + "/links"), std::vector<std::string>{"taken.lnk"});
    EXPECT_TRUE(Names(c_ + "/links/taken.lnk").empty());
  }
  EXPECT_FALSE(fs::exists(c_ + "/missing"));
  ShortcutObject shortcut;
  EXPECT_EQ(shortcut.file->Save(nullptr, false), E_INVALIDARG);  // no current file to save to
}

TEST_F(ShellLinkObjectTest, RefusalsOfTheHostLeaveTheOldShortcut) {
  const std::string links = c_ + "/links";
  TempRoot::WriteFile(links + "/Vantiro.lnk", "old");
  testing_support::GiveToUnprivilegedUser(root_.host());
  chmod(root_.host().c_str(), 0755);  // the folder mkdtemp made is closed to others

  std::string read_only = testing_support::RunUnprivileged([&] {
    chmod(links.c_str(), 0555);
    return Hex(SaveShortcut("C:\\a.exe", u"C:\\links\\Vantiro.lnk"));
  });
  EXPECT_EQ(read_only, Hex(E_ACCESSDENIED));
  chmod(links.c_str(), 0755);
  EXPECT_EQ(TempRoot::ReadFile(links + "/Vantiro.lnk"), "old");
  EXPECT_EQ(Names(links), std::vector<std::string>{"Vantiro.lnk"});

  std::string disk_full = testing_support::RunUnprivileged([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{16, 16};  // less than any shortcut
    setrlimit(RLIMIT_FSIZE, &limit);
    return Hex(SaveShortcut("C:\\a.exe", u"C:\\links\\Vantiro.lnk"));
  });
  EXPECT_EQ(disk_full, Hex(HRESULT_FROM_WIN32(ERROR_DISK_FULL)));
  EXPECT_EQ(TempRoot::ReadFile(links + "/Vantiro.lnk"), "old");
  EXPECT_EQ(Names(links), std::vector<std::string>{"Vantiro.lnk"});
}

TEST_F(ShellLinkObjectTest, RememberedFileIsReloadedWithWhatWasSet) {
  ShortcutObject saved;
  ASSERT_EQ(saved.link->SetPath("C:\\Program Files\\Vantiro\\vantro.exe"), S_OK);
  ASSERT_EQ(saved.link->SetArguments("/safe \"x\""), S_OK);
  ASSERT_EQ(saved.link->SetDescription("Vantiro caf\xE9"), S_OK);
  ASSERT_EQ(saved.link->SetWorkingDirectory("C:\\Program Files\\Vantiro"), S_OK);
  ASSERT_EQ(saved.link->SetShowCmd(3), S_OK);
  EXPECT_EQ(saved.file->IsDirty(), S_OK);

  char16_t* name = nullptr;
  EXPECT_EQ(saved.file->GetCurFile(&name), S_FALSE);
  CoTaskMemFree(name);
  ASSERT_EQ(saved.file->Save(u"C:\\links\\copy.lnk", false), S_OK);
  EXPECT_EQ(saved.file->IsDirty(), S_OK);  // a copy does not count as saving the object
  ASSERT_EQ(saved.file->Save(u"C:\\links\\kept.lnk", true), S_OK);
  EXPECT_EQ(saved.file->IsDirty(), S_FALSE);
  ASSERT_EQ(saved.file->GetCurFile(&name), S_OK);
  EXPECT_EQ(std::u16string(name), u"C:\\links\\kept.lnk");
  CoTaskMemFree(name);

  ShellLinkData data = ParsedLink(c_ + "/links/kept.lnk");
  EXPECT_EQ(data.arguments, u"/safe \"x\"");
  EXPECT_EQ(data.name, u"Vantiro caf\u00e9");
  EXPECT_EQ(data.working_dir, u"C:\\Program Files\\Vantiro");
  EXPECT_EQ(data.show_command, 3u);
  EXPECT_EQ(TempRoot::ReadFile(c_ + "/links/copy.lnk"), TempRoot::ReadFile(c_ + "/links/kept.lnk"));

  ShortcutObject loaded;
  ASSERT_EQ(loaded.file->Load(u"C:\\links\\kept.lnk", 0), S_OK);
  char path[260];
  EXPECT_EQ(loaded.link->GetPath(path, sizeof path, nullptr, 0), S_OK);
  EXPECT_STREQ(path, "C:\\Program Files\\Vantiro\\vantro.exe");
  EXPECT_EQ(loaded.file->IsDirty(), S_FALSE);
  // Saving the loaded object to its own file writes the same shortcut again.
  ASSERT_EQ(loaded.file->Save(nullptr, true), S_OK);
  EXPECT_EQ(TempRoot::ReadFile(c_ + "/links/kept.lnk"), TempRoot::ReadFile(c_ + "/links/copy.lnk"));

  TempRoot::WriteFile(c_ + "/links/bad.lnk", "not a shortcut");
  EXPECT_EQ(loaded.file->Load(u"C:\\links\\bad.lnk", 0), E_FAIL);
  EXPECT_EQ(loaded.file->Load(u"C:\\links\\none.lnk", 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(loaded.link->GetPath(path, sizeof path, nullptr, 0), S_OK);  // failed loads changed nothing
  EXPECT_STREQ(path, "C:\\Program Files\\Vantiro\\vantro.exe");
}

}  // namespace
}  // namespace win
