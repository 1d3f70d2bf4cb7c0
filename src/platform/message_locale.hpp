// The locale that names the language of messages, as GNU programs find it:
// the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty.
#pragma once

#include <string>

namespace platform {

// Empty when none is set.
std::string message_locale();

}  // namespace platform
