#include "units/output_file.hpp"

#include "units/io_failure.hpp"

namespace units {

namespace {

// Only a regular file this run may write is replaced through a temporary:
// a device or a FIFO is written in place, and a file the user may not write
// refuses its first record as it always did.
bool replaced_whole(const platform::Opened& file) {
  return file.access != platform::Access::read_only &&
         platform::kind_of(file.handle) == platform::Kind::regular;
}

}  // namespace

OutputFile::OutputFile(std::string name, const platform::Opened& file, std::size_t buffer)
    : name_(std::move(name)),
      file_(file.handle),
      records_(file.handle),
      replace_whole_(replaced_whole(file)),
      buf_(buffer < 256 ? 256 : buffer) {}

void OutputFile::fail(platform::Error error, Statement statement) {
  report_file_error(failure_of(error, statement), statement, name_);
}

// The records go to a temporary beside the file when one can be made there,
// else into the file itself, cut at its start.
void OutputFile::start_first_record() {
  wrote_ = true;
  if (replace_whole_) {
    temporary_ = platform::create_temporary_beside(name_);
    if (temporary_.handle != platform::kNoHandle) {
      records_ = temporary_.handle;
      return;
    }
  }
  // A FIFO's reader that goes early ends the run with a write error.
  platform::Error error = platform::write_only_if_fifo(file_, name_);
  records_ = file_;
  if (error == platform::Error::none) error = platform::truncate_to_empty(file_);
  if (error != platform::Error::none) fail(error, Statement::Write);
}

// Closes the temporary; only when everything before went well does it take
// the place of the file, otherwise it goes.
platform::Error OutputFile::settle_temporary(platform::Error error) {
  if (temporary_.handle == platform::kNoHandle) return error;
  const platform::Error close_error = platform::close(temporary_.handle);
  temporary_.handle = platform::kNoHandle;
  records_ = file_;
  if (error == platform::Error::none) error = close_error;
  if (error == platform::Error::none) error = platform::replace(temporary_);
  if (error != platform::Error::none) platform::remove_file(temporary_.path);
  platform::remove_on_termination_signal("");
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

void OutputFile::close() {
  if (file_ == platform::kNoHandle) return;
  platform::Error error = wrote_ ? flush_buffer() : platform::truncate_to_empty(file_);
  // Closed before the temporary takes its place: Windows does not replace a
  // file that is still open.
  const platform::Error close_error = platform::close(file_);
  file_ = platform::kNoHandle;
  error = settle_temporary(error);
  if (error == platform::Error::none) error = close_error;
  if (error != platform::Error::none) fail(error, Statement::Close);
}

OutputFile::~OutputFile() {
  if (file_ == platform::kNoHandle) return;
  if (temporary_.handle != platform::kNoHandle) {
    (void)settle_temporary(platform::Error::other);
  } else if (wrote_) {
    (void)flush_buffer();  // what cannot be written is lost
  }
  (void)platform::close(file_);
}

}  // namespace units
