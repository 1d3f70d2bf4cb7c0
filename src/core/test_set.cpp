#include "core/test_set.hpp"

#include <cmath>
#include <string>

#include "elab/answers.hpp"
#include "numtext/date_text.hpp"
#include "numtext/messages.hpp"
#include "core/checked_arith.hpp"
#include "units/run_failure.hpp"

namespace elab {
namespace {

using numtext::Msg;
using numtext::message;

std::string date_of_row(const RunState& st, std::int64_t i) {
  return numtext::iso_text(st.M(i, 1), st.M(i, 2), st.M(i, 3));
}

bool before(const RunState& st, std::int64_t i, std::int32_t test_from) {
  const auto key = numtext::date_key(st.M(i, 1), st.M(i, 2), st.M(i, 3));
  return key && *key < test_from;
}

// The dates that leave a run's rows before them and a test record after.
std::string dates_that_do(const RunState& st) {
  const std::int64_t last_record = st.NRR - 20;
  if (last_record <= kLeastRows) {
    return message(Msg::test_from_no_date_does, {std::to_string(st.NRR), std::to_string(kLeastRows + 21)});
  }
  return message(Msg::test_from_dates_that_do, {date_of_row(st, kLeastRows), date_of_row(st, last_record)});
}

[[noreturn]] void refuse(const RunState& st, Spelling spelling, const std::string& why) {
  units::report_input_error(message(Msg::test_from_refused, {spelled_name(answer_spec(Question::test_from), spelling),
                                                             why, dates_that_do(st)}));
}

// Row i's value of the input series k, in the order the screening takes
// them: DESM, MOME, RMM, MAXMIN, then VPERC lagged by 0..4.
float input_value(const RunState& st, int k, std::int64_t i) {
  switch (k) {
    case 0: return st.DESM(i);
    case 1: return st.MOME(i);
    case 2: return st.RMM(i);
    case 3: return st.MAXMIN(i);
    default: return st.VPERC(i - (k - 4));
  }
}

// The screening's test of the training set, with its statistics, on the
// rows from first on.
void screen_test_inputs(RunState& st, std::int64_t first) {
  for (int k = 0; k < 9; ++k) {
    const WindowStats& stats = st.input_stats[k];
    const double bound = wide(st.COEFF) * wide(stats.STD);
    for (std::int64_t i = first; i <= st.NRR; ++i) {
      if (std::fabs(wide(input_value(st, k, i)) - wide(stats.AM)) > bound) st.PREV(i) = kOutlierMark;
    }
  }
}

}  // namespace

std::int32_t training_rows(const RunState& st, std::int32_t test_from, Spelling spelling) {
  std::int32_t rows = 0;
  while (rows < st.NRR && before(st, rows + 1, test_from)) ++rows;
  for (std::int64_t i = rows + 1; i <= st.NRR; ++i) {
    if (before(st, i, test_from)) {
      refuse(st, spelling, message(Msg::test_from_out_of_order,
                         {std::to_string(i), date_of_row(st, i), std::to_string(rows + 1), date_of_row(st, rows + 1)}));
    }
  }
  if (rows < kLeastRows) {
    refuse(st, spelling, message(Msg::test_from_few_training_rows, {std::to_string(rows), std::to_string(kLeastRows)}));
  }
  if (rows + 1 > st.NRR - 20) {
    refuse(st, spelling, message(Msg::test_from_no_test_row));
  }
  return rows;
}

void enter_test_set(RunState& st) {
  const std::int32_t first = st.NRR + 1;
  st.NRR = st.selected_rows;
  for (std::int64_t i = first; i <= st.NRR; ++i) st.PREV(i) = st.OUT(i, st.IVAR);
  if (st.ISN == 1) screen_test_inputs(st, first);
  st.first_test_row = first;
}

}  // namespace elab
