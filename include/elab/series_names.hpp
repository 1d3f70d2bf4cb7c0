// The names of the series of many price files: what {name} gives, the
// Series column holds and Python's results are keyed by. Each file's stem
// where no other file of the batch has it; where several share one, each
// of them takes its next longer form: the file's name with its extension,
// then its path as given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace elab {

// The file's name without its directory and last extension; "stdin" for
// standard input ("-").
std::string series_stem(std::string_view file);

// One name a file, in their order, each as short as the batch allows; two
// names stay equal only where the files are spelled alike.
std::vector<std::string> series_names(const std::vector<std::string>& files);

}  // namespace elab
