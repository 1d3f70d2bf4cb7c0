#include "cli/run.hpp"

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
#include "cli/options.hpp"
#include "cli/series_batch.hpp"
#include "cli/test_sets.hpp"
#include "core/price_check.hpp"
#include "core/price_file.hpp"
#include "cli/program_info.hpp"
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
#include "cli/dialogue.hpp"
#include "units/run_failure.hpp"
#include "numtext/messages.hpp"
#include "platform/message_locale.hpp"
#include "cli/command_line.hpp"
#include "cli/series_run.hpp"

namespace elab {
namespace {

constexpr int kUsageStatus = 2;

void write_usage_error(const UsageError& e) {
  const std::string text = usage_error_text(e);
  (void)platform::write_all(platform::std_stream(platform::StdStream::err), text.data(), text.size());
}


// The run of the core with the dialogue's questions, between the files and
// the console's count line.
void drive(RunState& st, const Invocation& inv, units::Console& console) {
  ConsoleAsker asker(console);
  const Questions questions(asker, inv.answers);
  const auto warn = [&](const std::string& warning) { units::show_warning(console, warning); };
  SeriesRun run{inv, questions, &console, warn};
  // A sources file's one file: the name it gives.
  const std::optional<Source>* own = inv.file_options.empty() ? nullptr : &inv.file_options.front();
  if (own != nullptr && *own && (*own)->name) run.series = *(*own)->name;
  const SeriesCounts counts = run_series(st, run);
  write_count_line(console, counts.records);
  if (counts.test) write_test_count_line(console, *counts.test);
}

// The run and its end on the console: the stop or the report, then the
// console closed; the status.
int run_and_end(const Invocation& inv, units::Console& console) {
  try {
    try {
      if (inv.check) return check_series(one_series(inv), console) ? 1 : 0;
      RunState st;
      drive(st, one_series(inv), console);
    } catch (const std::bad_alloc&) {
      // The arrays are given back first.
      throw units::RunFailure::stop_for_memory(numtext::old_text::kNoMemory);
    }
  } catch (const units::RunFailure& failure) {
    units::show_failure(console, failure);
    return failure.status();
  } catch (const UsageError& e) {
    write_usage_error(e);
    return kUsageStatus;
  }
  units::show_normal_stop(console);
  return 0;
}

std::vector<std::string_view> arguments(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int k = 1; k < argc; ++k) args.emplace_back(argv[k]);
  return args;
}

// Where the training file or the dates go to standard output, the console
// goes to standard error.
bool records_on_standard_output(const Invocation& inv) {
  if (inv.action != Invocation::Action::run || inv.check) return false;
  const platform::Identity out = platform::identity_of(platform::std_stream(platform::StdStream::out));
  const auto there = [&](const std::string& name) {
    return name == kStandardInput || platform::same_identity(platform::identity_of(name), out);
  };
  return there(inv.output) || (inv.dates && there(*inv.dates));
}

// The run as the command line asks for it, or its usage error.
int run_on_console(int argc, char** argv) {
  platform::start_process();
  numtext::set_language(numtext::language_of_locale(platform::message_locale()));
  Invocation inv;
  try {
    inv = command_line(arguments(argc, argv));
  } catch (const UsageError& e) {
    write_usage_error(e);
    return kUsageStatus;
  }
  const platform::Handle in = platform::std_stream(platform::StdStream::in);
  const platform::Handle out = platform::std_stream(records_on_standard_output(inv)
                                                        ? platform::StdStream::err
                                                        : platform::StdStream::out);
  units::Console console(in, out, units::Console::interactive(in, out));
  int status = 0;
  if (inv.action == Invocation::Action::help) {
    write_usage(console);
  } else if (inv.action == Invocation::Action::version) {
    write_version(console);
  } else {
    try {
      status = !runs_as_batch(inv) ? run_and_end(inv, console)
               : inv.check         ? check_batch(inv, console)
                                   : run_batch(inv, console);
    } catch (const UsageError& e) {
      write_usage_error(e);  // a batch's files, before anything ran
      status = kUsageStatus;
    } catch (const std::bad_alloc&) {
      status = 99;  // not even the text found room; the status still tells
    }
  }
  console.close();
  return status;
}

}  // namespace

namespace {

// Memory set aside at the start and given back when an allocation fails, so
// that the failure can be thrown and reported; a second failure, or one
// where nothing could be set aside, ends the run at once with the status of
// the memory stop, never in std::terminate.
constexpr std::size_t kReserve = std::size_t{64} << 10;
void* g_reserve = nullptr;

void on_memory_out() {
  if (g_reserve == nullptr) platform::end_at_once(99);
  std::free(std::exchange(g_reserve, nullptr));
  throw std::bad_alloc();
}

}  // namespace

int run(int argc, char** argv) {
  // Not through operator new, whose failure would have to be thrown.
  g_reserve = std::malloc(kReserve);
  std::set_new_handler(on_memory_out);
  int status = 99;  // no room even for the console: the allocation stop's status
  try {
    status = run_on_console(argc, argv);
  } catch (const std::bad_alloc&) {
  }
  std::set_new_handler(nullptr);
  std::free(std::exchange(g_reserve, nullptr));  // the run leaves nothing behind
  return status;
}

}  // namespace elab
