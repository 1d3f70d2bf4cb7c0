#include "core/run_state.hpp"

#include <cstdint>
#include <limits>

#include "platform/os.hpp"

namespace elab {
namespace {

// Memory the run obtains after the arrays: the record layouts, the console's
// lines, a file buffer grown for a long value. The buffers of the two files
// (a megabyte each) are already obtained, and counted in what the process
// uses, when the arrays are sized.
constexpr std::size_t kRestOfRun = std::size_t{1} << 20;

}  // namespace

std::size_t array_floats(std::int64_t nr, std::int64_t nc) {
  if (nr <= 0 || nc <= 0) return 0;
  // MM, then GIORNO (5), OUT (11) and nine series: NR * (NC + 25). Every one
  // of them is written: MM by the reading, the others by the stages.
  std::size_t per_row = 0, floats = 0, bytes = 0;
  if (__builtin_add_overflow(static_cast<std::size_t>(nc), std::size_t{25}, &per_row) ||
      __builtin_mul_overflow(per_row, static_cast<std::size_t>(nr), &floats) ||
      __builtin_mul_overflow(floats, sizeof(float), &bytes) ||
      bytes > static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
    return 0;
  }
  return floats;
}

bool fits_in_memory(std::size_t array_bytes, std::size_t available) {
  return array_bytes <= available && available - array_bytes >= kRestOfRun;
}

bool ArrayStorage::obtain(std::size_t n) {
  release();
  const std::size_t bytes = n * sizeof(float);  // representable: checked by the caller
  data_ = static_cast<float*>(platform::obtain_zeroed(bytes));
  if (data_ == nullptr) return false;
  bytes_ = bytes;
  return true;
}

void ArrayStorage::release() {
  platform::release(data_, bytes_);
  data_ = nullptr;
}

void allocate_arrays(RunState& st) {
  const std::size_t total = array_floats(st.NR, st.NC);
  st.IER = 1;
  if (total == 0) return;
  // Refused here rather than obtained on credit: a kernel that runs out of
  // memory later ends the process without a word.
  if (!fits_in_memory(total * sizeof(float), platform::memory_available())) return;
  if (!st.storage.obtain(total)) return;
  st.IER = 0;

  const auto nr = static_cast<std::size_t>(st.NR);
  const auto nc = static_cast<std::size_t>(st.NC);
  float* next = st.storage.data();
  auto take = [&](std::size_t n) {
    float* p = next;
    next += n;
    return p;
  };
  st.MM = {take(nr * nc), nr};
  st.M = st.MM;
  st.GIORNO = {take(nr * 5), nr};
  st.LUNE = {take(nr)};
  st.VPERC = {take(nr)};
  st.VSEGNO = {take(nr)};
  st.DESM = {take(nr)};
  st.MOME = {take(nr)};
  st.RMM = {take(nr)};
  st.MAXMIN = {take(nr)};
  st.OUT = {take(nr * 11), nr};
  st.PREV = {take(nr)};
  st.V = {take(nr)};
}

}  // namespace elab
