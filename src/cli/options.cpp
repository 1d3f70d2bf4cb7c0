#include "cli/options.hpp"

#include <algorithm>
#include <iterator>
#include <vector>

#include "cli/file_identity.hpp"
#include "numtext/integer_text.hpp"
#include "numtext/messages.hpp"

namespace elab {
namespace {

// A count from 1 up, in digits.
std::optional<int> positive_count(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  try {
    const std::int32_t n = numtext::parse_integer(text.data(), text.size());
    if (n < 1) return std::nullopt;
    return n;
  } catch (const numtext::IoFailure&) {
    return std::nullopt;  // beyond 32 bits
  }
}

bool store_name(std::string& name, std::string_view value) {
  if (value.empty()) return false;
  name = value;
  return true;
}

// The options that are not answers; the answers' come from answer_table().
constexpr Option kOptions[] = {
    {"output", 'o',
     {{"FILE", "FILE"},
      {"the training file (instead of elab.dat)", "il file di addestramento (invece di elab.dat)"},
      "the training file, instead of `elab.dat`, replaced by the same rules; `-` is standard output, which, "
      "like a device, a FIFO or `/dev/stdout`, is written as it is (at its offset, never cut or replaced), and "
      "the console then goes to standard error; with several price files, a template with `{name}`"},
     [](Invocation& inv, std::string_view v) { return store_name(inv.output, v); }},
    {"dates", '\0',
     {{"FILE", "FILE"},
      {"also the date of each record, YYYY-MM-DD,\none line per record",
       "scrive anche la data di ogni record, AAAA-MM-GG,\nuna riga per record"},
      "also the day of each record written, *YYYY-MM-DD*, one line per record in the same order: line *k* is "
      "the day of record *k*; with several price files, a template with `{name}`"},
     [](Invocation& inv, std::string_view v) {
       inv.dates.emplace();
       return store_name(*inv.dates, v);
     }},
    {"close", '\0',
     {{"NAME|N", "NOME|N"},
      {"in a CSV file, the close column,\nby name or number (without: Close, Last, Price...)",
       "in un file CSV, la colonna della chiusura,\nper nome o numero (senza: Close, Last, Price...)"},
      "in a vendor's table, the close column by its name (`--close=\"Adj Close\"`) or its place from 1 "
      "(without it, the first of `Close`, `Last`, `Price`, ...)"},
     [](Invocation& inv, std::string_view v) {
       inv.table.close.emplace();
       return store_name(*inv.table.close, v);
     }},
    {"date-column", '\0',
     {{"NAME|N", "NOME|N"},
      {"in a CSV file, the date column,\nby name or number (without: Date, Datum...)",
       "in un file CSV, la colonna della data,\nper nome o numero (senza: Date, Datum...)"},
      "in a vendor's table, the date column by its name or its place from 1 (without it, `Date`, `Datum`, "
      "...)"},
     [](Invocation& inv, std::string_view v) {
       inv.table.date_column.emplace();
       return store_name(*inv.table.date_column, v);
     }},
    {"date-order", '\0',
     {{"dmy|mdy", "dmy|mdy"},
      {"in a CSV file, dates 08/12/2026 with the day\n(dmy) or the month (mdy) first",
       "in un file CSV, date 08/12/2026 con il giorno\n(dmy) o il mese (mdy) prima"},
      "in a vendor's table whose dates never tell (all days up to 12), day first or month first"},
     [](Invocation& inv, std::string_view v) {
       const auto order = parse_date_order_option(v);
       if (order) inv.table.date_order = *order;
       return order.has_value();
     }},
    {"symbol", '\0',
     {{"VALUE", "VALORE"},
      {"in a CSV file of several series, the series\nto run (column Symbol, Ticker...)",
       "in un file CSV di piu' titoli, il titolo\nda elaborare (colonna Symbol, Ticker...)"},
      "in a vendor's table of several series, the rows whose symbol column (`Symbol`, `Ticker`, ...) holds "
      "*VALUE*, or that ticker's close of pandas' (field, ticker) columns; `all`: every series (every symbol or "
      "ticker), each named by `{symbol}` in `-o` and `--dates`"},
     [](Invocation& inv, std::string_view v) {
       inv.table.symbol = parse_symbol_option(v);
       return inv.table.symbol.has_value();
     }},
    {"format", '\0',
     {{"dat|csv", "dat|csv"},
      {"dat: the records in fixed columns; csv: one\nline per record with a header",
       "dat: i record a colonne fisse; csv: una riga\nper record con intestazione"},
      "`dat` (the default): the fixed columns of `elab.dat`; `csv`: a CSV with a header, `Series`, `Date` "
      "(with `--test-from`: `Series`, `Date`, `Set`) and the field names of the layout, then one line per "
      "record, its series (the file's stem, or the symbol), its day and each field with the digits of its "
      "columns in `elab.dat`, blanks trimmed; lines end in LF"},
     [](Invocation& inv, std::string_view v) {
       inv.csv = v == "csv";
       return v == "csv" || v == "dat";
     }},
    {"jobs", 'j',
     {{"N", "N"},
      {"price files run at once\n(without: the processors available)",
       "file dei prezzi elaborati insieme\n(senza: i processori disponibili)"},
      "with several price files, how many run at a time; without it, as many as the processors this process "
      "may use"},
     [](Invocation& inv, std::string_view v) {
       const auto n = positive_count(v);
       if (!n) return false;
       inv.jobs = *n;
       return true;
     }},
    {"check", '\0',
     {{"", ""},
      {"list the lines of the price file that are\nlikely wrong; asks nothing and writes\nno file",
       "elenca le righe del file dei prezzi\nprobabilmente errate; non chiede nulla\ne non scrive file"},
      "list the likely faults of the price file, each with its row and line (of each file, of each series "
      "with `--symbol=all`), ask nothing, write no file; the status is 0 when nothing is found and 1 "
      "otherwise"},
     [](Invocation& inv, std::string_view) {
       inv.check = true;
       return true;
     }},
    {"sources", '\0',
     {{"FILE", "FILE"},
      {"a CSV of price files with the options of\neach: file and close, date_column,\ndate_order, symbol, name",
       "un CSV dei file dei prezzi con le opzioni\ndi ciascuno: file e close, date_column,\ndate_order, symbol, name"},
      "a CSV of price files, one a line, with a column `file` (relative to the sources file's folder) and any of "
      "`close`, `date_column`, `date_order`, `symbol`, `name`: each file's own options over the command's"},
     [](Invocation& inv, std::string_view v) {
       inv.sources_file.emplace();
       return store_name(*inv.sources_file, v);
     }},
    {"strict", '\0',
     {{"", ""},
      {"the chosen days that --check reports (weekends,\ngaps, equal closes) are an error: nothing\nis written",
       "i giorni scelti che --check segnala (fine\nsettimana, buchi, chiusure uguali) sono\nun errore: nulla e' scritto"},
      "what `--check` would find in the days a run takes (weekend rows, gaps of more than 10 days, five equal "
      "closes in a row) ends the run with status 1, nothing written, instead of a warning"},
     [](Invocation& inv, std::string_view) {
       inv.strict = true;
       return true;
     }},
    {"help", 'h',
     {{"", ""}, {"show this help", "mostra questo aiuto"}, "print the usage, in the language of the locale"},
     [](Invocation& inv, std::string_view) {
       inv.action = Invocation::Action::help;
       return true;
     }},
    {"version", '\0',
     {{"", ""}, {"show the version", "mostra la versione"}, "print the name and version"},
     [](Invocation& inv, std::string_view) {
       inv.action = Invocation::Action::version;
       return true;
     }},
};

// The messages of a command line that cannot be run.
namespace message {

using numtext::Msg;

std::string unknown_long(std::string_view arg) { return numtext::message(Msg::unknown_long_option, {arg}); }
std::string unknown_short(char c) { return numtext::message(Msg::unknown_short_option, {std::string_view(&c, 1)}); }
std::string needs_value(std::string_view spelled) { return numtext::message(Msg::option_needs_value, {spelled}); }
std::string takes_no_value(std::string_view spelled) {
  return numtext::message(Msg::option_takes_no_value, {spelled});
}
std::string refused_value(std::string_view spelled, std::string_view value) {
  return numtext::message(Msg::option_value_refused, {value, spelled});
}
std::string refused_sources(std::string_view file, std::int64_t line, std::string_view why) {
  const std::string place = line > 0 ? numtext::message(Msg::at_line, {std::to_string(line)}) + ": " : "";
  return numtext::message(Msg::refused_sources, {file, place + std::string(why)});
}
std::string check_needs_file() { return numtext::message(Msg::check_needs_file); }
std::string same_files() { return numtext::message(Msg::output_and_dates_same); }
std::string stdin_needs_answers(std::string_view missing) {
  return numtext::message(Msg::stdin_needs_answers, {missing});
}

}  // namespace message

const Option* long_option(std::string_view name) {
  for (const Option& o : options()) {
    if (o.name == name) return &o;
  }
  return nullptr;
}

const Option* short_option(char c) {
  for (const Option& o : options()) {
    if (o.short_name != '\0' && o.short_name == c) return &o;
  }
  return nullptr;
}

// The options missing for a run without questions, each after a blank.
std::string missing_options(const Answers& a) {
  std::string missing;
  for (const AnswerSpec* spec : missing_answers(a)) missing += " --" + std::string(spec->option);
  return missing;
}

class CommandLineParser {
 public:
  explicit CommandLineParser(std::span<const std::string_view> args) : args_(args) {}

