#pragma once

// What the server tells about the attached database, read once per attachment on first need.

#include <cstdint>
#include <string>

namespace db {

class TIB_Component;

struct TIB_ConnectCharacteristics {
  int dbId = 0;  // first data byte of isc_info_db_id
  std::string dbFileName;
  std::string dbSiteName;
  unsigned char dbImplementation[3] = {0, 0, 0};
  int iscVersionCount = 0;
  std::string iscVersion;
  unsigned char baseLevel[2] = {0, 0};
  long pageSize = 0;
  long allocation = 0;
  long sweepInterval = 0;
  long odsMajorVersion = 0;
  long odsMinorVersion = 0;
  long noReserve = 0;
  long forcedWrites = 0;
  long pageBuffers = 0;
  long dbSQLDialect = 0;
  long dbReadOnly = 0;
  long dbSizeInPages = 0;
  int firebirdVersionCount = 0;
  std::string firebirdVersion;
  // The Firebird version text split into its parts, e.g. "LI-V3.0.11.33703 Firebird 3.0".
  std::string fbPlatform;
  std::string fbVersionKind;
  int fbMajor = 0;
  int fbMinor = 0;
  int fbRelease = 0;
  int fbBuild = 0;
  std::string fbServerName;
};

// The item list of the information request: 256 bytes, zero-filled.
std::string CharacteristicsItemList();

// Walks an information reply and stores the values. Raises EIB_ConnectionError with the truncation
// text on item 2 or on an item that claims more bytes than the reply holds. The dialect, read-only
// flag and size in pages are reset first.
void ParseCharacteristics(const unsigned char* reply, std::size_t size, TIB_ConnectCharacteristics& out,
                          TIB_Component* sender);

// Splits a Firebird version text into the parts of the record.
void SplitFirebirdVersion(const std::string& text, TIB_ConnectCharacteristics& out);

// A little-endian integer of 1 to 4 bytes, as the server writes the numbers of its replies.
long ReplyInteger(const unsigned char* bytes, std::size_t length);

}  // namespace db
