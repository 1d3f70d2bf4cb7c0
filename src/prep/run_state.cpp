#include "prep/run_state.hpp"

#include <cstdint>
#include <limits>
#include <cstdlib>

#include <sys/mman.h>

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

bool ArrayStorage::obtain(std::size_t n) {
  release();
  const std::size_t bytes = n * sizeof(float);  // representable: checked by the caller
  constexpr std::size_t kMapFrom = std::size_t{64} << 20;
  if (bytes >= kMapFrom) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    (void)::madvise(p, bytes, MADV_HUGEPAGE);  // a hint; without it the run is only slower
    data_ = static_cast<float*>(p);
    mapped_ = true;
  } else {
    // Zeroed pages the system hands out untouched: rows never used cost
    // no memory.
    data_ = static_cast<float*>(std::calloc(n, sizeof(float)));
    if (data_ == nullptr) return false;
    mapped_ = false;
  }
  bytes_ = bytes;
  return true;
}

void ArrayStorage::release() {
  if (data_ == nullptr) return;
  if (mapped_) {
    ::munmap(data_, bytes_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
}

void allocate_arrays(RunState& st) {
  const std::size_t total = array_floats(st.NR, st.NC);
  st.IER = 1;
  if (total == 0) return;
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
