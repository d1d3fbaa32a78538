#include <gtest/gtest.h>

#include "Errors.h"
#include "TIB_ConnectCharacteristics.h"
#include "platform/Cp1252.h"
#include "tests/db/RaisedMessage.h"

namespace db {
namespace {

using Reply = std::vector<unsigned char>;

void AddItem(Reply& reply, unsigned char item, const Reply& data) {
  reply.push_back(item);
  reply.push_back(static_cast<unsigned char>(data.size() & 0xFF));
  reply.push_back(static_cast<unsigned char>(data.size() >> 8));
  reply.insert(reply.end(), data.begin(), data.end());
}

Reply Counted(unsigned char first, const std::vector<std::string>& texts) {
  Reply data = {first};
  for (const std::string& text : texts) {
    data.push_back(static_cast<unsigned char>(text.size()));
    data.insert(data.end(), text.begin(), text.end());
  }
  return data;
}

// The record a reply of these items gives, its end byte added.
TIB_ConnectCharacteristics Parsed(Reply reply) {
  reply.push_back(1);
  TIB_ConnectCharacteristics record;
  ParseCharacteristics(reply.data(), reply.size(), record, nullptr);
  return record;
}

TEST(Characteristics, ItemListHoldsTheSixteenItemsThenEndInA256ByteZeroBuffer) {
  const std::string items = CharacteristicsItemList();
  ASSERT_EQ(256u, items.size());
  const Reply expected = {21, 13, 4, 11, 34, 52, 33, 32, 14, 12, 103, 31, 61, 62, 63, 64, 1};
  EXPECT_EQ(expected, Reply(items.begin(), items.begin() + 17));
  EXPECT_TRUE(std::all_of(items.begin() + 17, items.end(), [](char c) { return c == 0; }));
}

TEST(Characteristics, AReplyIsWalkedIntoTheRecord) {
  Reply reply;
  AddItem(reply, 32, {12, 0, 0, 0});
  AddItem(reply, 33, {0});
  AddItem(reply, 14, {0x00, 0x20});
  AddItem(reply, 62, {1});
  AddItem(reply, 63, {0});
  AddItem(reply, 4, Counted(2, {"/data/app.fdb", "host"}));
  AddItem(reply, 12, Counted(1, {"LI-V6.3.11.33703 Firebird 3.0"}));
  AddItem(reply, 103, Counted(1, {"LI-V3.0.11.33703 Firebird 3.0"}));
  AddItem(reply, 11, {60, 1, 2, 9});
  AddItem(reply, 99, {1, 2, 3});  // unknown items are stepped over
  AddItem(reply, 64, {0x10, 0x01, 0x00, 0x00});
  reply.push_back(1);
  reply.resize(4096, 0);
  TIB_ConnectCharacteristics record;
  ParseCharacteristics(reply.data(), reply.size(), record, nullptr);
  EXPECT_EQ(12, record.odsMajorVersion);
  EXPECT_EQ(8192, record.pageSize);
  EXPECT_EQ(1, record.dbSQLDialect);
  EXPECT_EQ(0, record.dbReadOnly);
  EXPECT_EQ(272, record.dbSizeInPages);
  EXPECT_EQ("/data/app.fdb", record.dbFileName);
  EXPECT_EQ("host", record.dbSiteName);
  EXPECT_EQ("LI-V6.3.11.33703 Firebird 3.0", record.iscVersion);
  EXPECT_EQ("LI-V3.0.11.33703 Firebird 3.0", record.firebirdVersion);
  EXPECT_EQ(3, record.fbMajor);
  EXPECT_EQ(60, record.dbImplementation[0]);
  EXPECT_EQ(2, record.dbImplementation[2]);
}

TEST(Characteristics, EachNumberItemLandsInItsOwnFieldAndNoOther) {
  struct Case {
    unsigned char item;
    long TIB_ConnectCharacteristics::*field;
  };
  using C = TIB_ConnectCharacteristics;
  const Case cases[] = {
      {21, &C::allocation},   {31, &C::sweepInterval}, {32, &C::odsMajorVersion}, {33, &C::odsMinorVersion},
      {34, &C::noReserve},    {52, &C::forcedWrites},  {14, &C::pageSize},        {61, &C::pageBuffers},
      {62, &C::dbSQLDialect}, {63, &C::dbReadOnly},    {64, &C::dbSizeInPages},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.item));
    Reply reply;
    AddItem(reply, c.item, {0x2A, 0x01});  // 298, little-endian
    const TIB_ConnectCharacteristics record = Parsed(reply);
    for (const Case& other : cases)
      EXPECT_EQ(other.field == c.field ? 298 : 0, record.*other.field) << static_cast<int>(other.item);
  }
}

