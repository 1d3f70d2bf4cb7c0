// The operating-system seam, through its interface only, so that the same
// tests run on every system it is built for (natively, and cross-built for
// Windows under an emulator).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/fault_seam.hpp"
#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "support/temp_dir.hpp"
#include "support/threads_asked.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using platform::Access;
using platform::Error;
using platform::Kind;
using elab_test::TempDir;
using elab_test::ThreadsAsked;

// The entries of a directory.
std::size_t entries(const TempDir& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
}

std::string name(const TempDir& dir, const std::string& leaf) { return (dir / leaf).string(); }

std::string read_all(platform::Handle h) {
  std::string text;
  char buf[7];  // small, so that reads are continued
  for (std::size_t got = 0; platform::read(h, buf, sizeof buf, got) == Error::none && got > 0;) {
    text.append(buf, got);
  }
  return text;
}

// Bytes that a text mode would change: CR LF, a lone LF, a lone CR, Ctrl-Z.
const std::string kAwkwardBytes = "a\r\nb\nc\rd\x1a\r\ne\0f"s;

struct OpenCase {
  const char* name;
  const char* existing;  // content of a file there before, or null
  const char* leaf;
  bool create;
  Error error;
  bool exists_after;
};

class Open : public ::testing::TestWithParam<OpenCase> {};

