// The platform layer on a POSIX system.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/memory_room.hpp"
#include "platform/os.hpp"

namespace platform {
namespace {

int fd_of(Handle h) { return static_cast<int>(h); }

// Runs a system call again while a signal interrupts it.
template <typename Call>
auto retry_interrupted(Call call) {
  for (;;) {
    const auto r = call();
    if (r >= 0 || errno != EINTR) return r;
  }
}

Error error_of(int err) {
  switch (err) {
    case 0: return Error::none;
    case ENOENT: return Error::not_found;
    case ENOTDIR: return Error::no_directory;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBADF:
      return Error::access_denied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return Error::disk_full;
    case EFBIG: return Error::too_large;
    default: return Error::other;
  }
}

Error last_error() { return error_of(errno); }

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

Kind kind_of_mode(mode_t mode) {
  if (S_ISREG(mode)) return Kind::regular;
  if (S_ISDIR(mode)) return Kind::directory;
  return Kind::stream;
}

int open_cloexec(const std::string& name, int flags, mode_t mode = 0) {
  return retry_interrupted([&] { return ::open(name.c_str(), flags | O_CLOEXEC, mode); });
}

// The open of a name that is not there: the file is missing when its
// directory exists, otherwise the path is.
Error missing_name_error(const std::string& name) {
  return kind_of(directory_of(name)) == Kind::directory ? Error::not_found : Error::no_directory;
}

// The file the termination signals remove. Written only with those signals
// blocked, so a handler never sees a half-changed path.
std::atomic<char*> g_doomed{nullptr};
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_then_end(int sig) {
  if (char* path = g_doomed.load()) ::unlink(path);
  ::signal(sig, SIG_DFL);
  ::raise(sig);  // delivered with the default action once the handler returns
}

void catch_ending_signals_once() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  for (const int sig : kEndingSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;  // stays ignored
    struct sigaction act {};
    act.sa_handler = remove_then_end;
    sigemptyset(&act.sa_mask);
    ::sigaction(sig, &act, nullptr);
  }
}

// Blocks the signals that end the run in the calling thread; returns its
// mask to restore.
sigset_t block_ending_signals() {
  sigset_t ending, before;
  sigemptyset(&ending);
  for (const int sig : kEndingSignals) sigaddset(&ending, sig);
  ::pthread_sigmask(SIG_BLOCK, &ending, &before);
  return before;
}

void attach_null_device_if_closed(int fd) {
  if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
  // The lowest free descriptor is fd itself.
  const int got = open_cloexec("/dev/null", O_RDWR);
  if (got >= 0 && got != fd) ::close(got);
  if (got == fd) ::fcntl(fd, F_SETFD, 0);  // a standard stream stays inherited
}

}  // namespace

void start_process() {
  for (const int fd : {0, 1, 2}) attach_null_device_if_closed(fd);
  ::signal(SIGPIPE, SIG_IGN);
#ifdef SIGXFSZ
  ::signal(SIGXFSZ, SIG_IGN);
#endif
}

Handle std_stream(StdStream s) {
  switch (s) {
    case StdStream::in: return STDIN_FILENO;
    case StdStream::out: return STDOUT_FILENO;
    case StdStream::err: return STDERR_FILENO;
  }
  return kNoHandle;
}

bool is_console(Handle h) { return ::isatty(fd_of(h)) == 1; }

Kind kind_of(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return Kind::missing;
  return kind_of_mode(st.st_mode);
}

Kind kind_of(Handle h) {
  struct stat st {};
  if (::fstat(fd_of(h), &st) != 0) return Kind::missing;
  return kind_of_mode(st.st_mode);
}

Opened open_with_fallbacks(const std::string& name, bool create) {
  Opened o;
  o.handle = open_cloexec(name, O_RDWR | (create ? O_CREAT : 0), 0666);
  if (o.handle >= 0) return o;
  const int first_error = errno;
  o.access = Access::read_only;
  o.handle = open_cloexec(name, O_RDONLY);
  if (o.handle >= 0) return o;
  o.access = Access::write_only;
  o.handle = open_cloexec(name, O_WRONLY);
  if (o.handle >= 0) return o;
  o.handle = kNoHandle;
  o.error = error_of(first_error);
  if (first_error == ENOENT && !create) o.error = missing_name_error(name);
  if (first_error == ENOENT && create) o.error = Error::no_directory;
  return o;
}

