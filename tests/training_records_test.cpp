// The training records: the three layouts byte for byte, fields too wide
// for F8.4, the choice of days and the file they go to.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/derived_series.hpp"
#include "core/run_state.hpp"
#include "core/training_records.hpp"
#include "cli/dialogue.hpp"
#include "cli/console.hpp"
#include "numtext/fixed_layout.hpp"
#include "units/output_file.hpp"
#include "numtext/record_writer.hpp"
#include "support/dialogue.hpp"
#include "support/scripted_console.hpp"
#include "support/run_state.hpp"

namespace {

using elab::kOutlierMark;
using elab_test::ScriptedConsole;
using elab::RunState;
using numtext::FieldValue;

// ---------------------------------------------------------------------------
// One Monday, laid out in each layout.

const std::string kLayoutA =
    " 1. 0.   1.2345   1.0123    .9876    .4500    .5000  -1.2500   2.0000    .1250   -.7500   3.5000";
const std::string kLayoutB =
    "    0.   1.2345   1.0123    .9876    .4500    .5000  -1.2500   2.0000    .1250   -.7500   3.5000";
const std::string kLayoutC =
    " 1. 0. 0. 0. 0.  0.   1.2345   1.0123    .9876    .4500    .5000  -1.2500   2.0000    .1250   -.7500   3.5000";

// The values after the day indicator: VSEGNO, DESM, MOME, RMM, MAXMIN,
// VPERC(I-4 .. I), PREV.
const std::vector<float> kCommon = {0.0f,   1.2345f, 1.0123f, 0.9876f, 0.45f, 0.5f,
                                    -1.25f, 2.0f,    0.125f,  -0.75f,  3.5f};

std::vector<float> example_values(std::int32_t igio) {
  std::vector<float> v;
  if (igio == -1) v = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  if (igio == 0) v = {1.0f};
  v.insert(v.end(), kCommon.begin(), kCommon.end());
  return v;
}

// The records of one write by the general record writer.
std::vector<std::string> write_with_list(std::int32_t igio, const std::vector<float>& values) {
  std::vector<FieldValue> fields;
  for (float f : values) fields.push_back(FieldValue::of(f));
  std::vector<std::string> records;
  numtext::RecordWriter writer;
  writer.write(elab::record_layout(igio), fields,
               [&](std::string_view r) { records.emplace_back(r); });
  return records;
}

// The same record by the compiled layout the stage uses.
std::string write_with_layout(std::int32_t igio, const std::vector<float>& values) {
  const numtext::FixedLayout layout(elab::record_layout(igio));
  EXPECT_EQ(layout.field_count(), values.size());
  std::string record(layout.length(), '?');
  layout.write(record.data(), values);
  return record;
}

struct LayoutCase {
  const char* name;
  std::int32_t igio;
  const std::string* expected;
  std::size_t length;
  std::size_t first_f84;  // column (from 0) of the DESM field
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << "layout " << c.name; }

const LayoutCase kLayouts[] = {
    {"A", 0, &kLayoutA, 96, 7},
    {"B", 2, &kLayoutB, 96, 7},
    {"C", -1, &kLayoutC, 109, 20},
};

class Layout : public testing::TestWithParam<LayoutCase> {};

INSTANTIATE_TEST_SUITE_P(ABC, Layout, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_P(Layout, WorkedRecordByteForByte) {
  const LayoutCase& c = GetParam();
  ASSERT_EQ(c.expected->size(), c.length);
  ASSERT_EQ(numtext::FixedLayout(elab::record_layout(c.igio)).length(), c.length);
  EXPECT_EQ(static_cast<std::size_t>(elab::record_layout(c.igio).field_count()),
            example_values(c.igio).size());
  const auto records = write_with_list(c.igio, example_values(c.igio));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], *c.expected);
  EXPECT_EQ(write_with_layout(c.igio, example_values(c.igio)), *c.expected);
}

