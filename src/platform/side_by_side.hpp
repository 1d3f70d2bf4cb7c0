// Two pieces of work at once: one on a second thread, one on the calling
// thread. The work of a run splits at most two ways; where the second thread
// is not to be had, both pieces run here, one after the other, so a caller's
// result never depends on which way they ran.
#pragma once

#include <cstdlib>
#include <exception>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/os.hpp"

namespace platform {

// The threads a run may keep busy at once: 2 when this process may run on
// more than one processor, else 1; ELAB_THREADS=1 in the environment keeps
// it to 1 (for many runs side by side, or to compare).
inline int usable_threads() {
  const char* asked = std::getenv("ELAB_THREADS");
  if (asked != nullptr && std::string_view(asked) == "1") return 1;
  return processors_usable() > 1 ? 2 : 1;
}

// Runs side on a second thread while main runs on this one, and returns when
// both have ended; an exception of main is passed on once side has ended,
// else one of side. Without a second thread, side runs first, then main.
template <class Side, class Main>
void side_by_side(Side&& side, Main&& main) {
  std::exception_ptr side_failure;
  std::thread second;
  if (usable_threads() > 1) {
    try {
      second = std::thread([&] {
        try {
          side();
        } catch (...) {
          side_failure = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had (a process limit): the work runs here.
    }
  }
  if (!second.joinable()) {
    side();
    main();
    return;
  }
  try {
    main();
  } catch (...) {
    second.join();
    throw;
  }
  second.join();
  if (side_failure) std::rethrow_exception(side_failure);
}

}  // namespace platform