TEST_P(Open, FallsBackOrReports) {
  const auto& c = GetParam();
  TempDir dir;
  if (c.existing != nullptr) dir.write(c.leaf, c.existing);
  const auto o = platform::open_with_fallbacks(name(dir, c.leaf), c.create);
  EXPECT_EQ(o.error, c.error);
  EXPECT_EQ(o.handle != platform::kNoHandle, c.error == Error::none);
  if (o.handle != platform::kNoHandle) {
    EXPECT_EQ(o.access, Access::read_write);
    EXPECT_EQ(read_all(o.handle), c.existing != nullptr ? c.existing : "");
    EXPECT_EQ(platform::close(o.handle), Error::none);
  }
  EXPECT_EQ(platform::kind_of(name(dir, c.leaf)) == Kind::regular, c.exists_after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Open,
    ::testing::Values(OpenCase{"Existing", "12 7\r\n", "prices.txt", false, Error::none, true},
                      OpenCase{"ExistingKeptWhenCreating", "old", "elab.dat", true, Error::none, true},
                      OpenCase{"MissingCreatedEmpty", nullptr, "elab.dat", true, Error::none, true},
                      OpenCase{"MissingNotCreated", nullptr, "prices.txt", false, Error::not_found,
                               false},
                      OpenCase{"MissingDirectory", nullptr, "no/elab.dat", true, Error::no_directory,
                               false},
                      OpenCase{"MissingDirectoryNotCreated", nullptr, "no/prices.txt", false,
                               Error::no_directory, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Platform, EveryByteWrittenAndReadUnchanged) {
  TempDir dir;
  const auto o = platform::open_with_fallbacks(name(dir, "elab.dat"), true);
  ASSERT_NE(o.handle, platform::kNoHandle);
  EXPECT_EQ(platform::write_all(o.handle, kAwkwardBytes.data(), kAwkwardBytes.size()), Error::none);
  EXPECT_EQ(platform::close(o.handle), Error::none);
  EXPECT_EQ(dir.read("elab.dat"), kAwkwardBytes);
  const auto r = platform::open_read_only(name(dir, "elab.dat"));
  ASSERT_NE(r.handle, platform::kNoHandle);
  EXPECT_EQ(read_all(r.handle), kAwkwardBytes);
  EXPECT_EQ(platform::close(r.handle), Error::none);
}

TEST(Platform, MemoryMadePresentKeepsWhatItHolds) {
  // Not page-aligned, partly written, and a block too small for the call.
  for (const std::size_t size : {std::size_t{3} << 20, std::size_t{100}}) {
    std::vector<char> block;
    block.reserve(size + 1);
    block.resize(size / 2, 'x');
    platform::make_present(block.data() + 1, size);
    EXPECT_EQ(std::count(block.begin(), block.end(), 'x'), static_cast<std::ptrdiff_t>(size / 2)) << size;
    block.resize(size);
    EXPECT_EQ(block.back(), '\0') << size;
  }
}

TEST(Platform, TruncateEmptiesOnlyWhenThereIsSomething) {
  TempDir dir;
  dir.write("elab.dat", "from an earlier run\r\n");
  const auto o = platform::open_with_fallbacks(name(dir, "elab.dat"), true);
  ASSERT_NE(o.handle, platform::kNoHandle);
  EXPECT_EQ(platform::truncate_to_empty(o.handle), Error::none);
  EXPECT_EQ(platform::truncate_to_empty(o.handle), Error::none);
  EXPECT_EQ(platform::write_all(o.handle, "R\r\n", 3), Error::none);
  EXPECT_EQ(platform::close(o.handle), Error::none);
  EXPECT_EQ(dir.read("elab.dat"), "R\r\n");
}

TEST(Platform, KindsOfNames) {
  TempDir dir;
  dir.write("prices.txt", "1");
  EXPECT_EQ(platform::kind_of(name(dir, "prices.txt")), Kind::regular);
  EXPECT_EQ(platform::kind_of(name(dir, "")), Kind::directory);
  EXPECT_EQ(platform::kind_of(name(dir, "absent")), Kind::missing);
  const auto r = platform::open_read_only(name(dir, "prices.txt"));
  EXPECT_EQ(platform::kind_of(r.handle), Kind::regular);
  EXPECT_EQ(platform::close(r.handle), Error::none);
}

// The file opened as a run opens elab.dat, with its place.
struct Target {
  platform::Opened file;
  platform::Place place;
  explicit Target(const std::string& name)
      : file(platform::open_with_fallbacks(name, true)), place(platform::place_of(name)) {}
  ~Target() {
    if (file.handle != platform::kNoHandle) (void)platform::close(file.handle);
    platform::close_place(place);
  }
};

// What happens to elab.dat between its opening and the first record, and
// whether a temporary may then take its place; the records always end up
// in elab.dat of the run's directory.
struct PlaceCase {
  const char* name;
  void (*meanwhile)(const TempDir& dir);
  bool replaceable;
  std::string kept_as;  // a name that keeps the earlier content
  std::size_t entries = 1;
};

class Places : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(Places, RecordsReachTheFileOfTheRunsDirectory) {
  const auto& c = GetParam();
  TempDir dir;
  dir.write("elab.dat", "earlier\r\n");
  Target t(name(dir, "elab.dat"));
  ASSERT_NE(t.place.directory, platform::kNoHandle);
  if (c.meanwhile != nullptr) c.meanwhile(dir);
  t.file = platform::reopen_at_place(t.file, t.place);
  // Nothing there any more: a new file comes only from the temporary.
  const bool gone = t.file.handle == platform::kNoHandle;
  ASSERT_EQ(t.file.error, gone ? Error::not_found : Error::none);
  ASSERT_EQ(gone || platform::replaceable(t.file.handle, t.place), c.replaceable);
  if (c.replaceable) {
    auto tmp = platform::create_temporary(t.place, t.file.handle);
    ASSERT_EQ(tmp.error, Error::none);
    EXPECT_EQ(tmp.name.front(), '.');  // hidden
    EXPECT_EQ(platform::write_all(tmp.handle, kAwkwardBytes.data(), kAwkwardBytes.size()), Error::none);
    EXPECT_EQ(platform::close(tmp.handle), Error::none);
    // Closed first, as a run closes it: Windows does not replace an open file.
    if (!gone) {
      EXPECT_EQ(platform::close(t.file.handle), Error::none);
    }
    t.file.handle = platform::kNoHandle;
    EXPECT_EQ(platform::replace(tmp), Error::none);
  } else {
    EXPECT_EQ(platform::truncate_to_empty(t.file.handle), Error::none);
    EXPECT_EQ(platform::write_all(t.file.handle, kAwkwardBytes.data(), kAwkwardBytes.size()), Error::none);
  }
  // Every other name (a hard link) has the records; no temporary is left.
  EXPECT_EQ(dir.read("elab.dat"), kAwkwardBytes);
  EXPECT_EQ(entries(dir), c.entries);
  for (const auto& e : fs::directory_iterator(dir.path())) {
    const std::string leaf = e.path().filename().string();
    EXPECT_EQ(dir.read(leaf), c.kept_as == leaf ? "earlier\r\n" : kAwkwardBytes) << leaf;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Places,
    ::testing::Values(
        PlaceCase{"Untouched", nullptr, true, ""},
        PlaceCase{"RemovedMeanwhile", [](const TempDir& d) { fs::remove(d / "elab.dat"); }, true, ""},
        PlaceCase{"RenamedAwayMeanwhile",
                  [](const TempDir& d) { fs::rename(d / "elab.dat", d / "kept.dat"); }, true,
                  "kept.dat", 2},
        PlaceCase{"HardLinked",
                  [](const TempDir& d) { fs::create_hard_link(d / "elab.dat", d / "link.dat"); },
                  false, "", 2}),
    [](const auto& info) { return std::string(info.param.name); });

std::string text_of(Error e) {
  switch (e) {
    case Error::none: return "none";
    case Error::not_found: return "not_found";
    case Error::no_directory: return "no_directory";
    case Error::access_denied: return "access_denied";
    case Error::disk_full: return "disk_full";
    case Error::too_large: return "too_large";
    case Error::replace_refused: return "replace_refused";
    case Error::other: return "other";
  }
  return "?";
}

// One call of the layer made to fail through the fault seam, and what the
// layer makes of it.
struct FaultCase {
  const char* name;
  platform::Call call;
  Error error;
  int skip;
  std::string (*act)(Target& t, const TempDir& dir);
  const char* outcome;
};

std::string write_twice(Target& t, const TempDir&) {
  const Error first = platform::write_all(t.file.handle, "a", 1);
  return text_of(first) + " " + text_of(platform::write_all(t.file.handle, "b", 1));
}

// A temporary written and closed, its rename refused, copied over its file
// in place; the files left afterwards.
std::string copied_in_place(Target& t, const TempDir& dir) {
  auto tmp = platform::create_temporary(t.place, t.file.handle);
  (void)platform::write_all(tmp.handle, "new\r\n", 5);
  (void)platform::close(tmp.handle);
  std::string r = text_of(platform::replace(tmp));
  r += " " + text_of(platform::copy_over(tmp));
  platform::remove_temporary(tmp);
  return r + " " + dir.read("elab.dat").value_or("missing") + std::to_string(entries(dir));
}

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, TheCallFailsAndTheLayerSaysSo) {
  const auto& c = GetParam();
  TempDir dir;
  dir.write("elab.dat", "earlier\r\n");
  Target t(name(dir, "elab.dat"));
  ASSERT_NE(t.file.handle, platform::kNoHandle);
  platform::fail_call(c.call, c.error, c.skip);
  const std::string outcome = c.act(t, dir);
  platform::clear_faults();
  EXPECT_EQ(outcome, c.outcome);
}

using platform::Call;

INSTANTIATE_TEST_SUITE_P(
    Cases, Faults,
    ::testing::Values(
        FaultCase{"OpenFallsBackToReadOnly", Call::open, Error::access_denied, 0,
                  [](Target&, const TempDir& d) {
                    const auto o = platform::open_with_fallbacks(name(d, "elab.dat"), false);
                    (void)platform::close(o.handle);
                    return std::string(o.access == Access::read_only ? "read_only" : "other");
                  },
                  "read_only"},
#ifndef _WIN32
        // As a sticky directory's protection refuses an open that may
        // create another user's file.
        FaultCase{"CreatingOpenRefusedOpensWithout", Call::open, Error::access_denied, 0,
                  [](Target&, const TempDir& d) {
                    const auto o = platform::open_with_fallbacks(name(d, "elab.dat"), true);
                    (void)platform::close(o.handle);
                    return std::string(o.access == Access::read_write ? "read_write" : "other");
                  },
                  "read_write"},
#endif
        FaultCase{"OpenOfAnExistingFile", Call::open, Error::not_found, 0,
                  [](Target&, const TempDir& d) {
                    return text_of(platform::open_read_only(name(d, "elab.dat")).error);
                  },
                  "not_found"},
        FaultCase{"Read", Call::read, Error::other, 0,
                  [](Target& t, const TempDir&) {
                    char buf[4];
                    std::size_t got = 9;
                    const Error e = platform::read(t.file.handle, buf, sizeof buf, got);
                    return text_of(e) + std::to_string(got);
                  },
                  "other0"},
        FaultCase{"SecondWrite", Call::write, Error::disk_full, 1, write_twice, "none disk_full"},
        FaultCase{"Truncate", Call::truncate, Error::too_large, 0,
                  [](Target& t, const TempDir&) { return text_of(platform::truncate_to_empty(t.file.handle)); },
                  "too_large"},
        FaultCase{"Close", Call::close, Error::other, 0,
                  [](Target& t, const TempDir&) {
                    const Error e = platform::close(t.file.handle);
                    if (e != Error::none) (void)platform::close(t.file.handle);
                    t.file.handle = platform::kNoHandle;
                    return text_of(e);
                  },
                  "other"},
        FaultCase{"RenameRefusedCopiesInPlace", Call::rename, Error::replace_refused, 0,
                  copied_in_place, "replace_refused none new\r\n1"},
        FaultCase{"Allocation", Call::allocate, Error::other, 0,
                  [](Target&, const TempDir&) {
                    void* p = platform::obtain_zeroed(4096);
                    platform::release(p, 4096);
                    return std::string(p == nullptr ? "null" : "given");
                  },
                  "null"},
        FaultCase{"ThreadCreation", Call::create_thread, Error::other, 0,
                  [](Target&, const TempDir&) {
                    try {
                      platform::start_thread([](void*) {}, nullptr).join();
                      return std::string("started");
                    } catch (const std::system_error&) {
                      return std::string("refused");
                    }
                  },
                  "refused"}),
    [](const auto& info) { return std::string(info.param.name); });

// The driver's decision: a thread from kRowsForTwoThreads rows on, where two
// processors may be used, unless ELAB_THREADS=1.
TEST(SideBySide, SecondThreadOnlyForLargeRuns) {
  struct Case {
    std::int64_t rows;
    const char* asked;
    bool thread;
  };
  const Case cases[] = {{400, nullptr, false},      {99999, nullptr, false}, {100000, nullptr, true},
                        {1000000, nullptr, true},   {1000000, "1", false},   {1000000, "2", true},
                        {1000000, "", true}};
  const bool two = platform::processors_usable() > 1;
  for (const Case& c : cases) {
    ThreadsAsked threads(c.asked);
    EXPECT_EQ(platform::second_thread_for(c.rows) != nullptr, c.thread && two)
        << c.rows << " rows, ELAB_THREADS=" << (c.asked != nullptr ? c.asked : "(unset)");
  }
}

// Pieces of either side longer or shorter than the other, with gaps between
// them: the side piece runs on the one second thread, or here once main has
// ended when the thread has not taken it; a main that waits for side has it
// run on the thread. Without a second thread, both run here, side first.
TEST(SideBySide, PiecesRunOnTheOneSecondThreadOrHere) {
  using std::chrono::milliseconds;
  struct Case {
    milliseconds side, main, gap;
    bool main_waits;
  };
  const Case cases[] = {{milliseconds(0), milliseconds(0), milliseconds(0), false},
                        {milliseconds(12), milliseconds(0), milliseconds(0), false},
                        {milliseconds(0), milliseconds(12), milliseconds(0), false},
                        {milliseconds(0), milliseconds(0), milliseconds(12), false},
                        {milliseconds(0), milliseconds(0), milliseconds(0), true},
                        {milliseconds(12), milliseconds(0), milliseconds(0), true}};
  const std::thread::id here = std::this_thread::get_id();
  platform::SecondThread thread;
  for (platform::SecondThread* second : {&thread, static_cast<platform::SecondThread*>(nullptr)}) {
    std::thread::id other;  // the second thread, once seen
    for (const Case& c : cases) {
      if (c.main_waits && second == nullptr) continue;
      for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(testing::Message() << c.side.count() << ' ' << c.main.count() << ' ' << c.gap.count() << ' '
                                        << c.main_waits << ' ' << (second != nullptr));
        std::thread::id side_ran_on;
        std::atomic<bool> side_ended{false};
        int pieces = 0;
        platform::side_by_side(
            second,
            [&]() noexcept {
              std::this_thread::sleep_for(c.side);
              side_ran_on = std::this_thread::get_id();
              side_ended = true;
            },
            [&]() noexcept {
              std::this_thread::sleep_for(c.main);
              for (int t = 0; c.main_waits && !side_ended && t < 10000; ++t)
                std::this_thread::sleep_for(milliseconds(1));
              ++pieces;
            });
        EXPECT_TRUE(side_ended);
        EXPECT_EQ(pieces, 1);
        if (second == nullptr || c.main_waits) {
          EXPECT_EQ(side_ran_on == here, second == nullptr);
        }
        if (side_ran_on != here) {
          if (other == std::thread::id()) other = side_ran_on;
          EXPECT_EQ(side_ran_on, other);
        }
        std::this_thread::sleep_for(c.gap);
      }
    }
  }
}

#ifdef __linux__
// The threads of this process, as the system counts them.
std::size_t threads_running() {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/task"), {}));
}

// The second thread is there for its owner only: none outlives it.
TEST(SideBySide, SecondThreadEndsWithItsOwner) {
  // A sanitizer's own thread starts with the first thread made: count after it.
  std::thread([] {}).join();
  const std::size_t before = threads_running();
  {
    platform::SecondThread second;
    platform::side_by_side(&second, []() noexcept {}, []() noexcept {});
    EXPECT_EQ(threads_running(), before + 1);
  }
  EXPECT_EQ(threads_running(), before);
}
#endif

#ifndef _WIN32
// A signal that ends the run reaches the main thread, whose handler removes
// the temporary it knows of.
TEST(SideBySide, SecondThreadLeavesTheEndingSignalsToTheMainThread) {
  platform::SecondThread second;
  sigset_t blocked;
  sigemptyset(&blocked);
  std::atomic<bool> read{false};
  platform::side_by_side(
      &second,
      [&]() noexcept {
        pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
        read = true;
      },
      [&]() noexcept {
        // Waits for the thread to take the piece.
        for (int t = 0; !read && t < 10000; ++t) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      });
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) EXPECT_EQ(sigismember(&blocked, sig), 1) << sig;
  sigset_t here;
  pthread_sigmask(SIG_BLOCK, nullptr, &here);
  EXPECT_EQ(sigismember(&here, SIGTERM), 0);
}
#endif

#ifndef _WIN32
// Two files written at once (the training file and the dates file), and a
// temporary settled between them: a signal that ends the run removes both
// unfinished ones, then ends the process as it would have.
[[noreturn]] void ended_while_writing_two(const TempDir& first, const TempDir& second) {
  Target a(name(first, "elab.dat"));
  Target b(name(second, "dates.txt"));
  const auto unfinished = platform::create_temporary(a.place, a.file.handle);
  const auto settled = platform::create_temporary(b.place, b.file.handle);
  (void)platform::close(settled.handle);
  platform::remove_temporary(settled);
  const auto also_unfinished = platform::create_temporary(b.place, b.file.handle);
  if (unfinished.handle != platform::kNoHandle && also_unfinished.handle != platform::kNoHandle) {
    ::raise(SIGTERM);
  }
  std::exit(1);
}

TEST(EndingSignal, RemovesEveryUnfinishedTemporary) {
  TempDir first, second;
  first.write("elab.dat", "earlier\r\n");
  second.write("dates.txt", "earlier\r\n");
  EXPECT_EXIT(ended_while_writing_two(first, second), ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(entries(first), 1u);
  EXPECT_EQ(entries(second), 1u);
}
#endif

}  // namespace