// The layout does not change with the day: layout B is the same for every
// weekday answer, and the indicator fields of A and C show the day's code.
TEST_P(Layout, EveryWeekdayCodeKeepsTheSameLayout) {
  const LayoutCase& c = GetParam();
  for (std::int32_t code : {2, 3, 4, 5, 6}) {
    std::vector<float> values = example_values(c.igio);  // a Monday
    std::string expected = *c.expected;
    if (c.igio == 0) {
      values[0] = code == 2 ? 1.0f : 0.0f;
      expected.replace(1, 2, code == 2 ? "1." : "0.");
    }
    if (c.igio == -1) {
      for (std::int32_t k = 2; k <= 6; ++k) {
        values[static_cast<std::size_t>(k - 2)] = k == code ? 1.0f : 0.0f;
        expected.replace(static_cast<std::size_t>(3 * (k - 2) + 1), 2, k == code ? "1." : "0.");
      }
    }
    const std::int32_t igio = c.igio > 0 ? code : c.igio;
    EXPECT_EQ(write_with_layout(igio, values), expected) << code;
  }
}

// The outlier mark in every F8.4 field: asterisks, the length kept.
TEST_P(Layout, OutlierMarkFillsFieldsAndKeepsLength) {
  const LayoutCase& c = GetParam();
  auto values = example_values(c.igio);
  const std::size_t first_real = values.size() - 10;  // DESM .. PREV are F8.4
  for (std::size_t k = first_real; k < values.size(); ++k) values[k] = 99999.0f;
  const auto records = write_with_list(c.igio, values);
  ASSERT_EQ(records.size(), 1u);
  const std::string& rec = records[0];
  EXPECT_EQ(rec.size(), c.length);
  const std::size_t start = rec.size() - 10 * 9;
  for (std::size_t k = 0; k < 10; ++k) EXPECT_EQ(rec.substr(start + 9 * k, 9), " ********") << k;
  EXPECT_EQ(write_with_layout(c.igio, values), rec);
}

TEST_P(Layout, ValuesBelowOneHaveNoDigitBeforeThePoint) {
  const LayoutCase& c = GetParam();
  auto values = example_values(c.igio);
  const std::size_t first_real = values.size() - 10;
  for (std::size_t k = first_real; k < values.size(); ++k) values[k] = 0.0001f * static_cast<float>(k * 797 % 9999);
  const auto records = write_with_list(c.igio, values);
  ASSERT_EQ(records.size(), 1u);
  const std::string& rec = records[0];
  const std::size_t start = rec.size() - 10 * 9;
  for (std::size_t k = 0; k < 10; ++k) {
    const std::string field = rec.substr(start + 9 * k, 9);
    EXPECT_EQ(field.substr(0, 4), "    ") << field;
    EXPECT_EQ(field[4], '.') << field;
  }
  EXPECT_EQ(write_with_layout(c.igio, values), rec);
}

// The compiled layout lays out the same bytes as the record writer, whatever
// the values: indicators 0 and 1 and everything else.
TEST(CompiledLayout, SameBytesAsTheRecordWriter) {
  std::mt19937 rng(5);
  const float odd[] = {0.0f, -0.0f, 1.0f, 0.5f, 2.0f, -1.0f, 99999.0f, 1000.0f, -100.0f, 0.00005f,
                       std::numeric_limits<float>::denorm_min(), 1e30f};
  for (std::int32_t igio : {0, 2, 3, -1}) {
    const std::size_t n = static_cast<std::size_t>(elab::record_layout(igio).field_count());
    for (int i = 0; i < 20000; ++i) {
      std::vector<float> v(n);
      for (float& x : v) {
        switch (rng() % 4) {
          case 0: x = odd[rng() % (sizeof odd / sizeof odd[0])]; break;
          case 1: x = static_cast<float>(rng() % 2); break;
          case 2: x = (static_cast<float>(rng() % 2000000) - 1000000.0f) / 997.0f; break;
          default: x = std::bit_cast<float>(static_cast<std::uint32_t>(rng()) & 0xbfffffffu); break;
        }
      }
      const auto records = write_with_list(igio, v);
      ASSERT_EQ(records.size(), 1u);
      ASSERT_EQ(write_with_layout(igio, v), records[0]) << "IGIO " << igio << ", case " << i;
    }
  }
}

