// Failures of the units: the statement kinds, and the one translation of
// system errors into report numbers.
#pragma once

#include "numtext/text_failure.hpp"
#include "platform/os.hpp"

namespace units {

using numtext::IoFailure;
namespace fnum = numtext::fnum;
using numtext::failure_message;

enum class Statement { Read, Write, Open, Close };

// What a failed call of the platform layer means for the statement that
// made it.
IoFailure failure_of(platform::Error error, Statement statement);

}  // namespace units
