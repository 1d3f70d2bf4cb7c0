#include "prep/run.hpp"

#include <memory>
#include <new>

#include "prep/date.hpp"
#include "prep/derived_series.hpp"
#include "prep/program_info.hpp"
#include "prep/run_state.hpp"
#include "prep/screening.hpp"
#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "prep/training_records.hpp"
#include "units/console.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/io_failure.hpp"
#include "units/output_file.hpp"
#include "units/termination.hpp"

namespace prep {
namespace {

using numtext::Target;

// A blank name: from the command line or asked at the console.
std::unique_ptr<units::InputFile> open_input(units::CommandLine& args,
                                              units::Console& console) {
  std::string name;
  try {
    name = units::obtain_file_name(1, args, console);
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, "");
  }
  try {
    return std::make_unique<units::InputFile>(name, units::open_price_file(name));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, name);
  }
}

std::unique_ptr<units::OutputFile> open_output() {
  const std::string name = "elab.dat";
  try {
    return std::make_unique<units::OutputFile>(name, units::open_training_file(name));
  } catch (const numtext::IoFailure& f) {
    units::report_file_error(f, units::Statement::Open, name);
  }
}

// One read per row; a null value leaves the zero the arrays start with.
void read_matrix(RunState& st, units::InputFile& in, platform::SecondThread* second) {
  in.read_rows(&st.MM(1, 1), st.NR, static_cast<std::size_t>(st.NC), st.MM.rows, second);
}

void drive(RunState& st, units::CommandLine& args, units::Console& console) {
  st.IC_G = 7;
  st.IC_CHIU = 6;
  auto input = open_input(args, console);
  const auto output = open_output();

  const Target size[] = {Target::of(st.NR), Target::of(st.NC)};
  input->read_head(size);

  allocate_arrays(st);
  if (st.IER != 0) {
    console.write_record(" Insufficiente spazio per le matrici");
    units::stop_with_code(99);
  }
  if (st.NC < 7) units::stop_with_text("Il file deve avere almeno 7 colonne", 1);

  // Decided once for the run, from its rows: the stages that split their
  // work share this thread, which ends with the run.
  const std::unique_ptr<platform::SecondThread> second = platform::second_thread_for(st.NR);
  read_matrix(st, *input, second.get());
  // Nothing more is read: the file's block gives its room back before the
  // training file takes a second buffer.
  input.reset();
  DATE(console, st.date_own, st.MM, st.M, st.NR, st.NC, st.NRR);
  if (st.NRR < 110) {
    units::stop_with_text("Righe selezionate insufficienti: ne servono almeno 110", 1);
  }

  derive_series(st, second ? Evaluation::BlocksTwoWays : Evaluation::Blocks, second.get());
  choose_and_screen(console, st, second.get());
  ask_weekday(console, st);
  write_training_records(st, *output, second.get());
  output->close();
  write_count_line(console, st.IC);
  units::stop_plain();
}

int run_on_console(int argc, char** argv) {
  platform::start_process();
  const platform::Handle in = platform::std_stream(platform::StdStream::in);
  const platform::Handle out = platform::std_stream(platform::StdStream::out);
  units::Console console(in, out, units::Console::interactive(in, out));
  units::attach_console(&console);
  units::CommandLine args(argc, argv);
  int status = 0;
  if (!write_program_info(argc, argv, console)) {
    try {
      try {
        RunState st;
        drive(st, args, console);
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
