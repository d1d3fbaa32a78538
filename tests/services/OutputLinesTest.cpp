#include <gtest/gtest.h>
#include <ibase.h>

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

TEST_F(ServiceDoubleTest, OneBackupRunMakesTheJobsCallsInOrder) {
  auto backup = AttachedBackup();
  backup->ServiceStart();
  control_->QueueReply("isc_service_query", LineReply("gbak:closing file, committing, and finishing"));
  control_->QueueReply("isc_service_query", kEndReply);
  std::vector<std::string> lines;
  while (!backup->EndOfOutput())
    lines.push_back(backup->ReadOutputLine());
  backup->SetActive(false);
  EXPECT_EQ((std::vector<std::string>{"gbak:closing file, committing, and finishing", ""}), lines);
  EXPECT_EQ((std::vector<std::string>{"isc_service_attach", "isc_service_start", "isc_service_query",
                                      "isc_service_query", "isc_service_detach"}),
            ServerEntries());
}

}  // namespace
}  // namespace services
