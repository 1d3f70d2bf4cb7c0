// A price matrix read as the run reads it: the head "NR NC", then the rows
// through the input file, from a file or from a pipe fed in small pieces,
// on one thread or with a second thread. What the
// reading leaves behind is kept for comparison: the matrix, the statement
// after the rows (where the reading stopped), and any report with its status.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/held_file.hpp"
#include "platform/side_by_side.hpp"
#include "units/input_file.hpp"
#include "units/run_failure.hpp"

namespace elab_test {

struct MatrixRead {
  std::vector<float> matrix;  // column after column, NR rows
  std::vector<float> next;    // the values of the statement after the rows
  std::string report;         // the error report
  int status = -1;            // of the report or stop, -1 when none

  // Bit for bit, with a description of the first difference.
  friend testing::AssertionResult same(const MatrixRead& a, const MatrixRead& b) {
    if (a.report != b.report || a.status != b.status)
      return testing::AssertionFailure() << "report \"" << a.report << "\" (" << a.status << ") against \""
                                         << b.report << "\" (" << b.status << ")";
    for (const bool next : {false, true}) {
      const std::vector<float>& x = next ? a.next : a.matrix;
      const std::vector<float>& y = next ? b.next : b.matrix;
      if (x.size() != y.size()) return testing::AssertionFailure() << "sizes differ";
      for (std::size_t k = 0; k < x.size(); ++k)
        if (std::memcmp(&x[k], &y[k], sizeof(float)) != 0)
          return testing::AssertionFailure() << (next ? "next statement" : "matrix") << " cell " << k << ": "
                                             << x[k] << " against " << y[k];
    }
    return testing::AssertionSuccess();
  }
};

enum class Through { File, PipeInPieces };

// Reads the rows (and then count values more) from text.
inline MatrixRead read_matrix_as_the_run(const std::string& text, Through through, int threads) {
  MatrixRead got;
  int fds[2] = {-1, -1};
  std::thread feeder;
  if (through == Through::File) {
    fds[0] = file_holding(text);
  } else {
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    feeder = std::thread([&text, in = fds[1]] {
      // A reader that stops early closes its end: the write then fails
      // instead of ending the process.
      sigset_t pipe_signal;
      sigemptyset(&pipe_signal);
      sigaddset(&pipe_signal, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
      for (std::size_t at = 0; at < text.size(); at += 1000)
        if (::write(in, text.data() + at, std::min<std::size_t>(1000, text.size() - at)) <= 0) break;
      ::close(in);
    });
  }
  std::unique_ptr<platform::SecondThread> second;
  if (threads == 2) second = std::make_unique<platform::SecondThread>();
  try {
    units::InputFile in("prices.txt", fds[0]);  // closes the descriptor
    std::int32_t nr = 0, nc = 0;
    const numtext::Target head[] = {numtext::Target::of(nr), numtext::Target::of(nc)};
    in.read_head(head);
    got.matrix.assign(static_cast<std::size_t>(nr) * static_cast<std::size_t>(nc), 0.0f);
    got.next.assign(static_cast<std::size_t>(nc), 0.0f);
    in.read_rows(got.matrix.data(), nr, static_cast<std::size_t>(nc), static_cast<std::size_t>(nr),
                 second.get());
    std::vector<numtext::Target> next;
    for (float& v : got.next) next.push_back(numtext::Target::of(v));
    in.read_head(next);
  } catch (const units::RunFailure& failure) {
    got.status = failure.status();
    got.report = failure.report();
  }
  if (feeder.joinable()) feeder.join();
  return got;
}

}  // namespace elab_test
