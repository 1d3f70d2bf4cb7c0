// Price files for the runs: business days, a seeded random walk of closes,
// and an alternating series whose training records can be worked out by
// hand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace elab_test {

struct PriceRow {
  int year = 0, month = 0, day = 0;
  double high = 0, low = 0, close = 0;
  int code = 0;  // 2 = Monday .. 6 = Friday
};

// Days since 1970-01-01 of a civil date.
inline std::int64_t days_from_civil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy =
      (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

inline void civil_from_days(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

// 0 = Monday .. 6 = Sunday; 1970-01-01 was a Thursday.
inline int weekday_index(std::int64_t days) { return static_cast<int>(((days % 7) + 7 + 3) % 7); }

// n business days (Monday to Friday) from the first one on or after the start.
inline std::vector<PriceRow> business_days(int n, int y, int m, int d) {
  std::vector<PriceRow> rows;
  std::int64_t day = days_from_civil(y, m, d);
  while (static_cast<int>(rows.size()) < n) {
    const int wd = weekday_index(day);
    if (wd < 5) {
      PriceRow r;
      civil_from_days(day, r.year, r.month, r.day);
      r.code = wd + 2;
      rows.push_back(r);
    }
    ++day;
  }
  return rows;
}

// A seeded random walk of closes in whole cents, never below 1.00, never
// unchanged from one day to the next.
inline std::vector<PriceRow> random_walk(std::uint64_t seed, int n, int y = 1995, int m = 1,
                                         int d = 2, double start = 500.0) {
  std::vector<PriceRow> rows = business_days(n, y, m, d);
  std::uint64_t s = seed * 6364136223846793005ULL + 1442695040888963407ULL;
  auto next_unit = [&]() {  // uniform in [0, 1)
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  long cents = static_cast<long>(start * 100.0 + 0.5);
  for (auto& r : rows) {
    const double step = (next_unit() - 0.5) * 0.03;  // up to 1.5% a day
    long next = static_cast<long>(static_cast<double>(cents) * (1.0 + step) + 0.5);
    if (next == cents) next += (next_unit() < 0.5) ? -1 : 1;
    if (next < 100) next = 100 + static_cast<long>(next_unit() * 50);
    cents = next;
    r.close = static_cast<double>(cents) / 100.0;
    r.high = static_cast<double>(cents + 1 + static_cast<long>(next_unit() * 500)) / 100.0;
    r.low = static_cast<double>(cents - 1 - static_cast<long>(next_unit() * 500)) / 100.0;
    if (r.low < 0.5) r.low = 0.5;
  }
  return rows;
}

inline std::string money(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", v);
  return b;
}

// The usual file: "NR NC" then one row of seven values per line, LF ends.
inline std::string format_prices(const std::vector<PriceRow>& rows) {
  std::string s = std::to_string(rows.size()) + " 7\n";
  for (const auto& r : rows) {
    s += std::to_string(r.year) + " " + std::to_string(r.month) + " " + std::to_string(r.day) +
         " " + money(r.high) + " " + money(r.low) + " " + money(r.close) + " " +
         std::to_string(r.code) + "\n";
  }
  return s;
}

// "1995-01-02": the date as a CSV writes it, with sep between the parts.
inline std::string iso_date(const PriceRow& r, const std::string& sep = "-") {
  char y[16], m[16], d[16];
  std::snprintf(y, sizeof y, "%04d", r.year);
  std::snprintf(m, sizeof m, "%02d", r.month);
  std::snprintf(d, sizeof d, "%02d", r.day);
  return y + sep + m + sep + d;
}

// A vendor's CSV of the same days: Date,Open,High,Low,Close,Adj Close,Volume
// with sep between the fields; with a decimal comma where sep is not ','.
inline std::string format_csv(const std::vector<PriceRow>& rows, const std::string& sep = ",",
                              const std::string& date_sep = "-") {
  const auto number = [&](double v) {
    std::string t = money(v);
    if (sep != ",") t[t.find('.')] = ',';
    return t;
  };
  std::string s = "Date" + sep + "Open" + sep + "High" + sep + "Low" + sep + "Close" + sep + "Adj Close" + sep +
                  "Volume\n";
  for (const auto& r : rows) {
    s += iso_date(r, date_sep) + sep + number(r.close) + sep + number(r.high) + sep + number(r.low) + sep +
         number(r.close) + sep + number(r.close * 0.5) + sep + "1200\n";
  }
  return s;
}

inline std::string to_crlf(const std::string& s) {
  std::string o;
  for (char c : s) {
    if (c == '\n') o += '\r';
    o += c;
  }
  return o;
}

// Splits elab.dat into records; well_formed is false when the last one has
// no CR LF.
inline std::vector<std::string> split_records(const std::string& dat, bool& well_formed) {
  std::vector<std::string> recs;
  well_formed = true;
  std::size_t pos = 0;
  while (pos < dat.size()) {
    const std::size_t e = dat.find("\r\n", pos);
    if (e == std::string::npos) {
      well_formed = false;
      recs.push_back(dat.substr(pos));
      break;
    }
    recs.push_back(dat.substr(pos, e - pos));
    pos = e + 2;
  }
  return recs;
}

// ---------------------------------------------------------------------------
// Alternating series: closes 100, 125, 100, 125, ... on business days from
// Monday 2 January 1995. Daily changes are +25 and -20 exactly, so every
// derived value is exact or rounds far from a tie.

inline std::vector<PriceRow> alternating_rows(int n) {
  auto rows = business_days(n, 1995, 1, 2);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].high = 0;
    rows[i].low = 0;
    rows[i].close = (i % 2 == 0) ? 100.0 : 125.0;  // row 1 (i = 0) is 100
  }
  return rows;
}

inline std::string alternating_file(int n) {
  std::string s = std::to_string(n) + " 7\n";
  for (const auto& r : alternating_rows(n)) {
    s += std::to_string(r.year) + " " + std::to_string(r.month) + " " + std::to_string(r.day) +
         " 0 0 " + (r.close == 100.0 ? "100" : "125") + " " + std::to_string(r.code) + "\n";
  }
  return s;
}

// The alternating series as a CSV.
inline std::string alternating_csv(int n) { return format_csv(alternating_rows(n)); }

// Output value of row i (numbered from 1) for the forecast variable ivar, as
// an F8.4 field. Odd rows close at 100, even rows at 125.
inline std::string alternating_prev(int i, int ivar) {
  const bool low = (i % 2) == 1;
  switch (ivar) {
    case 1:
    case 2: return low ? " 25.0000" : "-20.0000";
    case 3:
    case 4: return "   .0000";
    case 5:
    case 6: return low ? "  1.0000" : "   .0000";
    case 7:
    case 8: return "  1.0000";
    case 9: return low ? "  7.0000" : " -2.0000";
    default: return "  2.5000";  // 10, 11
  }
}

// The training record of row i (window row, i >= 90) in the layout of igio.
inline std::string alternating_record(int i, int code, int ivar, int igio) {
  const bool low = (i % 2) == 1;
  auto change = [](int row) { return (row % 2 == 1) ? "-20.0000" : " 25.0000"; };
  std::string tail;
  tail += " 22.5000";                         // DESM
  tail += "   1.0000";                        // " " + MOME
  tail += low ? "    .9778" : "   1.0222";    // " " + RMM
  tail += low ? "    .0000" : "   1.0000";    // " " + MAXMIN
  for (int lag = 4; lag >= 0; --lag) tail += std::string(" ") + change(i - lag);
  tail += " " + alternating_prev(i, ivar);
  const std::string sign = low ? "0." : "1.";
  if (igio == -1) {
    std::string head;
    for (int k = 2; k <= 6; ++k) head += (code == k) ? " 1." : " 0.";
    return head + "  " + sign + " " + tail;
  }
  if (igio == 0) return std::string(" ") + (code == 2 ? "1." : "0.") + " " + sign + " " + tail;
  return "    " + sign + " " + tail;
}

// elab.dat of an alternating file of n rows, all selected, nothing marked.
inline std::string alternating_dat(int n, int ivar, int igio, int* count = nullptr) {
  const auto rows = alternating_rows(n);
  std::string dat;
  int c = 0;
  for (int i = 90; i <= n - 20; ++i) {
    const int code = rows[static_cast<std::size_t>(i - 1)].code;
    if (igio > 0 && code != igio) continue;
    dat += alternating_record(i, code, ivar, igio) + "\r\n";
    ++c;
  }
  if (count != nullptr) *count = c;
  return dat;
}

}  // namespace elab_test
