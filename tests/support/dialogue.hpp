// Console texts of the dialogue as they appear on the screen (without the
// carriage-control blank), and an alternating price series whose training
// records can be worked out by hand.
#pragma once

#include <string>
#include <vector>

#include "support/run_process.hpp"

namespace elab_e2e {

inline const std::string kCrLf = "\r\n";

inline const std::string kDateFrom =
    "Intervallo di tempo da elaborare (date=AAMMGG)\r\nda (-1=tutti i dati; 0=dall'inizio)";
inline const std::string kDateTo = "sino a (0=sino alla fine)";
inline const std::string kMenu =
    "Quale variabile in output?\r\n"
    "                1 - var. % a  1 g.\r\n"
    "                2 - var. % a  5 g.\r\n"
    "                3 - var. % a 10 g.\r\n"
    "                4 - var. % a 20 g.\r\n"
    "                5 - segno var. % a  1 g.\r\n"
    "                6 - segno var. % a  5 g.\r\n"
    "                7 - segno var. % a 10 g.\r\n"
    "                8 - segno var. % a 20 g.\r\n"
    "                9 - media var. % giornal. a  5 g.\r\n"
    "               10 - media var. % giornal. a 10 g.\r\n"
    "               11 - media var. % giornal. a 20 g.";
inline const std::string kCoeff =
    "Coeff. da applicare alla st.dev. del valore da prevedere per eliminare\r\n"
    "i valori eccezionali";
inline const std::string kScreenOut =
    "L'eliminazione degli outliers si applica al valore di out. (prev.)? (0=n; 1=s)";
inline const std::string kScreenIn =
    "L'eliminazione degli outliers si applica ai valori di input? (0=n; 1=s)";
inline const std::string kWeekday =
    "Quale giorno in output? -1=tutti con 5 dummy; 0=tutti; 2=lun., 3=mar. ecc.";
inline const std::string kNormalEnd = "\r\nStop - Program terminated.\r\n\r\n";
inline const std::string kNamePrompt =
    "File name missing or blank - please enter file name\r\nUNIT 1? ";

inline std::string count_line(int n) {
  std::string digits = std::to_string(n);
  if (digits.size() < 5) digits = std::string(5 - digits.size(), ' ') + digits;
  return "Record scritti: " + digits;
}

// Console blocks joined as on a console that is not a terminal.
inline std::string joined(const std::vector<std::string>& blocks) {
  std::string s;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (i > 0) s += kCrLf;
    s += blocks[i];
  }
  return s;
}

// The questions of a full run after the file name: date (one or two
// questions), menu, coefficient, both screening questions, weekday.
inline std::vector<std::string> full_questions(bool two_dates) {
  std::vector<std::string> q{kDateFrom};
  if (two_dates) q.push_back(kDateTo);
  for (const auto& s : {kMenu, kCoeff, kScreenOut, kScreenIn, kWeekday}) q.push_back(s);
  return q;
}

// Whole stdout of a normal run on a non-terminal console.
inline std::string normal_transcript(bool two_dates, int records) {
  auto q = full_questions(two_dates);
  q.push_back(count_line(records));
  return joined(q) + kNormalEnd;
}

inline std::string file_error(const std::string& number, const std::string& what,
                              const std::string& message) {
  return "\r\nrun-time error F" + number + ": " + what + "\r\n- " + message + "\r\n";
}

inline std::string math_error(const std::string& number, const std::string& message) {
  return "\r\nrun-time error M" + number + ": MATH\r\n- " + message + "\r\n";
}

// ---------------------------------------------------------------------------
// Alternating series: closes 100, 125, 100, 125, ... on business days from
// Monday 2 January 1995. Daily changes are +25 and -20 exactly, so every
// derived value is exact or rounds far from a tie.

inline std::vector<PriceRow> alternating_rows(int n) {
  auto rows = business_days(n, 1995, 1, 2);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].high = 0;
    rows[i].low = 0;
    rows[i].close = (i % 2 == 0) ? 100.0 : 125.0;  // row 1 (i = 0) is 100
  }
  return rows;
}

inline std::string alternating_file(int n) {
  std::string s = std::to_string(n) + " 7\n";
  for (const auto& r : alternating_rows(n)) {
    s += std::to_string(r.year) + " " + std::to_string(r.month) + " " + std::to_string(r.day) +
         " 0 0 " + (r.close == 100.0 ? "100" : "125") + " " + std::to_string(r.code) + "\n";
  }
  return s;
}

// Output value of row i (numbered from 1) for the forecast variable ivar, as
// an F8.4 field. Odd rows close at 100, even rows at 125.
inline std::string alternating_prev(int i, int ivar) {
  const bool low = (i % 2) == 1;
  switch (ivar) {
    case 1:
    case 2: return low ? " 25.0000" : "-20.0000";
    case 3:
    case 4: return "   .0000";
    case 5:
    case 6: return low ? "  1.0000" : "   .0000";
    case 7:
    case 8: return "  1.0000";
    case 9: return low ? "  7.0000" : " -2.0000";
    default: return "  2.5000";  // 10, 11
  }
}

// The training record of row i (window row, i >= 90) in the layout of igio.
inline std::string alternating_record(int i, int code, int ivar, int igio) {
  const bool low = (i % 2) == 1;
  auto change = [](int row) { return (row % 2 == 1) ? "-20.0000" : " 25.0000"; };
  std::string tail;
  tail += " 22.5000";                         // DESM
  tail += "   1.0000";                        // " " + MOME
  tail += low ? "    .9778" : "   1.0222";    // " " + RMM
  tail += low ? "    .0000" : "   1.0000";    // " " + MAXMIN
  for (int lag = 4; lag >= 0; --lag) tail += std::string(" ") + change(i - lag);
  tail += " " + alternating_prev(i, ivar);
  const std::string sign = low ? "0." : "1.";
  if (igio == -1) {
    std::string head;
    for (int k = 2; k <= 6; ++k) head += (code == k) ? " 1." : " 0.";
    return head + "  " + sign + " " + tail;
  }
  if (igio == 0) return std::string(" ") + (code == 2 ? "1." : "0.") + " " + sign + " " + tail;
  return "    " + sign + " " + tail;
}

// elab.dat of an alternating file of n rows, all selected, nothing marked.
inline std::string alternating_dat(int n, int ivar, int igio, int* count = nullptr) {
  const auto rows = alternating_rows(n);
  std::string dat;
  int c = 0;
  for (int i = 90; i <= n - 20; ++i) {
    const int code = rows[static_cast<std::size_t>(i - 1)].code;
    if (igio > 0 && code != igio) continue;
    dat += alternating_record(i, code, ivar, igio) + "\r\n";
    ++c;
  }
  if (count != nullptr) *count = c;
  return dat;
}

}  // namespace elab_e2e
