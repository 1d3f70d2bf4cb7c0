#include "prep/run.hpp"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "prep/answers.hpp"
#include "prep/core.hpp"
#include "prep/options.hpp"
#include "prep/price_check.hpp"
#include "prep/price_file.hpp"
#include "prep/program_info.hpp"
#include "prep/run_state.hpp"
#include "prep/csv_records.hpp"
#include "prep/series_batch.hpp"
#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "prep/record_dates.hpp"
#include "prep/training_records.hpp"
#include "units/console.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/io_failure.hpp"
#include "units/output_file.hpp"
#include "units/console_end.hpp"
#include "units/run_failure.hpp"

namespace prep {
namespace {

constexpr int kUsageStatus = 2;
constexpr std::string_view kStandardInput = "-";

// The operand, or asked at the console when there is none or it is blank.
std::string price_file_name(const std::optional<std::string>& operand, units::Console& console) {
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

std::unique_ptr<units::OutputFile> open_output(const std::string& name) {
  try {
    return std::make_unique<units::OutputFile>(name, units::open_training_file(name));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, name);
  }
}

}  // namespace

std::int32_t run_series(RunState& st, const SeriesRun& run) {
  const Invocation& inv = run.inv;
  auto input = open_input(inv.price_file, run.console);
  const auto output = run.dataset != nullptr ? nullptr : open_output(inv.output);
  const auto dates = inv.dates ? open_output(*inv.dates) : nullptr;

  std::unique_ptr<platform::SecondThread> second;
  {
    PriceFile prices(*input, inv.close);
    for (const std::string& warning : prices.warnings()) run.warn(warning);
    second = read_price_matrix(st, prices);
  }
  // Nothing more is read: the file's block gives its room back before the
  // training file takes a second buffer.
  input.reset();
  select_and_derive(st, run.questions, second.get());
  if (run.dataset != nullptr) {
    *run.dataset = csv_records(st, run.series);
  } else if (inv.csv) {
    write_training_csv(st, *output);
  } else {
    write_training_records(st, *output, second.get());
  }
  if (dates) write_record_dates(st, *dates);
  if (output) output->close();
  if (dates) dates->close();
  return st.IC;
}

namespace {

// The run of the core with the dialogue's questions, between the files and
// the console's count line.
void drive(RunState& st, const Invocation& inv, units::Console& console) {
  const Questions questions(console, inv.answers);
  write_count_line(console, run_series(st, {inv, questions, &console, [&](const std::string& warning) {
                                              units::show_warning(console, warning);
                                            }}));
}

// The run and its end on the console: the stop or the report, then the
// console closed; the status.
int run_and_end(const Invocation& inv, units::Console& console) {
  try {
    try {
      RunState st;
      if (inv.check) {
        const auto input = open_input(inv.price_file, &console);
        return check_price_file(st, *input, inv.close, console) ? 1 : 0;
      }
      drive(st, one_series(inv), console);
    } catch (const std::bad_alloc&) {
      // The arrays are given back first.
      throw units::RunFailure::stop_for_memory("Memoria insufficiente");
    }
  } catch (const units::RunFailure& failure) {
    units::show_failure(console, failure);
    return failure.status();
  }
  units::show_normal_stop(console);
  return 0;
}

std::vector<std::string_view> arguments(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int k = 1; k < argc; ++k) args.emplace_back(argv[k]);
  return args;
}

// The run as the command line asks for it, or its usage error.
int run_on_console(int argc, char** argv) {
  platform::start_process();
  Invocation inv;
  try {
    inv = parse_command_line(arguments(argc, argv));
  } catch (const UsageError& e) {
    const std::string text = usage_error_text(e);
    (void)platform::write_all(platform::std_stream(platform::StdStream::err), text.data(),
                              text.size());
    return kUsageStatus;
  }
  const platform::Handle in = platform::std_stream(platform::StdStream::in);
  const platform::Handle out = platform::std_stream(platform::StdStream::out);
  units::Console console(in, out, units::Console::interactive(in, out));
  int status = 0;
  if (inv.action == Invocation::Action::help) {
    write_usage(console);
  } else if (inv.action == Invocation::Action::version) {
    write_version(console);
  } else {
    try {
      status = inv.more_files.empty() ? run_and_end(inv, console) : run_batch(inv, console);
    } catch (const std::bad_alloc&) {
      status = 99;  // not even the text found room; the status still tells
    }
  }
  console.close();
  return status;
}

}  // namespace

int run(int argc, char** argv) {
  try {
    return run_on_console(argc, argv);
  } catch (const std::bad_alloc&) {
    return 99;  // no room even for the console: the allocation stop's status
  }
}

}  // namespace prep