// A value too wide for F8.4 fills its field with asterisks, in whichever of
// the ten F8.4 fields it stands; the record keeps its length and every other
// field.
struct WideValue {
  float value;
  const char* field;
};

void PrintTo(const WideValue& c, std::ostream* os) { *os << c.value; }

class TooWide : public testing::TestWithParam<std::tuple<LayoutCase, WideValue>> {};

INSTANTIATE_TEST_SUITE_P(
    Fields, TooWide,
    testing::Combine(testing::ValuesIn(kLayouts),
                     testing::Values(WideValue{99999.0f, "********"},
                                     WideValue{1000.0f, "********"},
                                     WideValue{-100.0f, "********"},
                                     WideValue{-1e30f, "********"},
                                     WideValue{999.9999f, "999.9999"},
                                     WideValue{-99.9999f, "-99.9999"})),
    [](const testing::TestParamInfo<std::tuple<LayoutCase, WideValue>>& info) {
      return std::string(std::get<0>(info.param).name) + "_" +
             std::to_string(info.index % 6);
    });

TEST_P(TooWide, FieldShowsAsterisksAndRecordKeepsItsLength) {
  const auto& [layout, wide] = GetParam();
  const std::size_t lead = layout.igio == -1 ? 5 : layout.igio == 0 ? 1 : 0;
  for (std::size_t field = 0; field < 10; ++field) {
    SCOPED_TRACE(testing::Message() << "F8.4 field " << field + 1);
    std::vector<float> values = example_values(layout.igio);
    values[lead + 1 + field] = wide.value;  // after the indicator and VSEGNO
    std::string expected = *layout.expected;
    expected.replace(layout.first_f84 + 9 * field, 8, wide.field);
    const auto records = write_with_list(layout.igio, values);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], expected);
    EXPECT_EQ(write_with_layout(layout.igio, values), expected);
    EXPECT_EQ(records[0].size(), layout.length);
  }
}

// ---------------------------------------------------------------------------
// The records written for a run state built by hand.

constexpr std::int32_t kRows = 130;  // window 90 .. 110

// A temporary file standing in for elab.dat.
class TempFile {
 public:
  TempFile() {
    char dir[] = "/tmp/elab-records-XXXXXX";
    EXPECT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = dir_ + "/elab.dat";
  }
  ~TempFile() {
    ::unlink(path_.c_str());
    ::rmdir(dir_.c_str());
  }
  const std::string& path() const { return path_; }

  void put(const std::string& text) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  std::string bytes() const {
    std::string text;
    std::FILE* f = std::fopen(path_.c_str(), "rb");
    if (f == nullptr) return text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    return text;
  }

 private:
  std::string dir_, path_;
};

// Row i: MOME(i) = i, so each record names its row; PREV(i) = i / 8.
// Day codes 2..6 in turn, with odd codes on some rows of the window and
// marks on others.
std::unique_ptr<RunState> records_state() {
  auto st = elab_test::run_state(kRows, kRows);
  for (std::int64_t i = 1; i <= kRows; ++i) {
    st->M(i, 6) = 100.0f;
    st->M(i, 7) = elab_test::weekday_code(i);
    st->VSEGNO(i) = static_cast<float>(i % 2);
    st->DESM(i) = 0.5f;
    st->MOME(i) = static_cast<float>(i);
    st->RMM(i) = 1.0f;
    st->MAXMIN(i) = 0.25f;
    st->VPERC(i) = static_cast<float>(i) / 100.0f;
    st->PREV(i) = static_cast<float>(i) / 8.0f;
  }
  st->M(92, 7) = 2.5f;
  st->M(95, 7) = 0.0f;
  st->M(97, 7) = 1.0f;
  st->M(100, 7) = 7.0f;
  st->M(101, 7) = 3.0f;
  st->PREV(98) = kOutlierMark;   // a Tuesday (code 3)
  st->PREV(104) = kOutlierMark;  // code 5
  st->PREV(5) = kOutlierMark;    // outside the window
  st->ME90 = 90;
  elab::day_indicators(*st);
  return st;
}

struct Written {
  std::vector<std::string> records;
  std::string bytes;
};

