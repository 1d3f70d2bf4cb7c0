#include "prep/options.hpp"

#include <algorithm>

#include "numtext/civil_date.hpp"
#include "numtext/integer_text.hpp"
#include "numtext/real_text.hpp"
#include "prep/series_batch.hpp"

namespace prep {
namespace {

bool all_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// [sign]digits, read by the integer reader of the dialogue.
std::optional<std::int32_t> plain_integer(std::string_view text) {
  if (!all_digits(text.substr(!text.empty() && (text[0] == '-' || text[0] == '+')))) {
    return std::nullopt;
  }
  try {
    return numtext::parse_integer(text.data(), text.size());
  } catch (const numtext::IoFailure&) {
    return std::nullopt;  // beyond 32 bits
  }
}

std::optional<std::int32_t> unsigned_integer(std::string_view text) {
  if (!all_digits(text)) return std::nullopt;
  return plain_integer(text);
}

bool is_day(std::int32_t year, std::int32_t month, std::int32_t day) {
  return numtext::is_calendar_date({year, month, day});
}

// YYYY-MM-DD as a date key.
std::optional<std::int32_t> iso_date_key(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto year = unsigned_integer(text.substr(0, 4));
  const auto month = unsigned_integer(text.substr(5, 2));
  const auto day = unsigned_integer(text.substr(8, 2));
  if (!year || !month || !day || !is_day(*year, *month, *day)) return std::nullopt;
  return (*year - 1900) * 10000 + *month * 100 + *day;
}

// A name from a list, or its number as the dialogue takes it.
struct Named {
  std::string_view name;
  std::int32_t answer;
};

std::optional<std::int32_t> named_or_number(std::string_view text, std::span<const Named> names,
                                            bool (*accepted)(std::int32_t)) {
  for (const Named& n : names) {
    if (text == n.name) return n.answer;
  }
  const auto number = plain_integer(text);
  if (!number || !accepted(*number)) return std::nullopt;
  return number;
}

template <class T>
bool store(std::optional<T>& answer, std::optional<T> value) {
  if (!value) return false;
  answer = value;
  return true;
}

bool store_name(std::string& name, std::string_view value) {
  if (value.empty()) return false;
  name = value;
  return true;
}

constexpr Option kOptions[] = {
    {"from", '\0', "DATA",
     "prima data: all = tutti i dati, 0 = dall'inizio,\n"
     "AAAA-MM-GG, o AAMMGG come alla domanda",
     [](Invocation& inv, std::string_view v) { return store(inv.answers.from, parse_from_option(v)); }},
    {"to", '\0', "DATA", "ultima data: 0 = sino alla fine, AAAA-MM-GG,\no AAMMGG come alla domanda",
     [](Invocation& inv, std::string_view v) { return store(inv.answers.to, parse_date_option(v)); }},
    {"variable", '\0', "N", "variabile in output, da 1 a 11",
     [](Invocation& inv, std::string_view v) {
       return store(inv.answers.variable, parse_variable_option(v));
     }},
    {"coefficient", '\0', "X", "coeff. della st.dev., con il punto (2.5)",
     [](Invocation& inv, std::string_view v) {
       return store(inv.answers.coefficient, parse_coefficient_option(v));
     }},
    {"screen-output", '\0', "yes|no", "outliers sul valore di output (anche 1|0)",
     [](Invocation& inv, std::string_view v) {
       return store(inv.answers.screen_output, parse_yes_no_option(v));
     }},
    {"screen-inputs", '\0', "yes|no", "outliers sui valori di input (anche 1|0)",
     [](Invocation& inv, std::string_view v) {
       return store(inv.answers.screen_inputs, parse_yes_no_option(v));
     }},
    {"days", '\0', "G",
     "giorno: dummies (-1), monday-flag (0),\n"
     "mon, tue, wed, thu, fri (2..6)",
     [](Invocation& inv, std::string_view v) { return store(inv.answers.days, parse_days_option(v)); }},
    {"output", 'o', "FILE", "il file di addestramento (invece di elab.dat)",
     [](Invocation& inv, std::string_view v) { return store_name(inv.output, v); }},
    {"dates", '\0', "FILE", "scrive anche la data di ogni record, AAAA-MM-GG,\nuna riga per record",
     [](Invocation& inv, std::string_view v) {
       inv.dates.emplace();
       return store_name(*inv.dates, v);
     }},
    {"close", '\0', "NOME", "in un file CSV, la colonna della chiusura\n(senza: Close)",
     [](Invocation& inv, std::string_view v) {
       inv.close.emplace();
       return store_name(*inv.close, v);
     }},
    {"format", '\0', "dat|csv", "dat: i record a colonne fisse; csv: una riga\nper record con intestazione",
     [](Invocation& inv, std::string_view v) {
       inv.csv = v == "csv";
       return v == "csv" || v == "dat";
     }},
    {"jobs", 'j', "N", "file dei prezzi elaborati insieme\n(senza: i processori disponibili)",
     [](Invocation& inv, std::string_view v) {
       const auto n = unsigned_integer(v);
       if (!n || *n < 1) return false;
       inv.jobs = *n;
       return true;
     }},
    {"check", '\0', "", "elenca le righe del file dei prezzi\nprobabilmente errate; non chiede nulla\ne non scrive file",
     [](Invocation& inv, std::string_view) {
       inv.check = true;
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
std::string extra_operand(std::string_view arg) { return "extra operand '" + std::string(arg) + "'"; }
std::string check_needs_file() { return "--check needs a price file"; }
std::string same_files() { return "--output and --dates name the same file"; }
std::string stdin_needs_answers(std::string_view missing) {
  return "price file '-' is standard input: the answers need their options (missing:" +
         std::string(missing) + ")";
}

}  // namespace message

const Option* long_option(std::string_view name) {
  for (const Option& o : kOptions) {
    if (o.name == name) return &o;
  }
  return nullptr;
}

const Option* short_option(char c) {
  for (const Option& o : kOptions) {
    if (o.short_name != '\0' && o.short_name == c) return &o;
  }
  return nullptr;
}

// The options missing for a run without questions, each after a blank.
std::string missing_answers(const Answers& a) {
  std::string missing;
  const auto note = [&](bool given, std::string_view name) {
    if (!given) missing += " --" + std::string(name);
  };
  note(a.from.has_value(), "from");
  note(!a.from || *a.from == -1 || a.to, "to");
  note(a.variable.has_value(), "variable");
  note(a.coefficient.has_value(), "coefficient");
  note(a.screen_output.has_value(), "screen-output");
  note(a.screen_inputs.has_value(), "screen-inputs");
  note(a.days.has_value(), "days");
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
    if (!o.take(inv_, value)) throw UsageError{message::refused_value(spelled, value)};
  }

  void check_whole() const {
    if (inv_.check) {
      if (!inv_.price_file) throw UsageError{message::check_needs_file()};
      if (!inv_.more_files.empty()) throw UsageError{message::extra_operand(inv_.more_files[0])};
      return;  // nothing is asked
    }
    if (const auto refused = batch_usage_error(inv_)) throw UsageError{*refused};
    if (inv_.dates && *inv_.dates == inv_.output) throw UsageError{message::same_files()};
    if (inv_.price_file == "-" && !inv_.answers.complete()) {
      throw UsageError{message::stdin_needs_answers(missing_answers(inv_.answers))};
    }
  }

  std::span<const std::string_view> args_;
  std::size_t next_ = 0;
  Invocation inv_;
};

}  // namespace

std::span<const Option> options() { return kOptions; }

Invocation parse_command_line(std::span<const std::string_view> args) {
  return CommandLineParser(args).parse();
}

std::optional<std::int32_t> parse_date_option(std::string_view text) {
  if (const auto key = iso_date_key(text)) return key;
  return plain_integer(text);  // a key as the dialogue takes it: 1190601 is 1 June 2019
}

std::optional<std::int32_t> parse_from_option(std::string_view text) {
  if (text == "all") return -1;
  return parse_date_option(text);
}

std::optional<std::int32_t> parse_variable_option(std::string_view text) {
  return named_or_number(text, {}, accepts_variable);
}

std::optional<float> parse_coefficient_option(std::string_view text) {
  if (text.empty()) return std::nullopt;
  try {
    return numtext::whole_real(text.data(), text.data() + text.size());
  } catch (const numtext::IoFailure&) {
    return std::nullopt;
  }
}

std::optional<std::int32_t> parse_yes_no_option(std::string_view text) {
  constexpr Named kNames[] = {{"yes", 1}, {"no", 0}};
  return named_or_number(text, kNames, accepts_yes_no);
}

std::optional<std::int32_t> parse_days_option(std::string_view text) {
  constexpr Named kNames[] = {{"dummies", -1}, {"monday-flag", 0}, {"mon", 2}, {"tue", 3},
                              {"wed", 4},      {"thu", 5},          {"fri", 6}};
  return named_or_number(text, kNames, accepts_days);
}

}  // namespace prep
