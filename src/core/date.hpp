// DATE: asks for the range of dates and copies the rows of that range, in
// file order, from MM into M; sets NRR. M may be MM itself.
#pragma once

#include <cstdint>
#include <optional>

#include "core/answers.hpp"
#include "core/run_state.hpp"

namespace prep {

// (year - 1900) * 10000 + month * 100 + day in double, truncated toward zero;
// nothing when the key does not fit a 32-bit integer.
std::optional<std::int32_t> date_key(float year, float month, float day);

// own: the routine's variables, kept between calls.
void DATE(const Questions& questions, DateVariables& own, const Matrix& MM, const Matrix& M,
          const std::int32_t& NR, const std::int32_t& NC, std::int32_t& NRR);

}  // namespace prep
