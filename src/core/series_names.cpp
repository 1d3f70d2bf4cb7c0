#include "elab/series_names.hpp"

#include <cstddef>
#include <map>

namespace elab {
namespace {

constexpr int kLongestForm = 2;

// The file's name at a form: 0 the stem, 1 the name with its extension,
// 2 the path as given.
std::string name_at(std::string_view file, int form) {
  if (file == "-" || form == 0) return series_stem(file);
  if (form == kLongestForm) return std::string(file);
  const std::size_t slash = file.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? file : file.substr(slash + 1));
}

}  // namespace

std::string series_stem(std::string_view file) {
  if (file == "-") return "stdin";
  const std::size_t slash = file.find_last_of("/\\");
  if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
  const std::size_t dot = file.rfind('.');
  if (dot != std::string_view::npos && dot > 0) file = file.substr(0, dot);
  return std::string(file);
}

std::vector<std::string> series_names(const std::vector<std::string>& files) {
  std::vector<int> form(files.size(), 0);
  std::vector<std::string> names;
  for (const std::string& f : files) names.push_back(name_at(f, 0));
  // A longer form can meet another file's shorter one: again, until no
  // shared name can grow.
  for (bool grown = true; grown;) {
    grown = false;
    std::map<std::string, std::vector<std::size_t>> holders;
    for (std::size_t k = 0; k < files.size(); ++k) holders[names[k]].push_back(k);
    for (const auto& [name, ks] : holders) {
      if (ks.size() < 2) continue;
      for (const std::size_t k : ks) {
        if (form[k] == kLongestForm) continue;
        names[k] = name_at(files[k], ++form[k]);
        grown = true;
      }
    }
  }
  return names;
}

}  // namespace elab
