// Run states for the stages on their own, as the driver leaves them before
// the stage runs.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/side_by_side.hpp"
#include "core/derived_series.hpp"
#include "core/run_state.hpp"

namespace elab_test {

// nr rows of nc columns, rows 1..nrr selected, the arrays obtained with
// every value set to fill, and the column numbers of the close and of the
// weekday code set.
inline std::unique_ptr<elab::RunState> run_state(std::int32_t nr, std::int32_t nrr, float fill = 0.0f,
                                                 std::int32_t nc = 7) {
  auto st = std::make_unique<elab::RunState>();
  st->IC_G = 7;
  st->IC_CHIU = 6;
  st->NR = nr;
  st->NC = nc;
  st->NRR = nrr;
  elab::allocate_arrays(*st);
  if (st->IER != 0) throw std::runtime_error("the arrays of the test run cannot be obtained");
  std::fill_n(st->storage.data(), elab::array_floats(st->NR, st->NC), fill);
  return st;
}

// The weekday code of row i of a file of business days from a Monday.
inline float weekday_code(std::int64_t i) { return static_cast<float>(2 + (i - 1) % 5); }

// A run state whose rows 1..closes.size() are selected and hold the closes
// and the day codes (weekday_code(i) where days is empty), dated in January
// 1995; extra_rows rows more hold close 0, which would fault if a step used
// them as a divisor. Every other value of the arrays is fill.
inline std::unique_ptr<elab::RunState> state_of_closes(const std::vector<float>& closes, float fill = 0.0f,
                                                       const std::vector<float>& days = {},
                                                       std::int32_t extra_rows = 0) {
  const auto nrr = static_cast<std::int32_t>(closes.size());
  auto st = run_state(nrr + extra_rows, nrr, fill);
  for (std::int64_t i = 1; i <= st->NR; ++i) {
    const bool used = i <= st->NRR;
    const auto k = static_cast<std::size_t>(i - 1);
    st->M(i, 1) = 1995.0f;
    st->M(i, 2) = 1.0f;
    st->M(i, 3) = 1.0f;
    st->M(i, 4) = 0.0f;
    st->M(i, 5) = 0.0f;
    st->M(i, 6) = used ? closes[k] : 0.0f;
    st->M(i, 7) = !used ? 0.0f : days.empty() ? weekday_code(i) : days[k];
  }
  return st;
}

// Floats of the arrays of a and b (sized alike) whose bits differ.
inline std::size_t differing_floats(const elab::RunState& a, const elab::RunState& b) {
  const std::size_t n = elab::array_floats(a.NR, a.NC);
  std::size_t differ = 0;
  for (std::size_t k = 0; k < n; ++k)
    differ += std::bit_cast<std::uint32_t>(a.storage.data()[k]) !=
              std::bit_cast<std::uint32_t>(b.storage.data()[k]);
  return differ;
}

// Every way to evaluate the derived series, and its name in test output.
inline constexpr elab::Evaluation kEvaluations[] = {
    elab::Evaluation::Blocks, elab::Evaluation::BlocksTwoWays, elab::Evaluation::RowByRow};

// The derived series in evaluation e; BlocksTwoWays on a second thread.
inline void derive_series_in(elab::RunState& st, elab::Evaluation e) {
  std::unique_ptr<platform::SecondThread> second;
  if (e == elab::Evaluation::BlocksTwoWays) second = std::make_unique<platform::SecondThread>();
  elab::derive_series(st, e, second.get());
}

inline const char* evaluation_name(elab::Evaluation e) {
  switch (e) {
    case elab::Evaluation::Blocks: return "Blocks";
    case elab::Evaluation::BlocksTwoWays: return "BlocksTwoWays";
    case elab::Evaluation::RowByRow: return "RowByRow";
  }
  return "?";
}

}  // namespace elab_test
