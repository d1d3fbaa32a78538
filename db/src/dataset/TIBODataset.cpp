#include "db/TIBODataset.h"

#include <ibase.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace db {

namespace {

// Days since 17 November 1858, the server's day zero, as a civil date.
void CivilFromServerDays(long serverDays, int& year, int& month, int& day) {
  long days = serverDays - 40587 + 719468;  // 1970-01-01 is server day 40587
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long dayOfEra = days - era * 146097;
  const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::string DateText(std::int32_t serverDays) {
  int year = 0, month = 0, day = 0;
  CivilFromServerDays(serverDays, year, month, day);
  char text[40];  // room for any year the int can hold, as the compiler checks
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", day, month, year);
  return text;
}

std::string TimeText(std::uint32_t fractions) {
  const std::uint32_t seconds = fractions / 10000;
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

TIBODataset::TIBODataset(std::string name) : TDataSet(name), internal_("IBOqr" + name) {}

TIBODataset::~TIBODataset() {
  try {
    Close();
  } catch (...) {
    // Nothing can be reported from a destructor.
  }
}

bool TIBODataset::InternalOpen() {
  if (!internal_.Prepared()) internal_.Prepare();
  if (!internal_.Prepared()) return false;
  internal_.Execute();
  hasRow_ = false;
  return internal_.CursorOpen();
}

void TIBODataset::InternalFirst() {
  hasRow_ = internal_.FetchNext();
}

void TIBODataset::InternalClose() {
  hasRow_ = false;
  internal_.CloseCursor();
}

bool TIBODataset::ColumnIsNull(int column) const {
  return column < 0 || internal_.IsNull(static_cast<std::size_t>(column));
}

std::string TIBODataset::ColumnAsString(int column) const {
  if (ColumnIsNull(column)) return {};
  const auto index = static_cast<std::size_t>(column);
  switch (internal_.Columns()[index].BaseType()) {
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
      return ColumnAsDateTimeText(column);
    default:
      return internal_.ColumnText(index);
  }
}

long long TIBODataset::ColumnAsInteger(int column) const {
  if (ColumnIsNull(column)) return 0;
  return internal_.ColumnInteger(static_cast<std::size_t>(column));
}

std::string TIBODataset::ColumnAsDateTimeText(int column) const {
  if (ColumnIsNull(column)) return {};
  const auto index = static_cast<std::size_t>(column);
  const std::vector<char>& data = internal_.ColumnData(index);
  std::int32_t days = 0;
  std::uint32_t fractions = 0;
  switch (internal_.Columns()[index].BaseType()) {
    case SQL_TIMESTAMP:
      if (data.size() < 8) return {};
      std::memcpy(&days, data.data(), 4);
      std::memcpy(&fractions, data.data() + 4, 4);
      return DateText(days) + " " + TimeText(fractions);
    case SQL_TYPE_DATE:
      if (data.size() < 4) return {};
      std::memcpy(&days, data.data(), 4);
      return DateText(days);
    case SQL_TYPE_TIME:
      if (data.size() < 4) return {};
      std::memcpy(&fractions, data.data(), 4);
      return TimeText(fractions);
    default:
      return internal_.ColumnText(index);
  }
}

}  // namespace db
