// Failure numbers of reading and writing text.
//
// The layers that see a failure throw IoFailure with its number; the unit
// that issued the statement turns it into the error report, adding the
// statement kind and the file name, which the lower layers do not know.
#pragma once

#include <cstddef>
#include <string_view>

namespace numtext {

struct IoFailure {
  int number;
  std::string_view message = {};  // empty: the usual message of the number
  // The target of the read statement being filled, from 1; 0 when the
  // failure came outside the values (skipping the rest of the last line).
  std::size_t value = 0;
};

namespace fnum {
inline constexpr int kIntegerOverflow = 6100;
inline constexpr int kInvalidInteger = 6101;
inline constexpr int kRealBeyondDouble = 6102;
inline constexpr int kInvalidReal = 6103;
inline constexpr int kRealBeyondSingle = 6104;
inline constexpr int kTwoNumberSigns = 6302;
inline constexpr int kInvalidBase = 6303;
inline constexpr int kLineTooLong = 6407;
inline constexpr int kAccessDenied = 6414;
inline constexpr int kNoSuchDirectory = 6416;
inline constexpr int kWriteRefused = 6421;
inline constexpr int kDiskFull = 6422;
inline constexpr int kWriteFailed = 6423;
inline constexpr int kCannotRead = 6500;
inline constexpr int kEndOfFile = 6501;
inline constexpr int kZeroRepeat = 6502;
inline constexpr int kTwoAsterisks = 6503;
inline constexpr int kQuotedValue = 6504;
}  // namespace fnum

// The message line of an F report.
std::string_view failure_message(int number);

}  // namespace numtext
