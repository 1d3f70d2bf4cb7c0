// Unit 1: the input file, read once from front to back by free-form reads.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "platform/os.hpp"
#include "textio/char_source.hpp"
#include "textio/free_form.hpp"
#include "textio/termination.hpp"

namespace textio {

// Large blocks of a file or stream; CR LF line ends become LF.
class FileSource final : public CharSource {
 public:
  explicit FileSource(platform::Handle in, std::size_t block = std::size_t{1} << 20);
  bool refill(std::size_t keep_back) override;

 private:
  std::size_t drop_cr_before_lf(char* from, std::size_t n, bool at_eof);

  platform::Handle in_;
  std::vector<char> buf_;
  std::size_t block_;
  std::size_t held_ = 0;  // a CR at the end of a block waits for the next
  bool eof_ = false;
};

class InputFile final : public ExitClosable {
 public:
  InputFile(std::string name, platform::Handle file);
  ~InputFile();

  // One free-form read statement; a failure ends the run with its report.
  void read(std::span<const Target> targets);
  void read_reals(float* first, std::size_t count, std::size_t stride);

  const std::string& name() const { return name_; }
  void close_at_exit() noexcept override;

 private:
  std::string name_;
  platform::Handle file_;
  FileSource source_;
  FreeFormReader reader_;
};

}  // namespace textio
