// The operating-system seam on Windows, with the Win32 API only: handles
// are read and written with ReadFile and WriteFile, so no byte is added or
// removed on the way (no text mode anywhere), and the console is read with
// ReadConsoleA, which hands over a Ctrl-Z typed at the start of a line as
// the byte it is instead of an end of input.
#include "platform/os.hpp"
#include "platform/fault_seam.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <system_error>
#include <thread>

namespace platform {
namespace {

HANDLE as_win(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle as_handle(HANDLE h) { return reinterpret_cast<Handle>(h); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Error error_of(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return Error::none;
    case ERROR_FILE_NOT_FOUND:
      return Error::not_found;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return Error::no_directory;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_INVALID_HANDLE:
      return Error::access_denied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Error::disk_full;
    case ERROR_FILE_TOO_LARGE:
      return Error::too_large;
    case ERROR_NOT_SAME_DEVICE:
      return Error::replace_refused;
    default:
      return Error::other;
  }
}

Error last_error() { return error_of(::GetLastError()); }

// The system error a planned fault of the seam stands for.
DWORD code_of(Error e) {
  switch (e) {
    case Error::none: return ERROR_SUCCESS;
    case Error::not_found: return ERROR_FILE_NOT_FOUND;
    case Error::no_directory: return ERROR_PATH_NOT_FOUND;
    case Error::access_denied: return ERROR_ACCESS_DENIED;
    case Error::disk_full: return ERROR_DISK_FULL;
    case Error::too_large: return ERROR_FILE_TOO_LARGE;
    case Error::replace_refused: return ERROR_NOT_SAME_DEVICE;
    case Error::other: return ERROR_GEN_FAILURE;
  }
  return ERROR_GEN_FAILURE;
}

// The fault seam makes this call fail: its error is then the last error.
bool fails_as_planned(Call kind) {
  const Error planned = fault_seam::injected(kind);
  if (planned == Error::none) return false;
  ::SetLastError(code_of(planned));
  return true;
}

HANDLE create_file(const std::string& name, DWORD access, DWORD disposition, DWORD flags) {
  if (fails_as_planned(Call::open)) return INVALID_HANDLE_VALUE;
  return ::CreateFileA(name.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
}

// Backup semantics let a directory be opened for reading, as on POSIX, so
// that it fails at its first read rather than at the open.
HANDLE open_existing_or_new(const std::string& name, DWORD access, DWORD disposition) {
  const DWORD flags = access == GENERIC_READ ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
  return create_file(name, access, disposition, flags);
}

// The temporaries removed when the console is interrupted or closed, the
// user logs off or the system shuts down (the training file's and the dates
// file's are unfinished at once, on every thread of a batch): each its directory and a fixed buffer for
// its name, since the handler runs on a thread of its own at any moment.
struct Doomed {
  enum State { empty, naming, named, removing };
  std::atomic<int> state{empty};
  std::atomic<HANDLE> directory{nullptr};
  char name[MAX_PATH];
};
Doomed g_doomed[kMostTemporaries];

std::string path_in(HANDLE directory, const std::string& name);

// The threads whose outputs are taking their places: the handler waits
// for the last of them.
std::atomic<int> g_holding{0};

// While it lives, a console event waits: no temporary made meanwhile is missed.
struct Holding {
  Holding() { g_holding.fetch_add(1); }
  ~Holding() { g_holding.fetch_sub(1); }
  Holding(const Holding&) = delete;
  Holding& operator=(const Holding&) = delete;
};

BOOL WINAPI on_console_event(DWORD) {
  while (g_holding.load() > 0) ::Sleep(1);
  for (Doomed& d : g_doomed) {
    // Claimed first: a thread settling its temporary meanwhile leaves the name alone.
    int named = Doomed::named;
    if (d.state.compare_exchange_strong(named, Doomed::removing)) {
      ::DeleteFileA(path_in(d.directory.load(), d.name).c_str());
    }
  }
  return FALSE;  // the default handling then ends the process
}

// Names a temporary for removal, in a free slot.
void doom_on_console_event(HANDLE directory, const std::string& name) {
  if (name.size() >= MAX_PATH) return;
  for (Doomed& d : g_doomed) {
    int expected = Doomed::empty;
    if (!d.state.compare_exchange_strong(expected, Doomed::naming)) continue;
    std::memcpy(d.name, name.c_str(), name.size() + 1);
    d.directory.store(directory);
    d.state.store(Doomed::named);
    return;
  }
}

// The temporary is settled: no console event removes it any more.
void spare_on_console_event(HANDLE directory, const std::string& name) {
  for (Doomed& d : g_doomed) {
    if (d.state.load() == Doomed::named && d.directory.load() == directory && name == d.name) {
      int named = Doomed::named;
      (void)d.state.compare_exchange_strong(named, Doomed::empty);
      return;
    }
  }
}

// A standard handle that is missing is replaced by the null device, so that
// no file of the run is ever taken for it.
void attach_null_if_missing(DWORD which) {
  const HANDLE h = ::GetStdHandle(which);
  if (h != nullptr && h != INVALID_HANDLE_VALUE) return;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE null_device = ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, kShareAll,
                                           &inherit, OPEN_EXISTING, 0, nullptr);
  if (null_device != INVALID_HANDLE_VALUE) ::SetStdHandle(which, null_device);
}

// The directory part with its separator ("" for the current directory),
// and the name within it.
std::size_t name_start(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? 0 : slash + 1;
}

// The file a symbolic link stands for; the name itself for anything else.
std::string final_name(const std::string& name) {
  const DWORD attrs = ::GetFileAttributesA(name.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return name;
  const HANDLE h = ::CreateFileA(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return name;
  char buf[MAX_PATH * 4];
  const DWORD n = ::GetFinalPathNameByHandleA(h, buf, sizeof buf, FILE_NAME_NORMALIZED);
  ::CloseHandle(h);
  if (n == 0 || n >= sizeof buf) return name;
  std::string resolved(buf, n);
  if (resolved.rfind("\\\\?\\", 0) == 0) resolved.erase(0, 4);
  return resolved;
}

}  // namespace

void start_process() {
  // No message box for a drive without a medium: the open simply fails.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  attach_null_if_missing(STD_INPUT_HANDLE);
  attach_null_if_missing(STD_OUTPUT_HANDLE);
  attach_null_if_missing(STD_ERROR_HANDLE);
  // The run writes through the handles, but whatever goes through the C
  // runtime passes unchanged too.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::_get_osfhandle(fd) != -1) ::_setmode(fd, _O_BINARY);
  }
  ::SetConsoleCtrlHandler(on_console_event, TRUE);
}

Handle std_stream(StdStream s) {
  const DWORD which = s == StdStream::in    ? STD_INPUT_HANDLE
                      : s == StdStream::out ? STD_OUTPUT_HANDLE
                                            : STD_ERROR_HANDLE;
  const HANDLE h = ::GetStdHandle(which);
  return h == nullptr ? kNoHandle : as_handle(h);
}

bool is_console(Handle h) {
  DWORD mode = 0;
  return h != kNoHandle && ::GetConsoleMode(as_win(h), &mode) != 0;
}

Kind kind_of(Handle h) {
  if (h == kNoHandle) return Kind::missing;
  switch (::GetFileType(as_win(h))) {
    case FILE_TYPE_DISK: {
      BY_HANDLE_FILE_INFORMATION info{};
      if (::GetFileInformationByHandle(as_win(h), &info) == 0) return Kind::regular;
      return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::directory : Kind::regular;
    }
    case FILE_TYPE_CHAR:
    case FILE_TYPE_PIPE:
      return Kind::stream;
    default:
      return ::GetLastError() == NO_ERROR ? Kind::stream : Kind::missing;
  }
}

Kind kind_of(const std::string& name) {
  const HANDLE h = ::CreateFileA(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD attrs = ::GetFileAttributesA(name.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return Kind::missing;
    return (attrs & FILE_ATTRIBUTE_DIRECTORY) ? Kind::directory : Kind::regular;
  }
  const Kind k = kind_of(as_handle(h));
  ::CloseHandle(h);
  return k;
}

Opened open_with_fallbacks(const std::string& name, bool create) {
  const DWORD disposition = create ? OPEN_ALWAYS : OPEN_EXISTING;
  Opened o;
  HANDLE h = open_existing_or_new(name, GENERIC_READ | GENERIC_WRITE, disposition);
  if (h != INVALID_HANDLE_VALUE) return {as_handle(h), Access::read_write, Error::none};
  o.error = last_error();
  h = open_existing_or_new(name, GENERIC_READ, OPEN_EXISTING);
  if (h != INVALID_HANDLE_VALUE) return {as_handle(h), Access::read_only, Error::none};
  h = open_existing_or_new(name, GENERIC_WRITE, OPEN_EXISTING);
  if (h != INVALID_HANDLE_VALUE) return {as_handle(h), Access::write_only, Error::none};
  return o;
}

Opened open_read_only(const std::string& name) {
  const HANDLE h = open_existing_or_new(name, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return {kNoHandle, Access::read_only, last_error()};
  return {as_handle(h), Access::read_only, Error::none};
}

namespace {

// The absolute path a name would have, its directory resolved, in one case.
std::string resolved_path(const std::string& name) {
  char full[MAX_PATH * 4];
  const DWORD n = ::GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
  std::string path = n == 0 || n >= sizeof full ? name : std::string(full, n);
  const std::size_t at = name_start(path);
  if (at > 0) {
    const HANDLE dir = ::CreateFileA(path.substr(0, at).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (dir != INVALID_HANDLE_VALUE) {
      char buf[MAX_PATH * 4];
      const DWORD m = ::GetFinalPathNameByHandleA(dir, buf, sizeof buf, FILE_NAME_NORMALIZED);
      ::CloseHandle(dir);
      if (m != 0 && m < sizeof buf) {
        std::string d(buf, m);
        if (d.back() != '\\') d += '\\';
        path = d + path.substr(at);
      }
    }
  }
  for (char& c : path) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return path;
}

Identity identity_of_info(const BY_HANDLE_FILE_INFORMATION& info) {
  Identity id;
  id.exists = true;
  id.device = info.dwVolumeSerialNumber;
  id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return id;
}

}  // namespace

Identity identity_of(Handle h) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (h == kNoHandle || ::GetFileInformationByHandle(as_win(h), &info) == 0) return {};
  return identity_of_info(info);
}

Identity identity_of(const std::string& name) {
  const HANDLE h = ::CreateFileA(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    Identity id = identity_of(as_handle(h));
    ::CloseHandle(h);
    if (id.exists) return id;
  }
  Identity id;
  id.path = resolved_path(name);
  return id;
}

std::uint64_t regular_file_size(Handle h) {
  LARGE_INTEGER size{};
  if (h == kNoHandle || ::GetFileType(as_win(h)) != FILE_TYPE_DISK || ::GetFileSizeEx(as_win(h), &size) == 0 ||
      size.QuadPart < 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool same_identity(const Identity& a, const Identity& b) {
  if (a.exists != b.exists) return false;
  if (a.exists) return a.device == b.device && a.file == b.file;
  return !a.path.empty() && a.path == b.path;
}

// No name stands for a handle of the process here.
Handle descriptor_named(const std::string&) { return kNoHandle; }

Handle duplicate(Handle h) {
  HANDLE copy = nullptr;
  const HANDLE self = ::GetCurrentProcess();
  if (!::DuplicateHandle(self, as_win(h), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return kNoHandle;
  return as_handle(copy);
}

Error read(Handle h, char* buf, std::size_t n, std::size_t& got) {
  got = 0;
  DWORD done = 0;
  BOOL ok = FALSE;
  if (fails_as_planned(Call::read)) return last_error();
  if (is_console(h)) {
    // The console refuses very large buffers; a typed line is short anyway.
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 16384));
    ok = ::ReadConsoleA(as_win(h), buf, want, &done, nullptr);
  } else {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    ok = ::ReadFile(as_win(h), buf, want, &done, nullptr);
  }
  if (!ok) {
    const DWORD code = ::GetLastError();
    // The writer of a pipe has gone: the end of the input.
    if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return Error::none;
    return error_of(code);
  }
  got = done;
  return Error::none;
}

Error write_all(Handle h, const char* bytes, std::size_t n) {
  while (n > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    DWORD done = 0;
    if (fails_as_planned(Call::write)) return last_error();
    if (!::WriteFile(as_win(h), bytes, chunk, &done, nullptr)) return last_error();
    if (done == 0) return Error::other;
    bytes += done;
    n -= done;
  }
  return Error::none;
}

// A device or a pipe has no length to cut; an empty file needs no cut.
Error truncate_to_empty(Handle h) {
  if (::GetFileType(as_win(h)) != FILE_TYPE_DISK) return Error::none;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(as_win(h), &size)) return last_error();
  if (size.QuadPart == 0) return Error::none;
  const LARGE_INTEGER start{};
  if (fails_as_planned(Call::truncate)) return last_error();
  if (!::SetFilePointerEx(as_win(h), start, nullptr, FILE_BEGIN)) return last_error();
  return ::SetEndOfFile(as_win(h)) ? Error::none : last_error();
}

// A named pipe's server end does not read its own writes: nothing to do.
Error write_only_if_fifo(Handle&, const std::string&) { return Error::none; }

Error close(Handle h) {
  if (h == kNoHandle) return Error::none;
  if (fails_as_planned(Call::close)) return last_error();
  return ::CloseHandle(as_win(h)) ? Error::none : last_error();
}

namespace {

// The path of a name in a directory held open, wherever the directory is
// now; in the long form (\\?\), which every call here takes.
std::string path_in(HANDLE directory, const std::string& name) {
  char buf[MAX_PATH * 4];
  const DWORD n = ::GetFinalPathNameByHandleA(directory, buf, sizeof buf, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= sizeof buf) return name;
  std::string path(buf, n);
  if (path.back() != '\\') path += '\\';
  return path + name;
}

std::string path_in(const Place& place) { return path_in(as_win(place.directory), place.name); }

bool info_of(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) {
  return ::GetFileInformationByHandle(h, &info) != 0;
}

bool same_file(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// The file that stands at the path is the one of info; a link to it is not.
bool stands_at(const BY_HANDLE_FILE_INFORMATION& info, const std::string& path) {
  const HANDLE h = ::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION at{};
  const bool same = info_of(h, at) && same_file(info, at) &&
                    (at.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  ::CloseHandle(h);
  return same;
}

bool refused(DWORD code) {
  return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ||
         code == ERROR_LOCK_VIOLATION || code == ERROR_NOT_SAME_DEVICE;
}

}  // namespace

Place place_of(const std::string& name) {
  Place p;
  const Kind kind = kind_of(name);
  if (kind != Kind::regular && kind != Kind::missing) return p;
  const std::string target = kind == Kind::missing ? name : final_name(name);
  char full[MAX_PATH * 4];
  const DWORD n = ::GetFullPathNameA(target.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return p;
  const std::string path(full, n);
  const std::size_t at = name_start(path);
  if (at == 0 || at == path.size()) return p;
  // The directory without its last separator, unless it is a drive's root.
  std::string directory = path.substr(0, at);
  if (directory.size() > 1 && directory[directory.size() - 2] != ':') directory.pop_back();
  const HANDLE dir = create_file(directory, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS);
  if (dir == INVALID_HANDLE_VALUE) return p;
  p.directory = as_handle(dir);
  p.name = path.substr(at);
  return p;
}

void close_place(Place& place) {
  if (place.directory != kNoHandle) ::CloseHandle(as_win(place.directory));
  place.directory = kNoHandle;
}

Opened reopen_at_place(const Opened& file, const Place& place) {
  BY_HANDLE_FILE_INFORMATION info{};
  const std::string path = path_in(place);
  if (file.handle != kNoHandle && info_of(as_win(file.handle), info)) {
    const HANDLE h = ::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION at{};
    const bool same = h != INVALID_HANDLE_VALUE && info_of(h, at) && same_file(info, at);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    if (same) return file;
  }
  const Opened fresh = open_with_fallbacks(path, false);
  if (file.handle != kNoHandle) (void)close(file.handle);
  return fresh;
}

bool replaceable(Handle file, const Place& place) {
  BY_HANDLE_FILE_INFORMATION info{};
  return info_of(as_win(file), info) && info.nNumberOfLinks == 1 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0 && stands_at(info, path_in(place));
}

Temporary create_temporary(const Place& place, Handle) {
  Temporary t;
  t.directory = place.directory;
  t.replaces = place.name;
  // Hidden, and marked as unfinished for anyone who lists the directory.
  const std::string stem =
      "." + place.name + ".partial-" + std::to_string(::GetCurrentProcessId()) + "-";
  const Holding holding;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    t.name = stem + std::to_string(::GetTickCount() + attempt);
    // Named for removal before it exists: a Ctrl-C handled on its own thread
    // right after the creation still finds it.
    doom_on_console_event(as_win(place.directory), t.name);
    const HANDLE h = create_file(path_in(as_win(place.directory), t.name),
                                 GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN);
    if (h != INVALID_HANDLE_VALUE) {
      t.handle = as_handle(h);
      return t;
    }
    spare_on_console_event(as_win(place.directory), t.name);  // leaves the last error
    if (::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  t.error = last_error();
  return t;
}

Error replace(const Temporary& t) {
  // The new file takes the attributes of the one it replaces.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  const std::string from = path_in(as_win(t.directory), t.name);
  const std::string to = path_in(as_win(t.directory), t.replaces);
  const DWORD old_attrs = ::GetFileAttributesA(to.c_str());
  const DWORD attrs = old_attrs == INVALID_FILE_ATTRIBUTES || (old_attrs & kKept) == 0
                          ? FILE_ATTRIBUTE_NORMAL
                          : old_attrs & kKept;
  ::SetFileAttributesA(from.c_str(), attrs);
  if (!fails_as_planned(Call::rename) &&
      ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    spare_on_console_event(as_win(t.directory), t.name);
    return Error::none;
  }
  const DWORD code = ::GetLastError();
  return refused(code) ? Error::replace_refused : error_of(code);
}

Error copy_over(const Temporary& t) {
  const HANDLE from = create_file(path_in(as_win(t.directory), t.name), GENERIC_READ,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (from == INVALID_HANDLE_VALUE) return last_error();
  const HANDLE to = create_file(path_in(as_win(t.directory), t.replaces), GENERIC_WRITE,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  Error error = to == INVALID_HANDLE_VALUE ? last_error() : truncate_to_empty(as_handle(to));
  char buf[1 << 16];
  for (std::size_t got = 1; error == Error::none && got > 0;) {
    error = read(as_handle(from), buf, sizeof buf, got);
    if (error == Error::none) error = write_all(as_handle(to), buf, got);
  }
  ::CloseHandle(from);
  if (to != INVALID_HANDLE_VALUE) {
    const Error closed = close(as_handle(to));
    if (error == Error::none) error = closed;
  }
  return error;
}

std::string keep_aside(const Temporary& t) {
  const std::string to = path_in(as_win(t.directory), t.replaces);
  const std::string stem = "." + t.replaces + ".earlier-" + std::to_string(::GetCurrentProcessId()) + "-";
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string aside = stem + std::to_string(::GetTickCount() + attempt);
    if (::CreateHardLinkA(path_in(as_win(t.directory), aside).c_str(), to.c_str(), nullptr)) return aside;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return {};
}

Error put_back(const Temporary& t, const std::string& aside) {
  const std::string to = path_in(as_win(t.directory), t.replaces);
  if (aside.empty()) {
    if (fails_as_planned(Call::remove)) return last_error();
    return ::DeleteFileA(to.c_str()) ? Error::none : last_error();
  }
  if (fails_as_planned(Call::rename)) return last_error();
  return ::MoveFileExA(path_in(as_win(t.directory), aside).c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)
             ? Error::none
             : last_error();
}

void drop_aside(const Temporary& t, const std::string& aside) {
  if (!aside.empty()) ::DeleteFileA(path_in(as_win(t.directory), aside).c_str());
}

void remove_temporary(const Temporary& t) {
  if (!fails_as_planned(Call::remove)) {
    ::DeleteFileA(path_in(as_win(t.directory), t.name).c_str());
  }
  spare_on_console_event(as_win(t.directory), t.name);
}

void end_at_once(int status) {
  for (Doomed& d : g_doomed) {
    int named = Doomed::named;
    if (d.state.compare_exchange_strong(named, Doomed::removing)) {
      ::DeleteFileA(path_in(d.directory.load(), d.name).c_str());
    }
  }
  ::ExitProcess(static_cast<UINT>(status));
  for (;;) ::Sleep(INFINITE);  // not reached
}

void hold_ending_signals() { g_holding.fetch_add(1); }
void release_ending_signals() { g_holding.fetch_sub(1); }

void* obtain_zeroed(std::size_t bytes) {
  if (bytes == 0 || fails_as_planned(Call::allocate)) return nullptr;
  // Committed pages read as zero and take no memory until first written.
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void release(void* p, std::size_t) {
  if (p != nullptr) ::VirtualFree(p, 0, MEM_RELEASE);
}

// Committed pages are met by few enough faults.
void make_present(void*, std::size_t) {}

std::size_t memory_available() {
  unsigned long long least = std::numeric_limits<std::size_t>::max();
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  if (::GlobalMemoryStatusEx(&ms)) {
    least = std::min({least, ms.ullAvailVirtual, ms.ullTotalPhys, ms.ullAvailPageFile});
  }
  // A job object may cap the memory of the process or of the whole job.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
  if (::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job,
                                  nullptr)) {
    const DWORD flags = job.BasicLimitInformation.LimitFlags;
    if (flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) least = std::min<unsigned long long>(least, job.ProcessMemoryLimit);
    if (flags & JOB_OBJECT_LIMIT_JOB_MEMORY) least = std::min<unsigned long long>(least, job.JobMemoryLimit);
  }
  return static_cast<std::size_t>(least);
}

// No signal ends a run here but through the console's own handler thread.
std::thread start_thread(void (*run)(void*), void* arg) {
  if (fails_as_planned(Call::create_thread)) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  return std::thread(run, arg);
}

std::string_view line_end() { return "\r\n"; }

int processors_usable() {
  DWORD_PTR process = 0, system = 0;
  if (!::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system)) return 1;
  int n = 0;
  for (; process != 0; process &= process - 1) ++n;
  return n;
}

}  // namespace platform