// The records written through a file buffer of the given size, with a
// second thread or without.
Written write_records(RunState& st, std::int32_t igio, const std::string& before = "",
                      std::size_t buffer = std::size_t{1} << 20, platform::SecondThread* second = nullptr) {
  TempFile file;
  if (!before.empty()) file.put(before);
  const int fd = ::open(file.path().c_str(), O_RDWR | O_CREAT, 0644);
  EXPECT_GE(fd, 0);
  st.IGIO = igio;
  {
    units::OutputFile out(file.path(), platform::Opened{fd}, buffer);
    elab::write_training_records(st, out, second);
    out.close();
  }
  Written w;
  w.bytes = file.bytes();
  for (std::size_t at = 0; at < w.bytes.size();) {
    const std::size_t end = w.bytes.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "record without CR LF at byte " << at;
      break;
    }
    w.records.push_back(w.bytes.substr(at, end - at));
    at = end + 2;
  }
  return w;
}

std::int64_t row_of(const std::string& record, std::int32_t igio) {
  return std::lround(std::stod(record.substr(igio == -1 ? 29 : 16, 8)));
}

struct SelectionCase {
  std::int32_t igio;
  std::vector<std::int64_t> rows;
};

void PrintTo(const SelectionCase& c, std::ostream* os) { *os << "IGIO " << c.igio; }

std::vector<std::int64_t> every_unmarked_row() {
  std::vector<std::int64_t> rows;
  for (std::int64_t i = 90; i <= 110; ++i)
    if (i != 98 && i != 104) rows.push_back(i);
  return rows;
}

class Selection : public testing::TestWithParam<SelectionCase> {};

// Codes of the window rows: 90:6 91:2 92:2.5 93:4 94:5 95:0 96:2 97:1 98:4
// (marked) 99:5 100:7 101:3 102:3 103:4 104:5 (marked) 105:6 106:2 107:3
// 108:4 109:5 110:6.
INSTANTIATE_TEST_SUITE_P(
    Weekdays, Selection,
    testing::Values(SelectionCase{2, {91, 96, 106}}, SelectionCase{3, {101, 102, 107}},
                    SelectionCase{4, {93, 103, 108}}, SelectionCase{5, {94, 99, 109}},
                    SelectionCase{6, {90, 105, 110}}, SelectionCase{0, every_unmarked_row()},
                    SelectionCase{-1, every_unmarked_row()}),
    [](const testing::TestParamInfo<SelectionCase>& info) {
      return info.param.igio < 0 ? std::string("AllWithDummies")
                                 : "Igio" + std::to_string(info.param.igio);
    });

TEST_P(Selection, WritesExactlyTheQualifyingRows) {
  const SelectionCase& c = GetParam();
  auto st = records_state();
  // Check the codes the table above relies on.
  ASSERT_EQ(st->M(98, 7), 4.0f);
  const Written w = write_records(*st, c.igio, "an earlier file\r\n");
  std::vector<std::int64_t> rows;
  for (const std::string& r : w.records) {
    EXPECT_EQ(r.size(), c.igio == -1 ? 109u : 96u);
    rows.push_back(row_of(r, c.igio));
  }
  EXPECT_EQ(rows, c.rows);
  EXPECT_EQ(st->IC, static_cast<std::int32_t>(c.rows.size()));
  EXPECT_EQ(w.bytes.find("earlier"), std::string::npos);
  EXPECT_EQ(w.bytes.size(), c.rows.size() * ((c.igio == -1 ? 109 : 96) + 2));
}

TEST(TrainingRecords, WorkedMondayInTheFile) {
  // The worked Monday as row 90, the only unmarked row of the window.
  auto st = records_state();
  st->M(90, 7) = 2.0f;
  elab::day_indicators(*st);
  st->VSEGNO(90) = 0.0f;
  st->DESM(90) = 1.2345f;
  st->MOME(90) = 1.0123f;
  st->RMM(90) = 0.9876f;
  st->MAXMIN(90) = 0.45f;
  const float changes[] = {0.5f, -1.25f, 2.0f, 0.125f, -0.75f};
  for (int k = 0; k < 5; ++k) st->VPERC(86 + k) = changes[k];
  st->PREV(90) = 3.5f;
  for (std::int64_t i = 91; i <= 110; ++i) st->PREV(i) = kOutlierMark;
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.name);
    const Written w = write_records(*st, c.igio);
    EXPECT_EQ(w.bytes, *c.expected + "\r\n");
    EXPECT_EQ(st->IC, 1);
  }
}

