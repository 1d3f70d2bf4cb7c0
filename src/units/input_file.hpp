// Unit 1: the input file, read once from front to back by free-form reads.
#pragma once

#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os.hpp"
#include "numtext/char_source.hpp"
#include "numtext/free_form.hpp"
#include "units/run_failure.hpp"

namespace units {

// Large blocks of a file or stream; CR LF line ends become LF. From a
// regular file the next block can be read ahead, while other work goes on.
class FileSource final : public numtext::CharSource {
 public:
  explicit FileSource(platform::Handle in, std::size_t block = std::size_t{1} << 20);
  bool refill(std::size_t keep_back) override;
  // Counts the refills: a window seen before is told from a new one even
  // where the new one starts and ends at the same places.
  std::uint64_t windows() const { return windows_; }

  // Reads the window that the next refill takes, with the characters from
  // rest (after a line end) to end in front, into a buffer of its own; the
  // reader meanwhile may go on up to end. A failure waits for that refill.
  // rest is where the kept characters of that refill start, or before it:
  // no value runs over a line end. Only a regular file is read ahead: on a
  // pipe or a console an early read could wait where no read was due.
  void read_ahead(const char* rest);

  // Every character the reader is given from now on is also appended to
  // copy (nullptr: no copy).
  void copy_text_to(std::string* copy) { copy_ = copy; }

 private:
  struct Window {
    char* pos;
    char* end;
  };
  // The kept characters [from, from + kept) and a held CR moved to the front
  // of into, and the next input after them.
  Window read_window(std::vector<char>& into, const char* from, std::size_t kept);
  std::size_t drop_cr_before_lf(char* from, std::size_t n, bool at_eof);

  platform::Handle in_;
  std::vector<char> buf_;
  std::vector<char> ahead_buf_;
  std::size_t block_;
  std::size_t held_ = 0;  // a CR at the end of a block waits for the next
  bool eof_ = false;
  bool regular_file_;
  bool ahead_ready_ = false;
  Window ahead_{nullptr, nullptr};
  std::exception_ptr ahead_failure_;
  std::uint64_t windows_ = 0;
  std::string* copy_ = nullptr;
};

inline constexpr std::size_t kLongestFirstLine = std::size_t{1} << 16;

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
  // "row 17, value 6". Where two cores may be used, large stretches of
  // plain rows are read on both; the matrix must hold zeros beforehand.
  void read_rows(float* first, std::int64_t rows, std::size_t count, std::size_t stride);

  // The first line, without its line end, read without taking it: the
  // reading goes on from the start. A line longer than kLongestFirstLine
  // shows only its start.
  std::string_view first_line();
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
