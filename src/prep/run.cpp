#include "prep/run.hpp"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "prep/answers.hpp"
#include "prep/date.hpp"
#include "prep/derived_series.hpp"
#include "prep/options.hpp"
#include "prep/price_check.hpp"
#include "prep/price_file.hpp"
#include "prep/program_info.hpp"
#include "prep/run_state.hpp"
#include "prep/screening.hpp"
#include "platform/os.hpp"
#include "prep/record_dates.hpp"
#include "prep/training_records.hpp"
#include "units/console.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/io_failure.hpp"
#include "units/output_file.hpp"
#include "units/termination.hpp"

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

std::unique_ptr<units::InputFile> open_input(const std::optional<std::string>& operand,
                                              units::Console& console) {
  if (operand == kStandardInput) {
    return std::make_unique<units::InputFile>(
        *operand, platform::std_stream(platform::StdStream::in));
  }
  const std::string name = price_file_name(operand, console);
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

void drive(RunState& st, const Invocation& inv, units::Console& console) {
  st.IC_G = 7;
  st.IC_CHIU = 6;
  auto input = open_input(inv.price_file, console);
  const auto output = open_output(inv.output);
  const auto dates = inv.dates ? open_output(*inv.dates) : nullptr;

  {
    PriceFile prices(*input, inv.close);
    read_price_matrix(st, prices, console);
  }
  // Nothing more is read: the file's block gives its room back before the
  // training file takes a second buffer.
  input.reset();
  const Questions questions(console, inv.answers);
  DATE(questions, st.date_own, st.MM, st.M, st.NR, st.NC, st.NRR);
  if (st.NRR < 110) {
    units::stop_with_text("Righe selezionate insufficienti: ne servono almeno 110", 1);
  }

  derive_series(st);
  choose_and_screen(questions, st);
  ask_weekday(questions, st);
  write_training_records(st, *output);
  if (dates) write_record_dates(st, *dates);
  output->close();
  if (dates) dates->close();
  write_count_line(console, st.IC);
  units::stop_plain();
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
  units::attach_console(&console);
  int status = 0;
  if (inv.action == Invocation::Action::help) {
    write_usage(console);
  } else if (inv.action == Invocation::Action::version) {
    write_version(console);
  } else {
    try {
      try {
        RunState st;
        if (inv.check) {
          const auto input = open_input(inv.price_file, console);
          status = check_price_file(st, *input, inv.close, console) ? 1 : 0;
        } else {
          drive(st, inv, console);
        }
      } catch (const std::bad_alloc&) {
        units::stop_out_of_memory();  // the arrays are given back first
      }
    } catch (const units::RunEnded& end) {
      status = end.status;
    }
  }
  units::close_everything();
  units::attach_console(nullptr);
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
