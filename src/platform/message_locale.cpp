#include "platform/message_locale.hpp"

#include <cstdlib>

namespace platform {

std::string message_locale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

}  // namespace platform