TEST(TrainingRecords, OddDayCodesAreWrittenWithZeroIndicators) {
  auto st = records_state();
  const Written a = write_records(*st, 0);
  const Written c = write_records(*st, -1);
  auto find = [](const Written& w, std::int32_t igio, std::int64_t row) -> std::string {
    for (const std::string& r : w.records)
      if (row_of(r, igio) == row) return r;
    return "";
  };
  for (std::int64_t row : {92, 95, 97, 100}) {
    SCOPED_TRACE(row);
    EXPECT_EQ(find(a, 0, row).substr(0, 3), " 0.");
    EXPECT_EQ(find(c, -1, row).substr(0, 15), " 0. 0. 0. 0. 0.");
  }
  EXPECT_EQ(find(a, 0, 91).substr(0, 3), " 1.");
  EXPECT_EQ(find(c, -1, 91).substr(0, 15), " 1. 0. 0. 0. 0.");
  EXPECT_EQ(find(c, -1, 101).substr(0, 15), " 0. 1. 0. 0. 0.");
  EXPECT_EQ(find(c, -1, 110).substr(0, 15), " 0. 0. 0. 0. 1.");
}

TEST(TrainingRecords, RecordCarriesTheRowsValuesInOrder) {
  auto st = records_state();
  const Written w = write_records(*st, 0);
  ASSERT_FALSE(w.records.empty());
  // Row 90 (code 6): LUNE 0, VSEGNO 0, DESM .5, MOME 90, RMM 1, MAXMIN .25,
  // VPERC(86..90), PREV 90 / 8.
  EXPECT_EQ(w.records.front(),
            " 0. 0.    .5000  90.0000   1.0000    .2500    .8600    .8700    .8800    .8900"
            "    .9000  11.2500");
}

TEST(TrainingRecords, NoRowOutsideTheWindowIsWritten) {
  auto st = records_state();
  // Everything outside the window would qualify for any choice.
  for (std::int64_t i = 1; i <= kRows; ++i)
    if (i < 90 || i > 110) st->M(i, 7) = 3.0f;
  for (std::int32_t igio : {-1, 0, 3}) {
    const Written w = write_records(*st, igio);
    ASSERT_FALSE(w.records.empty());
    EXPECT_EQ(row_of(w.records.front(), igio) >= 90, true) << igio;
    EXPECT_EQ(row_of(w.records.back(), igio) <= 110, true) << igio;
  }
}

TEST(TrainingRecords, NoQualifyingRowLeavesTheFileEmpty) {
  auto st = records_state();
  for (std::int64_t i = 90; i <= 110; ++i) st->PREV(i) = kOutlierMark;
  const Written w = write_records(*st, 0, "an earlier file\r\n");
  EXPECT_EQ(st->IC, 0);
  EXPECT_TRUE(w.records.empty());
  EXPECT_EQ(w.bytes, "");
}

TEST(TrainingRecords, CodeTwoAndAHalfMatchesNoWeekday) {
  auto st = records_state();
  for (std::int64_t i = 1; i <= kRows; ++i) st->M(i, 7) = 2.5f;
  for (std::int32_t igio : {2, 3}) {
    const Written w = write_records(*st, igio);
    EXPECT_EQ(st->IC, 0) << igio;
    EXPECT_TRUE(w.records.empty()) << igio;
  }
}

// ---------------------------------------------------------------------------
// On one thread and on two: the same bytes and the same count, for every
// layout, with and without marked days, for numbers of records around what
// the file buffer holds and its multiples.

