// Batch benchmark: the guide's recipe (doc/guide.md) for many price files, one process per
// file in a directory of its own, JOBS at a time, timed as a whole. In each
// round the ways take turns, in an order that rotates from round to round:
//   default  the program as it runs by default
//   one      the program with ELAB_THREADS=1
//   copy     the copy yardstick: each price file read and the elab.dat of
//            its run written to another file, with nothing in between
//   other    (with --other PATH) another build of the program, by default
//   recipe   the README's xargs recipe of one process per file: a shell,
//            mkdir and basename for each, JOBS at a time
//   batch    the one command: every file in one run of the program, at
//            the processors' count at a time
// Prints the median and the fastest round of each way, in seconds, and the
// ratios of the medians. Every run's elab.dat must be the one of the first
// round's "one" run of the same file, byte for byte.
//
//   batch_bench [--dir DIR] [--files N] [--rows ROWS] [--jobs J] [--rounds R]
//               [--busy B] [--other PATH]
// Defaults: 200 files of 5,000 rows (20 years of business days), 2 jobs,
// 3 rounds. --busy starts B processes that keep a processor busy for the
// whole benchmark. Files are kept in DIR, else $ELAB_BENCH_DIR, else
// /tmp/elab-bench/batch; a memory file system such as /dev/shm keeps disk
// writeback out of the figures.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Way {
  std::string name;
  std::string binary;         // empty: the copy yardstick
  const char* threads;        // ELAB_THREADS, or null for unset
  std::vector<double> times;  // one per round
  enum Kind { per_file, recipe, batch } kind = per_file;
};

const char* const kAnswers[] = {"--from=all", "--variable=11", "--coefficient=2", "--screen-output=yes",
                                "--screen-inputs=yes", "--days=dummies"};

