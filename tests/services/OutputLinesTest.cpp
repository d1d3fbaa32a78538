#include <gtest/gtest.h>
#include <ibase.h>

#include <algorithm>

#include "services/RestoreService.h"
#include "services/TIBControlService.h"
#include "tests/services/ServiceDoubleFixture.h"

namespace services {
namespace {

using fbdouble::Arg;

std::vector<unsigned char> LineReply(const std::string& text) {
  std::vector<unsigned char> reply;
  reply.reserve(4 + text.size());  // also keeps gcc 12's -Warray-bounds quiet about insert after a list
  reply.push_back(isc_info_svc_line);
  reply.push_back(static_cast<unsigned char>(text.size() & 0xFF));
  reply.push_back(static_cast<unsigned char>(text.size() >> 8));
  reply.insert(reply.end(), text.begin(), text.end());
  reply.push_back(isc_info_end);
  return reply;
}

const std::vector<unsigned char> kEndReply = {isc_info_svc_line, 0, 0, isc_info_end};

class OutputLinesTest : public ServiceDoubleTest {
 protected:
  void SetUp() override {
    ServiceDoubleTest::SetUp();
    backup_ = AttachedBackup();
    backup_->ServiceStart();
    control_->ClearCalls();
  }
  void TearDown() override {
    backup_.reset();
    ServiceDoubleTest::TearDown();
  }

  std::unique_ptr<TIBBackupService> backup_;
};

TEST_F(OutputLinesTest, ReadsEachLineWithOneQueryUntilTheEmptyLine) {
  control_->QueueReply("isc_service_query", LineReply("gbak:readied database /dados/app.fdb for backup"));
  control_->QueueReply("isc_service_query", LineReply("gbak:creating file /backup/app.fbk"));
  control_->QueueReply("isc_service_query", kEndReply);
  std::vector<std::string> lines;
  while (!backup_->EndOfOutput())
    lines.push_back(backup_->ReadOutputLine());
  EXPECT_EQ((std::vector<std::string>{"gbak:readied database /dados/app.fdb for backup",
                                      "gbak:creating file /backup/app.fbk", ""}),
            lines);
  const auto queries = ServerCalls();
  ASSERT_EQ(3u, queries.size());
  EXPECT_EQ(queries[0].args, queries[2].args) << "the same request every time";
  EXPECT_NE(std::string::npos,
            queries[0].args.find(
                "reserved=null sendLength=0 send=null requestLength=1 request=3E resultLength=32000"))
      << queries[0].args;

  EXPECT_EQ("", backup_->ReadOutputLine());
  EXPECT_EQ("", backup_->ReadOutputLine());
  EXPECT_EQ(3u, CallCount("isc_service_query")) << "no query after the end";
  EXPECT_TRUE(backup_->Active()) << "reading does not detach";
}

TEST_F(OutputLinesTest, AnEmptyFirstReplyEndsTheOutputAtOnce) {
  control_->QueueReply("isc_service_query", kEndReply);
  EXPECT_EQ("", backup_->ReadOutputLine());
  EXPECT_TRUE(backup_->EndOfOutput());
}

TEST_F(OutputLinesTest, AnEmptyReplyMarkedNotReadyIsAskedAgainNotTakenForTheEnd) {
  for (const unsigned char marker : {isc_info_data_not_ready, isc_info_svc_timeout}) {
    control_->QueueReply("isc_service_query", {isc_info_svc_line, 0, 0, marker, isc_info_end});
    control_->QueueReply("isc_service_query", LineReply("gbak:writing SQL roles"));
    EXPECT_EQ("gbak:writing SQL roles", backup_->ReadOutputLine()) << int{marker};
    EXPECT_FALSE(backup_->EndOfOutput());
  }
  EXPECT_EQ(4u, CallCount("isc_service_query"));
}

TEST_F(OutputLinesTest, MalformedRepliesAreClientError95AndChangeNothing) {
  const std::vector<std::vector<unsigned char>> malformed = {
      {isc_info_end},                                           // not a line item
      {isc_info_svc_to_eof, 2, 0, 'o', 'k', isc_info_end},      // a whole reply, but to another item
      {isc_info_svc_line, 2, 0, 'o', 'k', isc_info_truncated},  // wrong end byte
      {isc_info_svc_line, 0xFF, 0x7F, 'x', isc_info_end},       // length far beyond the buffer
  };
  for (const auto& reply : malformed) {
    control_->QueueReply("isc_service_query", reply);
    std::string text;
    EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); }, &text));
    EXPECT_EQ("Unexpected Output buffer value", text);
    EXPECT_TRUE(backup_->Active());
    EXPECT_FALSE(backup_->EndOfOutput());
  }
  control_->QueueReply("isc_service_query", LineReply("still reading"));
  EXPECT_EQ("still reading", backup_->ReadOutputLine()) << "the action is kept";
  EXPECT_EQ(0u, CallCount("isc_service_detach"));
}

