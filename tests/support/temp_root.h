// A fresh emulated system root for one test: a temporary folder, WINROOT pointing at it, the layer's
// per-process state reset, the root seeded, and the current directory at C:\. Removed afterwards.
#pragma once

#include <string>

namespace testing_support {

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  // Host path of the root folder.
  const std::string& host() const { return host_; }
  // Host path of drive C's folder (drive_c).
  std::string drive_c() const { return host_ + "/drive_c"; }
  // Maps drive `letter` (lower-case) to a new folder `name` inside the root; returns its host path.
  std::string MapDrive(char letter, const std::string& name);
  // Writes `content` to the host file `path`, making its folders.
  static void WriteFile(const std::string& path, const std::string& content);
  static std::string ReadFile(const std::string& path);
  static bool Exists(const std::string& path);

 private:
  std::string host_;
  std::string saved_cwd_;
};

}  // namespace testing_support
