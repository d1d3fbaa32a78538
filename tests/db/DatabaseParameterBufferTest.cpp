#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "ConnectionCore.h"
#include "DatabaseParameterBuffer.h"
#include "Errors.h"
#include "TIBODatabase.h"
#include "platform/Cp1252.h"
#include "tests/db/RaisedMessage.h"
#include "tests/db/TestSystem.h"

namespace db {
namespace {

std::vector<unsigned char> Bytes(const std::vector<char>& dpb) {
  return {dpb.begin(), dpb.end()};
}

std::vector<unsigned char> Item(unsigned char code, const std::string& value) {
  std::vector<unsigned char> item;
  item.reserve(2 + value.size());  // also keeps gcc 12's -Warray-bounds quiet about insert after a list
  item.push_back(code);
  item.push_back(static_cast<unsigned char>(value.size()));
  item.insert(item.end(), value.begin(), value.end());
  return item;
}

// The environment the connections of these tests are handed.
platform::Environment& Environment() {
  return *testing::Machine().environment;
}

// Keeps the four connection variables out of the way and restores them afterwards.
class ConnectionEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      saved_.push_back(Environment().Variable(name));
      Environment().UnsetVariable(name);
    }
  }
  void TearDown() override {
    for (std::size_t i = 0; i < 4; ++i) {
      if (saved_[i]) {
        Environment().SetVariable(kNames[i], *saved_[i]);
      } else {
        Environment().UnsetVariable(kNames[i]);
      }
    }
  }
  static constexpr const char* kNames[4] = {"ISC_USER", "ISC_PASSWORD", "ISC_ROLE", "ISC_DATABASE"};
  std::vector<std::optional<std::string>> saved_;
};

using AttachValues = ConnectionEnvironment;

TEST_F(AttachValues, UserIsTrimmedPasswordIsSentAsItIs) {
  TIB_Connection connection(testing::Machine());
  connection.SetDatabaseName("srv:/x.fdb");
  connection.SetUsername("  SYSDBA \t");
  connection.SetPassword(" pw ");
  const AttachParameters values = connection.Core().ResolveAttachParameters();
  EXPECT_EQ("SYSDBA", values.user);
  EXPECT_EQ(" pw ", values.password);
  std::vector<unsigned char> expected = {0x01};
  for (const auto& item : {Item(0x1C, "SYSDBA"), Item(0x1D, " pw ")})
    expected.insert(expected.end(), item.begin(), item.end());
  EXPECT_EQ(expected, Bytes(connection.Core().BuildDPB(values)));
}

TEST_F(AttachValues, EmptyValuesComeFromTheEnvironment) {
  Environment().SetVariable("ISC_USER", "ENVUSER");
  Environment().SetVariable("ISC_PASSWORD", "envpw");
  Environment().SetVariable("ISC_ROLE", "ENVROLE");
  Environment().SetVariable("ISC_DATABASE", "envhost:/env.fdb");
  TIB_Connection connection(testing::Machine());
  AttachParameters values = connection.Core().ResolveAttachParameters();
  EXPECT_EQ("ENVUSER", values.user);
  EXPECT_EQ("envpw", values.password);
  EXPECT_EQ("ENVROLE", values.role);
  EXPECT_EQ("envhost:/env.fdb", values.connectString);

  // Values the connection has win over the environment.
  connection.SetUsername("OWN");
  connection.SetDatabaseName("own:/own.fdb");
  values = connection.Core().ResolveAttachParameters();
  EXPECT_EQ("OWN", values.user);
  EXPECT_EQ("own:/own.fdb", values.connectString);
}

TEST_F(AttachValues, NoConnectStringAnywhereIsRefused) {
  TIB_Connection connection(testing::Machine());
  EXPECT_EQ(
      "A propriedade DatabaseName n\xE3o pode estar vazia",
      testing::MessageRaised<EIB_ConnectionError>([&] { connection.Core().ResolveAttachParameters(); }));
}

TEST_F(AttachValues, ForcedDatabaseWinsAndServerNameFillsABlankName) {
  TIB_Connection connection(testing::Machine());
  connection.SetDatabaseName("srv:/x.fdb");
  connection.Core().Params().Set("FORCED_DATABASE", " exact text ");
  EXPECT_EQ(" exact text ", connection.Core().ResolveAttachParameters().connectString);

  TIB_Connection older(testing::Machine());
  older.Core().Params().Set("SERVER NAME", "old:/older.fdb");
  EXPECT_EQ("old:/older.fdb", older.Core().ResolveAttachParameters().connectString);
  EXPECT_FALSE(older.Core().Params().Has("SERVER NAME"));
  EXPECT_EQ("old", older.Core().Server());
}

TEST_F(AttachValues, LocalPasswordServesOnlyALocalProtocol) {
  TIB_Connection connection(testing::Machine());
  connection.Core().SetPasswordStorage(PasswordStorageMode::psParams);
  connection.Core().Params().Set("PASSWORD", "remote");
  connection.Core().Params().Set("LOCAL PASSWORD", "local");
  connection.SetDatabaseName("/data/x.fdb");
  EXPECT_EQ("local", connection.Core().ResolveAttachParameters().password);
  connection.SetDatabaseName("srv:/data/x.fdb");
  EXPECT_EQ("remote", connection.Core().ResolveAttachParameters().password);
}