  Invocation parse() {
    bool options_ended = false;
    while (next_ < args_.size() && inv_.action == Invocation::Action::run) {
      const std::string_view arg = args_[next_++];
      if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
        take_operand(arg);
      } else if (arg == "--") {
        options_ended = true;
      } else if (arg.starts_with("--")) {
        take_long(arg);
      } else {
        take_shorts(arg);
      }
    }
    if (inv_.action == Invocation::Action::run) check_whole();
    return inv_;
  }

 private:
  void take_operand(std::string_view arg) {
    if (inv_.price_file) {
      inv_.more_files.emplace_back(arg);
    } else {
      inv_.price_file = std::string(arg);
    }
  }

  void take_long(std::string_view arg) {
    const std::size_t eq = arg.find('=');
    const std::string_view spelled = arg.substr(0, eq);
    const Option* o = long_option(spelled.substr(2));
    if (o == nullptr) throw UsageError{message::unknown_long(spelled)};
    if (!takes_value(*o)) {
      if (eq != std::string_view::npos) throw UsageError{message::takes_no_value(spelled)};
      apply(*o, spelled, {});
    } else if (eq != std::string_view::npos) {
      apply(*o, spelled, arg.substr(eq + 1));
    } else {
      apply(*o, spelled, following_value(spelled));
    }
  }

