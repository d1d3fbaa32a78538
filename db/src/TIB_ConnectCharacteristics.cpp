#include "TIB_ConnectCharacteristics.h"

#include <ibase.h>

#include <cctype>
#include <limits>
#include <utility>

#include "Errors.h"
#include "Messages.h"

namespace db {

namespace {

constexpr unsigned char kItems[] = {isc_info_allocation,
                                    isc_info_base_level,
                                    isc_info_db_id,
                                    isc_info_implementation,
                                    isc_info_no_reserve,
                                    isc_info_forced_writes,
                                    isc_info_ods_minor_version,
                                    isc_info_ods_version,
                                    isc_info_page_size,
                                    isc_info_isc_version,
                                    isc_info_firebird_version,
                                    isc_info_sweep_interval,
                                    isc_info_set_page_buffers,
                                    isc_info_db_sql_dialect,
                                    isc_info_db_read_only,
                                    isc_info_db_size_in_pages,
                                    isc_info_end};

// The items whose data is one number, and where it goes.
constexpr std::pair<unsigned char, long TIB_ConnectCharacteristics::*> kNumberItems[] = {
    {isc_info_page_size, &TIB_ConnectCharacteristics::pageSize},
    {isc_info_allocation, &TIB_ConnectCharacteristics::allocation},
    {isc_info_sweep_interval, &TIB_ConnectCharacteristics::sweepInterval},
    {isc_info_ods_version, &TIB_ConnectCharacteristics::odsMajorVersion},
    {isc_info_ods_minor_version, &TIB_ConnectCharacteristics::odsMinorVersion},
    {isc_info_no_reserve, &TIB_ConnectCharacteristics::noReserve},
    {isc_info_forced_writes, &TIB_ConnectCharacteristics::forcedWrites},
    {isc_info_set_page_buffers, &TIB_ConnectCharacteristics::pageBuffers},
    {isc_info_db_sql_dialect, &TIB_ConnectCharacteristics::dbSQLDialect},
    {isc_info_db_read_only, &TIB_ConnectCharacteristics::dbReadOnly},
    {isc_info_db_size_in_pages, &TIB_ConnectCharacteristics::dbSizeInPages},
};

// The first bytes of an item's data into a fixed array; what the data lacks is zero.
template <std::size_t N>
void CopyLeadingBytes(const unsigned char* data, std::size_t length, unsigned char (&target)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    target[i] = i < length ? data[i] : 0;
}

// A length-prefixed string inside an item's data; an out-of-range length yields what is there.
std::string CountedString(const unsigned char* data, std::size_t size, std::size_t& offset) {
  if (offset >= size) return {};
  std::size_t length = data[offset++];
  if (length > size - offset) length = size - offset;
  std::string text(reinterpret_cast<const char*>(data + offset), length);
  offset += length;
  return text;
}

std::string Digits(const std::string& text, std::size_t& pos) {
  std::string digits;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
    digits += text[pos++];
  return digits;
}

// A run of digits as a number; an absurdly long run stops at the largest int instead of wrapping
// round to a negative major version. 64 bits, so that the step past the largest int cannot itself wrap
// where long has 32 (Windows).
int ToInt(const std::string& digits) {
  std::int64_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  }
  return static_cast<int>(value);
}

}  // namespace

std::string CharacteristicsItemList() {
  std::string items(256, '\0');
  for (std::size_t i = 0; i < sizeof(kItems); ++i)
    items[i] = static_cast<char>(kItems[i]);
  return items;
}

long ReplyInteger(const unsigned char* bytes, std::size_t length) {
  if (length > 4) length = 4;
  unsigned long value = 0;
  for (std::size_t i = 0; i < length; ++i)
    value |= static_cast<unsigned long>(bytes[i]) << (8 * i);
  // Sign-extend like the client library does for 1, 2 and 4 byte numbers.
  if (length > 0 && length < 4 && (bytes[length - 1] & 0x80)) value |= ~0UL << (8 * length);
  if (length == 4) return static_cast<long>(static_cast<std::int32_t>(value));
  return static_cast<long>(value);
}

void SplitFirebirdVersion(const std::string& text, TIB_ConnectCharacteristics& out) {
  out.fbPlatform.clear();
  out.fbVersionKind.clear();
  out.fbServerName.clear();
  out.fbMajor = out.fbMinor = out.fbRelease = out.fbBuild = 0;
  const std::size_t dash = text.find('-');
  out.fbPlatform = text.substr(0, dash);
  if (dash == std::string::npos) return;
  std::size_t pos = dash + 1;
  while (pos < text.size() && !std::isdigit(static_cast<unsigned char>(text[pos])))
    out.fbVersionKind += text[pos++];
  out.fbMajor = ToInt(Digits(text, pos));
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    out.fbMinor = ToInt(Digits(text, pos));
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      out.fbRelease = ToInt(Digits(text, pos));
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
        out.fbBuild = ToInt(Digits(text, pos));
      } else {
        out.fbBuild = out.fbRelease;
        out.fbRelease = 0;
      }
    }
  }
  while (pos < text.size() && text[pos] == ' ')
    ++pos;
  out.fbServerName = text.substr(pos);
}

void ParseCharacteristics(const unsigned char* reply, std::size_t size, TIB_ConnectCharacteristics& out,
                          TIB_Component* sender) {
  out.dbSQLDialect = 0;
  out.dbReadOnly = 0;
  out.dbSizeInPages = 0;
  std::size_t pos = 0;
  while (pos < size) {
    const unsigned char item = reply[pos++];
    if (item == isc_info_end) break;
    if (item == isc_info_truncated || size - pos < 2) {
      throw EIB_ConnectionError(sender, messages::InfoTruncated());
    }
    const std::size_t length = static_cast<std::size_t>(ReplyInteger(reply + pos, 2) & 0xFFFF);
    pos += 2;
    if (length > size - pos) throw EIB_ConnectionError(sender, messages::InfoTruncated());
    const unsigned char* data = reply + pos;
    pos += length;
    for (const auto& [numberItem, field] : kNumberItems) {
      if (numberItem == item) out.*field = ReplyInteger(data, length);
    }
    std::size_t offset = 1;
    switch (item) {
      case isc_info_db_id:
        out.dbId = length > 0 ? data[0] : 0;
        out.dbFileName = CountedString(data, length, offset);
        out.dbSiteName = CountedString(data, length, offset);
        break;
      case isc_info_implementation:
        CopyLeadingBytes(data, length, out.dbImplementation);
        break;
      case isc_info_isc_version:
        out.iscVersionCount = length > 0 ? data[0] : 0;
        out.iscVersion = CountedString(data, length, offset);
        break;
      case isc_info_base_level:
        CopyLeadingBytes(data, length, out.baseLevel);
        break;
      case isc_info_firebird_version:
        out.firebirdVersionCount = length > 0 ? data[0] : 0;
        out.firebirdVersion = CountedString(data, length, offset);
        SplitFirebirdVersion(out.firebirdVersion, out);
        break;
      default:
        break;
    }
  }
}

}  // namespace db
