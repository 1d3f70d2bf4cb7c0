// Unit 1: the input file, read once from front to back by free-form reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "numtext/char_source.hpp"
#include "numtext/free_form.hpp"
#include "units/run_failure.hpp"

namespace units {

// Large blocks of a file or stream; CR LF and a lone CR end a line as LF.
class FileSource final : public numtext::CharSource {
 public:
  explicit FileSource(platform::Handle in, std::size_t block = std::size_t{1} << 20);
  bool refill(std::size_t keep_back) override;
  // Counts the refills: a window seen before is told from a new one even
  // where the new one starts and ends at the same places.
  std::uint64_t windows() const { return windows_; }

  // Every character the reader is given from now on is also appended to
  // copy (nullptr: no copy).
  void copy_text_to(std::string* copy) { copy_ = copy; }

 private:
  std::size_t lf_line_ends(char* from, std::size_t n, bool at_eof);

  platform::Handle in_;
  std::vector<char> buf_;
  std::size_t block_;
  std::size_t held_ = 0;  // a CR at the end of a block waits for the next
  bool eof_ = false;
  std::uint64_t windows_ = 0;
  std::string* copy_ = nullptr;
};


class InputFile final {
 public:
  InputFile(std::string name, platform::Handle file);
  ~InputFile();

  // The free-form read statements of the file; a failure throws RunFailure
  // with its report, whose message line says where the reading stood.
  // The first statement of the file: "head of the file, value 2".
  void read_head(std::span<const numtext::Target> targets);
  // Rows 1..rows of a matrix stored column after column, one statement of
  // count reals per row, row i's values at first[i - 1], stride apart:
  // "row 17, value 6". With a second thread, large stretches of plain rows
  // are read on both; the matrix must hold zeros beforehand.
  void read_rows(float* first, std::int64_t rows, std::size_t count, std::size_t stride,
                 platform::SecondThread* second = nullptr);

  // The text from the start up to and with the lines-th line end, or of
  // at most most characters, or all of it when shorter, read without
  // taking it: the reading goes on from the start.
  std::string_view peek(std::size_t lines, std::size_t most);
  // All the text not read yet.
  std::string read_rest();
  // The text the reader is given from now on is also appended to copy.
  void copy_text_to(std::string* copy) { source_.copy_text_to(copy); }

  const std::string& name() const { return name_; }

 private:
  std::string name_;
  platform::Handle file_;
  FileSource source_;
  numtext::FreeFormReader reader_;
};

}  // namespace units
