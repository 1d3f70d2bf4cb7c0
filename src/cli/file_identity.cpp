#include "cli/file_identity.hpp"

namespace elab {

platform::Identity identity_of_input(const std::string& name) {
  if (name == kStandardInput) return platform::identity_of(platform::std_stream(platform::StdStream::in));
  return platform::identity_of(name);
}

platform::Identity identity_of_output(const std::string& name) {
  if (name == kStandardInput) return platform::identity_of(platform::std_stream(platform::StdStream::out));
  return platform::identity_of(name);
}

bool same_output_file(const std::string& a, const std::string& b) {
  return a == b || platform::same_identity(identity_of_output(a), identity_of_output(b));
}

}  // namespace elab
