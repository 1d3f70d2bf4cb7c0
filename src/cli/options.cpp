#include "cli/options.hpp"

#include <algorithm>
#include <iterator>
#include <vector>

#include "cli/series_batch.hpp"
#include "cli/test_sets.hpp"
#include "numtext/integer_text.hpp"

namespace prep {
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
    {"output", 'o', "FILE", "il file di addestramento (invece di elab.dat)",
     [](Invocation& inv, std::string_view v) { return store_name(inv.output, v); }},
    {"dates", '\0', "FILE", "scrive anche la data di ogni record, AAAA-MM-GG,\nuna riga per record",
     [](Invocation& inv, std::string_view v) {
       inv.dates.emplace();
       return store_name(*inv.dates, v);
     }},
    {"close", '\0', "NOME|N", "in un file CSV, la colonna della chiusura,\nper nome o numero (senza: Close, Last, Price...)",
     [](Invocation& inv, std::string_view v) {
       inv.table.close.emplace();
       return store_name(*inv.table.close, v);
     }},
    {"date-column", '\0', "NOME|N", "in un file CSV, la colonna della data,\nper nome o numero (senza: Date, Datum...)",
     [](Invocation& inv, std::string_view v) {
       inv.table.date_column.emplace();
       return store_name(*inv.table.date_column, v);
     }},
    {"date-order", '\0', "dmy|mdy", "in un file CSV, date 08/12/2026 con il giorno\n(dmy) o il mese (mdy) prima",
     [](Invocation& inv, std::string_view v) {
       const auto order = parse_date_order_option(v);
       if (order) inv.table.date_order = *order;
       return order.has_value();
     }},
    {"symbol", '\0', "VALORE", "in un file CSV di piu' titoli, il titolo\nda elaborare (colonna Symbol, Ticker...)",
     [](Invocation& inv, std::string_view v) {
       inv.table.symbol = parse_symbol_option(v);
       return inv.table.symbol.has_value();
     }},
    {"format", '\0', "dat|csv", "dat: i record a colonne fisse; csv: una riga\nper record con intestazione",
     [](Invocation& inv, std::string_view v) {
       inv.csv = v == "csv";
       return v == "csv" || v == "dat";
     }},
    {"jobs", 'j', "N", "file dei prezzi elaborati insieme\n(senza: i processori disponibili)",
     [](Invocation& inv, std::string_view v) {
       const auto n = positive_count(v);
       if (!n) return false;
       inv.jobs = *n;
       return true;
     }},
    {"check", '\0', "", "elenca le righe del file dei prezzi\nprobabilmente errate; non chiede nulla\ne non scrive file",
     [](Invocation& inv, std::string_view) {
       inv.check = true;
       return true;
     }},
    {"sources", '\0', "FILE", "un CSV dei file dei prezzi con le opzioni\ndi ciascuno: file e close, date_column,\ndate_order, symbol, name",
     [](Invocation& inv, std::string_view v) {
       inv.sources_file.emplace();
       return store_name(*inv.sources_file, v);
     }},
    {"strict", '\0', "", "i giorni scelti che --check segnala (fine\nsettimana, buchi, chiusure uguali) sono\nun errore: nulla e' scritto",
     [](Invocation& inv, std::string_view) {
       inv.strict = true;
       return true;
     }},
    {"help", 'h', "", "mostra questo aiuto",
     [](Invocation& inv, std::string_view) {
       inv.action = Invocation::Action::help;
       return true;
     }},
    {"version", '\0', "", "mostra la versione",
     [](Invocation& inv, std::string_view) {
       inv.action = Invocation::Action::version;
       return true;
     }},
};

// The messages of a command line that cannot be run.
namespace message {

std::string unknown_long(std::string_view arg) { return "unrecognized option '" + std::string(arg) + "'"; }
std::string unknown_short(char c) { return std::string("invalid option -- '") + c + "'"; }
std::string needs_value(std::string_view spelled) {
  return "option '" + std::string(spelled) + "' requires an argument";
}
std::string takes_no_value(std::string_view spelled) {
  return "option '" + std::string(spelled) + "' doesn't allow an argument";
}
std::string refused_value(std::string_view spelled, std::string_view value) {
  return "invalid value '" + std::string(value) + "' for " + std::string(spelled);
}
std::string refused_sources(std::string_view file, std::int64_t line, std::string_view why) {
  return "--sources " + std::string(file) + ": " + (line > 0 ? "line " + std::to_string(line) + ": " : "") +
         std::string(why);
}
std::string check_needs_file() { return "--check needs a price file"; }
std::string same_files() { return "--output and --dates name the same file"; }
std::string stdin_needs_answers(std::string_view missing) {
  return "price file '-' is standard input: the answers need their options (missing:" +
         std::string(missing) + ")";
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
    if (o->value_name.empty()) {
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
      if (o->value_name.empty()) {
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
      if (const auto refused = several_files_error(inv_)) throw UsageError{*refused};
      return;  // nothing is asked
    }
    if (const auto refused = batch_usage_error(inv_)) throw UsageError{*refused};
    if (const auto refused = sets_usage_error(inv_)) throw UsageError{*refused};
    if (inv_.dates && *inv_.dates == inv_.output) throw UsageError{message::same_files()};
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
      rows.push_back({a.option, '\0', a.value_name, a.help, nullptr, &a});
    rows.insert(rows.end(), std::begin(kOptions), std::end(kOptions));
    return rows;
  }();
  return all;
}

Invocation parse_command_line(std::span<const std::string_view> args) {
  return CommandLineParser(args).parse();
}

}  // namespace prep
