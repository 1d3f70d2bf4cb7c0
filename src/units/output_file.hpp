// Unit 2: elab.dat, written record by record through a large buffer. Once
// the first bufferful is full, a second buffer takes the records while the
// first is written out, so laying records down and writing them overlap.
//
// Opening removes nothing and creates nothing. A regular file, or a name
// with nothing there yet, is replaced whole or not at all: the records go to
// a hidden temporary in its directory, which takes its place only at a close
// without error, with the file's permission bits, owner and group. Where a
// new file would lose what the old one had (more than one link, a mount
// point, an owner that cannot be given, a directory that guards its names)
// or cannot be made, and for a device or a FIFO, the file is cut at its
// start just before the first record goes in. A descriptor named as such
// (standard output) is written as it is, neither cut nor replaced. Either
// way a run that ends before its first record leaves an earlier file as it
// was, and a failed run leaves no file where there was none.
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
  // file as opened; kNoHandle for a name with nothing there yet. as_is:
  // a descriptor, written at its offset.
  OutputFile(std::string name, const platform::Opened& file,
             std::size_t buffer = std::size_t{1} << 20, bool as_is = false);
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

  // The normal close, in two steps so that several files change as one:
  // finish writes everything out to the file or its temporary (when no
  // record was written in this run the file is to be empty); take_place
  // then puts it in the file's place. A failure of either throws RunFailure
  // and leaves a replaced file as it was.
  void finish();
  // undoable: the file replaced is kept under a second name until settle,
  // so that undo_place can put it back (or remove a file that was new).
  void take_place(bool undoable = false);
  void undo_place();
  void settle();
  void close() {
    finish();
    take_place();
  }
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
  void drop_temporary();
  [[noreturn]] void fail(platform::Error error, Statement statement);

  std::string name_;
  platform::Opened file_;     // the file as opened, or as found at the first record
  platform::Handle records_;  // where the records go: the file or the temporary
  platform::Place place_;
  platform::Temporary temporary_;
  bool has_temporary_ = false;  // from its creation until it is renamed or removed
  bool undoable_ = false;       // replaced, and can be put back
  std::string aside_;           // the earlier file's second name
  bool as_is_ = false;
  bool finished_ = false;
  std::vector<char> buf_;
  std::size_t used_ = 0;
  std::vector<char> other_;      // the buffer handed over, or to be taken next
  std::size_t handed_over_ = 0;  // its bytes still to be written
  bool wrote_ = false;
};

// The training file and its dates file (or none) as one change: both
// complete before either takes its place, an ending signal held back until
// both have, and the first put back when the second fails. Throws the
// failure's RunFailure.
void put_in_place(OutputFile& output, OutputFile* dates);

}  // namespace units
