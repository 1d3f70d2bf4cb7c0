// The platform layer on a POSIX system.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#include <unistd.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/fault_seam.hpp"
#include "platform/memory_room.hpp"
#include "platform/os.hpp"

namespace platform {
namespace {

int fd_of(Handle h) { return static_cast<int>(h); }

// The errno a planned fault of the seam stands for.
int errno_of(Error e) {
  switch (e) {
    case Error::none: return 0;
    case Error::not_found: return ENOENT;
    case Error::no_directory: return ENOTDIR;
    case Error::access_denied: return EACCES;
    case Error::disk_full: return ENOSPC;
    case Error::too_large: return EFBIG;
    case Error::replace_refused: return EXDEV;
    case Error::other: return EIO;
  }
  return EIO;
}

// A system call of the given kind, once: -1 with the planned errno when the
// fault seam makes it fail.
template <typename Syscall>
auto call_once(Call kind, Syscall syscall) -> decltype(syscall()) {
  if (const Error planned = fault_seam::injected(kind); planned != Error::none) {
    errno = errno_of(planned);
    return -1;
  }
  return syscall();
}

// The same, run again while a signal interrupts it.
template <typename Syscall>
auto call(Call kind, Syscall syscall) -> decltype(syscall()) {
  for (;;) {
    const auto r = call_once(kind, syscall);
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
    case EXDEV: return Error::replace_refused;
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

int open_at(int dir, const std::string& name, int flags, mode_t mode = 0) {
  return call(Call::open, [&] { return ::openat(dir, name.c_str(), flags | O_CLOEXEC, mode); });
}

int open_cloexec(const std::string& name, int flags, mode_t mode = 0) {
  return open_at(AT_FDCWD, name, flags, mode);
}

// The open of a name that is not there: the file is missing when its
// directory exists, otherwise the path is.
Error missing_name_error(const std::string& name) {
  return kind_of(directory_of(name)) == Kind::directory ? Error::not_found : Error::no_directory;
}

// The temporaries that a signal ending the run removes, each its directory
// and a fixed buffer for its name: the training file's and the dates file's
// are unfinished at once, on every thread of a batch. A slot is claimed,
// filled and then marked named; the handler claims a named slot before it
// reads the name, so a thread settling its temporary meanwhile never
// changes a name being removed.
struct Doomed {
  enum State { empty, naming, named, removing };
  std::atomic<int> state{empty};
  std::atomic<int> directory{-1};
  char name[256];
};
Doomed g_doomed[kMostTemporaries];

// Signals whose default action ends the process, sent by another process or
// by a timer or limit: blocked while the temporary changes, and left to the
// main thread.
std::vector<int> sent_ending_signals() {
  std::vector<int> sigs = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2,
                           SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
#ifdef SIGPOLL
  sigs.push_back(SIGPOLL);
#endif
#ifdef SIGPWR
  sigs.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
  sigs.push_back(SIGSTKFLT);
#endif
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigs.push_back(sig);
#endif
  return sigs;
}

// Signals of a fault of the process itself: caught too, but never blocked,
// since a blocked fault signal kills without a handler.
constexpr int kFaultSignals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};

// The threads making a temporary (between its creation and its naming for
// removal) or putting a pair of outputs in place, and an ending signal that
// came to another thread meanwhile: the last of them sends it again once
// done, so that no temporary is left unnamed and no pair half replaced.
std::atomic<int> g_guarded{0};
std::atomic<int> g_deferred{0};
// Set once the handler goes on to end the run: no thread starts a guarded
// step after it, so no file is made while the temporaries are removed.
std::atomic<bool> g_ending{false};

bool is_fault(int sig) {
  for (const int fault : kFaultSignals) {
    if (sig == fault) return true;
  }
  return false;
}

extern "C" void remove_then_end(int sig) {
  const int saved = errno;
  if (!is_fault(sig)) g_ending.store(true);
  if (!is_fault(sig) && g_guarded.load() > 0) {
    g_deferred.store(sig);
    // Looked at again: a thread that left its guarded step in between may
    // have missed the signal, which then ends the run here.
    if (g_guarded.load() > 0) {
      errno = saved;
      return;
    }
  }
  for (Doomed& d : g_doomed) {
    int named = Doomed::named;
    if (d.state.compare_exchange_strong(named, Doomed::removing)) {
      ::unlinkat(d.directory.load(), d.name, 0);
    }
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);  // delivered with the default action once the handler returns
  errno = saved;
}

// A signal that is ignored stays ignored, and one with a handler of its own
// (a sanitizer's) keeps it.
void catch_signal(int sig) {
  struct sigaction old {};
  if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return;
  struct sigaction act {};
  act.sa_handler = remove_then_end;
  sigemptyset(&act.sa_mask);
  ::sigaction(sig, &act, nullptr);
}

// Once in the process, whichever thread of a batch comes first.
void catch_ending_signals_once() {
  static const bool caught = [] {
    for (const int sig : sent_ending_signals()) catch_signal(sig);
    for (const int sig : kFaultSignals) catch_signal(sig);
    return true;
  }();
  (void)caught;
}

// Blocks the sent ending signals in this thread; returns the mask to restore.
sigset_t block_ending_signals() {
  static const std::vector<int> sent = sent_ending_signals();
  sigset_t ending, before;
  sigemptyset(&ending);
  for (const int sig : sent) sigaddset(&ending, sig);
  ::pthread_sigmask(SIG_BLOCK, &ending, &before);
  return before;
}

void restore_signals(const sigset_t& before) { ::pthread_sigmask(SIG_SETMASK, &before, nullptr); }

// A step no ending signal may cut, on any thread: blocked in this one, and
// deferred by the handler on the others until the last such step is done.
sigset_t enter_guarded_step() {
  catch_ending_signals_once();  // before the first file is made
  const sigset_t before = block_ending_signals();
  g_guarded.fetch_add(1);
  if (g_ending.load()) {
    // The run is ending: this thread waits for the end, with the signals
    // it took as they were, so that the end can come to it too.
    g_guarded.fetch_sub(1);
    restore_signals(before);
    for (;;) ::pause();
  }
  return before;
}

void leave_guarded_step(const sigset_t& before) {
  if (g_guarded.fetch_sub(1) == 1) {
    // To the process: this thread may block it for good (a batch's worker).
    if (const int sig = g_deferred.exchange(0); sig != 0) (void)::kill(::getpid(), sig);
  }
  restore_signals(before);
}

// Names a temporary the ending signals remove, in a free slot. Blocked in
// this thread meanwhile, since the handler may run on it.
void doom_on_ending_signal(int directory, const std::string& name) {
  catch_ending_signals_once();
  if (name.size() >= sizeof Doomed{}.name) return;  // longer than any name the system makes
  const sigset_t before = block_ending_signals();
  for (Doomed& d : g_doomed) {
    int empty = Doomed::empty;
    if (!d.state.compare_exchange_strong(empty, Doomed::naming)) continue;
    std::memcpy(d.name, name.c_str(), name.size() + 1);
    d.directory.store(directory);
    d.state.store(Doomed::named);
    break;
  }
  restore_signals(before);
}

// The temporary is settled: no ending signal removes it any more. A slot
// the handler has claimed is left to it: the process is ending.
void spare_on_ending_signal(int directory, const std::string& name) {
  const sigset_t before = block_ending_signals();
  for (Doomed& d : g_doomed) {
    if (d.state.load() != Doomed::named || d.directory.load() != directory || name != d.name) continue;
    int named = Doomed::named;
    if (d.state.compare_exchange_strong(named, Doomed::naming)) {
      d.directory.store(-1);
      d.state.store(Doomed::empty);
    }
    break;
  }
  restore_signals(before);
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

namespace {

// Read-write, else read-only, else write-only, the name taken in directory;
// the error (errno) is that of the read-write attempt.
Opened open_at_with_fallbacks(int directory, const std::string& name, bool create, int& first_error) {
  Opened o;
  o.handle = open_at(directory, name, O_RDWR | (create ? O_CREAT : 0), 0666);
  if (o.handle >= 0) return o;
  first_error = errno;
  // A sticky directory's protection of other users' files refuses an open
  // that may create, where a plain one goes through.
  if (create && first_error == EACCES) {
    o.handle = open_at(directory, name, O_RDWR);
    if (o.handle >= 0) return o;
  }
  o.access = Access::read_only;
  o.handle = open_at(directory, name, O_RDONLY);
  if (o.handle >= 0) return o;
  o.access = Access::write_only;
  o.handle = open_at(directory, name, O_WRONLY);
  if (o.handle >= 0) return o;
  o.handle = kNoHandle;
  o.error = error_of(first_error);
  return o;
}

}  // namespace

Opened open_with_fallbacks(const std::string& name, bool create) {
  int first_error = 0;
  Opened o = open_at_with_fallbacks(AT_FDCWD, name, create, first_error);
  if (o.handle == kNoHandle && first_error == ENOENT) {
    o.error = create ? Error::no_directory : missing_name_error(name);
  }
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

namespace {

// The absolute path a name would have, its directory resolved.
std::string resolved_path(const std::string& name) {
  const std::string base = base_name_of(name);
  char* dir = ::realpath(directory_of(name).c_str(), nullptr);
  if (dir == nullptr) return name;
  std::string path = dir;
  std::free(dir);
  if (path != "/") path += '/';
  return path + base;
}

Identity identity_of_stat(const struct stat& st) {
  Identity id;
  id.exists = true;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.file = static_cast<std::uint64_t>(st.st_ino);
  return id;
}

// The descriptor a path names by itself: /dev/stdout, /dev/fd/N,
// /proc/self/fd/N (or this process's number); -1 for any other path.
int descriptor_of_path(const std::string& path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string& prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
                                   std::string("/proc/thread-self/fd/"), own}) {
    if (!path.starts_with(prefix) || path.size() == prefix.size() ||
        path.size() - prefix.size() > 9) {
      continue;
    }
    int fd = 0;
    for (std::size_t k = prefix.size(); k < path.size(); ++k) {
      if (path[k] < '0' || path[k] > '9') return -1;
      fd = fd * 10 + (path[k] - '0');
    }
    return fd;
  }
  return -1;
}

}  // namespace

Identity identity_of(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) return identity_of_stat(st);
  Identity id;
  id.path = resolved_path(name);
  return id;
}

Identity identity_of(Handle h) {
  struct stat st {};
  if (::fstat(fd_of(h), &st) == 0) return identity_of_stat(st);
  return {};
}

std::uint64_t regular_file_size(Handle h) {
  struct stat st {};
  if (::fstat(fd_of(h), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool same_identity(const Identity& a, const Identity& b) {
  if (a.exists != b.exists) return false;
  if (a.exists) return a.device == b.device && a.file == b.file;
  return !a.path.empty() && a.path == b.path;
}

Handle descriptor_named(const std::string& name) {
  std::string at = name;
  for (int hop = 0; hop < 40; ++hop) {
    if (const int fd = descriptor_of_path(at); fd >= 0) {
      return ::fcntl(fd, F_GETFD) == -1 ? kNoHandle : duplicate(fd);
    }
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return kNoHandle;
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = ::readlink(at.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return kNoHandle;
    std::string target(buf.data(), static_cast<std::size_t>(n));
    at = target[0] == '/' ? target : directory_of(at) + "/" + target;
  }
  return kNoHandle;
}

Handle duplicate(Handle h) {
  const int fd = ::fcntl(fd_of(h), F_DUPFD_CLOEXEC, 3);
  return fd < 0 ? kNoHandle : fd;
}

Error read(Handle h, char* buf, std::size_t n, std::size_t& got) {
  got = 0;
  if (n > SSIZE_MAX) n = SSIZE_MAX;
  const ssize_t r = call(Call::read, [&] { return ::read(fd_of(h), buf, n); });
  if (r < 0) return last_error();
  got = static_cast<std::size_t>(r);
  return Error::none;
}

Error write_all(Handle h, const char* bytes, std::size_t n) {
  while (n > 0) {
    const std::size_t chunk = n > SSIZE_MAX ? SSIZE_MAX : n;
    const ssize_t w = call(Call::write, [&] { return ::write(fd_of(h), bytes, chunk); });
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
  return call(Call::truncate, [&] { return ::ftruncate(fd_of(h), 0); }) == 0 ? Error::none
                                                                          : last_error();
}

namespace {

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool same_file(int fd, const struct stat& st) {
  struct stat now {};
  return ::fstat(fd, &now) == 0 && same_file(now, st);
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
Error close(Handle h) {
  return call_once(Call::close, [&] { return ::close(fd_of(h)); }) == 0 ? Error::none : last_error();
}

namespace {

#ifdef O_PATH
constexpr int kDirectoryFlags = O_PATH | O_DIRECTORY;  // no read permission needed
#else
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY;
#endif

// The name stands for the file: the name itself, not a link to it.
bool stands_at(const struct stat& file, const Place& place) {
  struct stat at {};
  return ::fstatat(fd_of(place.directory), place.name.c_str(), &at, AT_SYMLINK_NOFOLLOW) == 0 &&
         same_file(file, at);
}

#if defined(STATX_MNT_ID) && defined(AT_EMPTY_PATH)
bool statx_of(int fd, unsigned mask, struct statx& sx) {
  return ::statx(fd, "", AT_EMPTY_PATH, mask, &sx) == 0;
}

// The file is a mount point: of a file system of its own, or bound from
// another file of the same one.
bool mount_point(int file, int directory) {
  struct statx f {}, d {};
  if (!statx_of(file, STATX_MNT_ID, f) || !statx_of(directory, STATX_MNT_ID, d)) return false;
  if ((f.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (f.stx_attributes & STATX_ATTR_MOUNT_ROOT)) {
    return true;
  }
  return (f.stx_mask & d.stx_mask & STATX_MNT_ID) && f.stx_mnt_id != d.stx_mnt_id;
}

// No name in the directory may be removed or replaced: append-only or immutable.
bool guarded(int directory) {
  struct statx d {};
  return statx_of(directory, 0, d) &&
         (d.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0;
}
#else
bool mount_point(int, int) { return false; }
bool guarded(int) { return false; }
#endif

// Extended attributes a new file would not have: access lists, a user's
// notes. The security label is the system's, given to every new file.
bool extended_attributes(int fd) {
#if defined(__linux__)
  char names[4096];
  const ssize_t n = ::flistxattr(fd, names, sizeof names);
  if (n < 0) return errno == ERANGE;  // more than fit here
  for (const char* name = names; name < names + n; name += std::strlen(name) + 1) {
    if (std::strcmp(name, "security.selinux") != 0) return true;
  }
#else
  (void)fd;
#endif
  return false;
}

// A name no other file in the directory has yet is found in a few tries.
std::string hidden_name(const std::string& of, unsigned attempt, const char* mark = ".partial-") {
  static std::atomic<unsigned> made{0};
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::uint64_t n = static_cast<std::uint64_t>(::getpid()) * 2654435761u +
                    static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) +
                    made++ * 7919u + attempt;
  std::string suffix(6, '0');
  for (char& c : suffix) {
    c = kDigits[n % 36];
    n /= 36;
  }
  // Hidden, and marked as unfinished for anyone who lists the directory.
  return "." + of + mark + suffix;
}

// The owner and group of like, then its permission bits (a change of owner
// clears the set-user bits).
bool take_owner_and_mode(int fd, const struct stat& like) {
  struct stat now {};
  if (::fstat(fd, &now) != 0) return false;
  const uid_t owner = now.st_uid == like.st_uid ? static_cast<uid_t>(-1) : like.st_uid;
  const gid_t group = now.st_gid == like.st_gid ? static_cast<gid_t>(-1) : like.st_gid;
  if ((owner != static_cast<uid_t>(-1) || group != static_cast<gid_t>(-1)) &&
      ::fchown(fd, owner, group) != 0) {
    return false;
  }
  return ::fchmod(fd, like.st_mode & 07777) == 0;
}

}  // namespace

Place place_of(const std::string& name) {
  Place p;
  std::string target;
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0) {
    // Missing: the place a new file of that name takes.
    if (errno != ENOENT || base_name_of(name).empty()) return p;
    target = resolved_path(name);
  } else {
    if (kind_of(name) != Kind::regular) return p;
    char* resolved = ::realpath(name.c_str(), nullptr);
    if (resolved == nullptr) return p;
    target = resolved;
    std::free(resolved);
  }
  const int dir = open_cloexec(directory_of(target), kDirectoryFlags);
  if (dir < 0) return p;
  p.directory = dir;
  p.name = base_name_of(target);
  return p;
}

void close_place(Place& place) {
  if (place.directory != kNoHandle) ::close(fd_of(place.directory));
  place.directory = kNoHandle;
}

Opened reopen_at_place(const Opened& file, const Place& place) {
  struct stat st {}, at {};
  if (file.handle != kNoHandle && ::fstat(fd_of(file.handle), &st) == 0 &&
      ::fstatat(fd_of(place.directory), place.name.c_str(), &at, 0) == 0 && same_file(st, at)) {
    return file;
  }
  int first_error = 0;
  Opened fresh = open_at_with_fallbacks(fd_of(place.directory), place.name, false, first_error);
  if (fresh.handle == kNoHandle && first_error == ENOENT) fresh.error = Error::not_found;
  if (file.handle != kNoHandle) (void)close(file.handle);
  return fresh;
}

bool replaceable(Handle file, const Place& place) {
  struct stat f {}, d {};
  const int dir = fd_of(place.directory);
  if (::fstat(fd_of(file), &f) != 0 || ::fstat(dir, &d) != 0) return false;
  if (!S_ISREG(f.st_mode) || f.st_nlink != 1 || !stands_at(f, place)) return false;
  if (mount_point(fd_of(file), dir) || guarded(dir) || extended_attributes(fd_of(file))) return false;
  // In a sticky directory only the owner of the directory or of the file
  // may replace the file.
  const uid_t me = ::geteuid();
  return (d.st_mode & S_ISVTX) == 0 || d.st_uid == me || f.st_uid == me;
}

Temporary create_temporary(const Place& place, Handle like) {
  Temporary t;
  t.directory = place.directory;
  t.replaces = place.name;
  struct stat st {};
  if (like != kNoHandle && ::fstat(fd_of(like), &st) != 0) {
    t.error = last_error();
    return t;
  }
  const int dir = fd_of(place.directory);
  // No ending signal between the file's creation and its naming for removal:
  // one that comes meanwhile is delivered after, and removes it.
  const sigset_t before = enter_guarded_step();
  int fd = -1;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    t.name = hidden_name(place.name, attempt);
    fd = open_at(dir, t.name, O_RDWR | O_CREAT | O_EXCL, like == kNoHandle ? 0666 : 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  const Error made = fd < 0 ? last_error() : Error::none;
  if (fd >= 0) doom_on_ending_signal(dir, t.name);
  leave_guarded_step(before);
  if (fd < 0) {
    t.error = made;
    return t;
  }
  t.handle = fd;
  if (like != kNoHandle && !take_owner_and_mode(fd, st)) {
    t.error = last_error();
    ::close(fd);
    remove_temporary(t);
    t.handle = kNoHandle;
  }
  return t;
}

Error replace(const Temporary& t) {
  const int dir = fd_of(t.directory);
  const int r = call(Call::rename, [&] {
    return ::renameat(dir, t.name.c_str(), dir, t.replaces.c_str());
  });
  if (r != 0) {
    // Refused where a write in place may still go through.
    if (errno == EBUSY || errno == EXDEV || errno == EPERM || errno == EACCES) {
      return Error::replace_refused;
    }
    return last_error();
  }
  spare_on_ending_signal(dir, t.name);
  return Error::none;
}

Error copy_over(const Temporary& t) {
  const int dir = fd_of(t.directory);
  const int from = open_at(dir, t.name, O_RDONLY);
  if (from < 0) return last_error();
  const int to = open_at(dir, t.replaces, O_WRONLY);
  Error error = to < 0 ? last_error() : truncate_to_empty(to);
  char buf[1 << 16];
  for (std::size_t got = 1; error == Error::none && got > 0;) {
    error = read(from, buf, sizeof buf, got);
    if (error == Error::none) error = write_all(to, buf, got);
  }
  ::close(from);
  if (to >= 0) {
    const Error closed = close(to);
    if (error == Error::none) error = closed;
  }
  return error;
}

std::string keep_aside(const Temporary& t) {
  const int dir = fd_of(t.directory);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string aside = hidden_name(t.replaces, attempt, ".earlier-");
    if (::linkat(dir, t.replaces.c_str(), dir, aside.c_str(), 0) == 0) return aside;
    if (errno != EEXIST) break;
  }
  return {};
}

Error put_back(const Temporary& t, const std::string& aside) {
  const int dir = fd_of(t.directory);
  const int r = aside.empty()
                    ? call(Call::remove, [&] { return ::unlinkat(dir, t.replaces.c_str(), 0); })
                    : call(Call::rename, [&] { return ::renameat(dir, aside.c_str(), dir, t.replaces.c_str()); });
  return r == 0 ? Error::none : last_error();
}

void drop_aside(const Temporary& t, const std::string& aside) {
  if (!aside.empty()) (void)::unlinkat(fd_of(t.directory), aside.c_str(), 0);
}

void remove_temporary(const Temporary& t) {
  (void)call(Call::remove, [&] { return ::unlinkat(fd_of(t.directory), t.name.c_str(), 0); });
  spare_on_ending_signal(fd_of(t.directory), t.name);
}

namespace {
// Each thread of a batch holds the signals while it puts its own pair in place.
thread_local sigset_t g_held_before;
}  // namespace

void end_at_once(int status) {
  sigset_t all;  // nothing allocated here: memory is out
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
  for (Doomed& d : g_doomed) {
    int named = Doomed::named;
    if (d.state.compare_exchange_strong(named, Doomed::removing)) ::unlinkat(d.directory.load(), d.name, 0);
  }
  ::_exit(status);
}

void hold_ending_signals() { g_held_before = enter_guarded_step(); }
void release_ending_signals() { leave_guarded_step(g_held_before); }

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
  if (bytes == 0 || fault_seam::injected(Call::allocate) != Error::none) return nullptr;
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

void make_present(void* p, std::size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
  // Below a few pages the faults cost less than the call.
  constexpr std::size_t kPagesFrom = std::size_t{1} << 20;
  if (p == nullptr || bytes < kPagesFrom) return;
  // From the page the block starts in: the advice goes by whole pages.
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t page = start / page_size() * page_size();
  (void)::madvise(reinterpret_cast<void*>(page), bytes + (start - page), MADV_POPULATE_WRITE);
#else
  (void)p;
  (void)bytes;
#endif
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
  if (fault_seam::injected(Call::create_thread) != Error::none) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  // The new thread takes the mask of the one that starts it.
  const sigset_t before = block_ending_signals();
  try {
    std::thread t(run, arg);
    restore_signals(before);
    return t;
  } catch (...) {
    restore_signals(before);
    throw;
  }
}

std::string_view line_end() { return "\n"; }

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
