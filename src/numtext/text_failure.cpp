#include "numtext/text_failure.hpp"

namespace numtext {

std::string_view failure_message(int number) {
  switch (number) {
    case fnum::kIntegerOverflow: return "integer value out of range";
    case fnum::kInvalidInteger: return "invalid integer value";
    case fnum::kRealBeyondDouble: return "real value out of double precision range";
    case fnum::kInvalidReal: return "invalid real value";
    case fnum::kRealBeyondSingle: return "real value out of single precision range";
    case fnum::kTwoNumberSigns: return "invalid integer value: two number signs";
    case fnum::kInvalidBase: return "invalid integer value: base out of range";
    case fnum::kLineTooLong: return "input line too long";
    case fnum::kAccessDenied: return "access denied";
    case fnum::kNoSuchDirectory: return "path not found";
    case fnum::kWriteRefused: return "write refused";
    case fnum::kDiskFull: return "disk full";
    case fnum::kWriteFailed: return "write failed";
    case fnum::kCannotRead: return "file cannot be read";
    case fnum::kEndOfFile: return "end of file encountered";
    case fnum::kZeroRepeat: return "repeat count must be positive";
    case fnum::kTwoAsterisks: return "invalid value: two asterisks";
    case fnum::kQuotedValue: return "text where a number was expected";
  }
  return "input/output error";
}

}  // namespace numtext
