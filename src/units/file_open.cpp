#include "units/file_open.hpp"

#include "units/io_failure.hpp"

namespace units {

platform::Handle open_price_file(const std::string& name) {
  // Opened for writing too, a pipe would hold its own write end open and
  // never see its end.
  const platform::Opened file = platform::kind_of(name) == platform::Kind::stream
                                    ? platform::open_read_only(name)
                                    : platform::open_with_fallbacks(name, false);
  if (file.handle == platform::kNoHandle) throw failure_of(file.error, Statement::Open);
  return file.handle;
}

platform::Opened open_training_file(const std::string& name) {
  platform::Opened file = platform::open_with_fallbacks(name, false);
  if (file.handle == platform::kNoHandle && file.error == platform::Error::not_found) {
    // Nothing there yet: made only by a run that succeeds. A file made and
    // removed at once tells now whether it could be.
    platform::Place place = platform::place_of(name);
    if (place.directory == platform::kNoHandle) {
      file = platform::open_with_fallbacks(name, true);
    } else {
      const platform::Temporary probe = platform::create_temporary(place, platform::kNoHandle);
      if (probe.handle != platform::kNoHandle) {
        (void)platform::close(probe.handle);
        platform::remove_temporary(probe);
        file.error = platform::Error::none;
      } else {
        file.error = probe.error;
      }
      platform::close_place(place);
      if (file.error == platform::Error::none) return file;
    }
  }
  if (file.handle == platform::kNoHandle) throw failure_of(file.error, Statement::Open);
  if (platform::kind_of(file.handle) == platform::Kind::directory) {
    (void)platform::close(file.handle);
    throw IoFailure{fnum::kAccessDenied};
  }
  return file;
}

}  // namespace units
