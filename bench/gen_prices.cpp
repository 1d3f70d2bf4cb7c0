// Writes a realistic price file: business days from a start date, a seeded
// random walk of closes, 7 columns (year, month, day, high, low, close,
// day-of-week code 2..6).
//
//   gen_prices ROWS [SEED] [START_YEAR] > prices.txt
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

struct Date {
  int year, month, day;
  int weekday;  // 0 = Monday .. 6 = Sunday
};

int days_in_month(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

void next_day(Date& d) {
  d.weekday = (d.weekday + 1) % 7;
  if (++d.day > days_in_month(d.year, d.month)) {
    d.day = 1;
    if (++d.month > 12) {
      d.month = 1;
      ++d.year;
    }
  }
}

// Weekday of 1 January of a year (0 = Monday), by Zeller's congruence.
int weekday_of_new_year(int y) {
  const int yy = y - 1;
  const int h = (1 + (13 * 14) / 5 + yy % 100 + (yy % 100) / 4 + (yy / 100) / 4 + 5 * (yy / 100)) % 7;
  return (h + 5) % 7;  // Zeller: 0 = Saturday
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen_prices ROWS [SEED] [START_YEAR]\n");
    return 2;
  }
  const long rows = std::strtol(argv[1], nullptr, 10);
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1u;
  const int start_year = argc > 3 ? std::atoi(argv[3]) : 1990;
  if (rows <= 0) return 2;

  std::mt19937_64 rng(seed);
  std::normal_distribution<double> step(0.0, 0.012);
  std::uniform_real_distribution<double> spread(0.001, 0.015);

  static char out[1 << 16];
  std::setvbuf(stdout, out, _IOFBF, sizeof out);
  std::printf("%ld 7\n", rows);
  Date d{start_year, 1, 1, weekday_of_new_year(start_year)};
  double close = 544.75;
  for (long written = 0; written < rows; next_day(d)) {
    if (d.weekday > 4) continue;
    // A random walk in the logarithm, pulled gently back towards its start so
    // that millions of days stay in a realistic range.
    const double log_dev = std::log(close / 544.75);
    close = close * std::exp(step(rng) - 0.002 * log_dev);
    const double c = std::round(close * 100.0) / 100.0;
    const double high = std::round(c * (1.0 + spread(rng)) * 100.0) / 100.0;
    const double low = std::round(c * (1.0 - spread(rng)) * 100.0) / 100.0;
    std::printf("%d %d %d %.2f %.2f %.2f %d\n", d.year, d.month, d.day, high, low, c, d.weekday + 2);
    ++written;
  }
  return 0;
}
