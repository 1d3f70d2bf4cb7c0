// The fault seam: a test makes a chosen call of the platform layer fail as
// if the system had refused it, so that the paths only a real fault reaches
// are run. Every call of the layer asks the seam first; with no fault set,
// that is one relaxed load.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/os.hpp"

namespace platform {

// The kinds of call that can be made to fail.
enum class Call : unsigned {
  open,           // any open or creation of a file or directory
  read,
  write,
  truncate,
  close,
  rename,         // a temporary taking the place of its file
  remove,
  create_thread,  // start_thread throws std::system_error
  allocate,       // obtain_zeroed returns null
};
inline constexpr std::size_t kCallKinds = 9;

namespace fault_seam {

struct Planned {
  std::atomic<int> skip{-1};  // calls of the kind still to succeed; -1: no fault
  std::atomic<Error> error{Error::none};
};

inline Planned g_planned[kCallKinds];

inline Planned& planned(Call call) { return g_planned[static_cast<std::size_t>(call)]; }

// The error this call is to fail with, none when it is to be made. A fault
// is met once.
inline Error injected(Call call) {
  Planned& p = planned(call);
  int skip = p.skip.load(std::memory_order_relaxed);
  while (skip >= 0) {
    if (p.skip.compare_exchange_weak(skip, skip - 1, std::memory_order_acq_rel)) {
      return skip == 0 ? p.error.load(std::memory_order_acquire) : Error::none;
    }
  }
  return Error::none;
}

}  // namespace fault_seam

// For tests: the call of this kind that comes after skip others of it fails
// with error. One fault per kind at a time; a new one takes the place of the
// one set before.
inline void fail_call(Call call, Error error, int skip = 0) {
  fault_seam::Planned& p = fault_seam::planned(call);
  p.error.store(error, std::memory_order_release);
  p.skip.store(skip, std::memory_order_release);
}

inline void clear_faults() {
  for (fault_seam::Planned& p : fault_seam::g_planned) p.skip.store(-1, std::memory_order_release);
}

}  // namespace platform
