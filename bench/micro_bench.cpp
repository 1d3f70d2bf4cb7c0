// Micro-benchmarks of the places where the work is: the free-form reader on
// price-file text, the record writer on training records, the derived
// series, the input screening, and the training file written on one thread
// and on two.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/derived_series.hpp"
#include "core/run_state.hpp"
#include "core/screening.hpp"
#include "core/training_records.hpp"
#include "numtext/char_source.hpp"
#include "numtext/free_form.hpp"
#include "units/file_open.hpp"
#include "numtext/fixed_layout.hpp"
#include "units/input_file.hpp"
#include "units/output_file.hpp"
#include "numtext/plain_lines.hpp"
#include "platform/os.hpp"
#include "support/memory_source.hpp"
#include "support/run_state.hpp"
#include "support/temp_dir.hpp"
#include "platform/side_by_side.hpp"

namespace {

// Price-file text of n rows like the generator's.
std::string price_text(int n) {
  std::mt19937 rng(7);
  std::normal_distribution<double> step(0.0, 0.012);
  std::string s;
  double close = 544.75;
  char line[128];
  for (int i = 0; i < n; ++i) {
    close *= std::exp(step(rng) - 0.002 * std::log(close / 544.75));
    std::snprintf(line, sizeof line, "%d %d %d %.2f %.2f %.2f %d\n", 1990 + i / 260, 1 + i % 12,
                  1 + i % 28, close * 1.01, close * 0.99, close, 2 + i % 5);
    s += line;
  }
  return s;
}

void BM_FreeFormReader(benchmark::State& state) {
  const int rows = 100000;
  const std::string text = price_text(rows);
  std::vector<float> row(7);
  std::vector<numtext::Target> targets;
  for (float& v : row) targets.push_back(numtext::Target::of(v));
  for (auto _ : state) {
    // The text in one window, copied there before the clock runs.
    state.PauseTiming();
    elab_test::MemorySource src(text);
    src.refill(0);
    state.ResumeTiming();
    numtext::FreeFormReader reader(src);
    for (int i = 0; i < rows; ++i) reader.read(targets);
    benchmark::DoNotOptimize(row.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_FreeFormReader)->Unit(benchmark::kMillisecond);

// The same text read as the price matrix is: each row as strided reals.
void BM_FreeFormRows(benchmark::State& state) {
  const int rows = 100000;
  const std::string text = price_text(rows);
  std::vector<float> matrix(static_cast<std::size_t>(rows) * 7);
  for (auto _ : state) {
    elab_test::MemorySource src(text);
    numtext::FreeFormReader reader(src);
    for (int i = 0; i < rows; ++i) reader.read_reals(&matrix[static_cast<std::size_t>(i)], 7, rows);
    benchmark::DoNotOptimize(matrix.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_FreeFormRows)->Unit(benchmark::kMillisecond);

// The same text through the reading of whole lines of plain rows, one core.
void BM_PlainLines(benchmark::State& state) {
  const int rows = 100000;
  const std::string text = price_text(rows) + std::string(numtext::kPlainRowRoom, ' ');
  const char* const stop = text.data() + text.size() - numtext::kPlainRowRoom;
  std::vector<float> matrix(static_cast<std::size_t>(rows) * 7);
  for (auto _ : state) {
    const numtext::PlainLines read = numtext::read_plain_lines(text.data(), stop, matrix.data(), 7, rows, rows);
    if (read.rows != rows) state.SkipWithError("a row was not taken");
    benchmark::DoNotOptimize(matrix.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(stop - text.data()));
}
BENCHMARK(BM_PlainLines)->Unit(benchmark::kMillisecond);

// A second thread when the benchmark's first argument is 2.
std::unique_ptr<platform::SecondThread> threads_of(const benchmark::State& state) {
  return state.range(0) == 2 ? std::make_unique<platform::SecondThread>() : nullptr;
}

// The threads and the rows of the stage benchmarks below: where a second
// thread starts to pay, and a large file.
void threads_and_rows(benchmark::internal::Benchmark* b) {
  b->ArgNames({"threads", "rows"});
  for (const int rows : {100000, 1000000})
    for (const int threads : {1, 2}) b->Args({threads, rows});
}

// The price matrix read as the run reads it: from a file through the input
// file's blocks, with a second thread or without.
void BM_PriceMatrixFromFile(benchmark::State& state) {
  const auto rows = static_cast<int>(state.range(1));
  const std::string text = std::to_string(rows) + " 7\n" + price_text(rows);
  const std::string path = (std::filesystem::temp_directory_path() / "elab-bench-prices.txt").string();
  std::ofstream(path, std::ios::binary) << text;
  const auto second = threads_of(state);
  std::vector<float> matrix(static_cast<std::size_t>(rows) * 7);
  for (auto _ : state) {
    state.PauseTiming();
    std::fill(matrix.begin(), matrix.end(), 0.0f);
    state.ResumeTiming();
    units::InputFile in(path, platform::open_read_only(path).handle);
    std::int32_t nr = 0, nc = 0;
    const numtext::Target head[] = {numtext::Target::of(nr), numtext::Target::of(nc)};
    in.read_head(head);
    in.read_rows(matrix.data(), nr, static_cast<std::size_t>(nc), static_cast<std::size_t>(rows), second.get());
    benchmark::DoNotOptimize(matrix.data());
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_PriceMatrixFromFile)->Apply(threads_and_rows)->UseRealTime()->Unit(benchmark::kMillisecond);

// A run of rows selected rows of a random walk of closes.
std::unique_ptr<elab::RunState> walk_run(int rows) {
  auto run = elab_test::run_state(rows, rows);
  elab::RunState& st = *run;
  std::mt19937 rng(11);
  std::normal_distribution<double> step(0.0, 0.012);
  double close = 544.75;
  for (int i = 1; i <= rows; ++i) {
    close *= std::exp(step(rng) - 0.002 * std::log(close / 544.75));
    st.M(i, 6) = static_cast<float>(close);
    st.M(i, 7) = elab_test::weekday_code(i);
  }
  return run;
}

// The serial blocks, or the blocks split two ways on a second thread.
void BM_DerivedSeries(benchmark::State& state) {
  const auto rows = static_cast<int>(state.range(1));
  const auto run = walk_run(rows);
  elab::RunState& st = *run;
  const auto second = threads_of(state);
  const auto e = second ? elab::Evaluation::BlocksTwoWays : elab::Evaluation::Blocks;
  for (auto _ : state) {
    elab::derive_series(st, e, second.get());
    benchmark::DoNotOptimize(st.OUT.data);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * rows);
}
BENCHMARK(BM_DerivedSeries)->Apply(threads_and_rows)->Unit(benchmark::kMillisecond)->UseRealTime();

// The input screening of the derived series of a walk, the sums interleaved
// (threads 1 or 2), or each series' in a pass of its own (threads 0).
void BM_InputScreening(benchmark::State& state) {
  const auto rows = static_cast<int>(state.range(1));
  const auto run = walk_run(rows);
  elab::RunState& st = *run;
  elab::derive_series(st, elab::Evaluation::Blocks);
  st.COEFF = 2.0f;
  const auto pass = state.range(0) == 0 ? elab::InputSumPass::Serial : elab::InputSumPass::Interleaved;
  const auto second = threads_of(state);
  for (auto _ : state) {
    elab::screen_inputs(st, pass, second.get());
    benchmark::DoNotOptimize(st.PREV.data);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * rows);
}
BENCHMARK(BM_InputScreening)
    ->Apply(threads_and_rows)
    ->Args({0, 1000000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Training records of layout C, through the compiled layout that writes
// elab.dat: five day dummies, a sign flag, ratios near 1 and percent changes.
void BM_RecordWriter(benchmark::State& state) {
  const numtext::FixedLayout layout(elab::record_layout(-1));
  std::mt19937 rng(5);
  std::normal_distribution<float> change(0.0f, 1.5f);
  std::vector<float> values;
  for (int r = 0; r < 4096; ++r) {
    for (int k = 0; k < 5; ++k) values.push_back(k == r % 5 ? 1.0f : 0.0f);
    values.push_back(r % 3 == 0 ? 0.0f : 1.0f);
    values.push_back(std::fabs(change(rng)));
    for (int k = 0; k < 2; ++k) values.push_back(1.0f + change(rng) / 50.0f);
    values.push_back(std::fabs(change(rng)) / 3.0f);
    for (int k = 0; k < 6; ++k) values.push_back(change(rng));
  }
  std::vector<char> out(layout.length() * 4096);
  std::size_t r = 0;
  for (auto _ : state) {
    layout.write(out.data() + r * layout.length(),
                 std::span<const float>(values.data() + r * 16, 16));
    r = (r + 1) % 4096;
  }
  benchmark::DoNotOptimize(out.data());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_RecordWriter);

// The training file of a derived random walk (layout C, nothing screened),
// written through the file's buffer into a file, with a second thread or
// without.
void BM_TrainingFile(benchmark::State& state) {
  const auto rows = static_cast<int>(state.range(1));
  const auto run = walk_run(rows);
  elab::RunState& st = *run;
  elab::derive_series(st);
  for (std::int64_t i = 1; i <= rows; ++i) st.PREV(i) = st.OUT(i, 11);
  st.IGIO = -1;
  const auto second = threads_of(state);
  const elab_test::TempDir dir;
  const std::string name = (dir / "elab.dat").string();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    units::OutputFile out(name, units::open_training_file(name));
    elab::write_training_records(st, out, second.get());
    out.close();
    bytes += static_cast<std::int64_t>(st.IC) * 111;
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_TrainingFile)->Apply(threads_and_rows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
