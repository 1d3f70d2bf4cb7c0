// End-to-end benchmark: runs the real binary on generated price files of
// several sizes (all rows, variable 11, coefficient 2, both screenings,
// layout C), the same run split into a training and a test set at 80% of
// the rows (--test-from), the floor program and the copy yardstick on the
// same files, one after the other in each repetition, and prints wall time,
// input MB/s, peak memory and the ratios to the floor, to the copy and of
// the split run to the run.
//
//   e2e_bench [--dir DIR] [ROWS...]        default 100000 1000000 5000000
// The copy yardstick reads the price file and writes the bytes of the
// elab.dat just made to copy.dat with nothing in between: what the machine
// needs to move the files at all. The generated files, elab.dat and copy.dat
// are kept in DIR, else $ELAB_BENCH_DIR, else /tmp/elab-bench; a memory file
// system such as /dev/shm keeps disk writeback out of the figures.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Outcome {
  double seconds = 0;
  long peak_kib = 0;
  int status = -1;
};

// Waits for the child: its wall time since start, peak memory and status.
Outcome finished(pid_t pid, std::chrono::steady_clock::time_point start) {
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  Outcome o;
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.peak_kib = usage.ru_maxrss;
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return o;
}

// Runs argv with stdin from in_path and stdout to out_path, in dir.
Outcome run(const std::vector<std::string>& args, const std::string& dir,
            const std::string& in_path, const std::string& out_path) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) _exit(127);
    const int in = ::open(in_path.c_str(), O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) _exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  return finished(pid, start);
}

// The copy yardstick in a child process, as the runs it is set beside.
Outcome copy_files(const std::string& prices, const std::string& dir) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char> buf(std::size_t{1} << 20);
    const auto pump = [&buf](int from, int to) {
      ssize_t n;
      while ((n = ::read(from, buf.data(), buf.size())) > 0) {
        if (to >= 0 && ::write(to, buf.data(), static_cast<std::size_t>(n)) != n) return false;
      }
      return n == 0;
    };
    const int in = ::open(prices.c_str(), O_RDONLY);
    const int dat = ::open((dir + "/elab.dat").c_str(), O_RDONLY);
    const int out = ::open((dir + "/copy.dat").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || dat < 0 || out < 0) _exit(127);
    const bool ok = pump(in, -1) && pump(dat, out) && ::close(out) == 0;
    _exit(ok ? 0 : 1);
  }
  return finished(pid, start);
}

std::string slurp(const std::string& path) {
  std::string s;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

// The date of row k (from 0) of a price file of the own format, YYYY-MM-DD.
std::string date_of_row(const std::string& prices, long k) {
  FILE* f = std::fopen(prices.c_str(), "r");
  if (f == nullptr) return "";
  char line[256];
  std::string date;
  for (long at = -1; std::fgets(line, sizeof line, f) != nullptr; ++at) {
    int y = 0, m = 0, d = 0;
    if (at == k && std::sscanf(line, "%d %d %d", &y, &m, &d) == 3) {
      char text[32];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
      date = text;
      break;
    }
  }
  std::fclose(f);
  return date;
}

long records_in(const std::string& console) {
  const auto at = console.rfind("Record scritti:");
  if (at == std::string::npos || console.find('*', at) != std::string::npos) return -1;
  return std::strtol(console.c_str() + at + 15, nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  const char* env_dir = std::getenv("ELAB_BENCH_DIR");
  std::string dir = env_dir ? env_dir : "/tmp/elab-bench";
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else {
      sizes.push_back(std::strtol(argv[i], nullptr, 10));
    }
  }
  if (sizes.empty()) sizes = {100000, 1000000, 5000000};
  ::mkdir(dir.c_str(), 0755);
  // The runs start in dir: every path handed to them is made whole first.
  dir = std::filesystem::absolute(dir).string();
  const std::string answers = dir + "/answers.txt";
  if (FILE* f = std::fopen(answers.c_str(), "w")) {
    std::fputs("-1\n11\n2\n1\n1\n-1\n", f);
    std::fclose(f);
  }

  std::printf("%10s %8s %9s %9s %9s %10s %10s %9s %7s %9s %7s %9s %7s\n", "rows", "MB in", "elab s",
              "MB/s", "peak MB", "bound MB", "records", "floor s", "/floor", "copy s", "/copy", "split s",
              "/elab");
  for (const long rows : sizes) {
    const std::string prices = dir + "/prices-" + std::to_string(rows) + ".txt";
    struct stat st {};
    if (::stat(prices.c_str(), &st) != 0) {
      run({GEN_BINARY, std::to_string(rows), "42", "1900"}, dir, "/dev/null", prices);
      ::stat(prices.c_str(), &st);
    }
    const double mb = static_cast<double>(st.st_size) / 1e6;
    const std::vector<std::string> split = {ELAB_BINARY, "--from=all", "--variable=11", "--coefficient=2",
                                            "--screen-output=yes", "--screen-inputs=yes", "--days=dummies",
                                            "--test-from=" + date_of_row(prices, rows * 4 / 5), "-o", "{set}.dat",
                                            prices};
    Outcome best, best_floor, best_copy, best_split;
    long records = -1;
    for (int rep = 0; rep < 3; ++rep) {
      const Outcome o = run({ELAB_BINARY, prices}, dir, answers, dir + "/console.txt");
      if (o.status != 0) {
        std::fprintf(stderr, "elab ended with status %d on %ld rows\n", o.status, rows);
        return 1;
      }
      if (rep == 0 || o.seconds < best.seconds) best = o;
      records = records_in(slurp(dir + "/console.txt"));
      if (records < 0) {
        // More than the count field holds: count the lines of elab.dat.
        records = static_cast<long>(slurp(dir + "/elab.dat").size() / 111);
      }
      const Outcome f =
          run({FLOOR_BINARY, prices, std::to_string(records)}, dir, "/dev/null", "/dev/null");
      if (rep == 0 || f.seconds < best_floor.seconds) best_floor = f;
      const Outcome c = copy_files(prices, dir);
      if (c.status != 0) {
        std::fprintf(stderr, "the copy failed on %ld rows\n", rows);
        return 1;
      }
      if (rep == 0 || c.seconds < best_copy.seconds) best_copy = c;
      const Outcome t = run(split, dir, "/dev/null", "/dev/null");
      if (t.status != 0) {
        std::fprintf(stderr, "the split run ended with status %d on %ld rows\n", t.status, rows);
        return 1;
      }
      if (rep == 0 || t.seconds < best_split.seconds) best_split = t;
    }
    // The arrays' block: the seven columns of the price matrix and the 25
    // of the derived series, a float each per row.
    const double bound = static_cast<double>(rows) * (7 + 25) * 4 / 1e6;
    std::printf("%10ld %8.1f %9.3f %9.1f %9.1f %10.1f %10ld %9.3f %7.2f %9.3f %7.2f %9.3f %7.2f\n", rows, mb,
                best.seconds, mb / best.seconds, static_cast<double>(best.peak_kib) / 1024.0,
                bound, records, best_floor.seconds, best.seconds / best_floor.seconds,
                best_copy.seconds, best.seconds / best_copy.seconds, best_split.seconds,
                best_split.seconds / best.seconds);
  }
  return 0;
}
