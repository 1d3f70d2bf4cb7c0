// Two pieces of work at once: one on a second thread, one on the calling
// thread. A run that is large enough for it to pay owns one second thread,
// made once for the run as its price matrix is read and handed to the
// stages that split their work; it ends with the run. Without one, both pieces run here, one after
// the other, so a caller's result never depends on which way they ran.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace platform {

// Rows from which a run gains from a second thread: below, what the halves
// save is within the noise of a run, and with as many runs at a time as
// processors every one of them would lose.
inline constexpr std::int64_t kRowsForTwoThreads = 100000;

// A thread that runs one piece at a time for its owner, and sleeps between.
// Used from the thread that made it only.
class SecondThread {
 public:
  // Throws std::system_error when no thread is to be had (a process limit).
  SecondThread();
  ~SecondThread();
  SecondThread(const SecondThread&) = delete;
  SecondThread& operator=(const SecondThread&) = delete;

  // A piece handed over without allocating: a function and its argument.
  struct Piece {
    void (*run)(void*) noexcept;
    void* arg;
  };
  void hand_over(Piece piece);
  // Returns once the piece handed over has ended. A piece the thread has
  // not taken yet (its processor busy with other work) is taken back and
  // run here: a busy machine costs the owner no more than running alone.
  void finish();

 private:
  void serve();

  enum class State { idle, handed, running };
  std::mutex mutex_;
  std::condition_variable handed_, ended_;
  Piece piece_{nullptr, nullptr};
  State state_ = State::idle;
  bool stopping_ = false;
  std::thread thread_;  // last: started once the rest is ready
};

// Runs of a batch that wait for a thread of their own: while any waits, a
// run takes no second thread, the processor being theirs.
void set_runs_waiting(std::int64_t count);

// The second thread of a run of this many rows: none below
// kRowsForTwoThreads, while runs of a batch wait, where the process may use one processor only, where
// the environment holds ELAB_THREADS=1, or where no thread is to be had.
std::unique_ptr<SecondThread> second_thread_for(std::int64_t rows);

// Runs side on second while main runs here, and returns when both have
// ended; without a second thread, side runs first, then main, and where the
// thread does not take side in time, main first, then side. Neither piece
// may end the run (both are noexcept): no report is made and nothing is
// given back while the other half still writes into what both share. A
// piece returns what went wrong, and its caller acts on it afterwards.
template <class Side, class Main>
void side_by_side(SecondThread* second, Side&& side, Main&& main) {
  static_assert(std::is_nothrow_invocable_v<Side&> && std::is_nothrow_invocable_v<Main&>,
                "a piece of work must not end the run while the other half runs");
  if (second == nullptr) {
    side();
    main();
    return;
  }
  using S = std::remove_cvref_t<Side>;
  second->hand_over({[](void* s) noexcept { (*static_cast<const S*>(s))(); }, const_cast<S*>(&side)});
  main();
  second->finish();
}

}  // namespace platform
