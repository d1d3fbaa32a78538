#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

#include "app/desktop/VersionTable.h"

namespace app {

// Reads the program's version table once, when it is created, in the system default language. A value
// that cannot be read stays empty.
class TAppVerInfo : public QObject {
  Q_OBJECT

 public:
  explicit TAppVerInfo(QObject* owner = nullptr);
  // Reads table as if the system default language were systemLanguage.
  TAppVerInfo(const VersionTable& table, std::uint16_t systemLanguage, QObject* owner = nullptr);

  // The full path of the program's executable, whose table is read.
  const QString& FileName() const { return fileName_; }
  const QString& CompanyName() const { return companyName_; }
  const QString& FileDescription() const { return fileDescription_; }
  const QString& FileVersion() const { return fileVersion_; }
  const QString& LegalCopyright() const { return legalCopyright_; }
  const QString& OriginalFilename() const { return originalFilename_; }
  const QString& Comments() const { return comments_; }

 private:
  void Read(const VersionTable& table, std::uint16_t systemLanguage);

  QString fileName_;
  QString companyName_;
  QString fileDescription_;
  QString fileVersion_;
  QString legalCopyright_;
  QString originalFilename_;
  QString comments_;
};

}  // namespace app
