// Two pieces of work at once: one on a second thread, one on the calling
// thread. The work of a run splits at most two ways; where the second thread
// is not to be had, both pieces run here, one after the other, so a caller's
// result never depends on which way they ran.
#pragma once

#include <cstdlib>
#include <exception>
#include <string_view>

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

// A piece of work handed over without allocating: a function and its
// argument.
struct Piece {
  void (*run)(void*);
  void* arg;
};

// Starts piece on the second thread, which stays for the rest of the process.
// False, and piece not started, when that thread is not to be had or is
// already busy (a piece started from within a piece).
bool hand_to_second_thread(Piece piece);
// Returns once the piece handed over has ended.
void wait_for_second_thread();

// Runs side on the second thread while main runs on this one, and returns
// when both have ended; an exception of main is passed on once side has
// ended, else one of side. Without a second thread, side runs first, then
// main.
template <class Side, class Main>
void side_by_side(Side&& side, Main&& main) {
  std::exception_ptr side_failure;
  auto guarded = [&] {
    try {
      side();
    } catch (...) {
      side_failure = std::current_exception();
    }
  };
  using Guarded = decltype(guarded);
  const Piece piece{[](void* g) { (*static_cast<Guarded*>(g))(); }, &guarded};
  if (usable_threads() < 2 || !hand_to_second_thread(piece)) {
    side();
    main();
    return;
  }
  try {
    main();
  } catch (...) {
    wait_for_second_thread();
    throw;
  }
  wait_for_second_thread();
  if (side_failure) std::rethrow_exception(side_failure);
}

}  // namespace platform