TEST_F(OutputLinesTest, TheEndByteMustLieInsideTheReceiveBuffer) {
  backup_->SetBufferSize(16);
  control_->QueueReply("isc_service_query", LineReply(std::string(12, 'a')));
  EXPECT_EQ(std::string(12, 'a'), backup_->ReadOutputLine()) << "end byte in the last cell";
  // The same reply one byte longer: its end byte would sit just past the buffer.
  control_->QueueReply("isc_service_query", LineReply(std::string(13, 'a')));
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); }));
  EXPECT_FALSE(backup_->EndOfOutput());
}

TEST_F(OutputLinesTest, AReplyThatLeavesTheBufferAsItWasIsNotTheSameLineAgain) {
  // A server that answers without writing anything (an empty reply) or without the end byte must not
  // make the kept bytes of the line before look like a new line: the end byte read is consumed.
  control_->QueueReply("isc_service_query", LineReply("gbak:writing data for table DADOS"));
  EXPECT_EQ("gbak:writing data for table DADOS", backup_->ReadOutputLine());
  control_->QueueReply("isc_service_query", {});
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); }));
  control_->QueueReply("isc_service_query", LineReply("ab"));
  EXPECT_EQ("ab", backup_->ReadOutputLine());
  control_->QueueReply("isc_service_query", {isc_info_svc_line, 2, 0, 'y', 'o'});
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); })) << "same length, no end byte";
}

TEST_F(OutputLinesTest, AnEndByteJustPastTheBufferIsNotReadEvenWhenMemoryHoldsOne) {
  // A refused reply in a larger buffer leaves an end byte at offset 16; shrinking the buffer to 16 keeps
  // that memory behind it. A reply whose end byte would sit there must be refused, not read from beyond.
  backup_->SetBufferSize(100);
  std::vector<unsigned char> refused = {isc_info_svc_line, 2, 0, 'o', 'k', isc_info_truncated};
  refused.resize(16, ' ');
  refused.push_back(isc_info_end);
  control_->QueueReply("isc_service_query", refused);
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); }));
  backup_->SetBufferSize(16);
  control_->QueueReply("isc_service_query", LineReply(std::string(13, 'c')));
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); }));
}

TEST_F(OutputLinesTest, TheLengthIsASignedLittleEndianNumber) {
  // 0x8000 read through the library's decoder is -32768, not a 32,768-character line.
  backup_->SetBufferSize(65535);
  std::vector<unsigned char> reply = {isc_info_svc_line, 0x00, 0x80};
  reply.insert(reply.end(), 32768, 'x');
  reply.push_back(isc_info_end);
  control_->QueueReply("isc_service_query", reply);
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); }));
  control_->QueueReply("isc_service_query", {isc_info_svc_line, 0x03, 0x00, 'l', 'o', 'w', isc_info_end});
  EXPECT_EQ("low", backup_->ReadOutputLine()) << "low byte first";
}

TEST_F(OutputLinesTest, ASecondBackupOnTheSameComponentReadsItsOwnOutput) {
  control_->QueueReply("isc_service_query", kEndReply);
  EXPECT_EQ("", backup_->ReadOutputLine());
  ASSERT_TRUE(backup_->EndOfOutput());
  backup_->ServiceStart();
  EXPECT_FALSE(backup_->EndOfOutput()) << "a new request reads afresh";
  control_->QueueReply("isc_service_query", LineReply("gbak:readied database"));
  EXPECT_EQ("gbak:readied database", backup_->ReadOutputLine());
}

TEST_F(OutputLinesTest, ALineStopsAtAnEmbeddedNul) {
  control_->QueueReply("isc_service_query", LineReply(std::string("before\0after", 12)));
  EXPECT_EQ("before", backup_->ReadOutputLine());
  EXPECT_FALSE(backup_->EndOfOutput());
}

TEST_F(OutputLinesTest, TheReceiveBufferIsKeptUntilItsSizeChanges) {
  // A reply shorter than the one before leaves the earlier bytes behind it: here a 1 in the cell the
  // short reply's end byte would take.
  const std::string earlier(
      "ab\x01"
      "cd",
      5);
  control_->QueueReply("isc_service_query", LineReply(earlier));
  EXPECT_EQ(earlier, backup_->ReadOutputLine());
  control_->QueueReply("isc_service_query", {isc_info_svc_line, 2, 0, 'y', 'o'});
  EXPECT_EQ("yo", backup_->ReadOutputLine());

  control_->QueueReply("isc_service_query", LineReply(earlier));
  EXPECT_EQ(earlier, backup_->ReadOutputLine());
  backup_->SetBufferSize(100);
  control_->QueueReply("isc_service_query", {isc_info_svc_line, 2, 0, 'y', 'o'});
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); })) << "reallocated zero-filled";
  const auto queries = fbdouble::CallsTo(control_->Calls(), "isc_service_query");
  EXPECT_NE(std::string::npos, queries.back().args.find("resultLength=100"));
}

