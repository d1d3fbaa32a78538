#include <gtest/gtest.h>

#include "Errors.h"
#include "Fields.h"
#include "TIBOInternalDataset.h"
#include "TIBOQuery.h"

namespace db {
namespace {

FieldDefinition Definition(FieldKind type) {
  FieldDefinition definition;
  definition.Name = "F";
  definition.DataType = type;
  return definition;
}

std::string MismatchOf(const Field& field, FieldKind actual) {
  try {
    CheckFieldBinding("tblBackup", field, Definition(actual));
  } catch (const EDatabaseError& error) {
    return error.Message();
  }
  return "";
}

TEST(FieldBinding, StringFieldsTakeTextLargeIntegersAndShortEnoughMemos) {
  TStringField field("F", 200);
  for (FieldKind accepted : {FieldKind::String, FieldKind::FixedChar, FieldKind::LargeInt, FieldKind::Memo}) {
    EXPECT_EQ("", MismatchOf(field, accepted)) << FieldTypeName(accepted);
  }
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: String actual: Integer",
            MismatchOf(field, FieldKind::Integer));
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: String actual: DateTime",
            MismatchOf(field, FieldKind::DateTime));
  TStringField huge("F", 70000);
  EXPECT_EQ("tblBackup: Size mismatch for field 'F', expecting: 65534 actual: 70001",
            MismatchOf(huge, FieldKind::Memo));
}

TEST(FieldBinding, IntegerFieldsTakeTheIntegerGroupAndLargeIntegers) {
  TIntegerField field("F");
  for (FieldKind accepted :
       {FieldKind::SmallInt, FieldKind::Integer, FieldKind::Word, FieldKind::AutoInc, FieldKind::LargeInt}) {
    EXPECT_EQ("", MismatchOf(field, accepted)) << FieldTypeName(accepted);
  }
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: Integer actual: String",
            MismatchOf(field, FieldKind::String));
  EXPECT_NE("", MismatchOf(field, FieldKind::Float));
}

TEST(FieldBinding, DateTimeFieldsTakeDatesAndTimesOnly) {
  TDateTimeField field("F");
  for (FieldKind accepted : {FieldKind::Date, FieldKind::Time, FieldKind::DateTime}) {
    EXPECT_EQ("", MismatchOf(field, accepted)) << FieldTypeName(accepted);
  }
  EXPECT_EQ("tblBackup: Type mismatch for field 'F', expecting: DateTime actual: String",
            MismatchOf(field, FieldKind::String));
}

OutputColumn Described(short sqltype, short sqllen, short scale = 0, const std::string& name = "C") {
  OutputColumn column;
  column.name = name;
  column.sqltype = sqltype;
  column.sqllen = sqllen;
  column.sqlscale = scale;
  return column;
}

TEST(FieldDefinitions, ColumnTypesMapToTheirKinds) {
  EXPECT_EQ(FieldKind::String, TIBOInternalDataset::FieldTypeOf(Described(452, 5)));
  EXPECT_EQ(FieldKind::String, TIBOInternalDataset::FieldTypeOf(Described(449, 255)));
  EXPECT_EQ(FieldKind::Memo, TIBOInternalDataset::FieldTypeOf(Described(449, 256)));
  EXPECT_EQ(FieldKind::Bytes, TIBOInternalDataset::FieldTypeOf(Described(452, 8, 0, "DB_KEY")));
  EXPECT_EQ(FieldKind::SmallInt, TIBOInternalDataset::FieldTypeOf(Described(501, 2)));
  EXPECT_EQ(FieldKind::Integer, TIBOInternalDataset::FieldTypeOf(Described(496, 4)));
  EXPECT_EQ(FieldKind::Float, TIBOInternalDataset::FieldTypeOf(Described(496, 4, -2)));
  EXPECT_EQ(FieldKind::LargeInt, TIBOInternalDataset::FieldTypeOf(Described(580, 8)));
  EXPECT_EQ(FieldKind::Float, TIBOInternalDataset::FieldTypeOf(Described(482, 4)));
  EXPECT_EQ(FieldKind::DateTime, TIBOInternalDataset::FieldTypeOf(Described(511, 8)));
  EXPECT_EQ(FieldKind::Date, TIBOInternalDataset::FieldTypeOf(Described(570, 4)));
  EXPECT_EQ(FieldKind::Time, TIBOInternalDataset::FieldTypeOf(Described(560, 4)));
  OutputColumn memo = Described(520, 8);
  memo.sqlsubtype = 1;
  EXPECT_EQ(FieldKind::Memo, TIBOInternalDataset::FieldTypeOf(memo));
  EXPECT_EQ(FieldKind::Blob, TIBOInternalDataset::FieldTypeOf(Described(520, 8)));
}

}  // namespace
}  // namespace db
