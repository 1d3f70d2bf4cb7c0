#include "platform/side_by_side.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

// One thread, started at the first piece and kept: a run hands over about a
// hundred pieces of a millisecond or less, and a thread started for each
// often waited for the processor of the thread that started it. Between
// pieces each side spins for a while before it sleeps, so the next piece
// finds the thread awake on its own processor.

namespace platform {
namespace {

// Longer than one half of a piece waits for the other, or than the serial
// steps between two stages; short beside a run. A thread that slept was seen
// to take up to 1.6 ms to wake on this kind of virtual machine.
constexpr auto kSpin = std::chrono::milliseconds(5);

void pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Waits for ready() by spinning for up to kSpin; false if it is not ready yet.
template <class Ready>
bool spin_until(Ready ready) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  for (;;) {
    for (int k = 0; k < 64; ++k) {
      if (ready()) return true;
      pause();
    }
    if (std::chrono::steady_clock::now() >= until) return ready();
  }
}

class SecondThread {
 public:
  SecondThread() : thread_(start_thread(&SecondThread::loop, this)) {}

  // At the end of the process, when no piece is running.
  ~SecondThread() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_.store(true, std::memory_order_release);
    }
    handed_cv_.notify_one();
    thread_.join();
  }

  bool hand_over(Piece piece) {
    bool idle = false;
    if (!busy_.compare_exchange_strong(idle, true, std::memory_order_acquire)) return false;
    piece_ = piece;
    {
      // Under the lock, so that a thread about to sleep sees it.
      const std::lock_guard<std::mutex> lock(mutex_);
      handed_.store(handed_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    handed_cv_.notify_one();
    return true;
  }

  void wait() {
    const std::uint64_t piece = handed_.load(std::memory_order_relaxed);
    const auto piece_ended = [&] { return ended_.load(std::memory_order_acquire) == piece; };
    if (!spin_until(piece_ended)) {
      std::unique_lock<std::mutex> lock(mutex_);
      ended_cv_.wait(lock, piece_ended);
    }
    busy_.store(false, std::memory_order_release);
  }

 private:
  static void loop(void* self) { static_cast<SecondThread*>(self)->serve(); }

  void serve() {
    std::uint64_t done = 0;
    const auto called = [&] {
      return handed_.load(std::memory_order_acquire) != done || stopping_.load(std::memory_order_acquire);
    };
    for (;;) {
      if (!spin_until(called)) {
        std::unique_lock<std::mutex> lock(mutex_);
        handed_cv_.wait(lock, called);
      }
      if (handed_.load(std::memory_order_acquire) == done) return;  // stopping
      ++done;
      piece_.run(piece_.arg);
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        ended_.store(done, std::memory_order_release);
      }
      ended_cv_.notify_one();
    }
  }

  std::atomic<bool> busy_{false};
  std::atomic<bool> stopping_{false};
  Piece piece_{nullptr, nullptr};
  // Pieces handed over and ended, counted from the start.
  std::atomic<std::uint64_t> handed_{0};
  std::atomic<std::uint64_t> ended_{0};
  std::mutex mutex_;
  std::condition_variable handed_cv_, ended_cv_;
  std::thread thread_;  // last: started once the rest is ready
};

// Made at the first piece; null when no thread is to be had.
SecondThread* second_thread() {
  static std::optional<SecondThread> thread;
  static const bool started = [] {
    try {
      thread.emplace();
      return true;
    } catch (const std::system_error&) {
      return false;  // a process limit: the pieces run one after the other
    }
  }();
  return started ? &*thread : nullptr;
}

}  // namespace

bool hand_to_second_thread(Piece piece) {
  SecondThread* const t = second_thread();
  return t != nullptr && t->hand_over(piece);
}

void wait_for_second_thread() { second_thread()->wait(); }

}  // namespace platform