  // -h, -o FILE, -oFILE, and flags grouped: -hv.
  void take_shorts(std::string_view arg) {
    for (std::size_t k = 1; k < arg.size() && inv_.action == Invocation::Action::run; ++k) {
      const Option* o = short_option(arg[k]);
      if (o == nullptr) throw UsageError{message::unknown_short(arg[k])};
      const std::string spelled = std::string("-") + arg[k];
      if (!takes_value(*o)) {
        apply(*o, spelled, {});
      } else {
        apply(*o, spelled, k + 1 < arg.size() ? arg.substr(k + 1) : following_value(spelled));
        return;
      }
    }
  }

  std::string_view following_value(std::string_view spelled) {
    if (next_ == args_.size()) throw UsageError{message::needs_value(spelled)};
    return args_[next_++];
  }

  void apply(const Option& o, std::string_view spelled, std::string_view value) {
    const bool taken = o.answer != nullptr ? o.answer->take(inv_.answers, value) : o.take(inv_, value);
    if (!taken) throw UsageError{message::refused_value(spelled, value)};
  }

  // The sources file's price files after the command line's.
  void take_sources() {
    if (!inv_.sources_file) return;
    std::vector<Source> sources;
    try {
      sources = read_sources_file(*inv_.sources_file);
    } catch (const SourcesError& e) {
      throw UsageError{message::refused_sources(*inv_.sources_file, e.line, e.message)};
    }
    inv_.file_options.assign(inv_.more_files.size() + (inv_.price_file ? 1 : 0), std::nullopt);
    for (Source& s : sources) {
      take_operand(s.file);
      inv_.file_options.emplace_back(std::move(s));
    }
  }

  void check_whole() {
    take_sources();
    if (inv_.check) {
      if (!inv_.price_file) throw UsageError{message::check_needs_file()};
      return;  // nothing is asked
    }
    if (inv_.dates && same_output_file(inv_.output, *inv_.dates)) throw UsageError{message::same_files()};
    if (inv_.price_file == "-" && !inv_.answers.complete()) {
      throw UsageError{message::stdin_needs_answers(missing_options(inv_.answers))};
    }
  }

  std::span<const std::string_view> args_;
  std::size_t next_ = 0;
  Invocation inv_;
};

}  // namespace

std::span<const Option> options() {
  static const std::vector<Option> all = [] {
    std::vector<Option> rows;
    for (const AnswerSpec& a : answer_table())
      rows.push_back({a.option, '\0', a.text, nullptr, &a});
    rows.insert(rows.end(), std::begin(kOptions), std::end(kOptions));
    return rows;
  }();
  return all;
}

bool takes_value(const Option& option) { return !option.text.value_name[0].empty(); }

Invocation parse_command_line(std::span<const std::string_view> args) {
  return CommandLineParser(args).parse();
}

}  // namespace elab