TEST_F(AttachValues, ThePathCheckLooksAtTheFirstColonOutsideQuotes) {
  TIB_Connection connection(testing::Machine());
  connection.Core().SetServer("srv");
  connection.Core().SetProtocol(TIB_Protocol::cpTCP_IP);
  for (const std::string path : {"C:db.fdb", "/x/a:b", "\"a:b\"/c:d"}) {
    connection.Core().SetPath(path);
    try {
      connection.Core().ResolveAttachParameters();
      FAIL() << path;
    } catch (const EIB_ConnectionError& error) {
      EXPECT_EQ("Caminho de conex\xE3o inv\xE1lido", error.Message());
    }
  }
  for (const std::string path :
       {"C:\\db.fdb", "C:/db.fdb", "\"C:db\".fdb", "\"a:b\"/c:/d", "C:", "/data/db.fdb"}) {
    connection.Core().SetPath(path);
    EXPECT_NO_THROW(connection.Core().ResolveAttachParameters()) << path;
  }
}

TEST(DpbFlags, OnlyExactUpperCaseValuesAddTheirItems) {
  TIB_Connection connection(testing::Machine());
  connection.SetDatabaseName("srv:/x.fdb");
  connection.Core().Params().Set("FORCED WRITES", "true");
  connection.Core().Params().Set("RESERVE PAGE SPACE", "FALSE");
  connection.Core().Params().Set("DB_KEY SCOPE", "TRANSACTION");
  AttachParameters values;
  EXPECT_EQ((std::vector<unsigned char>{0x01, 0x0D, 0x01, 0x00, 0x1B, 0x01, 0x01}),
            Bytes(connection.Core().BuildDPB(values)));
  EXPECT_EQ(TIB_DPBFlag::dpbDefault, connection.Core().ForcedWrites());
  EXPECT_EQ(TIB_DPBFlag::dpbFalse, connection.Core().ReservePageSpace());
}

TEST(DpbValues, A255ByteValueIsAcceptedAnd256Refused) {
  TIB_Connection connection(testing::Machine());
  AttachParameters values;
  values.user = std::string(255, 'u');
  const std::vector<char> dpb = connection.Core().BuildDPB(values);
  ASSERT_EQ(1u + 2u + 255u, dpb.size());
  EXPECT_EQ(static_cast<char>(255), dpb[2]);
  values.role = std::string(256, 'r');
  try {
    connection.Core().BuildDPB(values);
    FAIL();
  } catch (const EIB_ConnectionError& error) {
    EXPECT_EQ("DPB inv\xE1lido: Cont\xE9m mais que 255 caracteres", error.Message());
    EXPECT_EQ(&connection, error.Sender());
  }
}

TEST(DpbValues, ItemsBeyondTheFirst1024BytesGrowTheBufferIntact) {
  TIB_Connection connection(testing::Machine());
  for (const char* key : {"SYSDBA", "LICENSE", "MESSAGE FILE", "CHARACTER SET"}) {
    connection.Core().Params().Set(key, std::string(250, key[0]));
  }
  AttachParameters values;
  values.user = std::string(250, 'u');
  values.password = std::string(250, 'p');
  const std::vector<char> dpb = connection.Core().BuildDPB(values);
  ASSERT_EQ(1u + 6u * 252u, dpb.size());
  // The last item (message file) is whole at the end.
  EXPECT_EQ(static_cast<char>(47), dpb[dpb.size() - 252]);
  EXPECT_EQ(std::string(250, 'M'), std::string(dpb.end() - 250, dpb.end()));
}

TEST(DpbValues, BuffersAreSentAsANumber) {
  TIB_Connection connection(testing::Machine());
  AttachParameters values;
  // Four bytes, least significant first.
  const std::pair<const char*, std::vector<unsigned char>> numbers[] = {
      {"2048", {0x01, 0x05, 0x04, 0x00, 0x08, 0x00, 0x00}},
      {"16909060", {0x01, 0x05, 0x04, 0x04, 0x03, 0x02, 0x01}},
      {"2147483647", {0x01, 0x05, 0x04, 0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& [text, bytes] : numbers) {
    connection.Core().Params().Set("BUFFERS", text);
    EXPECT_EQ(bytes, Bytes(connection.Core().BuildDPB(values))) << text;
  }
  connection.Core().Params().Set("BUFFERS", "many");
  EXPECT_EQ((std::vector<unsigned char>{0x01}), Bytes(connection.Core().BuildDPB(values)));
}

TEST(DpbCustomizing, AHandlerAppendsAndALengthOutsideTheBufferIsRefused) {
  TIB_Connection connection(testing::Machine());
  connection.Core().OnCustomizeDPB = [](TIB_Connection*, int& length, std::vector<char>& buffer) {
    EXPECT_GE(buffer.size(), 1024u);
    buffer[static_cast<std::size_t>(length++)] = 63;  // isc_dpb_sql_dialect
    buffer[static_cast<std::size_t>(length++)] = 1;
    buffer[static_cast<std::size_t>(length++)] = 3;
  };
  AttachParameters values;
  EXPECT_EQ((std::vector<unsigned char>{0x01, 63, 1, 3}), Bytes(connection.Core().BuildDPB(values)));
  connection.Core().OnCustomizeDPB = [](TIB_Connection*, int& length, std::vector<char>& buffer) {
    length = static_cast<int>(buffer.size()) + 1;
  };
  EXPECT_THROW(connection.Core().BuildDPB(values), EIB_ConnectionError);
  // The attach passes the length as a signed 16-bit number: 32767 bytes are the most, however large the
  // handler made the buffer.
  connection.Core().OnCustomizeDPB = [](TIB_Connection*, int& length, std::vector<char>& buffer) {
    buffer.resize(40000, '\0');
    length = 32767;
  };
  EXPECT_EQ(32767u, connection.Core().BuildDPB(values).size());
  connection.Core().OnCustomizeDPB = [](TIB_Connection*, int& length, std::vector<char>& buffer) {
    buffer.resize(40000, '\0');
    length = 32768;
  };
  EXPECT_THROW(connection.Core().BuildDPB(values), EIB_ConnectionError);
}

}  // namespace
}  // namespace db
