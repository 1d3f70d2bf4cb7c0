// The texts of the program as they appear on the console and on standard
// error (without the carriage-control blank): the questions, the stops and
// the error reports, each written once for every test.
#pragma once

#include <string>
#include <vector>

namespace elab_test {

inline const std::string kCrLf = "\r\n";

// Answers of a full run: all rows, variable 11, coefficient 2, both
// screenings, every day with five dummies.
inline const std::string kFullRunAnswers = "-1\n11\n2\n1\n1\n-1\n";

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

// Stop texts as the program writes them; on a console that is not a
// terminal the pending line end follows the last two when the run ends.
inline const std::string kNoRoom = "Insufficiente spazio per le matrici\r\nReturn code 99\r\n\r\n";
inline const std::string kOutOfMemory = "Memoria insufficiente\r\nReturn code 99\r\n\r\n";
inline const std::string kTooFewColumns = "Il file deve avere almeno 7 colonne\r\n";
inline const std::string kTooFewRows = "Righe selezionate insufficienti: ne servono almeno 110\r\n";
// The line on standard error that follows it, for prices.txt.
inline std::string too_few_rows(int selected, int rows, const std::string& file = "prices.txt") {
  return "elab: " + file + ": " + std::to_string(selected) + (selected == 1 ? " row" : " rows") + " selected of the " +
         std::to_string(rows) + " it has; a run takes at least 110: choose a wider range of dates or a longer file\r\n";
}
inline const std::string kDateOrder = "data finale minore data iniziale\r\n";
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

// An error report on standard error: code is "F6501", "M6103" and so on.
inline std::string report(const std::string& code, const std::string& statement,
                          const std::string& message) {
  return "\r\nrun-time error " + code + ": " + statement + "\r\n- " + message + "\r\n";
}

inline std::string file_error(const std::string& number, const std::string& what,
                              const std::string& message) {
  return report("F" + number, what, message);
}

inline std::string math_error(const std::string& number, const std::string& message) {
  return report("M" + number, "MATH", message);
}

}  // namespace elab_test