Opened open_read_only(const std::string& name) {
  Opened o;
  o.access = Access::read_only;
  o.handle = open_cloexec(name, O_RDONLY);
  if (o.handle >= 0) return o;
  o.error = errno == ENOENT ? missing_name_error(name) : last_error();
  o.handle = kNoHandle;
  return o;
}

Error read(Handle h, char* buf, std::size_t n, std::size_t& got) {
  got = 0;
  if (n > SSIZE_MAX) n = SSIZE_MAX;
  const ssize_t r = retry_interrupted([&] { return ::read(fd_of(h), buf, n); });
  if (r < 0) return last_error();
  got = static_cast<std::size_t>(r);
  return Error::none;
}

Error write_all(Handle h, const char* bytes, std::size_t n) {
  while (n > 0) {
    const std::size_t chunk = n > SSIZE_MAX ? SSIZE_MAX : n;
    const ssize_t w = retry_interrupted([&] { return ::write(fd_of(h), bytes, chunk); });
    if (w < 0) return last_error();
    bytes += w;
    n -= static_cast<std::size_t>(w);
  }
  return Error::none;
}

// A device or a pipe has no length to cut; an empty file needs no cut.
Error truncate_to_empty(Handle h) {
  struct stat st {};
  if (::fstat(fd_of(h), &st) != 0) return last_error();
  if (!S_ISREG(st.st_mode) || st.st_size == 0) return Error::none;
  if ((::fcntl(fd_of(h), F_GETFL) & O_ACCMODE) == O_RDONLY) return Error::access_denied;
  return retry_interrupted([&] { return ::ftruncate(fd_of(h), 0); }) == 0 ? Error::none
                                                                          : last_error();
}

