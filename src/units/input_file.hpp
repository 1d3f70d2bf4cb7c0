// Unit 1: the input file, read once from front to back by free-form reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "numtext/char_source.hpp"
#include "numtext/free_form.hpp"
#include "units/termination.hpp"

namespace units {

// Large blocks of a file or stream; CR LF line ends become LF.
class FileSource final : public numtext::CharSource {
 public:
  explicit FileSource(platform::Handle in, std::size_t block = std::size_t{1} << 20);
  bool refill(std::size_t keep_back) override;
  // Counts the refills: a window seen before is told from a new one even
  // where the new one starts and ends at the same places.
  std::uint64_t windows() const { return windows_; }

 private:
  std::size_t drop_cr_before_lf(char* from, std::size_t n, bool at_eof);

  platform::Handle in_;
  std::vector<char> buf_;
  std::size_t block_;
  std::size_t held_ = 0;  // a CR at the end of a block waits for the next
  bool eof_ = false;
  std::uint64_t windows_ = 0;
};

class InputFile final : public ExitClosable {
 public:
  InputFile(std::string name, platform::Handle file);
  ~InputFile();

  // The free-form read statements of the file; a failure ends the run with
  // its report, whose message line says where the reading stood.
  // The first statement of the file: "head of the file, value 2".
  void read_head(std::span<const numtext::Target> targets);
  // Rows 1..rows of a matrix stored column after column, one statement of
  // count reals per row, row i's values at first[i - 1], stride apart:
  // "row 17, value 6". With a second thread, large stretches of plain rows
  // are read on both; the matrix must hold zeros beforehand.
  void read_rows(float* first, std::int64_t rows, std::size_t count, std::size_t stride,
                 platform::SecondThread* second = nullptr);

  const std::string& name() const { return name_; }
  void close_at_exit() noexcept override;

 private:
  std::string name_;
  platform::Handle file_;
  FileSource source_;
  numtext::FreeFormReader reader_;
};

}  // namespace units