TEST_F(OutputLinesTest, BufferSizeOutside16BitsIsRefused) {
  for (int size : {0, -1, 65536}) {
    std::string text;
    EXPECT_EQ(124, ClientErrorOf([&] { backup_->SetBufferSize(size); }, &text));
    EXPECT_EQ("BufferSize must be between 1 and 65535", text);
    EXPECT_EQ(32000, backup_->BufferSize());
  }
  for (int size : {1, 65535}) {
    EXPECT_EQ(-1, ClientErrorOf([&] { backup_->SetBufferSize(size); })) << size;
    EXPECT_EQ(size, backup_->BufferSize());
  }
}

TEST_F(OutputLinesTest, FourBytesHoldTheEndOfTheOutputAndThreeDoNot) {
  backup_->SetBufferSize(3);
  control_->QueueReply("isc_service_query", kEndReply);
  EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputLine(); })) << "too small to hold any reply";
  backup_->SetBufferSize(4);
  control_->QueueReply("isc_service_query", kEndReply);
  EXPECT_EQ("", backup_->ReadOutputLine());
  EXPECT_TRUE(backup_->EndOfOutput());
}

TEST_F(OutputLinesTest, AFailedQueryForgetsTheHandleAndKeepsTheState) {
  control_->Fail("isc_service_query",
                 {isc_arg_gds, isc_network_error, isc_arg_string, Arg("dbhost"), isc_arg_end});
  try {
    backup_->ReadOutputLine();
    FAIL() << "the query failed";
  } catch (const fbclient::EIBInterBaseError& error) {
    EXPECT_EQ("Unable to complete network request to host \"dbhost\"", std::string(error.what()));
  }
  EXPECT_FALSE(backup_->Active());
  EXPECT_FALSE(backup_->EndOfOutput());
  backup_.reset();
  EXPECT_EQ((std::vector<std::string>{"isc_service_query"}), ServerEntries()) << "no detach call";
}

// A backup sent to the program ("stdout") comes in pieces of binary data under the to-eof item; only an
// empty piece with the end byte ends it.
TEST_F(OutputLinesTest, TheFileSentToTheProgramComesPieceByPieceUntilAnEmptyEndedOne) {
  struct Case {
    std::vector<unsigned char> reply;
    std::string piece;  // "!" for client error 95
    bool ended;
  };
  // The largest buffer the component takes, where a piece may pass 32767 bytes.
  backup_->SetBufferSize(65535);
  std::vector<unsigned char> large{isc_info_svc_to_eof, 0x40, 0x9C};  // 40000 bytes
  large.resize(large.size() + 40000, 'z');
  large.push_back(isc_info_truncated);
  const Case cases[] = {
      {{isc_info_svc_to_eof, 3, 0, 'a', 0, 'b', isc_info_truncated}, std::string("a\0b", 3), false},
      {large, std::string(40000, 'z'), false},
      {{isc_info_svc_to_eof, 2, 0, 'x', 'y', isc_info_end}, "xy", false},
      {{isc_info_svc_to_eof, 0, 0, isc_info_data_not_ready}, "", false},
      {{isc_info_svc_line, 2, 0, 'o', 'k', isc_info_end}, "!", false},
      {{isc_info_svc_to_eof, 2, 0, 'o', 'k', isc_info_svc_line}, "!", false},
      {{isc_info_svc_to_eof, 0xFF, 0xFF, 'x', isc_info_end}, "!", false},
      {{isc_info_svc_to_eof, 0, 0, isc_info_end}, "", true},
  };
  for (const Case& c : cases) {
    control_->QueueReply("isc_service_query", c.reply);
    if (c.piece == "!") {
      EXPECT_EQ(95, ClientErrorOf([&] { backup_->ReadOutputData(); }));
    } else {
      EXPECT_EQ(c.piece, std::string(backup_->ReadOutputData()));
    }
    EXPECT_EQ(c.ended, backup_->EndOfOutput()) << c.piece;
  }
  EXPECT_EQ("", std::string(backup_->ReadOutputData()));
  const auto queries = ServerCalls();
  ASSERT_EQ(8u, queries.size()) << "no query after the end";
  EXPECT_NE(std::string::npos, queries[0].args.find("sendLength=0 send=null requestLength=1 request=3F "))
      << queries[0].args;
}

