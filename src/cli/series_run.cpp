#include "cli/series_run.hpp"

#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/answers.hpp"
#include "elab/series_names.hpp"
#include "core/core.hpp"
#include "core/csv_records.hpp"
#include "core/failure_place.hpp"
#include "cli/file_identity.hpp"
#include "cli/options.hpp"
#include "cli/test_sets.hpp"
#include "core/price_check.hpp"
#include "core/price_file.hpp"
#include "core/run_state.hpp"
#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "core/record_dates.hpp"
#include "core/test_set.hpp"
#include "core/training_records.hpp"
#include "cli/console.hpp"
#include "units/file_open.hpp"
#include "cli/file_name.hpp"
#include "units/input_file.hpp"
#include "units/io_failure.hpp"
#include "units/output_file.hpp"
#include "cli/console_end.hpp"
#include "units/run_failure.hpp"
#include "numtext/messages.hpp"
#include "platform/message_locale.hpp"

namespace elab {
namespace {


// The operand as given, blanks and all, or asked at the console when there
// is none or it is blank.
std::string price_file_name(const std::optional<std::string>& operand, units::Console& console) {
  if (operand && !units::trim_blanks(*operand).empty()) return *operand;
  std::string arg = operand.value_or("");
  char* argv[] = {nullptr, arg.data()};
  units::CommandLine args(operand ? 2 : 1, argv);
  try {
    return units::obtain_file_name(1, args, console);
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, "");
  }
}

// A batch names every file: no console is asked.
std::unique_ptr<units::InputFile> open_input(const std::optional<std::string>& operand,
                                              units::Console* console) {
  if (operand == kStandardInput) {
    return std::make_unique<units::InputFile>(
        *operand, platform::std_stream(platform::StdStream::in));
  }
  const std::string name = console != nullptr ? price_file_name(operand, *console) : *operand;
  try {
    return std::make_unique<units::InputFile>(name, units::open_price_file(name));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, name);
  }
}

// The output written through standard output, or a descriptor named as
// such: at its offset, never cut or replaced.
platform::Handle output_descriptor(const std::string& name) {
  const platform::Handle out = platform::std_stream(platform::StdStream::out);
  if (name == kStandardInput) return platform::duplicate(out);
  if (const platform::Handle named = platform::descriptor_named(name); named != platform::kNoHandle) {
    return named;
  }
  if (platform::same_identity(platform::identity_of(name), platform::identity_of(out))) {
    return platform::duplicate(out);
  }
  return platform::kNoHandle;
}


}  // namespace

std::unique_ptr<units::OutputFile> open_output(const std::string& name) {
  if (const platform::Handle h = output_descriptor(name); h != platform::kNoHandle) {
    return std::make_unique<units::OutputFile>(name, platform::Opened{h}, std::size_t{1} << 20, true);
  }
  try {
    return std::make_unique<units::OutputFile>(name, units::open_training_file(name));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, name);
  }
}

// A run that would write over its price file, or two outputs over one
// another, is refused before anything is written.
void check_distinct_files(const std::string& price_file, const Invocation& inv) {
  const platform::Identity prices = identity_of_input(price_file);
  const platform::Identity output = identity_of_output(inv.output);
  using numtext::Msg;
  if (platform::same_identity(prices, output)) {
    throw UsageError{numtext::message(Msg::price_file_and_option_same, {"--output"})};
  }
  if (!inv.dates) return;
  const platform::Identity dates = identity_of_output(*inv.dates);
  if (platform::same_identity(prices, dates)) {
    throw UsageError{numtext::message(Msg::price_file_and_option_same, {"--dates"})};
  }
  if (same_output_file(inv.output, *inv.dates)) throw UsageError{numtext::message(Msg::output_and_dates_same)};
}

bool check_series(const Invocation& inv, units::Console& console, bool own_lines,
                  const numtext::SymbolRecords* table, std::size_t series) {
  RunState st;
  const auto warn = [&](const std::string& w) {
    units::show_warning(console, w, own_lines ? platform::line_end() : "\r\n");
  };
  Findings findings;
  if (table != nullptr) {
    PriceFile prices(*inv.price_file, *table, series, inv.table);
    findings = check_table_series(st, prices, warn);
  } else {
    const auto input = open_input(inv.price_file, &console);
    findings = check_price_file(st, *input, inv.table, warn);
  }
  for (const std::string& line : findings_report(findings, st.NR)) {
    if (own_lines) {
      console.write_line(line);
    } else {
      console.write_record(" " + line);  // carriage control
    }
  }
  return !findings.empty();
}

