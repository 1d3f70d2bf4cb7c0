// The operating-system seam, through its interface only, so that the same
// tests run on every system it is built for (natively, and cross-built for
// Windows under an emulator).
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

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

TEST(Platform, TemporaryReplacesTheFileWhole) {
  TempDir dir;
  dir.write("elab.dat", "from an earlier run\r\n");
  const auto t = platform::create_temporary_beside(name(dir, "elab.dat"));
  ASSERT_EQ(t.error, Error::none);
  ASSERT_NE(t.handle, platform::kNoHandle);
  EXPECT_EQ(fs::path(t.path).filename().string().front(), '.');  // hidden
  EXPECT_EQ(platform::write_all(t.handle, kAwkwardBytes.data(), kAwkwardBytes.size()), Error::none);
  EXPECT_EQ(dir.read("elab.dat"), "from an earlier run\r\n");  // untouched until replaced
  EXPECT_EQ(platform::close(t.handle), Error::none);
  EXPECT_EQ(platform::replace(t), Error::none);
  EXPECT_EQ(dir.read("elab.dat"), kAwkwardBytes);
  EXPECT_EQ(entries(dir), 1u);  // the temporary is gone
}

TEST(Platform, TemporaryRemoved) {
  TempDir dir;
  dir.write("elab.dat", "kept\r\n");
  const auto t = platform::create_temporary_beside(name(dir, "elab.dat"));
  ASSERT_NE(t.handle, platform::kNoHandle);
  EXPECT_EQ(platform::close(t.handle), Error::none);
  platform::remove_file(t.path);
  EXPECT_EQ(entries(dir), 1u);
  EXPECT_EQ(dir.read("elab.dat"), "kept\r\n");
}

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

}  // namespace
