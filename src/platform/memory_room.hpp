// How much memory this process may still write into, worked out from what
// the system tells: the process's own limits, its control group and the
// machine. Only text and arithmetic here, no system call, so that every rule
// can be tried on made-up figures; the system files are read by the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::uint64_t kUnlimited = UINT64_MAX;

// A limit of the process and what it already uses of it, in bytes.
struct ProcessLimit {
  std::uint64_t limit = kUnlimited;
  std::uint64_t used = 0;
};

// What is left below the limit; 0 when it is used up.
std::uint64_t room_below(ProcessLimit l);

// The contents of a system text file (/proc, /sys), or nothing when it
// cannot be read.
using ReadText = std::function<std::optional<std::string>(const std::string& path)>;

// Bytes of virtual memory and of data the process uses, from
// /proc/self/statm; 0 when unknown.
struct ProcessUse {
  std::uint64_t address_space = 0;
  std::uint64_t data = 0;
};
ProcessUse process_use(const ReadText& read, std::uint64_t page_size);

// The least room left by the memory limits of the process's control group
// and of every group above it (version 2, then version 1); page cache the
// group could give back does not count as used. kUnlimited without a limit.
std::uint64_t control_group_room(const ReadText& read);

// Memory the machine can still give without taking it from others: the
// available memory and the free swap of /proc/meminfo; nothing when unknown.
std::optional<std::uint64_t> machine_room(const ReadText& read);

// The value of a "key value [kB]" line of a /proc or memory.stat text, in
// bytes when a unit of kB follows.
std::optional<std::uint64_t> field_of(std::string_view text, std::string_view key);

}  // namespace platform
