// The one seam to the operating system: the standard streams and the
// console, files (open, read, write, truncate, close, replace), signals and
// the memory of the arrays, the processors. One implementation file per system
// (os_posix.cpp, os_windows.cpp); nothing else under src/ includes a system
// header. Calls interrupted by a signal are retried inside this layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

namespace platform {

// A file or stream of the system: a descriptor, or a handle.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// What a failed call means to the run; the text layer turns it into the
// number and message of its report.
enum class Error {
  none,
  not_found,      // no file of that name
  no_directory,   // a directory of the path does not exist
  access_denied,  // refused: permissions, a read-only file system, a directory
  disk_full,      // no room left on the device or in the quota
  too_large,      // beyond the file-size limit of the process
  replace_refused,  // one file may not take another's place there (a mount point, a
                    // guarded directory, another file system), where writing in
                    // place may still go through
  other,
};

enum class StdStream { in, out, err };

// Once, before anything else: a standard stream that is closed is attached
// to the null device, so that no file of the run takes its place; a broken
// pipe and the file-size limit become errors of the call, not signals; the
// standard streams pass every byte unchanged (binary mode).
void start_process();

Handle std_stream(StdStream s);

// An interactive console (a terminal), as opposed to a file or a pipe.
bool is_console(Handle h);

// What a name or an open handle is.
enum class Kind { missing, regular, directory, stream };  // stream: pipe, FIFO, device
Kind kind_of(const std::string& name);  // follows symbolic links
Kind kind_of(Handle h);

enum class Access { read_write, read_only, write_only };

struct Opened {
  Handle handle = kNoHandle;
  Access access = Access::read_write;
  Error error = Error::none;  // when handle is kNoHandle
};

// Read-write, else read-only, else write-only; the error is that of the
// read-write attempt. A missing file is created empty when create is set;
// when it is not, a missing file is not_found if its directory exists,
// no_directory otherwise.
Opened open_with_fallbacks(const std::string& name, bool create);
Opened open_read_only(const std::string& name);

// What a name or handle stands for, so that two spellings of one file (a
// link, `./x`, `..`) are told to be one: the device and file number where
// it exists, else the absolute path its name would have.
struct Identity {
  bool exists = false;
  std::uint64_t device = 0, file = 0;
  std::string path;
};
Identity identity_of(const std::string& name);
// The bytes a regular file holds, for a reader to make room at once; 0 for
// anything else (a pipe, a terminal) or where it cannot be told.
std::uint64_t regular_file_size(Handle h);
Identity identity_of(Handle h);
bool same_identity(const Identity& a, const Identity& b);

// The name stands for a descriptor of this process (/dev/stdout, /dev/fd/3,
// a link to one): a new handle of that descriptor, written as it is (at its
// offset, appending where it appends); kNoHandle otherwise.
Handle descriptor_named(const std::string& name);
Handle duplicate(Handle h);

// Up to n bytes; got is 0 at the end of the input.
Error read(Handle h, char* buf, std::size_t n, std::size_t& got);
// All n bytes, short writes continued.
Error write_all(Handle h, const char* bytes, std::size_t n);
Error truncate_to_empty(Handle h);

// A FIFO opened for reading and writing is its own reader: were the reader
// at the other end to go, a write would wait for ever. Before the first
// write, such a FIFO is opened again by name for writing only, h made the
// new handle and the first one closed, waiting for a reader when there is
// none yet; then the reader's going is an error of the write. Anything else,
// or a name that no longer leads to the same FIFO, is left as it is.
Error write_only_if_fifo(Handle& h, const std::string& name);
Error close(Handle h);

// Replacing a file whole or not at all. The place of the file is its
// directory, held open from the start so that no later step depends on the
// directory's name, and the file's name in it; for a symbolic link, the
// place of the file it leads to; for a missing name, the place a new file of
// that name would take. A place without a directory (kNoHandle): the name is
// neither a regular file nor missing, or its directory cannot be opened.
struct Place {
  Handle directory = kNoHandle;
  std::string name;
};
Place place_of(const std::string& name);
void close_place(Place& place);

// The file at the place now: file itself while it stands there; else (it
// was removed or renamed away) what stands there now, opened with fallbacks,
// file then closed. Nothing there: kNoHandle and not_found (file closed).
Opened reopen_at_place(const Opened& file, const Place& place);

// A new file at the place would keep everything file has: file stands there
// with one link and no extended attributes (access lists) and is no mount
// point, and its directory lets it be replaced (not guarded against
// changes, not sticky for this user). Whether owner and group can be given
// is known only at the temporary's creation.
bool replaceable(Handle file, const Place& place);

// A new, empty file with a hidden name at the place, with the permission
// bits, owner and group of like (kNoHandle: those of a new file); an error
// when any of them cannot be given.
// From its creation it is removed if a signal ends the run, until it
// replaces its file or is removed.
// Temporaries unfinished at once that an ending signal still removes: two
// for each run of a batch going at a time, and the batch's dataset.
inline constexpr std::size_t kMostTemporaries = 160;

struct Temporary {
  Handle handle = kNoHandle;
  Handle directory = kNoHandle;  // the place's
  std::string name;              // the hidden file's, in the directory
  std::string replaces;          // the file it will replace, in the directory
  Error error = Error::none;
};
Temporary create_temporary(const Place& place, Handle like);
// The closed temporary takes the place of its file, in one step.
Error replace(const Temporary& t);
// The closed temporary's content written over its file, in place, when the
// system refuses the replacement.
Error copy_over(const Temporary& t);
void remove_temporary(const Temporary& t);

// So that a replacement can be undone while the other output of the run
// fails: a second, hidden name for the file t replaces (empty when the
// system gives none, then nothing can be undone); put_back makes it the
// file again, or, with none (there was no file), removes the new one;
// drop_aside removes the second name once the change stands.
std::string keep_aside(const Temporary& t);
Error put_back(const Temporary& t, const std::string& aside);
void drop_aside(const Temporary& t, const std::string& aside);

// The sent signals that end the run held back in this thread while the
// outputs take their places one after the other, so that they change as one:
// a signal that comes meanwhile ends the run once all have been replaced.
void hold_ending_signals();
void release_ending_signals();

// Ends the process at once with status, the temporaries removed first: for
// when memory is out even for the report.
[[noreturn]] void end_at_once(int status);

// The memory of the arrays: bytes, all zero, untouched until written; null
// when the system refuses.
void* obtain_zeroed(std::size_t bytes);
void release(void* p, std::size_t bytes);
// Makes [p, p + bytes), not touched yet, present in one call: a block of a
// hundred megabytes from the allocator would otherwise be met by tens of
// thousands of page faults as it is first written. Only a way to be faster.
void make_present(void* p, std::size_t bytes);
// Bytes this process may still write into: the least of its address-space
// and data limits, the limit of its control group and the machine's memory.
std::size_t memory_available();

// The processors this process may run on (its affinity mask), at least 1.
int processors_usable();

// How the system's text lines end: LF, or CR LF on Windows. The logs of
// this program's own making end so; the old console keeps its CR LF.
std::string_view line_end();

// Starts run(arg) on a new thread with the signals that end the run blocked
// in it: they reach the main thread, as they did before it was there. Throws
// std::system_error when no thread is to be had (a process limit).
std::thread start_thread(void (*run)(void*), void* arg);

}  // namespace platform
