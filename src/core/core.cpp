#include "core/core.hpp"

#include <utility>

#include "core/date.hpp"
#include "core/derived_series.hpp"
#include "core/price_days.hpp"
#include "core/screening.hpp"
#include "core/test_set.hpp"
#include "core/training_records.hpp"
#include "units/run_failure.hpp"
#include "numtext/messages.hpp"

namespace elab {
namespace {

// The arrays for NR and NC, with the stops of sizes that cannot be run.
void obtain_arrays(RunState& st) {
  st.IC_G = 7;
  st.IC_CHIU = 6;
  allocate_arrays(st);
  if (st.IER != 0) throw units::RunFailure::stop_for_memory("Insufficiente spazio per le matrici");
  if (st.NC < 7) units::stop_with_text(numtext::old_text::kTooFewColumns, 1);
}

}  // namespace

std::unique_ptr<platform::SecondThread> read_price_matrix(RunState& st, PriceFile& prices) {
  prices.read_size(st);
  obtain_arrays(st);
  // Decided once for the call, from its rows: the stages that split their
  // work share this thread.
  std::unique_ptr<platform::SecondThread> second = platform::second_thread_for(st.NR);
  prices.read_rows(st, second.get());
  return second;
}

std::unique_ptr<platform::SecondThread> take_price_days(RunState& st,
                                                        std::span<const numtext::PriceDay> days) {
  st.NR = static_cast<std::int32_t>(days.size());
  st.NC = kDayColumns;
  obtain_arrays(st);
  fill_price_rows(days, st.MM);
  return platform::second_thread_for(st.NR);
}

void select_and_derive(RunState& st, const Questions& questions, platform::SecondThread* second, Spelling spelling) {
  DATE(questions, st.date_own, st.MM, st.M, st.NR, st.NC, st.NRR);
  if (st.NRR < kLeastRows) units::stop_with_text(kTooFewRowsStop, 1);
  const auto test_from = questions.given().test_from;
  const std::int32_t training = test_from ? training_rows(st, *test_from, spelling) : st.NRR;
  // Over every selected row: a training row's values are those a run over
  // the training rows alone gives it, a test row's come from its history.
  derive_series(st, second ? Evaluation::BlocksTwoWays : Evaluation::Blocks, second);
  // The answers are asked, and the training set screened, on its rows only.
  if (test_from) st.selected_rows = std::exchange(st.NRR, training);
  choose_and_screen(questions, st, second);
  ask_weekday(questions, st);
}

}  // namespace elab
