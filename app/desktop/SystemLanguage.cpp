#include "app/desktop/SystemLanguage.h"

#include "app/desktop/DesktopSystem.h"

namespace app {
namespace {

constexpr std::uint16_t kSublanguageDefault = 1;

constexpr std::uint16_t MakeLangId(std::uint16_t primary, std::uint16_t sublanguage) {
  return static_cast<std::uint16_t>((sublanguage << 10) | primary);
}

struct Language {
  std::string_view code;
  std::uint16_t primary;
};

constexpr Language kLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07},
    {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"hu", 0x0E},
    {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14},
    {"nn", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B},
    {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22},
    {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29}, {"vi", 0x2A},
    {"hy", 0x2B}, {"eu", 0x2D}, {"af", 0x36}, {"ka", 0x37}, {"hi", 0x39}, {"ms", 0x3E}, {"gl", 0x56},
};

// Countries whose sublanguage is not the language's default one.
struct Country {
  std::string_view locale;
  std::uint16_t sublanguage;
};

constexpr Country kCountries[] = {
    {"pt_PT", 2},  {"en_GB", 2},  {"en_AU", 3},  {"en_CA", 4},  {"en_NZ", 5},  {"en_IE", 6},
    {"en_ZA", 7},  {"es_MX", 2},  {"es_ES", 3},  {"es_GT", 4},  {"es_CR", 5},  {"es_PA", 6},
    {"es_DO", 7},  {"es_VE", 8},  {"es_CO", 9},  {"es_PE", 10}, {"es_AR", 11}, {"es_EC", 12},
    {"es_CL", 13}, {"es_UY", 14}, {"es_PY", 15}, {"es_BO", 16}, {"fr_BE", 2},  {"fr_CA", 3},
    {"fr_CH", 4},  {"fr_LU", 5},  {"de_CH", 2},  {"de_AT", 3},  {"de_LU", 4},  {"it_CH", 2},
    {"nl_BE", 2},  {"zh_CN", 2},  {"zh_HK", 3},  {"zh_SG", 4},  {"sv_FI", 2},  {"nn_NO", 2},
};

}  // namespace

std::uint16_t LangIdFromLocaleName(std::string_view localeName) {
  // "language[_COUNTRY][.codeset][@modifier]"
  localeName = localeName.substr(0, localeName.find_first_of(".@"));
  if (localeName.empty() || localeName == "C" || localeName == "POSIX") return MakeLangId(0x09, 1);
  const std::string_view language = localeName.substr(0, localeName.find('_'));
  for (const Language& known : kLanguages) {
    if (known.code != language) continue;
    for (const Country& country : kCountries) {
      if (country.locale == localeName) return MakeLangId(known.primary, country.sublanguage);
    }
    return MakeLangId(known.primary, kSublanguageDefault);
  }
  return 0;
}

std::uint16_t SystemDefaultLangId() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::optional<std::string> value = Desktop().Variable(variable);
    if (value && !value->empty()) return LangIdFromLocaleName(*value);
  }
  return LangIdFromLocaleName("C");
}

}  // namespace app
