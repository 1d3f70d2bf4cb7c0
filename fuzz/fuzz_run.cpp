// Fuzzes a whole run on a fuzzed price file with fixed answers.
//
// The input is the price file. Each run happens in a private temporary
// directory: the file is written there as prices.txt, elab.dat is removed,
// standard input comes from a file of answers (all rows, variable 11,
// coefficient 2, both screenings, all weekdays with five dummies), standard
// output goes to /dev/null and standard error to a file that is checked
// afterwards. elab::run is then called as the program's entry point would.
//
// Checked: the exit status is 0, 1 or 99; standard error is empty or one
// error report with a known number or one line of a CSV's fault (and then
// the status is 1), after the warning of closes left out if any; no elab.dat
// after a run that did not end normally, and otherwise one holding records
// of 109 characters, each ended by CR LF, laid out as five F3.0 weekday
// flags, two blanks, an F2.0 sign flag and ten blank-led F8.4 fields. Then
// elab --check of the same file: status 0, 1 or 99, nothing written.
//
// A file that asks for more than 16 MB of arrays is skipped (NR and NC are
// read first with the reader the run itself uses): such sizes only make the
// run slow, not different.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/run.hpp"
#include "core/run_state.hpp"
#include "numtext/free_form.hpp"
#include "units/input_file.hpp"
#include "units/io_failure.hpp"
#include "support/dialogue.hpp"
#include "support/temp_dir.hpp"

