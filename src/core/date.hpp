// DATE: asks for the range of dates and copies the rows of that range, in
// file order, from MM into M; sets NRR. M may be MM itself.
#pragma once

#include <cstdint>

#include "core/answers.hpp"
#include "core/run_state.hpp"

namespace elab {

// own: the routine's variables, kept between calls.
void DATE(const Questions& questions, DateVariables& own, const Matrix& MM, const Matrix& M,
          const std::int32_t& NR, const std::int32_t& NC, std::int32_t& NRR);

}  // namespace elab
