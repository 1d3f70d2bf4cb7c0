// Vendor files against the plain ISO CSV of the same days: the program run
// on each family's file of ROWS days and on the ISO file (and the own format
// of the same days), taking turns, ROUNDS times; the median wall time of each
// and of its processor time (user and system, steadier on a busy machine),
// and their ratios to the ISO file's. Every run's elab.dat is checked
// against the ISO file's.
//
//   vendor_bench [--dir DIR] [--rows N] [--rounds R] [--program PATH]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Day {
  int y, m, d;
  long cents;
};

// Days since 1970-01-01 and back.
long days_from_civil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

void civil_from_days(long z, int& y, int& m, int& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::vector<Day> business_days(int n) {
  std::vector<Day> days;
  unsigned long s = 12345;
  long cents = 178560;
  for (long z = days_from_civil(2000, 1, 3); static_cast<int>(days.size()) < n; ++z) {
    if ((z + 3) % 7 >= 5) continue;  // Saturday, Sunday
    s = s * 6364136223846793005UL + 1442695040888963407UL;
    cents += static_cast<long>((s >> 33) % 2001) - 1000;
    if (cents < 100000) cents = 100000 + static_cast<long>((s >> 20) % 5000);
    Day d{0, 0, 0, cents};
    civil_from_days(z, d.y, d.m, d.d);
    days.push_back(d);
  }
  return days;
}

std::string format(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* f, ...) {
  char b[256];
  va_list a;
  va_start(a, f);
  std::vsnprintf(b, sizeof b, f, a);
  va_end(a);
  return b;
}

std::string plain(long c) { return format("%ld.%02ld", c / 100, c % 100); }
// 1.785,60 or 1,785.60
std::string grouped(long c, char group, char mark) {
  return format("%ld%c%03ld%c%02ld", c / 100000, group, c / 100 % 1000, mark, c % 100);
}

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct Family {
  const char* name;
  std::function<std::string(const std::vector<Day>&)> text;
};

std::string rows(const std::vector<Day>& days, bool newest_first, const std::function<std::string(const Day&)>& row) {
  std::string s;
  for (std::size_t k = 0; k < days.size(); ++k) s += row(days[newest_first ? days.size() - 1 - k : k]);
  return s;
}

std::string utf16(const std::string& ascii) {
  std::string s = "\xFF\xFE";
  for (const char c : ascii) s += c, s += '\0';
  return s;
}

const std::vector<Family>& families() {
  static const std::vector<Family> f = {
      {"iso", [](const auto& d) {
         return "Date,Open,High,Low,Close,Adj Close,Volume\n" + rows(d, false, [](const Day& x) {
                  const std::string p = plain(x.cents);
                  return format("%04d-%02d-%02d,", x.y, x.m, x.d) + p + "," + p + "," + p + "," + p + "," + p + ",1200\n";
                });
       }},
      {"own format", [](const auto& d) {
         return std::to_string(d.size()) + " 7\n" + rows(d, false, [](const Day& x) {
                  return format("%d %d %d 0 0 ", x.y, x.m, x.d) + plain(x.cents) +
                         format(" %ld\n", (days_from_civil(x.y, x.m, x.d) + 4) % 7 + 1);
                });
       }},
      {"german_semicolon", [](const auto& d) {
         return "Kursdaten\r\nISIN: DE000TEST0001\r\n\r\nDatum;Er\xF6" "ffnung;Hoch;Tief;Schlusskurs;Volumen\r\n" +
                rows(d, true, [](const Day& x) {
                  const std::string p = grouped(x.cents, '.', ',');
                  return format("%02d.%02d.%04d;", x.d, x.m, x.y) + p + ";" + p + ";" + p + ";" + p + ";12.500\r\n";
                });
       }},
      {"us_portal", [](const auto& d) {
         return "Date,Close/Last,Volume,Open,High,Low\n" + rows(d, true, [](const Day& x) {
                  std::string p = "$";
                  p += plain(x.cents);
                  return format("%02d/%02d/%04d,", x.m, x.d, x.y) + p + ",1000," + p + "," + p + "," + p + "\n";
                });
       }},
      {"month_names", [](const auto& d) {
         return "\"Date\",\"Price\",\"Open\",\"High\",\"Low\",\"Vol.\",\"Change %\"\n" + rows(d, true, [](const Day& x) {
                  std::string p = "\"";
                  p += grouped(x.cents, ',', '.');
                  p += '"';
                  return format("\"%s %02d, %04d\",", kMonths[x.m - 1], x.d, x.y) + p + "," + p + "," + p + "," + p +
                         ",\"1.2M\",\"0.5%\"\n";
                });
       }},
      {"spreadsheet_utf16", [](const auto& d) {
         return utf16("Day\tLast\r\n" + rows(d, false, [](const Day& x) {
                        return format("%04d.%02d.%02d\t", x.y, x.m, x.d) + plain(x.cents) + "\r\n";
                      }));
       }},
      {"pandas_tz", [](const auto& d) {
         return "Date,Open,High,Low,Close,Volume,Dividends,Stock Splits\n" + rows(d, false, [](const Day& x) {
                  const std::string p = plain(x.cents);
                  return format("%04d-%02d-%02d 00:00:00-05:00,", x.y, x.m, x.d) + p + "," + p + "," + p + "," + p +
                         ",100,0.0,0.0\n";
                });
       }},
  };
  return f;
}

struct Times {
  double wall = 0, cpu = 0;
};

// The program on prices in dir, answers as options; its times.
Times run(const std::string& program, const std::string& dir, const std::string& prices) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) _exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    const char* argv[] = {program.c_str(), "--from=all", "--variable=11", "--coefficient=2", "--screen-output=yes",
                          "--screen-inputs=yes", "--days=dummies", prices.c_str(), nullptr};
    ::execv(argv[0], const_cast<char**>(argv));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the run on %s failed\n", prices.c_str());
    std::exit(1);
  }
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = "/tmp/elab-vendor-bench";
  std::string program = ELAB_BINARY;
  int n = 5000, rounds = 21;
  for (int k = 1; k + 1 < argc; k += 2) {
    const std::string a = argv[k];
    if (a == "--dir") dir = argv[k + 1];
    else if (a == "--rows") n = std::atoi(argv[k + 1]);
    else if (a == "--rounds") rounds = std::atoi(argv[k + 1]);
    else if (a == "--program") program = argv[k + 1];
  }
  std::filesystem::create_directories(dir);
  const auto days = business_days(n);
  const auto& fams = families();
  std::vector<std::vector<double>> walls(fams.size()), cpus(fams.size());
  for (const Family& f : fams) {
    std::ofstream(dir + "/" + f.name + ".csv", std::ios::binary) << f.text(days);
  }
  std::string iso_dat;
  for (int r = 0; r < rounds; ++r) {
    // Taking turns, from another family each round.
    for (std::size_t j = 0; j < fams.size(); ++j) {
      const std::size_t k = (j + static_cast<std::size_t>(r)) % fams.size();
      const std::string own = dir + "/" + fams[k].name;
      std::filesystem::create_directories(own);
      const Times t = run(program, own, std::string("../") + fams[k].name + ".csv");
      walls[k].push_back(t.wall);
      cpus[k].push_back(t.cpu);
    }
  }
  iso_dat = slurp(dir + "/iso/elab.dat");
  const auto median = [](std::vector<double> t) {
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
  };
  std::printf("%d rows, %d rounds, medians     wall            processor\n", n, rounds);
  const double wall0 = median(walls[0]), cpu0 = median(cpus[0]);
  for (std::size_t k = 0; k < fams.size(); ++k) {
    const bool same = slurp(dir + "/" + fams[k].name + "/elab.dat") == iso_dat;
    const double wall = median(walls[k]), cpu = median(cpus[k]);
    std::printf("%-18s %8.2f ms %5.2fx  %8.2f ms %5.2fx%s\n", fams[k].name, wall * 1e3, wall / wall0, cpu * 1e3,
                cpu / cpu0, same ? "" : "  (elab.dat differs!)");
  }
  return 0;
}