// A window of the given number of rows with random values (some too wide,
// some indicators), random day codes (some odd) and a share of marked days.
std::unique_ptr<RunState> random_records_state(std::int32_t window, double marked,
                                               std::uint32_t seed) {
  const std::int32_t rows = window + 109;  // the window is ME90 (90) .. NRR - 20
  auto st = elab_test::run_state(rows, rows);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  const float codes[] = {2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 2.5f, 0.0f};
  auto value = [&] {
    const float odd[] = {0.0f, 1.0f, -0.00004f, 99999.0f, 1000.0f, -100.0f};
    if (rng() % 8 == 0) return odd[rng() % 6];
    return (static_cast<float>(rng() % 2000000) - 1000000.0f) / 9973.0f;
  };
  for (std::int64_t i = 1; i <= rows; ++i) {
    st->M(i, 7) = rng() % 10 == 0 ? codes[rng() % 7] : elab_test::weekday_code(i);
    st->VSEGNO(i) = static_cast<float>(rng() % 2);
    for (elab::Series s : {st->DESM, st->MOME, st->RMM, st->MAXMIN, st->VPERC}) s(i) = value();
    st->PREV(i) = share(rng) < marked ? kOutlierMark : value();
  }
  st->ME90 = 90;
  elab::day_indicators(*st);
  return st;
}

// The file the run state should give, record by record.
std::string expected_file(const RunState& st, std::int32_t igio) {
  std::string file;
  for (std::int64_t i = st.ME90; i <= st.NRR - 20; ++i) {
    if (st.PREV(i) == kOutlierMark || (igio > 0 && st.M(i, 7) != static_cast<float>(igio))) continue;
    std::vector<float> v;
    if (igio == -1) for (int k = 1; k <= 5; ++k) v.push_back(st.GIORNO(i, k));
    if (igio == 0) v.push_back(st.LUNE(i));
    for (float x : {st.VSEGNO(i), st.DESM(i), st.MOME(i), st.RMM(i), st.MAXMIN(i)}) v.push_back(x);
    for (std::int64_t lag = 4; lag >= 0; --lag) v.push_back(st.VPERC(i - lag));
    v.push_back(st.PREV(i));
    file += write_with_layout(igio, v) + "\r\n";
  }
  return file;
}

struct ThreadsCase {
  const char* name;
  std::size_t buffer;
  std::vector<std::int32_t> windows;  // rows in the window, one run each
  double marked;
};

