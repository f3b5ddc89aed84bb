#pragma once

#include <filesystem>
#include <string>

namespace qm::test {

/// A fresh folder under the system's temporary folder, removed with its
/// contents when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& p) const { return path_ / p; }

 private:
  std::filesystem::path path_;
};

/// The whole content of a file; empty when it cannot be read.
std::string fileText(const std::filesystem::path& path);

}  // namespace qm::test
