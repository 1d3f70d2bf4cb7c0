#include "prep/run_state.hpp"

#include <cstdint>
#include <limits>
#include <new>

namespace prep {

std::size_t array_floats(std::int64_t nr, std::int64_t nc) {
  if (nr <= 0 || nc <= 0) return 0;
  // MM and M, then GIORNO (5), OUT (11) and nine series: NR * (2 NC + 25).
  std::size_t per_row = 0, floats = 0, bytes = 0;
  if (__builtin_mul_overflow(static_cast<std::size_t>(nc), std::size_t{2}, &per_row) ||
      __builtin_add_overflow(per_row, std::size_t{25}, &per_row) ||
      __builtin_mul_overflow(per_row, static_cast<std::size_t>(nr), &floats) ||
      __builtin_mul_overflow(floats, sizeof(float), &bytes) ||
      bytes > static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
    return 0;
  }
  return floats;
}

void allocate_arrays(RunState& st) {
  const std::size_t total = array_floats(st.NR, st.NC);
  st.IER = 1;
  if (total == 0) return;
  st.storage.reset(new (std::nothrow) float[total]);
  if (!st.storage) return;
  st.IER = 0;

  const auto nr = static_cast<std::size_t>(st.NR);
  const auto nc = static_cast<std::size_t>(st.NC);
  float* next = st.storage.get();
  auto take = [&](std::size_t n) {
    float* p = next;
    next += n;
    return p;
  };
  st.MM = {take(nr * nc), nr};
  st.M = {take(nr * nc), nr};
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

}  // namespace prep
