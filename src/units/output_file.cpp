#include "units/output_file.hpp"

#include <algorithm>
#include <cstring>

#include "units/io_failure.hpp"

namespace units {

OutputFile::OutputFile(std::string name, const platform::Opened& file, std::size_t buffer)
    : name_(std::move(name)),
      file_(file),
      records_(file.handle),
      place_(platform::place_of(name_)),
      buf_(buffer < 256 ? 256 : buffer) {}

void OutputFile::fail(platform::Error error, Statement statement) {
  report_file_error(failure_of(error, statement), statement, name_);
}

// The records go to the file that stands at the name now, created anew when
// the one opened was removed or renamed away: through a temporary where it
// can take the file's place keeping all the file had, else into the file
// itself, cut at its start. A device or a FIFO is written in place, and a
// file the user may not write refuses its first record.
void OutputFile::start_first_record() {
  wrote_ = true;
  if (place_.directory != platform::kNoHandle) {
    const platform::Opened now = platform::reopen_at_place(file_, place_);
    if (now.handle == platform::kNoHandle) fail(now.error, Statement::Write);
    file_ = now;
    records_ = file_.handle;
    if (file_.access != platform::Access::read_only &&
        platform::replaceable(file_.handle, place_)) {
      temporary_ = platform::create_temporary(place_, file_.handle);
      if (temporary_.handle != platform::kNoHandle) {
        records_ = temporary_.handle;
        return;
      }
    }
  }
  // A FIFO's reader that goes early ends the run with a write error.
  platform::Error error = platform::write_only_if_fifo(file_.handle, name_);
  records_ = file_.handle;
  if (error == platform::Error::none) error = platform::truncate_to_empty(file_.handle);
  if (error != platform::Error::none) fail(error, Statement::Write);
}

// Closes the temporary; only when everything before went well does it take
// the place of the file (or, where the system refuses that, is copied over
// the file), otherwise it goes.
platform::Error OutputFile::settle_temporary(platform::Error error) {
  if (temporary_.handle == platform::kNoHandle) return error;
  const platform::Error close_error = platform::close(temporary_.handle);
  temporary_.handle = platform::kNoHandle;
  records_ = file_.handle;
  if (error == platform::Error::none) error = close_error;
  bool replaced = false;
  if (error == platform::Error::none) {
    error = platform::replace(temporary_);
    replaced = error == platform::Error::none;
  }
  if (error == platform::Error::replace_refused) error = platform::copy_over(temporary_);
  if (!replaced) platform::remove_temporary(temporary_);
  return error;
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

void OutputFile::close() {
  if (file_.handle == platform::kNoHandle) return;
  platform::Error error = wrote_ ? flush_buffer() : platform::truncate_to_empty(file_.handle);
  // Closed before the temporary takes its place: Windows does not replace a
  // file that is still open.
  const platform::Error close_error = platform::close(file_.handle);
  file_.handle = platform::kNoHandle;
  error = settle_temporary(error);
  if (error == platform::Error::none) error = close_error;
  if (error != platform::Error::none) fail(error, Statement::Close);
}

OutputFile::~OutputFile() {
  if (temporary_.handle != platform::kNoHandle) {
    (void)settle_temporary(platform::Error::other);
  } else if (wrote_ && file_.handle != platform::kNoHandle) {
    (void)flush_buffer();  // what cannot be written is lost
  }
  if (file_.handle != platform::kNoHandle) (void)platform::close(file_.handle);
  platform::close_place(place_);
}

}  // namespace units