// A restore from the program ("stdin"): the server asks for input in its answers and gets at most that
// much in the next query, as one line item; the program's lines come as they do from a file.
TEST_F(ServiceDoubleTest, ARestoreFromTheProgramIsFedWhatTheServerAsksFor) {
  RestoreService restore;
  restore.SetServerName("dbhost");
  restore.SetProtocol(TProtocol::TCP);
  restore.SetDatabaseName("/dados/verificacao.fdb");
  restore.BackupFile().Add(kFromProgram);
  restore.SetActive(true);
  restore.ServiceStart();
  const std::vector<unsigned char> notReady = {isc_info_svc_line, 0, 0, isc_info_data_not_ready,
                                               isc_info_end};
  const auto asking = [&](std::uint32_t bytes, std::vector<unsigned char> rest) {
    std::vector<unsigned char> reply;
    reply.reserve(5 + rest.size());  // keeps gcc 12's -Warray-bounds quiet about insert after a list
    reply = {isc_info_svc_stdin, static_cast<unsigned char>(bytes & 0xFF),
             static_cast<unsigned char>((bytes >> 8) & 0xFF), static_cast<unsigned char>(bytes >> 16), 0};
    reply.insert(reply.end(), rest.begin(), rest.end());
    return reply;
  };
  control_->QueueReply("isc_service_query", asking(0x10000, notReady));
  control_->QueueReply("isc_service_query", asking(5, notReady));
  control_->QueueReply("isc_service_query",
                       asking(0, {isc_info_svc_line, 4, 0, 'g', 'b', 'a', 'k', isc_info_end}));
  control_->QueueReply("isc_service_query", asking(10, notReady));
  control_->QueueReply("isc_service_query", asking(0, {isc_info_svc_line, 0, 0, isc_info_end}));
  std::string input(65532, 'f');
  input += "xyz";
  std::size_t given = 0;
  const InputRead read = [&](char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, input.size() - given);
    std::copy_n(input.data() + given, n, buffer);
    given += n;
    return n;
  };
  control_->ClearCalls();
  EXPECT_EQ("gbak", restore.ReadOutputLine(read));
  EXPECT_EQ("", restore.ReadOutputLine(read));
  EXPECT_TRUE(restore.EndOfOutput());
  EXPECT_EQ("", restore.ReadOutputLine(read));

  const auto queries = ServerCalls();
  ASSERT_EQ(5u, queries.size());
  const std::string sends[] = {"sendLength=0 send=null ", "sendLength=65535 send=3E FC FF 66 66 ",
                               "sendLength=6 send=3E 03 00 78 79 7A ", "sendLength=0 send=null ",
                               "sendLength=3 send=3E 00 00 "};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_NE(std::string::npos, queries[i].args.find(sends[i]))
        << i << ": " << queries[i].args.substr(0, 80);
    EXPECT_NE(std::string::npos, queries[i].args.find("requestLength=2 request=4E 3E ")) << i;
  }

  // An answer without the line asked for, or with an item of another kind, is not the server's.
  restore.ServiceStart();
  control_->QueueReply("isc_service_query", asking(5, {isc_info_end}));
  EXPECT_EQ(95, ClientErrorOf([&] { restore.ReadOutputLine(read); }));
  control_->QueueReply("isc_service_query", asking(0, {isc_info_svc_to_eof, 0, 0, isc_info_end}));
  EXPECT_EQ(95, ClientErrorOf([&] { restore.ReadOutputLine(read); }));
  EXPECT_FALSE(restore.EndOfOutput());
}

TEST_F(ServiceDoubleTest, ReadingBeforeAnyActionIsClientError93WithoutAQuery) {
  auto backup = AttachedBackup();
  std::string text;
  EXPECT_EQ(93, ClientErrorOf([&] { backup->ReadOutputLine(); }, &text));
  EXPECT_EQ("Query Parameters missing or incorrect", text);
  EXPECT_EQ(0u, CallCount("isc_service_query"));
}

// Reaches the query machinery without a line request.
class BareQueryService : public TIBControlAndQueryService {
 public:
  void QueryWithoutRequest() { QueryService(); }
};

// A control service has nothing to start (client error 94), and a query without a line request nothing
// to ask (93): neither reaches the services manager.
TEST_F(ServiceDoubleTest, WithoutARequestThereIsNothingToStartOrQuery) {
  TIBControlService control;
  control.SetActive(true);
  EXPECT_EQ(94, ClientErrorOf([&] { control.ServiceStart(); }));
  BareQueryService query;
  query.SetActive(true);
  EXPECT_EQ(93, ClientErrorOf([&] { query.QueryWithoutRequest(); }));
  EXPECT_EQ(0u, CallCount("isc_service_start"));
  EXPECT_EQ(0u, CallCount("isc_service_query"));
}

}  // namespace
}  // namespace services
