#include "platform/side_by_side.hpp"

#include <atomic>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "platform/os.hpp"

// The owner and the thread wait for each other on a condition variable:
// a waiting side takes no processor from the other runs on the machine.

namespace platform {

SecondThread::SecondThread()
    : thread_(start_thread([](void* self) { static_cast<SecondThread*>(self)->serve(); }, this)) {}

SecondThread::~SecondThread() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  handed_.notify_one();
  thread_.join();
}

void SecondThread::hand_over(Piece piece) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    piece_ = piece;
    state_ = State::handed;
  }
  handed_.notify_one();
}

void SecondThread::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (state_ == State::handed) {
    state_ = State::idle;
    const Piece piece = piece_;
    lock.unlock();
    piece.run(piece.arg);
    return;
  }
  ended_.wait(lock, [this] { return state_ == State::idle; });
}

void SecondThread::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    handed_.wait(lock, [this] { return state_ == State::handed || stopping_; });
    if (state_ != State::handed) return;  // stopping, with no piece left
    state_ = State::running;
    const Piece piece = piece_;
    lock.unlock();
    piece.run(piece.arg);
    lock.lock();
    state_ = State::idle;
    ended_.notify_one();
  }
}

namespace {
std::atomic<std::int64_t> g_runs_waiting{0};
}  // namespace

void set_runs_waiting(std::int64_t count) { g_runs_waiting.store(count, std::memory_order_relaxed); }

std::unique_ptr<SecondThread> second_thread_for(std::int64_t rows) {
  const char* asked = std::getenv("ELAB_THREADS");
  if (rows < kRowsForTwoThreads || g_runs_waiting.load(std::memory_order_relaxed) > 0 || (asked != nullptr && std::string_view(asked) == "1") ||
      processors_usable() < 2) {
    return nullptr;
  }
  try {
    return std::make_unique<SecondThread>();
  } catch (const std::system_error&) {
    return nullptr;  // a process limit: the pieces run one after the other
  }
}

}  // namespace platform
