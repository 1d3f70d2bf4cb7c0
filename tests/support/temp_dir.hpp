// A fresh directory under the system temp dir for one run, removed with
// everything in it on destruction, and whole-file reading and writing.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace elab_test {

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class TempDir {
 public:
  TempDir() {
#ifdef _WIN32
    // No mkdtemp: a name of random digits, created only when it is new.
    std::random_device random;
    for (int attempt = 0; path_.empty() && attempt < 100; ++attempt) {
      const auto candidate =
          std::filesystem::temp_directory_path() / ("elab-run-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("no temporary directory");
#else
    std::string tmpl = (std::filesystem::temp_directory_path() / "elab-run-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
#endif
  }
  ~TempDir() {
    // A test may have taken the write permission away.
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + name);
  }
  std::optional<std::string> read(const std::string& name) const {
    if (!std::filesystem::is_regular_file(path_ / name)) return std::nullopt;
    return read_file(path_ / name);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace elab_test
