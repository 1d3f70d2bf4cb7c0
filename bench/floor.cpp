// The floor of an end-to-end run: read the price file into memory, parse
// every number with std::from_chars, and write RECORDS records of 109
// characters, each made of twelve numbers laid out with std::to_chars, to
// elab.dat in the current directory.
//
//   floor PRICES RECORDS
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: floor PRICES RECORDS\n");
    return 2;
  }
  const long records = std::strtol(argv[2], nullptr, 10);
  const int fd = ::open(argv[1], O_RDONLY);
  if (fd < 0) return 1;
  std::vector<char> text;
  std::size_t used = 0;
  for (;;) {
    text.resize(used + (1 << 20));
    const ssize_t n = ::read(fd, text.data() + used, 1 << 20);
    if (n <= 0) break;
    used += static_cast<std::size_t>(n);
  }
  ::close(fd);

  std::vector<float> values;
  values.reserve(used / 5);
  const char* p = text.data();
  const char* const end = p + used;
  while (p < end) {
    while (p < end && (*p == ' ' || *p == '\n' || *p == '\t' || *p == ',' || *p == '\r')) ++p;
    if (p == end) break;
    float v = 0;
    const auto r = std::from_chars(p, end, v);
    if (r.ptr == p) return 1;
    values.push_back(v);
    p = r.ptr;
  }

  const int out = ::open("elab.dat", O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (out < 0) return 1;
  std::vector<char> buf(1 << 20);
  std::size_t at = 0;
  std::size_t next = 0;
  for (long r = 0; r < records; ++r) {
    if (buf.size() - at < 256) {
      if (::write(out, buf.data(), at) < 0) return 1;
      at = 0;
    }
    char* rec = buf.data() + at;
    std::memset(rec, ' ', 109);
    for (int f = 0; f < 12; ++f) {
      const float v = values.empty() ? 0.0f : values[next++ % values.size()] / 1000.0f;
      char field[32];
      const auto res = std::to_chars(field, field + sizeof field, v, std::chars_format::fixed, 4);
      const std::size_t len = static_cast<std::size_t>(res.ptr - field);
      const std::size_t w = len < 8 ? len : 8;
      std::memcpy(rec + 1 + f * 9 + (8 - w), field, w);
    }
    rec[109] = '\r';
    rec[110] = '\n';
    at += 111;
  }
  if (::write(out, buf.data(), at) < 0) return 1;
  ::close(out);
  std::printf("%zu values\n", values.size());
  return 0;
}
