#include <gtest/gtest.h>

#include "core/ProfileReader.h"

namespace testsupport {
namespace {

TEST(ProfileReading, SectionsAndKeysIgnoreLetterCaseAndBlanks) {
  const auto profile = core::ProfileReader::FromText(
      "; settings\r\n[ dados ]\r\n  DIR = srv:C:\\Base\\DADOS.FDB  \r\n[BACKUP]\r\nsistema=Linux\r\n");
  EXPECT_EQ(profile.ReadString("Dados", "Dir", ""), "srv:C:\\Base\\DADOS.FDB");
  EXPECT_EQ(profile.ReadString("Backup", "Sistema", "Windows"), "Linux");
}

TEST(ProfileReading, DefaultsOnlyWhenTheKeyIsAbsent) {
  const auto profile = core::ProfileReader::FromText("[Dados]\nDir=\n[Outros]\nSistema=Linux\n");
  EXPECT_EQ(profile.ReadString("Dados", "Dir", "x"), "") << "a present but empty value is empty";
  EXPECT_EQ(profile.ReadString("Backup", "Sistema", "Windows"), "Windows") << "missing section";
  EXPECT_EQ(profile.ReadString("Dados", "Sistema", "Windows"), "Windows") << "key of another section";
}

TEST(ProfileReading, FirstSectionAndKeyWinAndQuotesAreRemoved) {
  const auto profile = core::ProfileReader::FromText(
      "\xEF\xBB\xBF[Dados]\nDir=\"a:b\"\nDir=second\n[Dados]\nDir=third\n[Backup]\nSistema='Linux'\n");
  EXPECT_EQ(profile.ReadString("Dados", "Dir", ""), "a:b");
  EXPECT_EQ(profile.ReadString("Backup", "Sistema", ""), "Linux");
  EXPECT_EQ(core::ProfileReader::FromText("[Dados]\nDir=\"\"\n").ReadString("Dados", "Dir", "x"), "")
      << "a pair of quotes alone is the empty value";
  EXPECT_EQ(core::ProfileReader::FromText("[Dados]\nDir=\"\n").ReadString("Dados", "Dir", "x"), "\"")
      << "one quote is no pair";
}

TEST(ProfileReading, NamesMatchInEveryCharacter) {
  const auto profile = core::ProfileReader::FromText("[Fados]\nDir=a\n[Dados]\nXir=b\nDiz=c\nDir=d\n");
  EXPECT_EQ(profile.ReadString("Dados", "Dir", ""), "d");
}

TEST(ProfileReading, FileWithoutSectionsOrUnreadableGivesDefaults) {
  const auto profile = core::ProfileReader::FromText("Dir=srv:/db.fdb\n");
  EXPECT_EQ(profile.ReadString("Dados", "Dir", ""), "");
  const core::ProfileReader missing("/nonexistent/folder/sistema.ini", platform::Current());
  EXPECT_EQ(missing.ReadString("Dados", "Dir", "none"), "none");
  std::string binary(4096, '\0');
  for (size_t i = 0; i < binary.size(); ++i)
    binary[i] = static_cast<char>(i * 7);
  EXPECT_EQ(core::ProfileReader::FromText(binary).ReadString("Dados", "Dir", "d"), "d");
}

}  // namespace
}  // namespace testsupport