// The recipe or the one command, run whole; its wall time, or a negative
// one when it failed. Outputs go to out_dir/NAME.dat.
double run_whole(const Way& way, const std::vector<std::string>& files, const std::string& list,
                 const std::string& out_dir) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(out_dir.c_str()) != 0) _exit(127);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    std::vector<std::string> args;
    if (way.kind == Way::batch) {
      args.push_back(way.binary);
      args.insert(args.end(), std::begin(kAnswers), std::end(kAnswers));
      args.insert(args.end(), {"-o", "{name}.dat"});
      args.insert(args.end(), files.begin(), files.end());
    } else {
      const int in = ::open(list.c_str(), O_RDONLY);
      ::dup2(in, 0);
      std::string script = "name=./$(basename \"$1\" .txt) && mkdir -p . && " + way.binary;
      for (const char* a : kAnswers) script += std::string(" ") + a;
      script += " -o \"$name.dat\" -- \"$1\" > \"$name.console\"";
      args = {"xargs", "-0", "-r", "-n", "1", "-P", way.threads, "sh", "-c", script, "sh"};
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Reads from into to (none: -1); false on a failure.
bool pump(int from, int to) {
  static char buf[1 << 20];
  ssize_t n;
  while ((n = ::read(from, buf, sizeof buf)) > 0)
    if (to >= 0 && ::write(to, buf, static_cast<std::size_t>(n)) != n) return false;
  return n == 0;
}

// In a child: one file of the batch, in its own directory, as the recipe
// runs it, or the copy yardstick for it.
[[noreturn]] void run_one(const Way& way, const std::string& prices, const std::string& out,
                          const std::string& answers) {
  if (::chdir(out.c_str()) != 0) _exit(127);
  if (way.binary.empty()) {
    const int in = ::open(prices.c_str(), O_RDONLY);
    const int dat = ::open("elab.dat", O_RDONLY);
    const int copy = ::open("copy.dat", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    _exit(in >= 0 && dat >= 0 && copy >= 0 && pump(in, -1) && pump(dat, copy) && ::close(copy) == 0 ? 0 : 1);
  }
  if (way.threads != nullptr) {
    ::setenv("ELAB_THREADS", way.threads, 1);
  } else {
    ::unsetenv("ELAB_THREADS");
  }
  const int in = ::open(answers.c_str(), O_RDONLY);
  const int console = ::open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || console < 0) _exit(127);
  ::dup2(in, 0);
  ::dup2(console, 1);
  ::execl(way.binary.c_str(), way.binary.c_str(), prices.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

// The whole batch, jobs at a time; its wall time, or a negative one when a
// run failed.
double run_batch(const Way& way, const std::vector<std::string>& files, const std::string& out_dir,
                 const std::string& answers, int jobs) {
  const auto start = std::chrono::steady_clock::now();
  bool ok = true;
  int running = 0;
  const auto reap = [&] {
    int status = 0;
    ::wait(&status);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    --running;
  };
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (running == jobs) reap();
    const std::string out = out_dir + "/" + std::to_string(k);
    if (::fork() == 0) run_one(way, files[k], out, answers);
    ++running;
  }
  while (running > 0) reap();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return ok ? seconds : -1.0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* env_dir = std::getenv("ELAB_BENCH_DIR");
  std::string dir = env_dir ? std::string(env_dir) + "/batch" : "/tmp/elab-bench/batch";
  long files = 200, rows = 5000;
  int jobs = 2, rounds = 3, busy = 0;
  // "one" follows "default": the first round starts with it.
  std::vector<Way> ways = {
      {"default", ELAB_BINARY, nullptr, {}}, {"one", ELAB_BINARY, "1", {}}, {"copy", "", nullptr, {}}};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i], value = argv[i + 1];
    if (opt == "--dir") dir = value;
    else if (opt == "--files") files = std::strtol(value.c_str(), nullptr, 10);
    else if (opt == "--rows") rows = std::strtol(value.c_str(), nullptr, 10);
    else if (opt == "--jobs") jobs = std::max(1, std::atoi(value.c_str()));
    else if (opt == "--rounds") rounds = std::max(1, std::atoi(value.c_str()));
    else if (opt == "--busy") busy = std::atoi(value.c_str());
    else if (opt == "--other") ways.push_back({"other", fs::absolute(value).string(), nullptr, {}});
    else return std::fprintf(stderr, "unknown option %s\n", opt.c_str()), 2;
  }
  fs::create_directories(dir);
  dir = fs::absolute(dir).string();
  const std::string jobs_text = std::to_string(jobs);
  Way recipe{"recipe", ELAB_BINARY, jobs_text.c_str(), {}};
  recipe.kind = Way::recipe;
  Way batch{"batch", ELAB_BINARY, nullptr, {}};
  batch.kind = Way::batch;
  ways.push_back(recipe);
  ways.push_back(batch);
  const std::string answers = dir + "/answers.txt";
  std::ofstream(answers) << "-1\n11\n2\n1\n1\n-1\n";
  std::vector<std::string> prices;
  for (long k = 0; k < files; ++k) {
    prices.push_back(dir + "/prices-" + std::to_string(rows) + "-" + std::to_string(k) + ".txt");
    fs::create_directories(dir + "/out/" + std::to_string(k));
    if (fs::exists(prices.back())) continue;
    if (::fork() == 0) {
      const int out = ::open(prices.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      const std::string seed = std::to_string(k + 1);
      const std::string count = std::to_string(rows);
      ::execl(GEN_BINARY, GEN_BINARY, count.c_str(), seed.c_str(), "1990", static_cast<char*>(nullptr));
      _exit(127);
    }
    ::wait(nullptr);
  }
  const std::string list = dir + "/list";
  {
    std::ofstream names(list, std::ios::binary);
    for (const std::string& p : prices) names << p << '\0';
  }
  for (const char* d : {"/recipe", "/batch"}) fs::create_directories(dir + d);
  std::vector<pid_t> spinners;
  for (int b = 0; b < busy; ++b) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      volatile unsigned long n = 0;
      for (;;) n = n + 1;
    }
    spinners.push_back(pid);
  }
  // The first round starts with the one-thread runs, whose files are the
  // reference; the copy needs an elab.dat to copy.
  std::vector<std::string> reference;
  for (int r = 0; r < rounds; ++r) {
    for (std::size_t t = 0; t < ways.size(); ++t) {
      Way& way = ways[(t + static_cast<std::size_t>(r) + 1) % ways.size()];
      const double s = way.kind == Way::per_file ? run_batch(way, prices, dir + "/out", answers, jobs)
                                                 : run_whole(way, prices, list, dir + "/" + way.name);
      if (s < 0) return std::fprintf(stderr, "a run of %s failed\n", way.name.c_str()), 1;
      way.times.push_back(s);
      if (way.binary.empty()) continue;
      for (long k = 0; k < files; ++k) {
        const std::string name = "prices-" + std::to_string(rows) + "-" + std::to_string(k) + ".dat";
        const std::string dat = slurp(way.kind == Way::per_file ? dir + "/out/" + std::to_string(k) + "/elab.dat"
                                                                : dir + "/" + way.name + "/" + name);
        if (reference.size() < static_cast<std::size_t>(files)) {
          reference.push_back(dat);
        } else if (dat != reference[static_cast<std::size_t>(k)]) {
          return std::fprintf(stderr, "%s: elab.dat of file %ld differs\n", way.name.c_str(), k), 1;
        }
      }
    }
  }
  for (const pid_t pid : spinners) ::kill(pid, SIGKILL);
  while (::wait(nullptr) > 0) {
  }
  std::printf("%ld files of %ld rows, %d at a time, %d busy, %d rounds\n", files, rows, jobs, busy, rounds);
  std::printf("%8s %10s %10s %10s %10s %10s\n", "way", "median s", "fastest s", "/one", "/copy", "/recipe");
  const double one = median(ways[1].times), copy = median(ways[2].times);
  const double by_recipe = median(std::find_if(ways.begin(), ways.end(), [](const Way& w) {
                                    return w.kind == Way::recipe;
                                  })->times);
  for (const Way& w : ways) {
    const double m = median(w.times);
    const double fastest = *std::min_element(w.times.begin(), w.times.end());
    std::printf("%8s %10.4f %10.4f %10.2f %10.2f %10.2f\n", w.name.c_str(), m, fastest, m / one, m / copy,
                m / by_recipe);
  }
  return 0;
}
