// Unit 2: elab.dat, written record by record through a large buffer. Once
// the first bufferful is full, a second buffer takes the records while the
// first is written out, so laying records down and writing them overlap.
//
// Opening removes nothing. A regular file is replaced whole or not at all:
// the records go to a hidden temporary in its directory, which takes its
// place only at a close without error, with the file's permission bits,
// owner and group. Where a new file would lose what the old one had (more
// than one link, a mount point, an owner that cannot be given, a directory
// that guards its names) or cannot be made, and for a device or a FIFO, the
// file is cut at its start just before the first record goes in. Either way
// a run that ends before its first record leaves an earlier file as it was.
// Each record ends with CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "units/run_failure.hpp"

namespace units {

class OutputFile final {
 public:
  OutputFile(std::string name, const platform::Opened& file,
             std::size_t buffer = std::size_t{1} << 20);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Room in the buffer for records of n characters, each with its line end
  // behind it: where the first goes, and how many fit before the buffer is
  // full (at least one: when none fits, the full buffer is handed over to be
  // written out and the records go to the other one). The caller lays the
  // records down n + 2 characters apart inside write_behind, then commits
  // those it laid down; the line ends are put in then.
  struct Room {
    char* at;
    std::size_t records;
  };
  Room records_room(std::size_t n);
  void commit_records(std::size_t n, std::size_t count);

  // Runs lay_down here and, where there is one, on second, which first
  // writes out the buffer records_room handed over, if any; lay_down shares
  // its records out between its runs and must not throw. The writes are the
  // ones a single buffer would make, so a failure is met at the same record;
  // it throws RunFailure with its report once both have ended.
  template <class LayDown>
  void write_behind(platform::SecondThread* second, LayDown&& lay_down) {
    platform::Error error = platform::Error::none;
    platform::side_by_side(
        second,
        [&]() noexcept {
          error = write_handed_over();
          lay_down();
        },
        lay_down);
    if (error != platform::Error::none) fail(error, Statement::Write);
  }

  // Text as it is, lines and their ends included (a CSV), through the same
  // buffer as the records.
  void write_text(std::string_view text);

  // The normal close: writes the buffer out; when no record was written in
  // this run the file is left empty. A failure throws RunFailure.
  void close();
  // Without close (a run that does not end normally): a replaced file is
  // left as it was, its temporary removed as the failure passes, before any
  // report is written (so that the report finds room on a full disk); a
  // file written in place gets what was buffered.
  ~OutputFile();

  const std::string& name() const { return name_; }

 private:
  void start_first_record();
  platform::Error write_handed_over();
  platform::Error flush_buffer();
  platform::Error settle_temporary(platform::Error error);
  [[noreturn]] void fail(platform::Error error, Statement statement);

  std::string name_;
  platform::Opened file_;     // the file as opened, or as found at the first record
  platform::Handle records_;  // where the records go: the file or the temporary
  platform::Place place_;
  platform::Temporary temporary_;
  std::vector<char> buf_;
  std::size_t used_ = 0;
  std::vector<char> other_;      // the buffer handed over, or to be taken next
  std::size_t handed_over_ = 0;  // its bytes still to be written
  bool wrote_ = false;
};

}  // namespace units
