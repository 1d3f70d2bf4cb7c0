// Letters as a name is compared: without case or accents, in the Latin,
// Greek and Cyrillic scripts, so that "Schlußkurs", "ZAMKNIĘCIE" and
// "Закрытие" meet their lower-case plain forms in a table of names.
#pragma once

#include <string>
#include <string_view>

namespace numtext {

// The UTF-8 text with each letter of those scripts in lower case without
// its accent (ß as ss, Greek final sigma as sigma, ё as е); every other
// byte as it is.
std::string folded_letters(std::string_view text);

}  // namespace numtext
