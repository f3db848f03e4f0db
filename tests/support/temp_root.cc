#include "support/temp_root.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "win/paths.h"
#include "win/system_root.h"

namespace fs = std::filesystem;

namespace testing_support {

TempRoot::TempRoot() {
  saved_cwd_ = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "setup-root-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  host_ = pattern;
  setenv("WINROOT", host_.c_str(), 1);
  win::ResetProcessStateForTests();
  if (!win::EnsureSystemRoot()) throw std::runtime_error("cannot seed system root " + host_);
  win::SetCurrentDirectoryA("C:\\");
}

TempRoot::~TempRoot() {
  std::error_code ec;
  fs::current_path(saved_cwd_, ec);
  win::ResetProcessStateForTests();
  // Tests may leave read-only folders behind; make them writable so the removal succeeds.
  for (auto it = fs::recursive_directory_iterator(host_, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink() && it->is_directory(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(host_, ec);
}

std::string TempRoot::MapDrive(char letter, const std::string& name) {
  std::string target = host_ + "/" + name;
  fs::create_directories(target);
  fs::path link = fs::path(host_) / "dosdevices" / (std::string(1, letter) + ":");
  std::error_code ec;
  fs::remove(link, ec);
  fs::create_directory_symlink("../" + name, link);
  return target;
}

void TempRoot::WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string TempRoot::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempRoot::Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace testing_support
