#include "textio/output_file.hpp"

#include <cstring>

#include "textio/io_failure.hpp"

namespace textio {

OutputFile::OutputFile(std::string name, platform::Handle file, std::size_t buffer)
    : name_(std::move(name)), file_(file), buf_(buffer < 256 ? 256 : buffer) {
  attach_unit(this);
}

OutputFile::~OutputFile() {
  detach_unit(this);
  if (file_ != platform::kNoHandle) (void)platform::close(file_);
}

void OutputFile::fail(platform::Error error, Statement statement) {
  report_file_error(failure_of(error, statement), statement, name_);
}

void OutputFile::start_first_record() {
  wrote_ = true;
  const platform::Error error = platform::truncate_to_empty(file_);
  if (error != platform::Error::none) fail(error, Statement::Write);
}

platform::Error OutputFile::flush_buffer() {
  const platform::Error error = platform::write_all(file_, buf_.data(), used_);
  used_ = 0;
  return error;
}

char* OutputFile::record_space(std::size_t n) {
  if (!wrote_) start_first_record();
  if (buf_.size() - used_ < n + 2) {
    const platform::Error error = flush_buffer();
    if (error != platform::Error::none) fail(error, Statement::Write);
    if (buf_.size() < n + 2) buf_.resize(n + 2);
  }
  return buf_.data() + used_;
}

void OutputFile::commit_record(std::size_t n) {
  char* at = buf_.data() + used_ + n;
  at[0] = '\r';
  at[1] = '\n';
  used_ += n + 2;
}

void OutputFile::write_record(std::string_view record) {
  char* at = record_space(record.size());
  std::memcpy(at, record.data(), record.size());
  commit_record(record.size());
}

void OutputFile::close() {
  if (file_ == platform::kNoHandle) return;
  platform::Error error = wrote_ ? flush_buffer() : platform::truncate_to_empty(file_);
  const platform::Error close_error = platform::close(file_);
  file_ = platform::kNoHandle;
  if (error == platform::Error::none) error = close_error;
  if (error != platform::Error::none) fail(error, Statement::Close);
}

void OutputFile::close_at_exit() noexcept {
  if (file_ == platform::kNoHandle) return;
  if (used_ > 0) (void)flush_buffer();  // what cannot be written is lost
  (void)platform::close(file_);
  file_ = platform::kNoHandle;
}

}  // namespace textio
