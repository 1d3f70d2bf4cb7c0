// The memory rules: how much this process may still write into, from made-up
// system files, and whether the arrays of a run fit in it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/memory_room.hpp"
#include "core/run_state.hpp"

namespace {

using platform::kUnlimited;
using Files = std::map<std::string, std::string>;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

platform::ReadText from(const Files& files) {
  return [files](const std::string& path) -> std::optional<std::string> {
    const auto f = files.find(path);
    if (f == files.end()) return std::nullopt;
    return f->second;
  };
}

struct RoomCase {
  const char* name;
  Files files;
  std::uint64_t group_room;
  std::optional<std::uint64_t> machine_room;
};

void PrintTo(const RoomCase& c, std::ostream* os) { *os << c.name; }

const std::string kMeminfo =
    "MemTotal:       24683772 kB\nMemFree:        21000000 kB\n"
    "MemAvailable:     102400 kB\nSwapTotal:         0 kB\nSwapFree:          2048 kB\n";

// A process in the version-two group run/job with these limit and usage
// files, and the files more.
Files in_job(const std::string& max, const std::string& current, Files more = {}) {
  const std::string v2 = "/sys/fs/cgroup/run/job";
  more.insert({{"/proc/self/cgroup", "0::/run/job\n"}, {v2 + "/memory.max", max},
               {v2 + "/memory.current", current}});
  return more;
}

std::vector<RoomCase> room_cases() {
  const std::string v2 = "/sys/fs/cgroup/run/job";
  const std::string v1 = "/sys/fs/cgroup/memory/run/job";
  return {
      {"NoControlGroupNoMeminfo", {}, kUnlimited, std::nullopt},
      {"VersionTwoWithoutLimit",
       in_job("max\n", "1000\n", {{"/proc/meminfo", kMeminfo}}),
       kUnlimited, 102 * kMiB},
      {"VersionTwoLimitLessCurrent",
       in_job("536870912\n", "136870912\n"),
       400000000, std::nullopt},
      {"PageCacheCountsAsFree",
       in_job("1000000\n", "900000\n",
              {{v2 + "/memory.stat", "anon 100000\ninactive_file 500000\nactive_file 300000\n"}}),
       900000, std::nullopt},
      {"CurrentBeyondTheLimit",
       in_job("4096\n", "8192\n"),
       0, std::nullopt},
      {"ParentGroupIsTighter",
       in_job("900000000\n", "0\n",
              {{"/sys/fs/cgroup/run/memory.max", "300000000\n"},
               {"/sys/fs/cgroup/run/memory.current", "100000000\n"}}),
       200000000, std::nullopt},
      {"NamespacedRootGroup",
       {{"/proc/self/cgroup", "0::/\n"}, {"/sys/fs/cgroup/memory.max", "268435456\n"},
        {"/sys/fs/cgroup/memory.current", "68435456\n"}},
       200000000, std::nullopt},
      {"VersionOneMemoryController",
       {{"/proc/self/cgroup", "4:cpu,memory:/run/job\n3:cpuset:/\n0::/\n"},
        {v1 + "/memory.limit_in_bytes", "104857600\n"}, {v1 + "/memory.usage_in_bytes", "4857600\n"},
        {v1 + "/memory.stat", "cache 0\ntotal_inactive_file 1000\n"}},
       100001000, std::nullopt},
      {"VersionOneUnlimitedIsHuge",
       {{"/proc/self/cgroup", "4:memory:/\n"},
        {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
        {"/sys/fs/cgroup/memory/memory.usage_in_bytes", "4186112\n"}},
       9223372036854771712u - 4186112u, std::nullopt},
      {"UnreadableUsageMeansNoRoom",
       {{"/proc/self/cgroup", "0::/run/job\n"}, {v2 + "/memory.max", "1000000\n"}}, 0,
       std::nullopt},
      {"JunkIsNoLimit",
       {{"/proc/self/cgroup", "junk\n0::/run/job"}, {v2 + "/memory.max", "12ab\n"},
        {"/proc/meminfo", "MemTotal: 1 kB\n"}},
       kUnlimited, std::nullopt},
  };
}

class MemoryRoom : public testing::TestWithParam<RoomCase> {};

INSTANTIATE_TEST_SUITE_P(Files, MemoryRoom, testing::ValuesIn(room_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(MemoryRoom, IsTheLeastRoomOfTheGroupsAndOfTheMachine) {
  const RoomCase& c = GetParam();
  EXPECT_EQ(platform::control_group_room(from(c.files)), c.group_room);
  EXPECT_EQ(platform::machine_room(from(c.files)), c.machine_room);
}

TEST(MemoryRoom, ProcessLimitsLessWhatIsUsed) {
  const Files statm{{"/proc/self/statm", "2560 442 413 5 0 1024 0\n"}};
  const platform::ProcessUse use = platform::process_use(from(statm), 4096);
  EXPECT_EQ(use.address_space, 10 * kMiB);
  EXPECT_EQ(use.data, 4 * kMiB);
  EXPECT_EQ(platform::process_use(from({}), 4096).address_space, 0u);
  EXPECT_EQ(platform::room_below({64 * kMiB, use.address_space}), 54 * kMiB);
  EXPECT_EQ(platform::room_below({kUnlimited, use.address_space}), kUnlimited - 10 * kMiB);
  EXPECT_EQ(platform::room_below({8 * kMiB, use.address_space}), 0u);
}

// The block holds MM and the 25 floats a row of the derived series, OUT,
// PREV and V; M is a view of MM and has no block.
struct SizeCase {
  const char* name;
  std::int64_t nr, nc;
  std::size_t floats;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class ArraySize : public testing::TestWithParam<SizeCase> {};

INSTANTIATE_TEST_SUITE_P(
    Sizes, ArraySize,
    testing::Values(SizeCase{"SevenColumns", 400, 7, 400 * 32},
                    SizeCase{"OneWideRow", 1, 250000000, 250000025},
                    SizeCase{"WidestRow", 1, 2147483647, 2147483672u},
                    SizeCase{"NoRows", 0, 7, 0}, SizeCase{"NegativeColumns", 5, -1, 0},
                    SizeCase{"BeyondTheAddressSpace", 2147483647, 2147483647, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(ArraySize, CountsEveryArrayWrittenAndNoCopyOfTheMatrix) {
  EXPECT_EQ(elab::array_floats(GetParam().nr, GetParam().nc), GetParam().floats);
}

TEST(ArraySize, FitsOnlyWithRoomForTheRestOfTheRun) {
  EXPECT_TRUE(elab::fits_in_memory(100 * kMiB, 101 * kMiB));
  EXPECT_FALSE(elab::fits_in_memory(100 * kMiB, 100 * kMiB));
  EXPECT_FALSE(elab::fits_in_memory(100 * kMiB, 50 * kMiB));
  EXPECT_TRUE(elab::fits_in_memory(0, SIZE_MAX));
  EXPECT_FALSE(elab::fits_in_memory(SIZE_MAX, SIZE_MAX));
}

}  // namespace