void PrintTo(const ThreadsCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::int32_t> up_to(std::int32_t n) {
  std::vector<std::int32_t> w;
  for (std::int32_t k = 0; k <= n; ++k) w.push_back(k);
  return w;
}

// A buffer of 1000 characters holds 10 records of 96 characters and 9 of
// 109, the smallest (256) two of either; one of 60,000 holds 612 and 540,
// two whole chunks of 256 records and part of a third; the buffer of the
// program holds 10,699 and 9,446.
const ThreadsCase kThreadsCases[] = {
    {"SmallBufferEveryCount", 1000, up_to(31), 0.0},
    {"SmallBufferMarkedDays", 1000, up_to(31), 0.3},
    {"SmallestBuffer", 1, up_to(7), 0.2},
    {"BufferOfChunks", 60000, {255, 256, 257, 512, 513, 540, 541, 612, 613, 1700}, 0.0},
    {"ProgramBufferAroundItsRecords", std::size_t{1} << 20,
     {1, 9445, 9446, 9447, 10698, 10699, 10700, 18892, 18893, 21398, 21399}, 0.0},
    {"ProgramBufferMarkedDays", std::size_t{1} << 20, {30000}, 0.1},
};

class OneAndTwoThreads : public testing::TestWithParam<ThreadsCase> {};

INSTANTIATE_TEST_SUITE_P(Records, OneAndTwoThreads, testing::ValuesIn(kThreadsCases),
                         [](const testing::TestParamInfo<ThreadsCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_P(OneAndTwoThreads, SameFileAndCount) {
  const ThreadsCase& c = GetParam();
  std::uint32_t seed = 1;
  for (std::int32_t window : c.windows) {
    auto st = random_records_state(window, c.marked, seed++);
    for (std::int32_t igio : {-1, 0, 2, 3, 4, 5, 6}) {
      SCOPED_TRACE(testing::Message() << window << " rows, IGIO " << igio);
      const std::size_t line = (igio == -1 ? 109 : 96) + 2;
      const Written one = write_records(*st, igio, "an earlier file\r\n", c.buffer);
      const std::int32_t one_count = st->IC;
      platform::SecondThread second;
      const Written two = write_records(*st, igio, "an earlier file\r\n", c.buffer, &second);
      const std::string expected = expected_file(*st, igio);
      EXPECT_EQ(st->IC, one_count);
      EXPECT_EQ(static_cast<std::size_t>(one_count) * line, expected.size());
      // Not printed: megabytes.
      ASSERT_TRUE(one.bytes == expected);
      ASSERT_TRUE(two.bytes == expected);
      // The same records laid out in memory, here and on the second thread,
      // each record's values and day beside its text, in its place; among
      // the days some no calendar holds, between days that it does.
      const std::vector<std::int64_t> rows = elab::written_rows(*st);
      const float odd[][3] = {{2023, 2, 29},  {2024, 2, 29}, {2023, 13, 1}, {2023, 4, 2.5f},
                              {NAN, 4, 1},    {2023, 4, 31}, {2023, 4, 30}, {2023, 0, 1}};
      for (std::size_t k = 0; k < std::size(odd) && k * 3 < rows.size(); ++k)
        for (int part = 0; part < 3; ++part) st->M(rows[k * 3], part + 1) = odd[k][part];
      const std::size_t columns = elab::record_columns(igio).size();
      for (platform::SecondThread* on : {static_cast<platform::SecondThread*>(nullptr), &second}) {
        std::string text(expected.size(), '\0');
        std::vector<float> values(rows.size() * columns);
        std::vector<std::int64_t> days(rows.size());
        elab::lay_out_records(*st, rows, {text.data(), values.data(), days.data()}, on);
        ASSERT_TRUE(text == expected);
        std::array<float, elab::kMostRecordValues> v;
        for (std::size_t k = 0; k < rows.size(); ++k) {
          ASSERT_EQ(elab::record_values(*st, rows[k], v), columns);
          ASSERT_EQ(std::memcmp(v.data(), &values[k * columns], columns * sizeof(float)), 0) << "record " << k;
          ASSERT_EQ(days[k], elab::record_day(*st, rows[k])) << "record " << k;
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The weekday question and the count line.

using elab_test::kWeekday;

TEST(WeekdayQuestion, RefusedAnswersRepeatTheQuestion) {
  struct Case {
    const char* answers;
    std::int32_t igio;
    int asked;
  };
  const Case cases[] = {
      {"1\n-2\n7\n3\n", 3, 4}, {"-1\n", -1, 1}, {"0\n", 0, 1}, {"6\n", 6, 1},
      {"2\n", 2, 1},           {",\n", 0, 1},   {"1\n,\n4\n", 4, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    RunState st;
    ScriptedConsole con(c.answers);
    elab::ask_weekday(elab::Questions(con.asker(), {}), st);
    EXPECT_EQ(st.IGIO, c.igio);
    std::string expected = kWeekday;
    for (int k = 1; k < c.asked; ++k) expected += "\r\n" + kWeekday;
    const std::string shown = con.output();
    EXPECT_EQ(shown, expected);
    // A record of 75 characters, its leading carriage-control blank not shown.
    EXPECT_EQ(shown.find('\r') == std::string::npos ? shown.size() + 1 : shown.find('\r') + 1, 75u);
  }
}

// Mend: a count above 99,999 is shown in full, in a field as wide as its digits.
TEST(CountLine, CountInAFieldOfFiveOrAsWideAsItsDigits) {
  struct Case {
    std::int32_t count;
    const char* shown;
  };
  const Case cases[] = {{0, "Record scritti:     0"},
                        {37, "Record scritti:    37"},
                        {99999, "Record scritti: 99999"},
                        {100000, "Record scritti: 100000"},
                        {999999, "Record scritti: 999999"},
                        {1000000, "Record scritti: 1000000"},
                        {2147483647, "Record scritti: 2147483647"}};
  for (const Case& c : cases) {
    ScriptedConsole con("");
    elab::write_count_line(con.console(), c.count);
    EXPECT_EQ(con.output(), c.shown);
  }
}

}  // namespace