namespace {

using elab_test::kFullRunAnswers;
constexpr std::size_t kMaxArrayFloats = std::size_t{4} << 20;  // 16 MB

std::string g_home;  // the directory the fuzzer was started in
int g_saved[3] = {-1, -1, -1};
int g_null = -1;

[[noreturn]] void fail(const char* what, const std::string& detail = {}) {
  // Standard error may still point at the capture file.
  if (g_saved[2] >= 0) (void)::dup2(g_saved[2], STDERR_FILENO);
  std::fprintf(stderr, "fuzz_run: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  std::abort();
}

// The private directory of the runs, removed at exit.
elab_test::TempDir& run_dir() {
  static elab_test::TempDir dir;
  return dir;
}

std::string in_dir(const char* name) { return (run_dir() / name).string(); }

// NR and NC as the run's first read sees them; false when that read fails.
bool size_of(const std::string& path, std::int32_t& nr, std::int32_t& nc) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("cannot open", path);
  nr = nc = 0;
  bool ok = true;
  try {
    units::FileSource source(fd, std::size_t{1} << 16);
    numtext::FreeFormReader reader(source);
    const numtext::Target size[] = {numtext::Target::of(nr), numtext::Target::of(nc)};
    reader.read(size);
  } catch (const numtext::IoFailure&) {
    ok = false;
  }
  ::close(fd);
  return ok;
}

bool known_f(int n) {
  namespace f = numtext::fnum;
  for (int k : {f::kIntegerOverflow, f::kInvalidInteger, f::kRealBeyondDouble, f::kInvalidReal,
                f::kRealBeyondSingle, f::kTwoNumberSigns, f::kInvalidBase, f::kLineTooLong,
                f::kAccessDenied, f::kNoSuchDirectory, f::kWriteRefused, f::kDiskFull,
                f::kWriteFailed, f::kCannotRead, f::kEndOfFile, f::kZeroRepeat, f::kTwoAsterisks,
                f::kQuotedValue}) {
    if (n == k) return true;
  }
  return false;
}

bool known_m(int n) {
  return n == 6101 || n == 6103 || n == 6104 || n == 6201 || n == 6202 || n == 6203;
}

// A CSV's faults are lines "elab: FILE: ..."; its warnings (closes left out,
// weekend rows, long gaps) come first, each a line "elab: warning: ...".
constexpr std::string_view kInputLine = "elab: prices.txt: ";
constexpr std::string_view kWarningLine = "elab: warning: prices.txt: ";

std::string_view after_warnings(std::string_view err) {
  while (err.starts_with(kWarningLine)) {
    const std::size_t end = err.find("\r\n");
    if (end == std::string_view::npos) fail("a warning without its line end", std::string(err));
    err.remove_prefix(end + 2);
  }
  return err;
}

void check_report(const std::string& whole, int status) {
  const std::string err(after_warnings(whole));
  if (err.empty()) return;
  if (status != 1) fail("error report with an exit status other than 1", err);
  if (err.starts_with(kInputLine)) {
    if (err.find("\r\n") != err.size() - 2) fail("a fault of a CSV in more than one line", err);
    return;
  }
  constexpr std::string_view head = "\r\nrun-time error ";
  if (err.compare(0, head.size(), head) != 0 || err.size() < head.size() + 5) {
    fail("standard error is not an error report", err);
  }
  const char letter = err[head.size()];
  int number = 0;
  for (std::size_t i = head.size() + 1; i < head.size() + 5; ++i) {
    if (err[i] < '0' || err[i] > '9') fail("error number not four digits", err);
    number = number * 10 + (err[i] - '0');
  }
  if (!(letter == 'F' ? known_f(number) : letter == 'M' && known_m(number))) {
    fail("unknown error number", err);
  }
  const std::string_view rest = std::string_view(err).substr(head.size() + 5);
  const bool file = rest.starts_with(": READ(") || rest.starts_with(": OPEN(") ||
                    rest.starts_with(": WRITE(") || rest.starts_with(": CLOSE(");
  if (letter == 'F' ? !file : !rest.starts_with(": MATH\r\n- ")) {
    fail("malformed statement kind", err);
  }
  if (err.find("run-time error", head.size()) != std::string::npos) fail("two reports", err);
  if (!err.ends_with("\r\n")) fail("report without its last line end", err);
}

// An F8.4 field: asterisks, or blanks, an optional minus, digits with no
// leading zero, the point and four digits; no minus on a zero.
bool f8_4_ok(std::string_view f) {
  if (f == "********") return true;
  std::size_t i = 0;
  while (i < f.size() && f[i] == ' ') ++i;
  const bool minus = i < f.size() && f[i] == '-';
  if (minus) ++i;
  const std::size_t int_from = i;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i;
  if (i > int_from && f[int_from] == '0') return false;
  if (i >= f.size() || f[i] != '.' || f.size() - i != 5) return false;
  bool nonzero = i > int_from;
  for (std::size_t k = i + 1; k < f.size(); ++k) {
    if (f[k] < '0' || f[k] > '9') return false;
    nonzero = nonzero || f[k] != '0';
  }
  return !minus || nonzero;
}

void check_records(const std::string& dat) {
  constexpr std::size_t kLine = 109;
  if (dat.size() % (kLine + 2) != 0) fail("elab.dat is not whole records of 109 characters", dat);
  for (std::size_t at = 0; at < dat.size(); at += kLine + 2) {
    const std::string_view r = std::string_view(dat).substr(at, kLine + 2);
    if (r.substr(kLine) != "\r\n") fail("record not ended by CR LF", std::string(r));
    for (std::size_t k = 0; k < 5; ++k) {
      const auto flag = r.substr(3 * k, 3);
      if (flag != " 0." && flag != " 1.") fail("weekday flag", std::string(r));
    }
    if (r.substr(15, 2) != "  ") fail("blanks after the weekday flags", std::string(r));
    if (r.substr(17, 2) != "0." && r.substr(17, 2) != "1.") fail("sign flag", std::string(r));
    for (std::size_t k = 0; k < 10; ++k) {
      const auto field = r.substr(19 + 9 * k, 9);
      if (field[0] != ' ' || !f8_4_ok(field.substr(1))) fail("F8.4 field", std::string(r));
    }
  }
}

void redirect(int fd, int to) {
  if (::dup2(to, fd) < 0) fail("dup2");
}

// The program's entry point on args in the run directory, the answers on
// standard input, standard output to /dev/null and standard error to
// stderr.txt; the status.
int run_elab(std::vector<std::string> args) {
  const int in = ::open(in_dir("answers.txt").c_str(), O_RDONLY | O_CLOEXEC);
  const int errfd = ::open(in_dir("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || errfd < 0) fail("cannot open the run's streams");
  if (::chdir(run_dir().path().c_str()) != 0) fail("chdir", run_dir().path().string());
  redirect(STDIN_FILENO, in);
  redirect(STDOUT_FILENO, g_null);
  redirect(STDERR_FILENO, errfd);
  ::close(in);
  ::close(errfd);

  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int status = elab::run(static_cast<int>(args.size()), argv.data());

  for (int fd = 0; fd < 3; ++fd) redirect(fd, g_saved[fd]);
  if (::chdir(g_home.c_str()) != 0) fail("chdir", g_home);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char home[4096];
  if (::getcwd(home, sizeof home) == nullptr) fail("getcwd");
  g_home = home;
  run_dir().write("answers.txt", kFullRunAnswers);
  g_null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (g_null < 0) fail("cannot open /dev/null");
  for (int fd = 0; fd < 3; ++fd) {
    g_saved[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    if (g_saved[fd] < 0) fail("cannot keep the standard streams");
  }
  // Sanitizer reports must reach the real standard error even while the
  // run's own standard error goes to the capture file.
  __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(g_saved[2])));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string prices = in_dir("prices.txt");
  const std::string dat = in_dir("elab.dat");
  run_dir().write("prices.txt", std::string(reinterpret_cast<const char*>(data), size));
  (void)::unlink(dat.c_str());

  std::int32_t nr = 0, nc = 0;
  if (size_of(prices, nr, nc) && elab::array_floats(nr, nc) > kMaxArrayFloats) return 0;

  const int status = run_elab({"elab", "prices.txt"});
  if (status != 0 && status != 1 && status != 99) fail("exit status", std::to_string(status));
  check_report(run_dir().read("stderr.txt").value_or(""), status);
  const auto written = run_dir().read("elab.dat");
  if (status != 0 && written) fail("elab.dat made by a run that ended early", *written);
  if (status == 0 && !written) fail("no elab.dat after the run");
  if (written) check_records(*written);

  (void)::unlink(dat.c_str());
  const int check_status = run_elab({"elab", "--check", "prices.txt"});
  if (check_status != 0 && check_status != 1 && check_status != 99) fail("--check status", std::to_string(check_status));
  if (run_dir().read("elab.dat")) fail("elab.dat made by --check");
  return 0;
}
