// The operating-system seam, through its interface only, so that the same
// tests run on every system it is built for (natively, and cross-built for
// Windows under an emulator).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "platform/os.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using platform::Access;
using platform::Error;
using platform::Kind;

// A fresh directory, removed with everything in it.
class Scratch {
 public:
  Scratch() {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("elab-platform-" + std::to_string(tick) + "-" + std::to_string(std::random_device{}()));
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string name(const std::string& leaf) const { return (path_ / leaf).string(); }
  void put(const std::string& leaf, const std::string& bytes) const {
    std::ofstream(path_ / leaf, std::ios::binary) << bytes;
  }
  std::string get(const std::string& leaf) const {
    std::ifstream in(path_ / leaf, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {}));
  }

 private:
  fs::path path_;
};

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
  Scratch dir;
  if (c.existing != nullptr) dir.put(c.leaf, c.existing);
  const auto o = platform::open_with_fallbacks(dir.name(c.leaf), c.create);
  EXPECT_EQ(o.error, c.error);
  EXPECT_EQ(o.handle != platform::kNoHandle, c.error == Error::none);
  if (o.handle != platform::kNoHandle) {
    EXPECT_EQ(o.access, Access::read_write);
    EXPECT_EQ(read_all(o.handle), c.existing != nullptr ? c.existing : "");
    EXPECT_EQ(platform::close(o.handle), Error::none);
  }
  EXPECT_EQ(platform::kind_of(dir.name(c.leaf)) == Kind::regular, c.exists_after);
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
  Scratch dir;
  const auto o = platform::open_with_fallbacks(dir.name("elab.dat"), true);
  ASSERT_NE(o.handle, platform::kNoHandle);
  EXPECT_EQ(platform::write_all(o.handle, kAwkwardBytes.data(), kAwkwardBytes.size()), Error::none);
  EXPECT_EQ(platform::close(o.handle), Error::none);
  EXPECT_EQ(dir.get("elab.dat"), kAwkwardBytes);
  const auto r = platform::open_read_only(dir.name("elab.dat"));
  ASSERT_NE(r.handle, platform::kNoHandle);
  EXPECT_EQ(read_all(r.handle), kAwkwardBytes);
  EXPECT_EQ(platform::close(r.handle), Error::none);
}

TEST(Platform, TruncateEmptiesOnlyWhenThereIsSomething) {
  Scratch dir;
  dir.put("elab.dat", "from an earlier run\r\n");
  const auto o = platform::open_with_fallbacks(dir.name("elab.dat"), true);
  ASSERT_NE(o.handle, platform::kNoHandle);
  EXPECT_EQ(platform::truncate_to_empty(o.handle), Error::none);
  EXPECT_EQ(platform::truncate_to_empty(o.handle), Error::none);
  EXPECT_EQ(platform::write_all(o.handle, "R\r\n", 3), Error::none);
  EXPECT_EQ(platform::close(o.handle), Error::none);
  EXPECT_EQ(dir.get("elab.dat"), "R\r\n");
}

TEST(Platform, KindsOfNames) {
  Scratch dir;
  dir.put("prices.txt", "1");
  EXPECT_EQ(platform::kind_of(dir.name("prices.txt")), Kind::regular);
  EXPECT_EQ(platform::kind_of(dir.name("")), Kind::directory);
  EXPECT_EQ(platform::kind_of(dir.name("absent")), Kind::missing);
  const auto r = platform::open_read_only(dir.name("prices.txt"));
  EXPECT_EQ(platform::kind_of(r.handle), Kind::regular);
  EXPECT_EQ(platform::close(r.handle), Error::none);
}

TEST(Platform, TemporaryReplacesTheFileWhole) {
  Scratch dir;
  dir.put("elab.dat", "from an earlier run\r\n");
  const auto t = platform::create_temporary_beside(dir.name("elab.dat"));
  ASSERT_EQ(t.error, Error::none);
  ASSERT_NE(t.handle, platform::kNoHandle);
  EXPECT_EQ(fs::path(t.path).filename().string().front(), '.');  // hidden
  EXPECT_EQ(platform::write_all(t.handle, kAwkwardBytes.data(), kAwkwardBytes.size()), Error::none);
  EXPECT_EQ(dir.get("elab.dat"), "from an earlier run\r\n");  // untouched until replaced
  EXPECT_EQ(platform::close(t.handle), Error::none);
  EXPECT_EQ(platform::replace(t), Error::none);
  EXPECT_EQ(dir.get("elab.dat"), kAwkwardBytes);
  EXPECT_EQ(dir.entries(), 1u);  // the temporary is gone
}

TEST(Platform, TemporaryRemoved) {
  Scratch dir;
  dir.put("elab.dat", "kept\r\n");
  const auto t = platform::create_temporary_beside(dir.name("elab.dat"));
  ASSERT_NE(t.handle, platform::kNoHandle);
  EXPECT_EQ(platform::close(t.handle), Error::none);
  platform::remove_file(t.path);
  EXPECT_EQ(dir.entries(), 1u);
  EXPECT_EQ(dir.get("elab.dat"), "kept\r\n");
}

TEST(Platform, ZeroedMemory) {
  constexpr std::size_t kBytes = std::size_t{80} << 20;  // beyond any small-block path
  EXPECT_GE(platform::memory_available(), kBytes);
  auto* p = static_cast<unsigned char*>(platform::obtain_zeroed(kBytes));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0] | p[kBytes / 2] | p[kBytes - 1], 0);
  p[kBytes - 1] = 1;
  platform::release(p, kBytes);
}

}  // namespace
