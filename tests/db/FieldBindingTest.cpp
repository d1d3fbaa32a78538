#include <gtest/gtest.h>

#include "Fields.h"
#include "db/Errors.h"
#include "db/TDataSet.h"
#include "db/TIBOInternalDataset.h"

namespace db {
namespace {

TFieldDef Definition(TFieldType type) {
  TFieldDef definition;
  definition.Name = "F";
  definition.DataType = type;
  return definition;
}

std::string MismatchOf(const TField& field, TFieldType actual) {
  try {
    CheckFieldBinding("tblBackup", field, Definition(actual));
  } catch (const EDatabaseError& error) {
    return error.Message();
  }
  return "";
}

TEST(FieldBinding, StringFieldsTakeTextLargeIntegersAndShortEnoughMemos) {
  TStringField field("F", 200);
  for (TFieldType accepted :
       {TFieldType::ftString, TFieldType::ftFixedChar, TFieldType::ftLargeint, TFieldType::ftMemo}) {
    EXPECT_EQ("", MismatchOf(field, accepted)) << FieldTypeName(accepted);
  }
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: String actual: Integer",
            MismatchOf(field, TFieldType::ftInteger));
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: String actual: DateTime",
            MismatchOf(field, TFieldType::ftDateTime));
  TStringField huge("F", 70000);
  EXPECT_EQ("tblBackup: Size mismatch for field 'F', expecting: 65534 actual: 70001",
            MismatchOf(huge, TFieldType::ftMemo));
}

TEST(FieldBinding, IntegerFieldsTakeTheIntegerGroupAndLargeIntegers) {
  TIntegerField field("F");
  for (TFieldType accepted : {TFieldType::ftSmallint, TFieldType::ftInteger, TFieldType::ftWord,
                              TFieldType::ftAutoInc, TFieldType::ftLargeint}) {
    EXPECT_EQ("", MismatchOf(field, accepted)) << FieldTypeName(accepted);
  }
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: Integer actual: String",
            MismatchOf(field, TFieldType::ftString));
  EXPECT_NE("", MismatchOf(field, TFieldType::ftFloat));
}

TEST(FieldBinding, DateTimeFieldsTakeDatesAndTimesOnly) {
  TDateTimeField field("F");
  for (TFieldType accepted : {TFieldType::ftDate, TFieldType::ftTime, TFieldType::ftDateTime}) {
    EXPECT_EQ("", MismatchOf(field, accepted)) << FieldTypeName(accepted);
  }
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: DateTime actual: String",
            MismatchOf(field, TFieldType::ftString));
}

TIB_Column Described(short sqltype, short sqllen, short scale = 0, const std::string& name = "C") {
  TIB_Column column;
  column.name = name;
  column.sqltype = sqltype;
  column.sqllen = sqllen;
  column.sqlscale = scale;
  return column;
}

TEST(FieldDefinitions, ColumnTypesMapToTheirKinds) {
  EXPECT_EQ(TFieldType::ftString, TIBOInternalDataset::FieldTypeOf(Described(452, 5)));
  EXPECT_EQ(TFieldType::ftString, TIBOInternalDataset::FieldTypeOf(Described(449, 255)));
  EXPECT_EQ(TFieldType::ftMemo, TIBOInternalDataset::FieldTypeOf(Described(449, 256)));
  EXPECT_EQ(TFieldType::ftBytes, TIBOInternalDataset::FieldTypeOf(Described(452, 8, 0, "DB_KEY")));
  EXPECT_EQ(TFieldType::ftSmallint, TIBOInternalDataset::FieldTypeOf(Described(501, 2)));
  EXPECT_EQ(TFieldType::ftInteger, TIBOInternalDataset::FieldTypeOf(Described(496, 4)));
  EXPECT_EQ(TFieldType::ftFloat, TIBOInternalDataset::FieldTypeOf(Described(496, 4, -2)));
  EXPECT_EQ(TFieldType::ftLargeint, TIBOInternalDataset::FieldTypeOf(Described(580, 8)));
  EXPECT_EQ(TFieldType::ftFloat, TIBOInternalDataset::FieldTypeOf(Described(482, 4)));
  EXPECT_EQ(TFieldType::ftDateTime, TIBOInternalDataset::FieldTypeOf(Described(511, 8)));
  EXPECT_EQ(TFieldType::ftDate, TIBOInternalDataset::FieldTypeOf(Described(570, 4)));
  EXPECT_EQ(TFieldType::ftTime, TIBOInternalDataset::FieldTypeOf(Described(560, 4)));
  TIB_Column memo = Described(520, 8);
  memo.sqlsubtype = 1;
  EXPECT_EQ(TFieldType::ftMemo, TIBOInternalDataset::FieldTypeOf(memo));
  EXPECT_EQ(TFieldType::ftBlob, TIBOInternalDataset::FieldTypeOf(Described(520, 8)));
}

}  // namespace
}  // namespace db
