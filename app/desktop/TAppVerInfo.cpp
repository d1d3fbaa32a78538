#include "app/desktop/TAppVerInfo.h"

#include <QCoreApplication>

#include "app/Text.h"
#include "app/desktop/SystemLanguage.h"

namespace app {
namespace {

std::string BlockName(std::uint16_t language, std::uint16_t codePage) {
  return QString::asprintf("%.4X%.4X", language, codePage).toStdString();
}

// The string blocks are looked up in code page 1252, whatever code pages the table declares.
constexpr std::uint16_t kQueryCodePage = 0x04E4;

}  // namespace

TAppVerInfo::TAppVerInfo(QObject* owner) : TAppVerInfo(ProgramVersionTable(), SystemDefaultLangId(), owner) {}

TAppVerInfo::TAppVerInfo(const VersionTable& table, std::uint16_t systemLanguage, QObject* owner)
    : QObject(owner), fileName_(QCoreApplication::applicationFilePath()) {
  Read(table, systemLanguage);
}

void TAppVerInfo::Read(const VersionTable& table, std::uint16_t systemLanguage) {
  const std::string systemBlock = BlockName(systemLanguage, kQueryCodePage);
  // A table holds the texts of the languages it was made for only; on a system in any other language
  // the texts of the table's own first translation are shown rather than none at all.
  const std::string ownBlock = table.translations.empty() ? std::string()
                                                          : BlockName(table.translations.front().language,
                                                                      table.translations.front().codePage);
  auto read = [&](const char* key) {
    for (const std::string& block : {systemBlock, ownBlock}) {
      if (block.empty()) continue;
      const auto value = QueryVersionString(table, "\\StringFileInfo\\" + block + "\\" + key);
      if (value && !value->empty()) return FromCp1252(*value);
    }
    return QString();
  };
  companyName_ = read("CompanyName");
  fileDescription_ = read("FileDescription");
  fileVersion_ = read("FileVersion");
  legalCopyright_ = read("LegalCopyright");
  originalFilename_ = read("OriginalFilename");
  comments_ = read("Comments");
}

}  // namespace app
