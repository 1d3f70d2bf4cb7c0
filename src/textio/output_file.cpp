#include "textio/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "textio/console.hpp"
#include "textio/io_failure.hpp"

namespace textio {
namespace {

int failure_for_errno(int err) {
  switch (err) {
    case ENOSPC:
    case EDQUOT:
      return fnum::kDiskFull;
    case EACCES:
    case EPERM:
    case EBADF:
    case EROFS:
      return fnum::kWriteRefused;
    default:
      return fnum::kWriteFailed;
  }
}

// Cuts a regular file at its start; a device such as a terminal has no
// length to cut.
int cut_to_empty(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode) || st.st_size == 0) return 0;
  if ((::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) return EBADF;
  return ::ftruncate(fd, 0) == 0 ? 0 : errno;
}

}  // namespace

OutputFile::OutputFile(std::string name, int fd, std::size_t buffer)
    : name_(std::move(name)), fd_(fd), buf_(buffer < 256 ? 256 : buffer) {
  attach_unit(this);
}

OutputFile::~OutputFile() {
  detach_unit(this);
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::fail(int err, Statement statement) {
  report_file_error(failure_for_errno(err), statement, name_);
}

void OutputFile::start_first_record() {
  wrote_ = true;
  if (const int err = cut_to_empty(fd_)) fail(err, Statement::Write);
}

int OutputFile::flush_buffer() {
  const int err = write_all(fd_, buf_.data(), used_);
  used_ = 0;
  return err;
}

char* OutputFile::record_space(std::size_t n) {
  if (!wrote_) start_first_record();
  if (buf_.size() - used_ < n + 2) {
    if (const int err = flush_buffer()) fail(err, Statement::Write);
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
  if (fd_ < 0) return;
  int err = wrote_ ? flush_buffer() : cut_to_empty(fd_);
  const int close_err = ::close(fd_) != 0 ? errno : 0;
  fd_ = -1;
  if (err == 0) err = close_err;
  if (err != 0) fail(err, Statement::Close);
}

void OutputFile::close_at_exit() noexcept {
  if (fd_ < 0) return;
  if (used_ > 0) (void)flush_buffer();  // what cannot be written is lost
  ::close(fd_);
  fd_ = -1;
}

}  // namespace textio