namespace {

// The two sets' files are four (three with one CSV file), however spelled:
// "-o 'x{set}'" next to a link named xtest to xtrain would write one set
// over the other.
void check_sets_distinct(const Invocation& train, const Invocation& test) {
  std::vector<std::pair<std::string, platform::Identity>> named;
  const auto add = [&](numtext::Msg set, std::string_view option, const std::string& name) {
    const std::string file = numtext::message(set, {option});
    const platform::Identity id = identity_of_output(name);
    for (const auto& [before, other] : named) {
      if (platform::same_identity(id, other)) {
        throw UsageError{numtext::message(numtext::Msg::options_name_same_file, {before, file})};
      }
    }
    named.emplace_back(file, id);
  };
  add(numtext::Msg::of_training_set, "--output", train.output);
  if (test.output != train.output) add(numtext::Msg::of_test_set, "--output", test.output);
  if (train.dates) add(numtext::Msg::of_training_set, "--dates", *train.dates);
  if (test.dates) add(numtext::Msg::of_test_set, "--dates", *test.dates);
}

// The files of one set: its records' (none where they go to the dataset, or
// to the file of the set before) and its dates'.
struct SetFiles {
  std::unique_ptr<units::OutputFile> records, dates;
};

std::vector<SetFiles> open_set_files(const std::vector<Invocation>& sets, const SeriesRun& run) {
  std::vector<SetFiles> files(sets.size());
  for (std::size_t k = 0; k < sets.size(); ++k) {
    if (run.dataset == nullptr && (k == 0 || sets[k].output != sets[0].output)) {
      files[k].records = open_output(sets[k].output);
    }
    if (sets[k].dates) files[k].dates = open_output(*sets[k].dates);
  }
  return files;
}

// The records of the set st holds, in the form asked: the first set of a
// CSV file with its header.
void write_set(RunState& st, const SeriesRun& run, std::string_view set, units::OutputFile* records,
               std::string_view series, bool first, platform::SecondThread* second) {
  if (run.dataset != nullptr) {
    *run.dataset += csv_records(st, series, set);
  } else if (run.inv.csv) {
    // Led by the Series column as a dataset of many is, so that the two
    // concatenate.
    if (first) records->write_text(csv_header(st.IGIO, true, !set.empty()));
    records->write_text(csv_records(st, series, set));
  } else {
    write_training_records(st, *records, second);
  }
}

}  // namespace

SeriesCounts run_series(RunState& st, const SeriesRun& run) {
  const Invocation& inv = run.inv;
  // A table read once is not opened again.
  std::unique_ptr<units::InputFile> input;
  if (run.table == nullptr) input = open_input(inv.price_file, run.console);
  const std::string input_name = input ? input->name() : *inv.price_file;
  std::vector<Invocation> sets;
  for (const std::string_view set : sets_of(inv)) sets.push_back(invocation_of_set(inv, set));
  for (const Invocation& one : sets) check_distinct_files(input_name, one);
  if (sets.size() > 1) check_sets_distinct(sets[0], sets[1]);
  const std::vector<SetFiles> files = open_set_files(sets, run);
  const std::string series =
      !run.series.empty() ? std::string(run.series) : inv.table.symbol ? *inv.table.symbol : series_stem(input_name);

  const std::string place = inv.table.symbol ? input_name + " (" + *inv.table.symbol + ")" : input_name;
  std::unique_ptr<platform::SecondThread> second;
  // A table's days and close column, for the note of a failure that follows.
  std::vector<numtext::PriceDay> days;
  std::string close_name;
  {
    PriceFile prices = input ? PriceFile(*input, inv.table)
                             : PriceFile(input_name, *run.table, run.table_series, inv.table);
    for (const std::string& warning : prices.warnings()) run.warn(warning);
    second = read_price_matrix(st, prices);
    days = prices.take_days();
    close_name = prices.close_name();
  }
  // Nothing more is read: the file's block gives its room back before the
  // training file takes a second buffer.
  input.reset();
  // A fault of the arithmetic is placed at its row of the file.
  const auto derived = [&](const auto& step) {
    try {
      step();
    } catch (const units::RunFailure& f) {
      throw placed(f, st, {input_name, "line", days, close_name});
    }
  };
  derived([&] { select_and_derive(st, run.questions, second.get(), inv.table.spelling); });
  // Before any record is written: --strict leaves every output as it was.
  warn_of_taken_days(st, place, inv.strict, run.warn);
  SeriesCounts counts;
  for (std::size_t k = 0; k < sets.size(); ++k) {
    if (k > 0) derived([&] { enter_test_set(st); });
    units::OutputFile* records = files[k].records ? files[k].records.get() : files[0].records.get();
    write_set(st, run, sets_of(inv)[k], records, series, k == 0, second.get());
    if (files[k].dates) write_record_dates(st, *files[k].dates);
    (k == 0 ? counts.records : counts.test.emplace()) = st.IC;
  }
  for (const SetFiles& f : files) {
    if (f.records) {
      units::put_in_place(*f.records, f.dates.get());
    } else if (f.dates) {
      units::put_in_place(*f.dates, nullptr);
    }
  }
  return counts;
}


}  // namespace elab
