#include <gtest/gtest.h>
#include <ibase.h>

#include <stdexcept>

#include "tests/services/ServiceDoubleFixture.h"

namespace services {
namespace {

using fbdouble::Arg;

const std::string kBackupInstanceSpb =
    std::string("\x02\x02\x1C\x06", 4) + "SYSDBA" + "\x1D\x09" + "masterkey";

TEST_F(ServiceDoubleTest, BackupInstanceSendsTheTwentyOneByteAttachBufferToDbhost) {
  auto backup = PreparedBackup();
  EXPECT_EQ(kBackupInstanceSpb, backup->BuildAttachParams());
  EXPECT_EQ(21u, kBackupInstanceSpb.size());

  backup->SetActive(true);
  ASSERT_TRUE(backup->Active());
  const auto calls = ServerCalls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ("isc_service_attach", calls[0].entry);
  EXPECT_EQ("nameLength=18 name=\"dbhost:service_mgr\" svc=0 spbLength=21 spb=" + Hex(kBackupInstanceSpb),
            calls[0].args);
}

TEST_F(ServiceDoubleTest, AttachBufferReadsOnlyCredentialLines) {
  TIBCustomService service;
  EXPECT_EQ(std::string("\x02\x02", 2), service.BuildAttachParams()) << "empty Params";

  service.SetParams({"no equals sign", "  =skipped", "=", "ISC_SPB_User_NAME=ana", "PassWord= a=b "});
  EXPECT_EQ(std::string("\x02\x02\x1C\x03", 4) + "ana" + "\x1D\x05" + " a=b ", service.BuildAttachParams());

  service.SetParams({"password="});
  EXPECT_EQ(std::string("\x02\x02\x1D\x00", 4), service.BuildAttachParams())
      << "an empty value is still sent";
}

TEST_F(ServiceDoubleTest, AttachBufferRefusesUnsupportedAndUnknownNames) {
  TIBCustomService service;
  std::string text;
  service.SetParams({"user_name =SYSDBA"});
  EXPECT_EQ(89, ClientErrorOf([&] { service.BuildAttachParams(); }, &text));
  EXPECT_EQ("SPB Constant Unknown", text);
  for (const char* name :
       {"sys_user_name", "sys_user_name_enc", "password_enc", "command_line", "db_name", "verbose", "options",
        "connect_timeout", "dummy_packet_interval", "sql_role_name"}) {
    service.SetParams({"user_name=SYSDBA", std::string("isc_spb_") + name + "=x"});
    EXPECT_EQ(88, ClientErrorOf([&] { service.BuildAttachParams(); }, &text)) << name;
    EXPECT_EQ("SPB Constant Not supported", text);
  }
}

TEST_F(ServiceDoubleTest, AttachBufferTakesValuesUpTo255Bytes) {
  TIBCustomService service;
  service.SetParams({"password=" + std::string(255, 'p')});
  EXPECT_EQ(2u + 2u + 255u, service.BuildAttachParams().size());
  service.SetParams({"password=" + std::string(256, 'p')});
  std::string text;
  EXPECT_EQ(120, ClientErrorOf([&] { service.BuildAttachParams(); }, &text));
  EXPECT_EQ("SPB value of password is longer than 255 bytes", text);
}

TEST_F(ServiceDoubleTest, AttachBufferAboveThe16BitLengthIsRefused) {
  TIBCustomService service;
  // 2 + 127 * 257 + 126 = 32767 bytes: the most a signed 16-bit length can count.
  std::vector<std::string> lines(127, "password=" + std::string(255, 'p'));
  lines.push_back("user_name=" + std::string(124, 'u'));
  service.SetParams(lines);
  EXPECT_EQ(32767u, service.BuildAttachParams().size());
  lines.back() += 'u';
  service.SetParams(lines);
  std::string text;
  EXPECT_EQ(121, ClientErrorOf([&] { service.BuildAttachParams(); }, &text));
  EXPECT_EQ("Service name or SPB longer than 32767 bytes", text);
}

TEST_F(ServiceDoubleTest, AServiceNameAbove65535BytesIsRefusedBeforeTheAttach) {
  TIBCustomService service;
  service.SetProtocol(TProtocol::TCP);
  service.SetServerName(std::string(65523, 'h'));  // with ":service_mgr", 65535 bytes
  service.SetActive(true);
  EXPECT_NE(std::string::npos, ServerCalls().at(0).args.find("nameLength=65535 ")) << "still fits";
  service.SetActive(false);
  service.SetServerName(std::string(65524, 'h'));
  std::string text;
  EXPECT_EQ(121, ClientErrorOf([&] { service.SetActive(true); }, &text));
  EXPECT_EQ("Service name or SPB longer than 65535 bytes", text);
  EXPECT_EQ(1u, CallCount("isc_service_attach"));
}

TEST_F(ServiceDoubleTest, ARefusedBufferIsNeverReplacedByTheOneBefore) {
  auto backup = AttachedBackup();
  backup->SetActive(false);
  backup->Params().Add("db_name=/dados/app.fdb");
  control_->ClearCalls();
  EXPECT_EQ(88, ClientErrorOf([&] { backup->SetActive(true); }));
  EXPECT_EQ(88, ClientErrorOf([&] { backup->SetActive(true); })) << "built again, not the last good buffer";
  EXPECT_EQ(0u, CallCount("isc_service_attach"));
  EXPECT_FALSE(backup->Active());

  backup->Params().Delete(2);
  backup->SetActive(true);
  EXPECT_NE(std::string::npos, ServerCalls().back().args.find("spb=" + Hex(kBackupInstanceSpb)));
}

TEST_F(ServiceDoubleTest, ServiceNameFollowsTheProtocol) {
  TIBCustomService service;
  EXPECT_EQ("service_mgr", service.ServiceName()) << "Local is the default";
  service.SetProtocol(TProtocol::TCP);
  service.SetServerName("dbhost");
  EXPECT_EQ("dbhost:service_mgr", service.ServiceName());
  service.SetProtocol(TProtocol::SPX);
  service.SetServerName("dbhost");
  EXPECT_EQ("dbhost@service_mgr", service.ServiceName());
  service.SetProtocol(TProtocol::NamedPipe);
  service.SetServerName("dbhost");
  EXPECT_EQ("\\\\dbhost\\service_mgr", service.ServiceName());
}

TEST_F(ServiceDoubleTest, LocalAttachesToServiceMgrWithoutAServerName) {
  TIBCustomService service;
  service.SetActive(true);
  EXPECT_TRUE(service.Active());
  EXPECT_EQ("nameLength=11 name=\"service_mgr\" svc=0 spbLength=2 spb=02 02", ServerCalls().at(0).args);
}

TEST_F(ServiceDoubleTest, RemoteProtocolWithoutServerNameFailsBeforeAnyCall) {
  auto backup = PreparedBackup();
  backup->SetServerName("");
  std::string text;
  EXPECT_EQ(92, ClientErrorOf([&] { backup->SetActive(true); }, &text));
  EXPECT_EQ("Server Name Missing", text);
  EXPECT_TRUE(ServerCalls().empty());
}

TEST_F(ServiceDoubleTest, ProtocolLocalEmptiesTheServerNameForGood) {
  TIBCustomService service;
  service.SetProtocol(TProtocol::TCP);
  service.SetServerName("dbhost");
  service.SetProtocol(TProtocol::Local);
  EXPECT_EQ("", service.ServerName());
  service.SetProtocol(TProtocol::TCP);
  EXPECT_EQ("", service.ServerName());
}

TEST_F(ServiceDoubleTest, ConnectionSettingsAreGuardedWhileAttached) {
  auto backup = AttachedBackup();
  EXPECT_NO_THROW(backup->SetServerName("dbhost")) << "the same name is no change";
  EXPECT_NO_THROW(backup->SetProtocol(TProtocol::TCP));
  std::string text;
  EXPECT_EQ(91, ClientErrorOf([&] { backup->SetServerName("otherhost"); }, &text));
  EXPECT_EQ("Cannot perform operation -- service is attached", text);
  EXPECT_EQ("dbhost", backup->ServerName());
  EXPECT_EQ(91, ClientErrorOf([&] { backup->SetProtocol(TProtocol::Local); }));
  EXPECT_EQ(TProtocol::TCP, backup->Protocol());
  EXPECT_EQ("dbhost", backup->ServerName());

  const std::vector<std::string> before = backup->Params().Lines();
  EXPECT_EQ(91, ClientErrorOf([&] { backup->Params().Add("password=x"); }));
  EXPECT_EQ(91, ClientErrorOf([&] { backup->Params().Set(0, "user_name=ANA"); }));
  EXPECT_EQ(91, ClientErrorOf([&] { backup->Params().Delete(1); }));
  EXPECT_EQ(91, ClientErrorOf([&] { backup->Params().Clear(); }));
  EXPECT_EQ(91, ClientErrorOf([&] { backup->SetParams({"user_name=ANA"}); }));
  EXPECT_EQ(before, backup->Params().Lines());

  // The job's own writes are not guarded.
  EXPECT_NO_THROW(backup->SetDatabaseName("/other.fdb"));
  EXPECT_NO_THROW(backup->BackupFile().Add("/other.fbk"));
  EXPECT_NO_THROW(backup->SetVerbose(false));
}

TEST_F(ServiceDoubleTest, ActiveAttachesOnceAndDetachesOnce) {
  auto backup = PreparedBackup();
  int attachEvents = 0;
  backup->OnAttach = [&](TIBCustomService& sender) {
    EXPECT_EQ(backup.get(), &sender);
    EXPECT_TRUE(sender.Active());
    ++attachEvents;
  };
  backup->SetActive(false);
  EXPECT_TRUE(ServerCalls().empty()) << "false while detached does nothing";
  backup->SetActive(true);
  backup->SetActive(true);
  EXPECT_EQ(1, attachEvents);
  std::string text;
  EXPECT_EQ(91, ClientErrorOf([&] { backup->Attach(); }, &text));
  backup->SetActive(false);
  EXPECT_FALSE(backup->Active());
  EXPECT_EQ(90, ClientErrorOf([&] { backup->Detach(); }, &text));
  EXPECT_EQ("Cannot perform operation -- service is not attached", text);
  EXPECT_EQ((std::vector<std::string>{"isc_service_attach", "isc_service_detach"}), ServerEntries());
  const auto calls = ServerCalls();
  EXPECT_EQ(calls[0].out, calls[1].args) << "the handle attached is the one detached";
  EXPECT_EQ("svc=0", calls[1].out);
}

TEST_F(ServiceDoubleTest, AFailedAttachRaisesTheServerTextAndLeavesNoHandle) {
  auto backup = PreparedBackup();
  control_->Fail("isc_service_attach", {isc_arg_gds, isc_network_error, isc_arg_string, Arg("dbhost"),
                                        isc_arg_gds, isc_net_connect_err, isc_arg_end});
  bool attached = false;
  backup->OnAttach = [&](TIBCustomService&) { attached = true; };
  try {
    backup->SetActive(true);
    FAIL() << "the attach was refused";
  } catch (const fbclient::EIBInterBaseError& error) {
    EXPECT_EQ("Unable to complete network request to host \"dbhost\".\r\nFailed to establish a connection",
              std::string(error.what()));
    EXPECT_EQ(isc_network_error, error.GdsCode());
    EXPECT_EQ(-902, error.SQLCode());
  }
  EXPECT_FALSE(backup->Active());
  EXPECT_FALSE(attached);
  EXPECT_EQ((std::vector<std::string>{"isc_service_attach"}), ServerEntries());
  backup->SetActive(true);
  EXPECT_TRUE(backup->Active()) << "the next attach starts afresh";
}

TEST_F(ServiceDoubleTest, AFailedDetachStillForgetsTheHandle) {
  auto backup = AttachedBackup();
  control_->Fail("isc_service_detach", {isc_arg_gds, isc_bad_svc_handle, isc_arg_end});
  EXPECT_THROW(backup->SetActive(false), fbclient::EIBInterBaseError);
  EXPECT_FALSE(backup->Active());
}

TEST_F(ServiceDoubleTest, DestructionDetachesAndSwallowsAFailure) {
  { auto backup = AttachedBackup(); }
  EXPECT_EQ(1u, CallCount("isc_service_detach"));
  {
    auto backup = AttachedBackup();
    control_->Fail("isc_service_detach", {isc_arg_gds, isc_network_error, isc_arg_end});
  }
  EXPECT_EQ(2u, CallCount("isc_service_detach"));
  { auto backup = PreparedBackup(); }
  EXPECT_EQ(2u, CallCount("isc_service_detach")) << "nothing to detach";
}

TEST_F(ServiceDoubleTest, StoredSettingsOfABackupComponent) {
  TIBBackupService plain;
  EXPECT_TRUE(plain.LoginPrompt());
  EXPECT_FALSE(plain.Verbose());
  EXPECT_TRUE(plain.Options().Empty());
  EXPECT_EQ(32000, plain.BufferSize());
  EXPECT_EQ(0, plain.BlockingFactor());
  EXPECT_EQ(TProtocol::Local, plain.Protocol());
  EXPECT_EQ(0u, plain.TraceFlags());
  EXPECT_FALSE(plain.EndOfOutput());
}

TEST(ParamsList, AnIndexPastTheLastLineIsRefusedAndChangesNothing) {
  LineList list;
  list.Assign({"user_name=SYSDBA", "password=x"});
  int changes = 0;
  list.OnChanging = [&] { ++changes; };
  EXPECT_THROW(list.Set(2, "a=b"), std::out_of_range);
  EXPECT_THROW(list.Delete(2), std::out_of_range);
  EXPECT_THROW(list.Insert(3, "a=b"), std::out_of_range);
  EXPECT_EQ((std::vector<std::string>{"user_name=SYSDBA", "password=x"}), list.Lines());
  EXPECT_EQ(0, changes);
  EXPECT_EQ(2u, list.Count());
  list.Insert(2, "last=1");
  EXPECT_EQ(3u, list.Count());
  list.Delete(0);
  EXPECT_EQ((std::vector<std::string>{"password=x", "last=1"}), list.Lines());
  EXPECT_EQ(2, changes);
}

}  // namespace
}  // namespace services
