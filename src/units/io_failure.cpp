#include "units/io_failure.hpp"

namespace units {

IoFailure failure_of(platform::Error error, Statement statement) {
  using platform::Error;
  switch (statement) {
    case Statement::Open:
      if (error == Error::not_found) return {fnum::kNoSuchDirectory, "file does not exist"};
      if (error == Error::no_directory) return {fnum::kNoSuchDirectory};
      return {fnum::kAccessDenied};
    case Statement::Read:
      return {fnum::kCannotRead};
    case Statement::Write:
    case Statement::Close:
      if (error == Error::disk_full) return {fnum::kDiskFull};
      if (error == Error::access_denied) return {fnum::kWriteRefused};
      return {fnum::kWriteFailed};
  }
  return {fnum::kWriteFailed};
}

}  // namespace units