TEST(Characteristics, ImplementationAndBaseLevelTakeTheirLeadingBytesAndZeroWhatIsMissing) {
  Reply reply;
  AddItem(reply, 11, {60, 1});
  AddItem(reply, 13, {7, 8, 9});
  const TIB_ConnectCharacteristics record = Parsed(reply);
  EXPECT_EQ(60, record.dbImplementation[0]);
  EXPECT_EQ(1, record.dbImplementation[1]);
  EXPECT_EQ(0, record.dbImplementation[2]);
  EXPECT_EQ(7, record.baseLevel[0]);
  EXPECT_EQ(8, record.baseLevel[1]);
}

TEST(Characteristics, AReplyWithoutTheFirebirdItemLeavesTheVersionEmpty) {
  Reply reply;
  AddItem(reply, 62, {3});
  const TIB_ConnectCharacteristics record = Parsed(reply);
  EXPECT_EQ("", record.firebirdVersion);
  EXPECT_EQ(0, record.fbMajor);
  EXPECT_EQ(3, record.dbSQLDialect);
}

// The database id and version items start with a count byte. An empty one counts nothing: it must not
// take the first byte of the item after it (here the dialect item, 62) for its count.
TEST(Characteristics, CountedItemsTakeTheirFirstByteAsTheCountAndAnEmptyOneNothing) {
  Reply filled;
  AddItem(filled, 4, Counted(2, {"/db", "host"}));
  AddItem(filled, 12, Counted(2, {"LI-V6.3", "more"}));
  AddItem(filled, 103, Counted(3, {"LI-V3.0.1.2 Firebird 3.0"}));
  const TIB_ConnectCharacteristics record = Parsed(filled);
  EXPECT_EQ(2, record.dbId);
  EXPECT_EQ(2, record.iscVersionCount);
  EXPECT_EQ("LI-V6.3", record.iscVersion);
  EXPECT_EQ(3, record.firebirdVersionCount);
  EXPECT_EQ("LI-V3.0.1.2 Firebird 3.0", record.firebirdVersion);

  Reply empty;
  for (const unsigned char item : {4, 12, 103}) {
    AddItem(empty, item, {});
    AddItem(empty, 62, {3});
  }
  const TIB_ConnectCharacteristics none = Parsed(empty);
  EXPECT_EQ(0, none.dbId);
  EXPECT_EQ("", none.dbFileName);
  EXPECT_EQ(0, none.iscVersionCount);
  EXPECT_EQ("", none.iscVersion);
  EXPECT_EQ(0, none.firebirdVersionCount);
  EXPECT_EQ("", none.firebirdVersion);

  // A count byte without any text still counts.
  Reply countOnly;
  AddItem(countOnly, 12, {3});
  AddItem(countOnly, 103, {4});
  const TIB_ConnectCharacteristics counted = Parsed(countOnly);
  EXPECT_EQ(3, counted.iscVersionCount);
  EXPECT_EQ("", counted.iscVersion);
  EXPECT_EQ(4, counted.firebirdVersionCount);
  EXPECT_EQ("", counted.firebirdVersion);
}

