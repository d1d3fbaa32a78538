#pragma once

#include <cstdint>
#include <string_view>

namespace app {

// Language identifiers as version tables name their string blocks: the primary language in the low ten
// bits, the sublanguage (the country) above them; Portuguese (Brazil) is 0x0416.

// The identifier of a locale name such as "pt_BR.UTF-8" or "de_AT@euro". "C" and "POSIX" are English
// (United States); a known language with an unknown or missing country gets its default sublanguage;
// an unknown language gives 0 (neutral).
std::uint16_t LangIdFromLocaleName(std::string_view localeName);

// The system default language, from the locale the process runs in (LC_ALL, then LC_MESSAGES, then LANG).
std::uint16_t SystemDefaultLangId();

}  // namespace app
