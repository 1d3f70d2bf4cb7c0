// Faults only a broken disk or a refusing system would show, made through
// the platform layer's fault seam: the units meet each at the point it is
// made, report it, and leave the files as they promise.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/fault_seam.hpp"
#include "platform/os.hpp"
#include "support/temp_dir.hpp"
#include "units/file_open.hpp"
#include "units/input_file.hpp"
#include "units/output_file.hpp"
#include "units/run_failure.hpp"

namespace {

namespace fs = std::filesystem;
using elab_test::TempDir;
using platform::Call;
using platform::Error;

struct Fault {
  Call call;
  Error error;
  int skip = 0;
};

// Set for one test, cleared at its end whatever happens.
struct Planned {
  explicit Planned(const std::vector<Fault>& faults) {
    for (const Fault& f : faults) platform::fail_call(f.call, f.error, f.skip);
  }
  ~Planned() { platform::clear_faults(); }
};

// A read that fails: the failure reaches the reader at the window it was
// met in, after every byte before it.
struct ReadCase {
  const char* name;
  int skip;  // reads that succeed first
};

class ReadFaults : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadFaults, MetAtTheWindowOfTheFailingRead) {
  const ReadCase& c = GetParam();
  constexpr std::size_t kBlock = 16;
  std::string content;
  for (int k = 0; k < 40; ++k) content += std::to_string(1000 + k) + "\n";
  TempDir dir;
  dir.write("prices.txt", content);
  const auto file = platform::open_read_only((dir / "prices.txt").string());
  ASSERT_NE(file.handle, platform::kNoHandle);
  units::FileSource source(file.handle, kBlock);
  std::string got;
  int failure = 0;
  {
    Planned fault({{Call::read, Error::other, c.skip}});
    try {
      for (;;) {
        if (!source.refill(0)) break;
        got.append(source.pos, source.end);
        source.pos = source.end;
      }
    } catch (const numtext::IoFailure& f) {
      failure = f.number;
    }
  }
  (void)platform::close(file.handle);
  EXPECT_EQ(failure, numtext::fnum::kCannotRead);
  EXPECT_EQ(got, content.substr(0, kBlock * static_cast<std::size_t>(c.skip)));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadFaults,
                         ::testing::Values(ReadCase{"FirstRead", 0}, ReadCase{"ThirdRead", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// elab.dat written over an earlier one with faults on the way: the run ends
// normally or with its report, and elab.dat then holds the records, the
// earlier content, or (a copy in place that failed) what the failure left;
// no temporary stays.
struct WriteCase {
  const char* name;
  std::vector<Fault> faults;
  int status;
  const char* left;  // elab.dat afterwards; null: the records
};

class WriteFaults : public ::testing::TestWithParam<WriteCase> {};

std::string write_records(units::OutputFile& out) {
  std::string written;
  for (int k = 0; k < 3; ++k) {
    const std::string record = "record " + std::to_string(k);
    const auto room = out.records_room(record.size());
    std::memcpy(room.at, record.data(), record.size());
    out.commit_records(record.size(), 1);
    written += record + "\r\n";
  }
  return written;
}

TEST_P(WriteFaults, RecordsWholeOrEarlierFileAndNoTemporary) {
  const WriteCase& c = GetParam();
  TempDir dir;
  dir.write("elab.dat", "earlier\r\n");
  const std::string name = (dir / "elab.dat").string();
  int status = 0;
  std::string records;
  try {
    units::OutputFile out(name, units::open_training_file(name));
    Planned faults(c.faults);
    records = write_records(out);
    out.close();
  } catch (const units::RunFailure& failure) {
    status = failure.status();
    // Where the report is shown, the temporary has gone with the file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
  }
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(dir.read("elab.dat"), c.left != nullptr ? c.left : records);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFaults,
    ::testing::Values(
        WriteCase{"NoFault", {}, 0, nullptr},
        WriteCase{"RenameRefusedCopiesInPlace", {{Call::rename, Error::replace_refused}}, 0, nullptr},
        WriteCase{"RenameOfADeniedDirectoryCopiesInPlace", {{Call::rename, Error::access_denied}}, 0,
                  nullptr},
        WriteCase{"RenameOnAFullDisk", {{Call::rename, Error::disk_full}}, 1, "earlier\r\n"},
        WriteCase{"CopyInPlaceFailing",
                  {{Call::rename, Error::replace_refused}, {Call::write, Error::disk_full, 1}}, 1, ""},
        WriteCase{"NoTemporaryWritesInPlace", {{Call::open, Error::disk_full}}, 0, nullptr},
        WriteCase{"WriteFails", {{Call::write, Error::disk_full}}, 1, "earlier\r\n"},
        WriteCase{"TemporaryNotClosed", {{Call::close, Error::other}}, 1, "earlier\r\n"},
        WriteCase{"FileNotClosed", {{Call::close, Error::other, 1}}, 1, "earlier\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The training file and its dates file put in place as one change, with
// faults at each step: both new, or both as they were (the first put back
// when the second cannot follow, or removed where it was new); no temporary
// and no second name stays.
struct PairCase {
  const char* name;
  std::vector<Fault> faults;
  int status;
  bool dates_existed = true;
};

class PairFaults : public ::testing::TestWithParam<PairCase> {};

TEST_P(PairFaults, BothNewOrBothAsTheyWere) {
  const PairCase& c = GetParam();
  TempDir dir;
  dir.write("out.dat", "earlier\r\n");
  if (c.dates_existed) dir.write("out.days", "earlier days\r\n");
  const std::string out = (dir / "out.dat").string(), days = (dir / "out.days").string();
  int status = 0;
  std::string records, dates;
  try {
    units::OutputFile training(out, units::open_training_file(out));
    units::OutputFile day_file(days, units::open_training_file(days));
    Planned faults(c.faults);
    records = write_records(training);
    dates = write_records(day_file);
    units::put_in_place(training, &day_file);
  } catch (const units::RunFailure& failure) {
    status = failure.status();
  }
  EXPECT_EQ(status, c.status);
  if (c.status == 0) {
    EXPECT_EQ(dir.read("out.dat"), records);
    EXPECT_EQ(dir.read("out.days"), dates);
  } else {
    EXPECT_EQ(dir.read("out.dat"), "earlier\r\n");
    EXPECT_EQ(dir.read("out.days"),
              c.dates_existed ? std::optional<std::string>("earlier days\r\n") : std::nullopt);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), c.status == 0 || c.dates_existed ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PairFaults,
    ::testing::Values(PairCase{"NoFault", {}, 0}, PairCase{"DatesNotWritten", {{Call::write, Error::disk_full, 1}}, 1},
                      PairCase{"DatesNotClosed", {{Call::close, Error::other, 1}}, 1},
                      PairCase{"DatesNotRenamed", {{Call::rename, Error::other, 1}}, 1},
                      PairCase{"NewDatesNotRenamed", {{Call::rename, Error::other, 1}}, 1, false},
                      PairCase{"TrainingFileNotRenamed", {{Call::rename, Error::other}}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