TEST(Characteristics, TruncationAndItemsPastTheReplyRaiseTheTruncationText) {
  const std::string text =
      "O buffer de retorno das informa\xE7\xF5"
      "es do banco de dados foi truncado";
  TIB_ConnectCharacteristics record;
  Reply truncated = {62, 1, 0, 1, 2};
  EXPECT_EQ(text, testing::MessageRaised<EIB_ConnectionError>(
                      [&] { ParseCharacteristics(truncated.data(), truncated.size(), record, nullptr); }));
  // An item claiming more bytes than arrived is not read past the buffer.
  Reply overlong = {103, 0xFF, 0x7F, 1, 5, 'L', 'I'};
  EXPECT_THROW(ParseCharacteristics(overlong.data(), overlong.size(), record, nullptr), EIB_ConnectionError);
  Reply cutLength = {62, 1};
  EXPECT_THROW(ParseCharacteristics(cutLength.data(), cutLength.size(), record, nullptr),
               EIB_ConnectionError);
  // A counted string longer than its item is cut to what the item holds.
  Reply badString;
  AddItem(badString, 103, {1, 200, 'L', 'I'});
  EXPECT_EQ("LI", Parsed(badString).firebirdVersion);
}

TEST(Characteristics, DialectReadOnlyAndSizeStartAtZeroForEachRead) {
  TIB_ConnectCharacteristics record;
  record.dbSQLDialect = 3;
  record.dbReadOnly = 1;
  Reply reply = {1};
  ParseCharacteristics(reply.data(), reply.size(), record, nullptr);
  EXPECT_EQ(0, record.dbSQLDialect);
  EXPECT_EQ(0, record.dbReadOnly);
}

struct VersionCase {
  std::string text;
  std::string platform;
  std::string kind;
  int major, minor, release, build;
  std::string server;
};

TEST(FirebirdVersion, TextSplitsIntoItsParts) {
  const std::vector<VersionCase> cases = {
      {"LI-V3.0.11.33703 Firebird 3.0", "LI", "V", 3, 0, 11, 33703, "Firebird 3.0"},
      {"WI-T4.0.0.1963 Firebird 4.0 Beta 2", "WI", "T", 4, 0, 0, 1963, "Firebird 4.0 Beta 2"},
      // Three numbers: the last one is the build and the release is 0.
      {"LI-V2.5.9 Firebird", "LI", "V", 2, 5, 0, 9, "Firebird"},
      {"LI-V1.5", "LI", "V", 1, 5, 0, 0, ""},
      {"WI", "WI", "", 0, 0, 0, 0, ""},
      {"", "", "", 0, 0, 0, 0, ""},
      // A run of digits too long for a number stops at the largest one instead of turning negative.
      {"LI-V99999999999.1 X", "LI", "V", 2147483647, 1, 0, 0, "X"},
  };
  for (const VersionCase& c : cases) {
    TIB_ConnectCharacteristics record;
    SplitFirebirdVersion(c.text, record);
    EXPECT_EQ(c.platform, record.fbPlatform) << c.text;
    EXPECT_EQ(c.kind, record.fbVersionKind) << c.text;
    EXPECT_EQ(c.major, record.fbMajor) << c.text;
    EXPECT_EQ(c.minor, record.fbMinor) << c.text;
    EXPECT_EQ(c.release, record.fbRelease) << c.text;
    EXPECT_EQ(c.build, record.fbBuild) << c.text;
    EXPECT_EQ(c.server, record.fbServerName) << c.text;
  }
}

TEST(ReplyInteger, LittleEndianWithTheLastByteSigned) {
  const unsigned char bytes[] = {0x10, 0x27, 0x00, 0x80};
  EXPECT_EQ(0x2710, ReplyInteger(bytes, 2));
  EXPECT_EQ(0x10, ReplyInteger(bytes, 1));
  EXPECT_EQ(static_cast<long>(static_cast<std::int32_t>(0x80002710)), ReplyInteger(bytes, 4));
  const unsigned char minusOne[] = {0xFF, 0xFF};
  EXPECT_EQ(-1, ReplyInteger(minusOne, 2));
  EXPECT_EQ(0, ReplyInteger(bytes, 0));
  // A longer number counts by its first four bytes.
  const unsigned char wide[] = {0x10, 0x27, 0x00, 0x80, 0x55};
  EXPECT_EQ(-2147473648L, ReplyInteger(wide, 5));
}

}  // namespace
}  // namespace db
