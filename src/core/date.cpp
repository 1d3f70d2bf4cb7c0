#include "core/date.hpp"

#include <cstring>

#include "numtext/date_text.hpp"
#include "units/run_failure.hpp"

namespace elab {
namespace {

void copy_row(const Matrix& from, std::int64_t i, const Matrix& to, std::int64_t to_row,
              std::int32_t nc) {
  for (std::int32_t j = 1; j <= nc; ++j) to(to_row, j) = from(i, j);
}

}  // namespace

void DATE(const Questions& questions, DateVariables& own, const Matrix& MM, const Matrix& M,
          const std::int32_t& NR, const std::int32_t& NC, std::int32_t& NRR) {
  std::int32_t& IDATA0 = own.IDATA0;
  std::int32_t& IDATA1 = own.IDATA1;

  NRR = NR;
  questions.ask(Question::from, IDATA0);

  if (IDATA0 == -1) {
    if (M.data == MM.data) return;  // selected in place: already all there
    for (std::int32_t j = 1; j <= NC; ++j) {
      std::memcpy(M.column(j), MM.column(j), sizeof(float) * static_cast<std::size_t>(NR));
    }
    return;
  }

  IDATA1 = -1;
  questions.ask(Question::to, IDATA1);
  if (IDATA1 == 0) IDATA1 = 2147483647;  // the end of the data, whatever its year
  if (IDATA0 > IDATA1) units::stop_with_text("data finale minore data iniziale", 1);

  // M may be MM itself: row NRR is never after row i, so each row moves
  // forward onto rows already read.
  NRR = 0;
  for (std::int64_t i = 1; i <= NR; ++i) {
    const auto key = numtext::date_key(MM(i, 1), MM(i, 2), MM(i, 3));
    if (key && IDATA0 <= *key && *key <= IDATA1) copy_row(MM, i, M, ++NRR, NC);
  }
}

}  // namespace elab
