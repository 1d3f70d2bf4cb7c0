#include "prep/screening.hpp"

#include <cmath>

#include "prep/checked_arith.hpp"
#include "textio/console_read.hpp"
#include "textio/console_write.hpp"

namespace prep {

void screen_series(const float* X, std::int32_t NRR, float C, std::int32_t ME, float* P,
                   WindowStats& st) {
  const float* x = X - 1;  // rows from 1
  float* p = P - 1;
  st.S = 0.0f;
  st.S2 = 0.0f;
  for (std::int64_t i = ME; i <= NRR - 20; ++i) {
    const double v = wide(x[i]);
    st.S = store(v + wide(st.S));
    st.S2 = store(v * v + wide(st.S2));
  }
  st.K = NRR - 20 - ME + 1;
  st.AM = store(wide(st.S) / st.K);
  const double mean = wide(st.S) / st.K;
  st.S = store(mean * mean);
  // The deviation takes the mean of the squares as computed, unrounded.
  const double mean_of_squares = wide(st.S2) / st.K;
  st.S2 = store(mean_of_squares);
  st.STD = store(checked_sqrt(mean_of_squares - wide(st.S)));

  const double bound = wide(C) * wide(st.STD);
  const double mean_d = wide(st.AM);
  for (std::int64_t i = 1; i <= NRR; ++i) {
    // Written as a selection, so that many rows are tested at once; a row
    // is read before its mark is stored, so X may be P.
    const bool out = std::fabs(wide(x[i]) - mean_d) > bound;
    p[i] = out ? kOutlierMark : p[i];
  }
}

void STDSUB(WindowStats& own, const float* X, const std::int32_t& NR, const std::int32_t& NRR,
            const float& C, const std::int32_t& ME, float* P) {
  (void)NR;  // only dimensions X and P
  screen_series(X, NRR, C, ME, P, own);
}

namespace {

using textio::EditList;

const EditList& menu() {
  static const EditList list = EditList::parse(
      "(' Quale variabile in output?'/"
      "17X,'1 - var. % a  1 g.'/"
      "17X,'2 - var. % a  5 g.'/"
      "17X,'3 - var. % a 10 g.'/"
      "17X,'4 - var. % a 20 g.'/"
      "17X,'5 - segno var. % a  1 g.'/"
      "17X,'6 - segno var. % a  5 g.'/"
      "17X,'7 - segno var. % a 10 g.'/"
      "17X,'8 - segno var. % a 20 g.'/"
      "17X,'9 - media var. % giornal. a  5 g.'/"
      "16X,'10 - media var. % giornal. a 10 g.'/"
      "16X,'11 - media var. % giornal. a 20 g.')");
  return list;
}

// Asks until the answer is 0 or 1.
void ask_yes_no(textio::Console& console, const EditList& question, std::int32_t& answer) {
  do {
    textio::write_console(console, question);
    textio::read_console(console, answer);
  } while (answer != 0 && answer != 1);
}

void screen_inputs(RunState& st) {
  STDSUB(st.stdsub_own, st.DESM.data, st.NR, st.NRR, st.COEFF, st.ME90, st.PREV.data);
  STDSUB(st.stdsub_own, st.MOME.data, st.NR, st.NRR, st.COEFF, st.ME90, st.PREV.data);
  STDSUB(st.stdsub_own, st.RMM.data, st.NR, st.NRR, st.COEFF, st.ME90, st.PREV.data);
  STDSUB(st.stdsub_own, st.MAXMIN.data, st.NR, st.NRR, st.COEFF, st.ME90, st.PREV.data);
  for (std::int64_t lag = 0; lag <= 4; ++lag) {
    for (std::int64_t i = 1; i <= st.NRR; ++i) st.V(i) = 0.0f;
    for (std::int64_t i = st.ME90; i <= st.NRR - 20; ++i) st.V(i) = st.VPERC(i - lag);
    STDSUB(st.stdsub_own, st.V.data, st.NR, st.NRR, st.COEFF, st.ME90, st.PREV.data);
  }
}

}  // namespace

void choose_and_screen(textio::Console& console, RunState& st) {
  do {
    textio::write_console(console, menu());
    textio::read_console(console, st.IVAR);
  } while (st.IVAR < 1 || st.IVAR > 11);
  for (std::int64_t i = 1; i <= st.NRR; ++i) st.PREV(i) = st.OUT(i, st.IVAR);

  static const EditList coefficient = EditList::parse(
      "(' Coeff. da applicare alla st.dev. del valore da ','prevedere per eliminare'/"
      "' i valori eccezionali')");
  textio::write_console(console, coefficient);
  textio::read_console(console, st.COEFF);

  static const EditList output_question = EditList::parse(
      "(' L''eliminazione degli outliers si applica al',' valore di out. (prev.)? (0=n; 1=s)')");
  ask_yes_no(console, output_question, st.ISN);
  if (st.ISN == 1) {
    screen_series(st.PREV.data, st.NRR, st.COEFF, st.ME90, st.PREV.data, st.screening);
  }

  static const EditList input_question = EditList::parse(
      "(' L''eliminazione degli outliers si applica ai',' valori di input? (0=n; 1=s)')");
  ask_yes_no(console, input_question, st.ISN);
  if (st.ISN == 1) screen_inputs(st);
}

}  // namespace prep
