#include "platform/memory_room.hpp"

#include <algorithm>
#include <charconv>

namespace platform {
namespace {

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a > kUnlimited - b ? kUnlimited : a + b;
}

std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b) {
  return a != 0 && b > kUnlimited / a ? kUnlimited : a * b;
}

std::string_view trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// A whole unsigned number and nothing else ("max" and junk give nothing).
std::optional<std::uint64_t> number_of(std::string_view s) {
  s = trimmed(s);
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

std::optional<std::uint64_t> number_in(const ReadText& read, const std::string& path) {
  const auto text = read(path);
  if (!text) return std::nullopt;
  return number_of(*text);
}

// The file names of one version of the memory controller.
struct GroupFiles {
  const char* limit;
  const char* usage;
  const char* inactive_cache;  // in memory.stat, for the group and all below it
  const char* active_cache;
};
constexpr GroupFiles kVersion2{"memory.max", "memory.current", "inactive_file", "active_file"};
constexpr GroupFiles kVersion1{"memory.limit_in_bytes", "memory.usage_in_bytes",
                               "total_inactive_file", "total_active_file"};

// Room below the limit of the one group in dir; kUnlimited without one.
std::uint64_t one_group_room(const ReadText& read, const std::string& dir, const GroupFiles& f) {
  const auto limit = number_in(read, dir + "/" + f.limit);
  if (!limit) return kUnlimited;
  std::uint64_t used = number_in(read, dir + "/" + f.usage).value_or(*limit);
  // Page cache is given back before the kernel ends a process.
  if (const auto stat = read(dir + "/memory.stat")) {
    const std::uint64_t cache = saturating_add(field_of(*stat, f.inactive_cache).value_or(0),
                                               field_of(*stat, f.active_cache).value_or(0));
    used -= std::min(used, cache);
  }
  return room_below({*limit, used});
}

// The least room of the group at path and of every group above it.
std::uint64_t room_along(const ReadText& read, const std::string& mount, std::string path,
                         const GroupFiles& f) {
  std::uint64_t least = kUnlimited;
  for (;;) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    least = std::min(least, one_group_room(read, mount + path, f));
    if (path.empty()) return least;
    path.erase(path.rfind('/') == std::string::npos ? 0 : path.rfind('/'));
  }
}

bool lists_memory(std::string_view controllers) {
  while (!controllers.empty()) {
    const std::size_t comma = controllers.find(',');
    if (controllers.substr(0, comma) == "memory") return true;
    if (comma == std::string_view::npos) break;
    controllers.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

std::uint64_t room_below(ProcessLimit l) { return l.used >= l.limit ? 0 : l.limit - l.used; }

std::optional<std::uint64_t> field_of(std::string_view text, std::string_view key) {
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    if (line.size() <= key.size() || line.substr(0, key.size()) != key) continue;
    line.remove_prefix(key.size());
    if (line.front() != ':' && line.front() != ' ') continue;
    line = trimmed(line.substr(1));
    const bool kilobytes = line.size() >= 2 && line.substr(line.size() - 2) == "kB";
    if (kilobytes) line.remove_suffix(2);
    const auto v = number_of(line);
    if (!v) return std::nullopt;
    return kilobytes ? saturating_mul(*v, 1024) : *v;
  }
  return std::nullopt;
}

ProcessUse process_use(const ReadText& read, std::uint64_t page_size) {
  // size resident shared text lib data dt, in pages.
  const auto statm = read("/proc/self/statm");
  if (!statm) return {};
  std::uint64_t field[6] = {};
  std::string_view s = *statm;
  for (std::uint64_t& f : field) {
    s = trimmed(s);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), f);
    if (ec != std::errc()) return {};
    s.remove_prefix(static_cast<std::size_t>(end - s.data()));
  }
  return {saturating_mul(field[0], page_size), saturating_mul(field[5], page_size)};
}

std::uint64_t control_group_room(const ReadText& read) {
  // Lines "id:controllers:path"; version 2 has no controllers.
  const auto groups = read("/proc/self/cgroup");
  if (!groups) return kUnlimited;
  std::uint64_t least = kUnlimited;
  std::string_view text = *groups;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    const std::size_t c1 = line.find(':');
    const std::size_t c2 = c1 == std::string_view::npos ? c1 : line.find(':', c1 + 1);
    if (c2 == std::string_view::npos) continue;
    const std::string_view controllers = line.substr(c1 + 1, c2 - c1 - 1);
    const std::string path(line.substr(c2 + 1));
    if (controllers.empty()) {
      // Mounted alone, or beside version 1 controllers.
      least = std::min(least, room_along(read, "/sys/fs/cgroup", path, kVersion2));
      least = std::min(least, room_along(read, "/sys/fs/cgroup/unified", path, kVersion2));
    } else if (lists_memory(controllers)) {
      least = std::min(least, room_along(read, "/sys/fs/cgroup/memory", path, kVersion1));
    }
  }
  return least;
}

std::optional<std::uint64_t> machine_room(const ReadText& read) {
  const auto meminfo = read("/proc/meminfo");
  if (!meminfo) return std::nullopt;
  const auto available = field_of(*meminfo, "MemAvailable");
  if (!available) return std::nullopt;
  return saturating_add(*available, field_of(*meminfo, "SwapFree").value_or(0));
}

}  // namespace platform
