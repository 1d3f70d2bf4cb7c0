#include "numtext/messages.hpp"

#include <array>
#include <atomic>

namespace numtext {
namespace {

constexpr std::size_t kCount = static_cast<std::size_t>(Msg::count_);
using Table = std::array<std::string_view, kCount>;

// In the order of Msg.
constexpr Table kEnglish = {
    // usage_head
    "Usage: elab [OPTION]... [FILE]\n"
    "       elab --help | --version\n"
    "\n"
    "Reads a file of daily prices and writes the training file elab.dat in\n"
    "the current directory (or the FILE of --output), one record a day (a\n"
    "file already there is replaced).\n"
    "\n"
    "FILE  the price file: NR and NC, then NR rows of NC numbers (year,\n"
    "      month, day, two values not used, close, day 2=Mon..6=Fri); or a\n"
    "      vendor's CSV, with a date column and a close column (Date, Data,\n"
    "      Datum...; Close, Chiusura, Last...). Without FILE its name is\n"
    "      asked (UNIT 1?). - is standard input, only with every answer\n"
    "      given by an option; a FILE that begins with - is written ./-x or\n"
    "      after --.",
    // usage_options
    "Options (--option=value or --option value):",
    // usage_tail
    "Questions, in order; an answer given by an option is not asked:\n"
    "  da          first date YYMMDD; from 2000 with seven digits (1190601 =\n"
    "              1 June 2019); -1 = every row, 0 = from the start\n"
    "  sino a      last date; 0 = to the end of the data\n"
    "  variabile   the output value, 1 to 11\n"
    "  coeff.      multiple of the st.dev. beyond which a value is an outlier\n"
    "  outliers    screen the output value? 0 = no, 1 = yes\n"
    "  outliers    screen the input values? 0 = no, 1 = yes\n"
    "  giorno      -1 = every day with 5 dummies, 0 = every day, 2..6 = one day\n"
    "\n"
    "Exit status: 0 normal end; 1 error (message on stderr), last date\n"
    "before the first, fewer than 7 columns or 110 selected rows; 2 command\n"
    "line in error (nothing is asked or written); 99 not enough room for\n"
    "the arrays.",
    // try_help
    "Try 'elab --help'.",
    // unknown_long_option
    "unrecognized option '{}'",
    // unknown_short_option
    "invalid option -- '{}'",
    // option_needs_value
    "option '{}' requires an argument",
    // option_takes_no_value
    "option '{}' doesn't allow an argument",
    // option_value_refused
    "invalid value '{}' for {}",
    // check_needs_file
    "--check needs a price file",
    // output_and_dates_same
    "--output and --dates name the same file",
    // stdin_needs_answers
    "price file '-' is standard input: the answers need their options (missing:{})",
    // batch_end_files
    "{} files: {} written, {} failed",
    // batch_end_series
    "{} series: {} written, {} failed",
    // refused_sources
    "--sources {}: {}",
    // at_line
    "line {}",

    // --check's findings and count line, the warnings of what it would
    // find, the test set's refusals and the notes after a report.
    // check_read_as_two_values
    "{} is read as two values; decimals take a point",
    // check_values_short_one
    "1 value on the line, NC is {}: the row goes on into the next line",
    // check_values_short
    "{} values on the line, NC is {}: the row goes on into the next line",
    // check_values_long_one
    "1 value on the line, NC is {}: the last ones are never read",
    // check_values_long
    "{} values on the line, NC is {}: the last ones are never read",
    // check_two_digit_year
    "year {} has two digits: a run takes it as the year {}, not {}",
    // check_no_calendar_day
    "{} is no day of the calendar",
    // check_weekday_code
    "a weekday code other than the date's: {} is a {} ({})",
    // weekday_sunday
    "Sunday",
    // weekday_monday
    "Monday",
    // weekday_tuesday
    "Tuesday",
    // weekday_wednesday
    "Wednesday",
    // weekday_thursday
    "Thursday",
    // weekday_friday
    "Friday",
    // weekday_saturday
    "Saturday",
    // check_lines_after_one
    "1 line of values after the NR = {} rows: a run never reads them",
    // check_lines_after
    "{} lines of values after the NR = {} rows: a run never reads them",
    // check_same_date
    "the same date as row {} (line {})",
    // check_date_before_previous
    "the date is before the previous row's",
    // check_close_not_positive
    "a close of zero or below",
    // check_weekend
    "{} is a {}: exchanges do not trade then",
    // check_gap
    "{} calendar days after the previous row's {}: days are missing",
    // check_equal_closes
    "{} equal closes in a row, to row {}: the series may have stopped",
    // check_few_rows_one
    "1 row: a run needs at least {} selected rows",
    // check_few_rows
    "{} rows: a run needs at least {} selected rows",
    // finding_at_row_and_line
    "row {}, line {}: {}",
    // finding_at_row
    "row {}: {}",
    // finding_at_line
    "line {}: {}",
    // findings_one_in_one_row
    "1 finding in 1 row",
    // findings_one_in_rows
    "1 finding in {} rows",
    // findings_in_one_row
    "{} findings in 1 row",
    // findings_in_rows
    "{} findings in {} rows",
    // findings_in_one_row_first_shown
    "{} findings in 1 row, the first {} shown",
    // findings_in_rows_first_shown
    "{} findings in {} rows, the first {} shown",
    // days_weekend_one
    "1 row on a Saturday or Sunday, the first on {}",
    // days_weekend
    "{} rows on a Saturday or Sunday, the first on {}",
    // days_gap_one
    "1 gap of more than {} calendar days, the first before {}",
    // days_gap
    "{} gaps of more than {} calendar days, the first before {}",
    // days_equal_closes_one
    "1 run of {} or more equal closes, the first from {}",
    // days_equal_closes
    "{} runs of {} or more equal closes, the first from {}",
    // days_check_lists_them
    "{}: {}: elab --check lists them",
    // days_strict_refuses
    "{}: {}: elab --check lists them; --strict takes no such rows",
    // test_from_refused
    "--test-from: {}; {}",
    // test_from_no_date_does
    "no test date would do: {} rows selected, a split needs {}",
    // test_from_dates_that_do
    "a test date after {} and not after {} would do",
    // test_from_out_of_order
    "row {} ({}) comes after row {} ({}) but before the test date: the rows are not in date order",
    // test_from_few_training_rows
    "the date leaves {} training rows, a run needs {}",
    // test_from_no_test_row
    "the date leaves no test row with 20 rows after it",
    // note_rows_too_few_one
    "{}: 1 row selected of the {} it has; a run takes at least {}: choose a wider range of dates or a longer file",
    // note_rows_too_few
    "{}: {} rows selected of the {} it has; a run takes at least {}: choose a wider range of dates or a longer file",
    // note_close_below_normal_at_line
    "{}: line {}, date {}, field {}: the close {} is below the smallest normal float, and a run divides "
    "by every close: correct or remove the line",
    // note_close_below_normal_at_row
    "{}: row {}, date {}, field {}: the close {} is below the smallest normal float, and a run divides "
    "by every close: correct or remove the row",
    // note_close_not_above_zero_at_line
    "{}: line {}, date {}, field {}: the close {} is not above zero, and a run divides by every close: "
    "correct or remove the line",
    // note_close_not_above_zero_at_row
    "{}: row {}, date {}, field {}: the close {} is not above zero, and a run divides by every close: "
    "correct or remove the row",
};

constexpr Table kItalian = {
    // usage_head
    "Uso: elab [OPZIONE]... [FILE]\n"
    "     elab --help | --version\n"
    "\n"
    "Legge un file di prezzi giornalieri e scrive il file di addestramento\n"
    "elab.dat nella directory corrente (o il FILE di --output), un record per\n"
    "giorno (un file esistente viene sostituito).\n"
    "\n"
    "FILE  il file dei prezzi: NR e NC, poi NR righe di NC numeri (anno,\n"
    "      mese, giorno, due valori non usati, chiusura, giorno 2=lun..6=ven);\n"
    "      oppure il CSV di un fornitore, con una colonna della data e una\n"
    "      della chiusura (Date, Data, Datum...; Close, Chiusura, Last...).\n"
    "      Senza FILE il nome viene chiesto (UNIT 1?). - e' lo standard input,\n"
    "      solo con tutte le risposte date per opzione; un FILE che comincia\n"
    "      con - si scrive ./-x oppure dopo --.",
    // usage_options
    "Opzioni (--opzione=valore o --opzione valore):",
    // usage_tail
    "Domande, nell'ordine; una risposta data per opzione non viene chiesta:\n"
    "  da          prima data AAMMGG; dal 2000 con sette cifre (1190601 =\n"
    "              1 giugno 2019); -1 = tutti i dati, 0 = dall'inizio\n"
    "  sino a      ultima data; 0 = sino alla fine dei dati\n"
    "  variabile   in output, da 1 a 11\n"
    "  coeff.      multiplo della st.dev. oltre il quale un valore e' eccezionale\n"
    "  outliers    sul valore di output? 0 = no, 1 = si'\n"
    "  outliers    sui valori di input? 0 = no, 1 = si'\n"
    "  giorno      -1 = tutti con 5 dummy, 0 = tutti, 2..6 = un solo giorno\n"
    "\n"
    "Stato di uscita: 0 fine normale; 1 errore (messaggio su stderr), data\n"
    "finale minore della iniziale, meno di 7 colonne o di 110 righe scelte;\n"
    "2 riga di comando errata (nulla e' chiesto ne' scritto); 99 spazio\n"
    "insufficiente per le matrici.",
    // try_help
    "Provare 'elab --help'.",
    // unknown_long_option
    "opzione '{}' non riconosciuta",
    // unknown_short_option
    "opzione non valida -- '{}'",
    // option_needs_value
    "l'opzione '{}' richiede un argomento",
    // option_takes_no_value
    "l'opzione '{}' non accetta argomenti",
    // option_value_refused
    "valore '{}' non valido per {}",
    // check_needs_file
    "--check richiede un file dei prezzi",
    // output_and_dates_same
    "--output e --dates indicano lo stesso file",
    // stdin_needs_answers
    "il file dei prezzi '-' e' lo standard input: le risposte vanno date per opzione (mancano:{})",
    // batch_end_files
    "{} file: {} scritti, {} non riusciti",
    // batch_end_series
    "{} serie: {} scritte, {} non riuscite",
    // refused_sources
    "--sources {}: {}",
    // at_line
    "riga {}",

    // --check's findings and count line, the warnings of what it would
    // find, the test set's refusals and the notes after a report.
    // check_read_as_two_values
    "{} viene letto come due valori; i decimali vogliono il punto",
    // check_values_short_one
    "1 valore sulla riga, NC e' {}: la riga di dati prosegue sulla riga seguente",
    // check_values_short
    "{} valori sulla riga, NC e' {}: la riga di dati prosegue sulla riga seguente",
    // check_values_long_one
    "1 valore sulla riga, NC e' {}: gli ultimi non vengono mai letti",
    // check_values_long
    "{} valori sulla riga, NC e' {}: gli ultimi non vengono mai letti",
    // check_two_digit_year
    "l'anno {} ha due cifre: l'elaborazione lo prende come anno {}, non {}",
    // check_no_calendar_day
    "{} non e' un giorno del calendario",
    // check_weekday_code
    "un codice del giorno della settimana diverso da quello della data: {} cade di {} ({})",
    // weekday_sunday
    "domenica",
    // weekday_monday
    "lunedi'",
    // weekday_tuesday
    "martedi'",
    // weekday_wednesday
    "mercoledi'",
    // weekday_thursday
    "giovedi'",
    // weekday_friday
    "venerdi'",
    // weekday_saturday
    "sabato",
    // check_lines_after_one
    "1 riga di valori dopo le NR = {} righe: l'elaborazione non la legge mai",
    // check_lines_after
    "{} righe di valori dopo le NR = {} righe: l'elaborazione non le legge mai",
    // check_same_date
    "la stessa data della riga {} (riga {} del file)",
    // check_date_before_previous
    "la data precede quella della riga precedente",
    // check_close_not_positive
    "una chiusura nulla o negativa",
    // check_weekend
    "{} cade di {}: le borse sono chiuse",
    // check_gap
    "{} giorni di calendario dopo il {} della riga precedente: mancano dei giorni",
    // check_equal_closes
    "{} chiusure uguali di seguito, fino alla riga {}: la serie potrebbe essersi fermata",
    // check_few_rows_one
    "1 riga: l'elaborazione richiede almeno {} righe selezionate",
    // check_few_rows
    "{} righe: l'elaborazione richiede almeno {} righe selezionate",
    // finding_at_row_and_line
    "riga {} (riga {} del file): {}",
    // finding_at_row
    "riga {}: {}",
    // finding_at_line
    "riga {} del file: {}",
    // findings_one_in_one_row
    "1 segnalazione su 1 riga",
    // findings_one_in_rows
    "1 segnalazione su {} righe",
    // findings_in_one_row
    "{} segnalazioni su 1 riga",
    // findings_in_rows
    "{} segnalazioni su {} righe",
    // findings_in_one_row_first_shown
    "{} segnalazioni su 1 riga, mostrate le prime {}",
    // findings_in_rows_first_shown
    "{} segnalazioni su {} righe, mostrate le prime {}",
    // days_weekend_one
    "1 riga di sabato o di domenica, il {}",
    // days_weekend
    "{} righe di sabato o di domenica, la prima il {}",
    // days_gap_one
    "1 salto di oltre {} giorni di calendario, prima del {}",
    // days_gap
    "{} salti di oltre {} giorni di calendario, il primo prima del {}",
    // days_equal_closes_one
    "1 sequenza di {} o piu' chiusure uguali, dal {}",
    // days_equal_closes
    "{} sequenze di {} o piu' chiusure uguali, la prima dal {}",
    // days_check_lists_them
    "{}: {}: elab --check le elenca",
    // days_strict_refuses
    "{}: {}: elab --check le elenca; --strict non accetta righe simili",
    // test_from_refused
    "--test-from: {}; {}",
    // test_from_no_date_does
    "nessuna data di test va bene: {} righe selezionate, per dividerle ne servono {}",
    // test_from_dates_that_do
    "andrebbe bene una data di test dopo il {} e non oltre il {}",
    // test_from_out_of_order
    "la riga {} ({}) viene dopo la riga {} ({}) ma prima della data di test: le righe non sono in ordine di data",
    // test_from_few_training_rows
    "righe di addestramento prima della data: {}, l'elaborazione ne richiede {}",
    // test_from_no_test_row
    "la data non lascia alcuna riga di test seguita da 20 righe",
    // note_rows_too_few_one
    "{}: 1 riga selezionata su {}; l'elaborazione ne richiede almeno {}: scegliere un "
    "intervallo di date piu' ampio o un file piu' lungo",
    // note_rows_too_few
    "{}: {} righe selezionate su {}; l'elaborazione ne richiede almeno {}: scegliere un "
    "intervallo di date piu' ampio o un file piu' lungo",
    // note_close_below_normal_at_line
    "{}: riga {}, data {}, campo {}: la chiusura {} e' sotto il piu' piccolo float normale, e "
    "l'elaborazione divide per ogni chiusura: correggere o togliere la riga",
    // note_close_below_normal_at_row
    "{}: riga {}, data {}, campo {}: la chiusura {} e' sotto il piu' piccolo float normale, e "
    "l'elaborazione divide per ogni chiusura: correggere o togliere la riga",
    // note_close_not_above_zero_at_line
    "{}: riga {}, data {}, campo {}: la chiusura {} non e' maggiore di zero, e l'elaborazione divide per "
    "ogni chiusura: correggere o togliere la riga",
    // note_close_not_above_zero_at_row
    "{}: riga {}, data {}, campo {}: la chiusura {} non e' maggiore di zero, e l'elaborazione divide per "
    "ogni chiusura: correggere o togliere la riga",
};

constexpr bool all_written(const Table& table) {
  for (std::string_view text : table) {
    if (text.empty()) return false;
  }
  return true;
}
static_assert(all_written(kEnglish) && all_written(kItalian), "a message without its text");

constexpr std::size_t blanks_to_fill(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t at = text.find("{}"); at != std::string_view::npos; at = text.find("{}", at + 2)) ++n;
  return n;
}

// Every language fills a message with the same arguments.
constexpr bool same_arguments(const Table& a, const Table& b) {
  for (std::size_t k = 0; k < kCount; ++k) {
    if (blanks_to_fill(a[k]) != blanks_to_fill(b[k])) return false;
  }
  return true;
}
static_assert(same_arguments(kEnglish, kItalian), "a message's languages take other arguments");

std::atomic<Language> g_language{Language::english};

}  // namespace

Language language_of_locale(std::string_view locale) {
  const bool italian = locale == "it" || locale.starts_with("it_") || locale.starts_with("it.") ||
                       locale.starts_with("it@");
  return italian ? Language::italian : Language::english;
}

void set_language(Language language) { g_language.store(language, std::memory_order_relaxed); }

Language language() { return g_language.load(std::memory_order_relaxed); }

std::string_view text_of(Msg id, Language language) {
  const Table& table = language == Language::italian ? kItalian : kEnglish;
  return table[static_cast<std::size_t>(id)];
}

std::string message(Msg id, std::initializer_list<std::string_view> args) {
  const std::string_view text = text_of(id, language());
  std::string out;
  const std::string_view* next = args.begin();
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, 2, "{}") == 0 && next != args.end()) {
      out += *next++;
      at += 2;
    } else {
      out += text[at++];
    }
  }
  return out;
}

}  // namespace numtext
