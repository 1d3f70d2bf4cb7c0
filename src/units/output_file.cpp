#include "units/output_file.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "units/io_failure.hpp"

namespace units {

OutputFile::OutputFile(std::string name, const platform::Opened& file, std::size_t buffer, bool as_is)
    : name_(std::move(name)),
      file_(file),
      records_(file.handle),
      place_(as_is ? platform::Place{} : platform::place_of(name_)),
      as_is_(as_is),
      buf_(buffer < 256 ? 256 : buffer) {}

void OutputFile::fail(platform::Error error, Statement statement) {
  report_file_error(failure_of(error, statement), statement, name_);
}

void OutputFile::drop_temporary() {
  if (!has_temporary_) return;
  if (temporary_.handle != platform::kNoHandle) (void)platform::close(temporary_.handle);
  temporary_.handle = platform::kNoHandle;
  platform::remove_temporary(temporary_);
  has_temporary_ = false;
  records_ = file_.handle;
}

// The records go to the file that stands at the name now, or to a new one
// where the one opened was removed or renamed away: through a temporary
// where it can take the file's place keeping all the file had (or where
// there is no file yet), else into the file itself, cut at its start. A
// device or a FIFO is written in place, and a file the user may not write
// refuses its first record.
void OutputFile::start_first_record() {
  wrote_ = true;
  if (as_is_) return;
  if (place_.directory != platform::kNoHandle) {
    file_ = platform::reopen_at_place(file_, place_);
    records_ = file_.handle;
    const bool missing = file_.handle == platform::kNoHandle;
    if (missing && file_.error != platform::Error::not_found) fail(file_.error, Statement::Write);
    if (missing || (file_.access != platform::Access::read_only &&
                    platform::replaceable(file_.handle, place_))) {
      temporary_ = platform::create_temporary(place_, file_.handle);
      if (temporary_.handle != platform::kNoHandle) {
        has_temporary_ = true;
        records_ = temporary_.handle;
        return;
      }
      if (missing) fail(temporary_.error, Statement::Write);
    }
  }
  // A FIFO's reader that goes early ends the run with a write error.
  platform::Error error = platform::write_only_if_fifo(file_.handle, name_);
  records_ = file_.handle;
  if (error == platform::Error::none) error = platform::truncate_to_empty(file_.handle);
  if (error != platform::Error::none) fail(error, Statement::Write);
}

platform::Error OutputFile::write_handed_over() {
  const platform::Error error = platform::write_all(records_, other_.data(), handed_over_);
  handed_over_ = 0;
  return error;
}

// Everything not yet written, in the order it was laid down.
platform::Error OutputFile::flush_buffer() {
  platform::Error error = write_handed_over();
  if (error == platform::Error::none) error = platform::write_all(records_, buf_.data(), used_);
  used_ = 0;
  return error;
}

OutputFile::Room OutputFile::records_room(std::size_t n) {
  if (!wrote_) start_first_record();
  const std::size_t stride = n + 2;
  if (buf_.size() - used_ < stride) {
    // The second buffer is made only when a run fills the first.
    if (other_.size() < buf_.size()) other_.resize(buf_.size());
    buf_.swap(other_);
    handed_over_ = used_;
    used_ = 0;
    if (buf_.size() < stride) buf_.resize(stride);
  }
  return {buf_.data() + used_, (buf_.size() - used_) / stride};
}

void OutputFile::commit_records(std::size_t n, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k, used_ += n + 2) {
    char* end = buf_.data() + used_ + n;
    end[0] = '\r';
    end[1] = '\n';
  }
}

void OutputFile::write_text(std::string_view text) {
  if (!wrote_) start_first_record();
  while (!text.empty()) {
    if (used_ == buf_.size()) {
      const platform::Error error = flush_buffer();
      if (error != platform::Error::none) fail(error, Statement::Write);
    }
    const std::size_t n = std::min(text.size(), buf_.size() - used_);
    std::memcpy(buf_.data() + used_, text.data(), n);
    used_ += n;
    text.remove_prefix(n);
  }
}

void OutputFile::finish() {
  if (finished_) return;
  finished_ = true;
  platform::Error error = platform::Error::none;
  if (wrote_) {
    error = flush_buffer();
  } else if (file_.handle == platform::kNoHandle && place_.directory != platform::kNoHandle) {
    // No file yet and no record: the run succeeded, so its file is made, empty.
    temporary_ = platform::create_temporary(place_, platform::kNoHandle);
    has_temporary_ = temporary_.handle != platform::kNoHandle;
    error = temporary_.error;
  }
  if (has_temporary_) {
    const platform::Error close_error = platform::close(temporary_.handle);
    temporary_.handle = platform::kNoHandle;
    if (error == platform::Error::none) error = close_error;
  }
  if (error != platform::Error::none) {
    drop_temporary();
    fail(error, Statement::Close);
  }
}

// Only when everything before went well does the temporary take the place
// of the file (or, where the system refuses that, is copied over the file).
void OutputFile::take_place(bool undoable) {
  if (!finished_) finish();
  platform::Error error = platform::Error::none;
  const bool was_there = file_.handle != platform::kNoHandle;
  if (!wrote_ && !as_is_ && file_.handle != platform::kNoHandle) {
    error = platform::truncate_to_empty(file_.handle);
  }
  // Closed before the temporary takes its place: Windows does not replace a
  // file that is still open.
  if (file_.handle != platform::kNoHandle) {
    const platform::Error close_error = platform::close(file_.handle);
    if (error == platform::Error::none) error = close_error;
  }
  file_.handle = platform::kNoHandle;
  records_ = platform::kNoHandle;
  if (has_temporary_) {
    bool replaced = false;
    if (error == platform::Error::none) {
      if (undoable && was_there) aside_ = platform::keep_aside(temporary_);
      error = platform::replace(temporary_);
      replaced = error == platform::Error::none;
      undoable_ = undoable && replaced && (!was_there || !aside_.empty());
    }
    if (!replaced) platform::drop_aside(temporary_, std::exchange(aside_, {}));
    if (error == platform::Error::replace_refused) error = platform::copy_over(temporary_);
    if (replaced) has_temporary_ = false;
    drop_temporary();
  }
  if (error != platform::Error::none) fail(error, Statement::Close);
}

void OutputFile::undo_place() {
  if (undoable_) (void)platform::put_back(temporary_, aside_);
  undoable_ = false;
  aside_.clear();
}

void OutputFile::settle() {
  platform::drop_aside(temporary_, std::exchange(aside_, {}));
  undoable_ = false;
}

OutputFile::~OutputFile() {
  settle();
  if (has_temporary_) {
    drop_temporary();
  } else if (wrote_ && !finished_ && file_.handle != platform::kNoHandle) {
    (void)flush_buffer();  // what cannot be written is lost
  }
  if (file_.handle != platform::kNoHandle) (void)platform::close(file_.handle);
  platform::close_place(place_);
}

// The outputs are complete before either takes its place, and an ending
// signal waits until both have: the pair is both old or both new.
void put_in_place(OutputFile& output, OutputFile* dates) {
  output.finish();
  if (dates) dates->finish();
  platform::hold_ending_signals();
  try {
    output.take_place(dates != nullptr);
    if (dates) {
      try {
        dates->take_place();
      } catch (...) {
        output.undo_place();
        throw;
      }
    }
    output.settle();
  } catch (...) {
    platform::release_ending_signals();
    throw;
  }
  platform::release_ending_signals();
}

}  // namespace units
