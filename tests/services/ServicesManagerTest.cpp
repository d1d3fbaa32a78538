#include <gtest/gtest.h>
#include <ibase.h>

#include <regex>

#include "services/ServicesManager.h"
#include "tests/services/ServiceDoubleFixture.h"

namespace services {
namespace {

using ServicesManagerTest = ServiceDoubleTest;

// Each call with its arguments, the handle the double numbered it with left out.
std::vector<std::string> EntriesAndArguments(const std::vector<fbdouble::Call>& calls) {
  std::vector<std::string> texts;
  for (const fbdouble::Call& call : calls)
    texts.push_back(call.entry + " " + std::regex_replace(call.args, std::regex("svc=[0-9]+"), "svc=H"));
  return texts;
}

const std::vector<unsigned char> kLineReply = {isc_info_svc_line, 4, 0, 'l', 'i', 'n', 'e', isc_info_end};
const std::vector<unsigned char> kEndReply = {isc_info_svc_line, 0, 0, isc_info_end};
const std::vector<unsigned char> kWaitReply = {isc_info_svc_line, 0, 0, isc_info_svc_timeout, isc_info_end};

TEST_F(ServicesManagerTest, TheServerGetsWhatTheWindowsBackupComponentAlwaysSent) {
  ServicesManager server;
  std::vector<std::string> lines;
  control_->ReplayServiceLines(2, "gbak: writing data");
  server.Backup(std::nullopt, "dbhost", "/dados/app.fdb", "/backup/app.fbk",
                [&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_EQ(lines, (std::vector<std::string>{"gbak: writing data", "gbak: writing data", ""}));
  const std::vector<std::string> sent = EntriesAndArguments(ServerCalls());

  control_->ClearCalls();
  TIBBackupService component;
  ApplyBackupInstanceSettings(component);
  component.SetDatabaseName("/dados/app.fdb");
  component.SetServerName("dbhost");
  component.BackupFile().Add("/backup/app.fbk");
  component.SetProtocol(TProtocol::TCP);
  control_->ReplayServiceLines(2, "gbak: writing data");
  component.SetActive(true);
  component.ServiceStart();
  while (!component.EndOfOutput())
    component.ReadOutputLine();
  component.SetActive(false);
  EXPECT_EQ(sent, EntriesAndArguments(ServerCalls()));
  EXPECT_EQ(CallCount("isc_service_detach"), 1u);
}

TEST_F(ServicesManagerTest, ABackupFileWithAnEqualsSignIsSentAsOneWholeName) {
  ServicesManager server;
  control_->ReplayServiceLines(0, "");
  server.Backup(std::nullopt, "dbhost", "/dados/a=b.fdb", "/c=1/backup/a=b_20260307_2105.gbk",
                [](std::string_view) {});
  const auto starts = fbdouble::CallsTo(control_->Calls(), "isc_service_start");
  ASSERT_EQ(starts.size(), 1u);
  // 05, 33 bytes of name, the name itself; nothing after it.
  EXPECT_TRUE(
      starts[0].args.ends_with("6B 05 21 00 2F 63 3D 31 2F 62 61 63 6B 75 70 2F 61 3D 62 5F 32 30 32 36 30 "
                               "33 30 37 5F 32 31 30 35 2E 67 62 6B"))
      << starts[0].args;
}

TEST_F(ServicesManagerTest, EachCallAttachesWithItsOwnLogin) {
  ServicesManager server;
  control_->ReplayServiceLines(0, "");
  server.Backup(core::ServerLogin{"KB", core::SecretText(" a=b")}, "dbhost", "/dados/app.fdb",
                "/backup/app.fbk", [](std::string_view) {});
  control_->QueueReply("isc_service_query", kEndReply);
  server.Restore(core::ServerLogin{"ANA", core::SecretText("s")}, "dbhost", "/backup/app.fbk", "/x.fdb",
                 [](std::string_view) {});
  const auto attaches = fbdouble::CallsTo(control_->Calls(), "isc_service_attach");
  ASSERT_EQ(attaches.size(), 2u);
  EXPECT_TRUE(attaches[0].args.ends_with("spbLength=12 spb=02 02 1C 02 4B 42 1D 04 20 61 3D 62"))
      << attaches[0].args;
  EXPECT_TRUE(attaches[1].args.ends_with("spbLength=10 spb=02 02 1C 03 41 4E 41 1D 01 73"))
      << attaches[1].args;
}

TEST_F(ServicesManagerTest, AFailureTellsHowFarTheBackupGotAndGivesTheAttachmentUp) {
  struct Case {
    const char* failingCall;
    int callsBefore;
    ISC_STATUS code;
    core::ServerStage stage;
    bool notWritable;
    std::size_t detaches;  // a held attachment is given up; a failed start or query already forgot it
  };
  const Case cases[] = {
      {"isc_service_attach", 0, isc_network_error, core::ServerStage::NotStarted, false, 0},
      {"isc_service_start", 0, isc_gbak_open_bkup_error, core::ServerStage::NotStarted, true, 0},
      {"isc_service_query", 0, isc_network_error, core::ServerStage::Started, false, 0},
      {"isc_service_query", 2, isc_gbak_open_bkup_error, core::ServerStage::Started, true, 0},
      {"isc_service_detach", 0, isc_network_error, core::ServerStage::OutputEnded, false, 1},
  };
  // With lines and without, whose queries wait for the end (a line that comes is another look).
  for (std::size_t run = 0; run < 2 * std::size(cases); ++run) {
    const Case& c = cases[run / 2];
    const bool withLines = run % 2 == 0;
    SCOPED_TRACE(std::string(c.failingCall) + (withLines ? "" : " without lines"));
    control_->Reset();
    control_->SetForwarding(false);
    ServicesManager server;
    for (int line = 0; line < 3; ++line)
      control_->QueueReply("isc_service_query", line == 1 && !withLines ? kWaitReply : kLineReply);
    control_->QueueReply("isc_service_query", kEndReply);
    control_->Fail(c.failingCall, {isc_arg_gds, c.code, isc_arg_end}, c.callsBefore);
    int lines = 0;
    const auto backup = [&] {
      if (withLines)
        return server.Backup(std::nullopt, "dbhost", "/dados/app.fdb", "/backup/app.fbk",
                             [&](std::string_view) { ++lines; });
      server.BackupWithoutLines(std::nullopt, "dbhost", "/dados/app.fdb", "/backup/app.fbk",
                                [&] { ++lines; });
    };
    try {
      backup();
      ADD_FAILURE() << "no failure";
    } catch (const core::ServerFailure& failure) {
      EXPECT_EQ(failure.Stage(), c.stage);
      EXPECT_EQ(failure.BackupFileNotWritable(), c.notWritable);
    }
    EXPECT_EQ(CallCount("isc_service_detach"), c.detaches);
    control_->ClearCalls();
    // The next backup attaches afresh.
    control_->ReplayServiceLines(1, "line");
    backup();
    EXPECT_EQ(CallCount("isc_service_attach"), 1u);
    const std::string start = fbdouble::CallsTo(control_->Calls(), "isc_service_start").at(0).args;
    EXPECT_EQ(start.find("6C 08 00 00 00 6B 05") != std::string::npos, withLines) << "the verbose byte";
  }
}

}  // namespace
}  // namespace services
