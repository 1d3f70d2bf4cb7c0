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
    // A vendor's table, a sources file and the library's refusals.
    // quote_not_closed
    "a quote is not closed",
    // text_after_quote
    "text after a closing quote",
    // characters_cut
    " ({} characters)",
    // list_and_more
    "{} and {} more",
    // series_in_row
    "{} series in row {}: {}; choose one with {}",
    // series_in_column
    "{} series in column {}: {}; choose one with {}",
    // no_rows_of
    "no rows of {}; {}",
    // symbol_needs_column
    "{} needs a column of symbols (Symbol, Ticker, Name, Code, Instrument or ISIN)",
    // words_not_apart
    "line {}: {} names columns, but a table's columns are apart by ',', ';' or a tab",
    // no_date_column
    "no date column",
    // no_close_column
    "no close column",
    // no_column_named
    "no column {}",
    // columns_among
    " among {}",
    // columns_no_names
    " (the file has no line of names)",
    // name_both_columns
    "{} and {}{}: name them with {} and {}",
    // or_by_number
    " (or a number, {})",
    // name_the_column
    "{}{}: name it with {}",
    // close_or_by_number
    "{} or by its number, {}",
    // close_names_date
    "{} names the date column {}{}: name the close with {}",
    // not_a_date
    "not a date: {}",
    // not_a_date_of_form
    "not a date of the form {}: {}",
    // either_order
    "{} or {}",
    // day_before_month
    "the day comes first, on line {} the month: give {}",
    // month_before_day
    "the month comes first, on line {} the day: give {}",
    // dates_alike
    "every date reads as {} alike: give {}",
    // no_such_day
    "no such day: {}",
    // two_digit_years
    "years of two digits, read as 1969 to 1999 for 69 to 99 and as 2000 to 2068 for 00 to 68: {} as {}",
    // decimal_mark_differs
    "the decimal mark is not the one of the column's other values: {}",
    // comma_undecided
    "{} has a comma before three digits, and no other value of the column tells a thousands comma from "
    "a decimal comma",
    // file_empty
    "the file is empty",
    // file_blank
    "the file holds nothing but blanks and line ends",
    // table_needs_names
    "{}: {}: a CSV price file begins with a line of column names",
    // option_needs_table
    "{}: {} needs a CSV price file",
    // at_row
    "row {}",
    // table_fault_in_field
    "{}: {}, field {}: {}",
    // table_fault_field
    "{}: field {}: {}",
    // left_out_one
    "{}: {} row without a close left out, on {}",
    // left_out_many
    "{}: {} rows without a close left out, the first on {}",
    // same_date_lines
    "{}: lines {} and {}: the same date {}",
    // same_date_rows
    "{}: rows {} and {}: the same date {}",
    // table_empty
    "{}: the table is empty",
    // no_dated_closes
    "{}: no rows with a date and a close",
    // too_many_rows
    "{}: more rows than a run can take",
    // date_order_refused
    "date_order '{}' is neither dmy nor mdy",
    // sources_no_header
    "no header: name the columns, file first",
    // sources_unknown_column
    "no column '{}' is known: file, close, date_column, date_order, symbol, name",
    // sources_column_twice
    "column '{}' named twice",
    // sources_no_file_column
    "no column 'file'",
    // field_count
    "{} fields, the header has {}",
    // field_count_cut_short
    "{} fields, the header has {}: the last line, the file looks cut short",
    // sources_no_file_named
    "no file named",
    // sources_no_file
    "no file: a line for each price file after the header",
    // sources_unreadable
    "cannot be read",
    // dates_and_closes_differ
    "as many dates as closes",
    // answer_missing
    "an answer is missing",
    // The many files' lines, the batch's and the sets' usage errors, the test set's count line
    // test_count_line: as wide as the count line's " Record scritti: "
    " Test records:   ",
    // series_with_test_records
    "{}; test records: {}",
    // not_run_no_answers
    "not run: no answers",
    // empty_template_field
    "an empty {} names no file",
    // standard_input_among_several
    "price file '-' (standard input) cannot be one of several",
    // blank_among_several
    "a blank price file name among several",
    // price_file_twice
    "price file '{}' given twice: give each file once",
    // two_series_one_name
    "two series of one name '{}': {} and {}",
    // symbol_template_needs_all
    "'{symbol}' in a file name needs --symbol=all",
    // all_symbols_need_output_template
    "--symbol=all needs '{symbol}' in --output (-o 'out/{symbol}.dat'), or --format=csv for one dataset",
    // all_symbols_need_dates_template
    "--symbol=all needs '{symbol}' in --dates",
    // files_and_symbols_need_both_templates
    "several price files with --symbol=all need '{name}' and '{symbol}' in each file name",
    // name_template_needs_price_file
    "'{name}' in a file name needs the price file on the command line",
    // files_need_output_template
    "several price files need '{name}' in --output (-o 'out/{name}.dat'), or --format=csv for one dataset",
    // files_need_dates_template
    "several price files need '{name}' in --dates",
    // price_file_and_option_same
    "the price file and {} name the same file",
    // would_overwrite_price_file
    "{} '{}' would overwrite the price file {}: write the outputs elsewhere (-o 'out/{name}.dat')",
    // written_twice
    "'{}' would be written twice, as {} and as {}: tell the series apart in -o and --dates ({name}, {symbol})",
    // option_of_series
    "{} of {}",
    // option_of_dataset
    "{} of the dataset",
    // two_series_one_name_in_dataset
    "two series of one name '{}' in the dataset: {} and {}",
    // set_template_needs_test_from
    "'{set}' in a file name needs --test-from",
    // csv_holds_both_sets
    "--format=csv writes both sets to one file, told apart by its Set column: no '{set}' in --output",
    // test_from_needs_output_set
    "--test-from writes a training and a test set: '{set}' in --output (-o 'out/{set}.dat'), or --format=csv "
    "for one file",
    // test_from_needs_dates_set
    "--test-from needs '{set}' in --dates",
    // options_name_same_file
    "{} and {} name the same file",
    // of_training_set
    "{} of the training set",
    // of_test_set
    "{} of the test set",

    // --check's findings and count line, the warnings of what it would
    // find, the test set's refusals and the notes after a report.
    // check_read_as_two_values
    "{} is read as two values; decimals take a point",
    // check_values_short_one
    "{} value on the line, NC is {}: the row goes on into the next line",
    // check_values_short
    "{} values on the line, NC is {}: the row goes on into the next line",
    // check_values_long_one
    "{} value on the line, NC is {}: the last ones are never read",
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
    "{} line of values after the NR = {} rows: a run never reads them",
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
    "{} row: a run needs at least {} selected rows",
    // check_few_rows
    "{} rows: a run needs at least {} selected rows",
    // finding_at_row_and_line
    "row {}, line {}: {}",
    // finding_at_row
    "row {}: {}",
    // finding_at_line
    "line {}: {}",
    // findings_one_in_one_row
    "{} finding in {} row",
    // findings_one_in_rows
    "{} finding in {} rows",
    // findings_in_one_row
    "{} findings in {} row",
    // findings_in_rows
    "{} findings in {} rows",
    // findings_in_one_row_first_shown
    "{} findings in {} row, the first {} shown",
    // findings_in_rows_first_shown
    "{} findings in {} rows, the first {} shown",
    // days_weekend_one
    "{} row on a Saturday or Sunday, the first on {}",
    // days_weekend
    "{} rows on a Saturday or Sunday, the first on {}",
    // days_gap_one
    "{} gap of more than {} calendar days, the first before {}",
    // days_gap
    "{} gaps of more than {} calendar days, the first before {}",
    // days_equal_closes_one
    "{} run of {} or more equal closes, the first from {}",
    // days_equal_closes
    "{} runs of {} or more equal closes, the first from {}",
    // days_check_lists_them
    "{}: {}: elab --check lists them",
    // days_strict_refuses
    "{}: {}: elab --check lists them; --strict takes no such rows",
    // test_from_refused
    "{}: {}; {}",
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
    "{}: {} row selected of the {} it has; a run takes at least {}: choose a wider range of dates or a longer file",
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
    // A vendor's table, a sources file and the library's refusals.
    // quote_not_closed
    "virgolette non chiuse",
    // text_after_quote
    "testo dopo le virgolette di chiusura",
    // characters_cut
    " ({} caratteri)",
    // list_and_more
    "{} e altri {}",
    // series_in_row
    "{} serie nella riga {}: {}; sceglierne una con {}",
    // series_in_column
    "{} serie nella colonna {}: {}; sceglierne una con {}",
    // no_rows_of
    "nessuna riga di {}; {}",
    // symbol_needs_column
    "{} richiede una colonna dei simboli (Symbol, Ticker, Name, Code, Instrument o ISIN)",
    // words_not_apart
    "riga {}: {} nomina delle colonne, ma le colonne di una tabella sono separate da ',', ';' o da una tabulazione",
    // no_date_column
    "nessuna colonna della data",
    // no_close_column
    "nessuna colonna della chiusura",
    // no_column_named
    "nessuna colonna {}",
    // columns_among
    " tra {}",
    // columns_no_names
    " (il file non ha una riga di nomi)",
    // name_both_columns
    "{} e {}{}: indicarle con {} e {}",
    // or_by_number
    " (o con un numero, {})",
    // name_the_column
    "{}{}: indicarla con {}",
    // close_or_by_number
    "{} o con il suo numero, {}",
    // close_names_date
    "{} indica la colonna della data {}{}: indicare la chiusura con {}",
    // not_a_date
    "non e' una data: {}",
    // not_a_date_of_form
    "non e' una data nella forma {}: {}",
    // either_order
    "{} o {}",
    // day_before_month
    "prima viene il giorno, alla riga {} il mese: indicare {}",
    // month_before_day
    "prima viene il mese, alla riga {} il giorno: indicare {}",
    // dates_alike
    "ogni data si legge allo stesso modo come {}: indicare {}",
    // no_such_day
    "giorno inesistente: {}",
    // two_digit_years
    "anni a due cifre, letti come 1969..1999 per 69..99 e come 2000..2068 per 00..68: {} come {}",
    // decimal_mark_differs
    "il separatore decimale non e' quello degli altri valori della colonna: {}",
    // comma_undecided
    "{} ha una virgola prima di tre cifre, e nessun altro valore della colonna distingue la virgola "
    "delle migliaia da quella decimale",
    // file_empty
    "il file e' vuoto",
    // file_blank
    "il file contiene solo spazi e fine riga",
    // table_needs_names
    "{}: {}: un file dei prezzi CSV comincia con una riga di nomi di colonna",
    // option_needs_table
    "{}: {} richiede un file dei prezzi CSV",
    // at_row
    "riga {}",
    // table_fault_in_field
    "{}: {}, campo {}: {}",
    // table_fault_field
    "{}: campo {}: {}",
    // left_out_one
    "{}: {} riga senza chiusura tralasciata, alla {}",
    // left_out_many
    "{}: {} righe senza chiusura tralasciate, la prima alla {}",
    // same_date_lines
    "{}: righe {} e {}: la stessa data {}",
    // same_date_rows
    "{}: righe {} e {}: la stessa data {}",
    // table_empty
    "{}: la tabella e' vuota",
    // no_dated_closes
    "{}: nessuna riga con una data e una chiusura",
    // too_many_rows
    "{}: troppe righe per una sola elaborazione",
    // date_order_refused
    "date_order '{}' non e' ne' dmy ne' mdy",
    // sources_no_header
    "nessuna intestazione: indicare le colonne, per prima file",
    // sources_unknown_column
    "colonna '{}' sconosciuta: file, close, date_column, date_order, symbol, name",
    // sources_column_twice
    "colonna '{}' indicata due volte",
    // sources_no_file_column
    "manca la colonna 'file'",
    // field_count
    "{} campi, l'intestazione ne ha {}",
    // field_count_cut_short
    "{} campi, l'intestazione ne ha {}: l'ultima riga, il file sembra troncato",
    // sources_no_file_named
    "nessun file indicato",
    // sources_no_file
    "nessun file: una riga per ogni file dei prezzi dopo l'intestazione",
    // sources_unreadable
    "illeggibile",
    // dates_and_closes_differ
    "tante date quante chiusure",
    // answer_missing
    "manca una risposta",
    // The many files' lines, the batch's and the sets' usage errors, the test set's count line
    // test_count_line: as wide as the count line's " Record scritti: "
    " Record di test: ",
    // series_with_test_records
    "{}; record di test: {}",
    // not_run_no_answers
    "non elaborato: mancano le risposte",
    // empty_template_field
    "un {} vuoto non forma il nome di un file",
    // standard_input_among_several
    "il file dei prezzi '-' (standard input) non puo' essere uno fra piu' file",
    // blank_among_several
    "un nome vuoto fra piu' file dei prezzi",
    // price_file_twice
    "file dei prezzi '{}' dato due volte: dare ogni file una volta sola",
    // two_series_one_name
    "due serie con lo stesso nome '{}': {} e {}",
    // symbol_template_needs_all
    "'{symbol}' in un nome di file richiede --symbol=all",
    // all_symbols_need_output_template
    "--symbol=all richiede '{symbol}' in --output (-o 'out/{symbol}.dat'), oppure --format=csv per un solo "
    "dataset",
    // all_symbols_need_dates_template
    "--symbol=all richiede '{symbol}' in --dates",
    // files_and_symbols_need_both_templates
    "piu' file dei prezzi con --symbol=all richiedono '{name}' e '{symbol}' in ogni nome di file",
    // name_template_needs_price_file
    "'{name}' in un nome di file richiede il file dei prezzi sulla riga di comando",
    // files_need_output_template
    "piu' file dei prezzi richiedono '{name}' in --output (-o 'out/{name}.dat'), oppure --format=csv per un "
    "solo dataset",
    // files_need_dates_template
    "piu' file dei prezzi richiedono '{name}' in --dates",
    // price_file_and_option_same
    "il file dei prezzi e {} indicano lo stesso file",
    // would_overwrite_price_file
    "{} '{}' sovrascriverebbe il file dei prezzi {}: scrivere i risultati altrove (-o 'out/{name}.dat')",
    // written_twice
    "'{}' verrebbe scritto due volte, come {} e come {}: distinguere le serie in -o e --dates ({name}, "
    "{symbol})",
    // option_of_series
    "{} di {}",
    // option_of_dataset
    "{} del dataset",
    // two_series_one_name_in_dataset
    "due serie con lo stesso nome '{}' nel dataset: {} e {}",
    // set_template_needs_test_from
    "'{set}' in un nome di file richiede --test-from",
    // csv_holds_both_sets
    "--format=csv scrive i due insiemi in un solo file, distinti dalla colonna Set: niente '{set}' in --output",
    // test_from_needs_output_set
    "--test-from scrive un insieme di addestramento e uno di test: '{set}' in --output (-o 'out/{set}.dat'), "
    "oppure --format=csv per un solo file",
    // test_from_needs_dates_set
    "--test-from richiede '{set}' in --dates",
    // options_name_same_file
    "{} e {} indicano lo stesso file",
    // of_training_set
    "{} dell'insieme di addestramento",
    // of_test_set
    "{} dell'insieme di test",

    // --check's findings and count line, the warnings of what it would
    // find, the test set's refusals and the notes after a report.
    // check_read_as_two_values
    "{} viene letto come due valori; i decimali vogliono il punto",
    // check_values_short_one
    "{} valore sulla riga, NC e' {}: la riga di dati prosegue sulla riga seguente",
    // check_values_short
    "{} valori sulla riga, NC e' {}: la riga di dati prosegue sulla riga seguente",
    // check_values_long_one
    "{} valore sulla riga, NC e' {}: gli ultimi non vengono mai letti",
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
    "{} riga di valori dopo le NR = {} righe: l'elaborazione non la legge mai",
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
    "{} riga: l'elaborazione richiede almeno {} righe selezionate",
    // check_few_rows
    "{} righe: l'elaborazione richiede almeno {} righe selezionate",
    // finding_at_row_and_line
    "riga {} (riga {} del file): {}",
    // finding_at_row
    "riga {}: {}",
    // finding_at_line
    "riga {} del file: {}",
    // findings_one_in_one_row
    "{} segnalazione su {} riga",
    // findings_one_in_rows
    "{} segnalazione su {} righe",
    // findings_in_one_row
    "{} segnalazioni su {} riga",
    // findings_in_rows
    "{} segnalazioni su {} righe",
    // findings_in_one_row_first_shown
    "{} segnalazioni su {} riga, mostrate le prime {}",
    // findings_in_rows_first_shown
    "{} segnalazioni su {} righe, mostrate le prime {}",
    // days_weekend_one
    "{} riga di sabato o di domenica, il {}",
    // days_weekend
    "{} righe di sabato o di domenica, la prima il {}",
    // days_gap_one
    "{} salto di oltre {} giorni di calendario, prima del {}",
    // days_gap
    "{} salti di oltre {} giorni di calendario, il primo prima del {}",
    // days_equal_closes_one
    "{} sequenza di {} o piu' chiusure uguali, dal {}",
    // days_equal_closes
    "{} sequenze di {} o piu' chiusure uguali, la prima dal {}",
    // days_check_lists_them
    "{}: {}: elab --check le elenca",
    // days_strict_refuses
    "{}: {}: elab --check le elenca; --strict non accetta righe simili",
    // test_from_refused
    "{}: {}; {}",
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
    "{}: {} riga selezionata su {}; l'elaborazione ne richiede almeno {}: scegliere un "
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