namespace {

bool same_file(int fd, const struct stat& st) {
  struct stat now {};
  return ::fstat(fd, &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino;
}

// The FIFO has a reader besides this run: only then does a write-only open
// that may not wait succeed.
bool fifo_has_reader(const std::string& name) {
  const int probe = open_cloexec(name, O_WRONLY | O_NONBLOCK);
  if (probe < 0) return false;
  ::close(probe);
  return true;
}

}  // namespace

Error write_only_if_fifo(Handle& h, const std::string& name) {
  struct stat st {};
  if (::fstat(fd_of(h), &st) != 0 || !S_ISFIFO(st.st_mode)) return Error::none;
  if ((::fcntl(fd_of(h), F_GETFL) & O_ACCMODE) != O_RDWR) return Error::none;
  // Opened while this run still holds its reading end, so this open does not
  // wait and a reader at the other end never sees the writers go.
  int w = open_cloexec(name, O_WRONLY | O_NONBLOCK);
  if (w < 0) return Error::none;
  if (!same_file(w, st)) {
    ::close(w);
    return Error::none;
  }
  ::close(fd_of(h));
  h = w;
  if (!fifo_has_reader(name)) {
    // No reader yet: wait for one, as the first write would have.
    const int waited = open_cloexec(name, O_WRONLY);
    if (waited < 0) return last_error();
    ::close(w);
    h = w = waited;
    if (!same_file(w, st)) return Error::other;
  }
  return ::fcntl(w, F_SETFL, ::fcntl(w, F_GETFL) & ~O_NONBLOCK) == 0 ? Error::none : last_error();
}

// Not retried: after an interrupted close the descriptor's state is unknown.
Error close(Handle h) { return ::close(fd_of(h)) == 0 ? Error::none : last_error(); }

Temporary create_temporary_beside(const std::string& target) {
  Temporary t;
  char* resolved = ::realpath(target.c_str(), nullptr);
  if (resolved == nullptr) {
    t.error = last_error();
    return t;
  }
  t.replaces = resolved;
  std::free(resolved);
  struct stat st {};
  if (::stat(t.replaces.c_str(), &st) != 0) {
    t.error = last_error();
    return t;
  }
  // Hidden, and marked as unfinished for anyone who lists the directory.
  std::string pattern = directory_of(t.replaces) + "/." + base_name_of(t.replaces) + ".partial-XXXXXX";
  // No ending signal between the file's creation and its registration for
  // removal: one that comes meanwhile is delivered after, and removes it.
  const sigset_t before = block_ending_signals();
  const int fd = ::mkstemp(pattern.data());
  const Error made = fd < 0 ? last_error() : Error::none;
  if (fd >= 0) remove_on_termination_signal(pattern);
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (fd < 0) {
    t.error = made;
    return t;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  t.handle = fd;
  t.path = pattern;
  if (::fchmod(fd, st.st_mode & 07777) != 0) {
    t.error = last_error();
    ::close(fd);
    ::unlink(t.path.c_str());
    t.handle = kNoHandle;
  }
  return t;
}

Error replace(const Temporary& t) {
  return ::rename(t.path.c_str(), t.replaces.c_str()) == 0 ? Error::none : last_error();
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

void remove_on_termination_signal(const std::string& path) {
  char* fresh = nullptr;
  if (!path.empty()) {
    fresh = static_cast<char*>(std::malloc(path.size() + 1));
    if (fresh != nullptr) std::memcpy(fresh, path.c_str(), path.size() + 1);
    catch_ending_signals_once();
  }
  const sigset_t before = block_ending_signals();
  char* old = g_doomed.exchange(fresh);
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  std::free(old);
}

// The memory of the arrays.

namespace {

// From this size on a block comes straight from the system, in huge pages
// where the system allows them: first touching hundreds of megabytes page by
// page costs more than computing on them. Smaller blocks come from calloc,
// whose fresh pages are zero and untouched too.
constexpr std::size_t kMapFrom = std::size_t{64} << 20;

#if defined(MAP_ANONYMOUS)
constexpr bool kCanMap = true;

void* map_zeroed(std::size_t bytes) {
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
#if defined(MADV_HUGEPAGE)
  (void)::madvise(p, bytes, MADV_HUGEPAGE);  // a hint; without it the run is only slower
#endif
  return p;
}
#else
constexpr bool kCanMap = false;

void* map_zeroed(std::size_t) { return nullptr; }
#endif

bool mapped(std::size_t bytes) { return kCanMap && bytes >= kMapFrom; }

std::optional<std::string> read_system_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

std::uint64_t page_size() {
  const long p = ::sysconf(_SC_PAGESIZE);
  return p > 0 ? static_cast<std::uint64_t>(p) : 4096;
}

std::uint64_t limit_of(int resource) {
  rlimit l{};
  if (::getrlimit(resource, &l) != 0 || l.rlim_cur == RLIM_INFINITY) return kUnlimited;
  return static_cast<std::uint64_t>(l.rlim_cur);
}

// The physical memory, where /proc/meminfo does not tell what is available.
std::uint64_t physical_memory() {
#if defined(_SC_PHYS_PAGES)
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  if (pages > 0) return static_cast<std::uint64_t>(pages) * page_size();
#endif
  return kUnlimited;
}

}  // namespace

void* obtain_zeroed(std::size_t bytes) {
  if (bytes == 0) return nullptr;
  return mapped(bytes) ? map_zeroed(bytes) : std::calloc(bytes, 1);
}

void release(void* p, std::size_t bytes) {
  if (p == nullptr) return;
  if (mapped(bytes)) {
    (void)::munmap(p, bytes);
  } else {
    std::free(p);
  }
}

std::size_t memory_available() {
  const ProcessUse use = process_use(read_system_text, page_size());
  std::uint64_t least = room_below({limit_of(RLIMIT_AS), use.address_space});
#if defined(RLIMIT_DATA)
  least = std::min(least, room_below({limit_of(RLIMIT_DATA), use.data}));
#endif
  least = std::min(least, control_group_room(read_system_text));
  least = std::min(least, machine_room(read_system_text).value_or(physical_memory()));
  return static_cast<std::size_t>(std::min<std::uint64_t>(least, SIZE_MAX));
}

std::thread start_thread(void (*run)(void*), void* arg) {
  // The new thread takes the mask of the one that starts it.
  const sigset_t before = block_ending_signals();
  try {
    std::thread t(run, arg);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return t;
  } catch (...) {
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    throw;
  }
}

int processors_usable() {
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 && online < INT_MAX ? static_cast<int>(online) : 1;
}

}  // namespace platform
