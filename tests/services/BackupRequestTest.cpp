#include <gtest/gtest.h>
#include <ibase.h>

#include "StrToInt.h"
#include "fbclient/ClientErrors.h"
#include "services/RestoreService.h"
#include "tests/services/ServiceDoubleFixture.h"

namespace services {
namespace {

using fbdouble::Arg;

std::string Text(unsigned char tag, const std::string& text) {
  return std::string{static_cast<char>(tag), static_cast<char>(text.size() & 0xFF),
                     static_cast<char>(text.size() >> 8)} +
         text;
}

std::string Int(unsigned char tag, std::uint32_t value) {
  std::string item(1, static_cast<char>(tag));
  for (int shift = 0; shift < 32; shift += 8)
    item += static_cast<char>((value >> shift) & 0xFF);
  return item;
}

TEST_F(ServiceDoubleTest, BackupInstanceStartRequestIsByteExact) {
  auto backup = AttachedBackup();
  backup->ServiceStart();
  const std::string expected =
      "\x01" + Text(106, "/dados/app.fdb") + Int(108, 8) + "\x6B" + Text(5, "/backup/app.fbk");
  EXPECT_EQ(13u + 14u + 15u, expected.size());
  const auto starts = fbdouble::CallsTo(control_->Calls(), "isc_service_start");
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(ServerCalls()[0].out + " reserved=null requestLength=42 request=" + Hex(expected),
            starts[0].args);
  EXPECT_EQ("", backup->StartRequest()) << "emptied after the send";
  EXPECT_FALSE(backup->EndOfOutput());
}

TEST_F(ServiceDoubleTest, OptionalItemsOfTheStartRequest) {
  TIBBackupService backup;
  backup.SetDatabaseName("db");
  backup.BuildStartRequest();
  EXPECT_EQ("\x01" + Text(106, "db") + Int(108, 0), backup.StartRequest())
      << "no options still sends a zero word; no verbose byte, factor or file";

  backup.SetBlockingFactor(-5);
  backup.BuildStartRequest();
  EXPECT_EQ("\x01" + Text(106, "db") + Int(108, 0), backup.StartRequest())
      << "a negative factor adds nothing";

  backup.SetBlockingFactor(0x01020304);
  backup.SetVerbose(true);
  backup.SetOptions({TBackupOption::IgnoreChecksums, TBackupOption::ConvertExtTables});
  backup.BuildStartRequest();
  EXPECT_EQ("\x01" + Text(106, "db") + Int(108, 0x41) + "\x6B" + Int(6, 0x01020304), backup.StartRequest());
}

// The server reads a text item's length from two bytes, low byte first, so every length up to 65535
// must arrive whole.
TEST_F(ServiceDoubleTest, TextItemsCarryTheirLengthInTwoBytesLowByteFirst) {
  struct Case {
    std::size_t length;
    const char* lengthBytes;
  };
  const Case cases[] = {
      {1, "\x01\x00"},   {127, "\x7F\x00"}, {128, "\x80\x00"},   {255, "\xFF\x00"},
      {256, "\x00\x01"}, {300, "\x2C\x01"}, {65535, "\xFF\xFF"},
  };
  for (const Case& c : cases) {
    TIBBackupService backup;
    const std::string name(c.length, 'd');
    backup.SetDatabaseName(name);
    backup.BuildStartRequest();
    EXPECT_EQ("\x01\x6A" + std::string(c.lengthBytes, 2) + name,
              backup.StartRequest().substr(0, 4 + c.length))
        << c.length;
  }
}

TEST_F(ServiceDoubleTest, OptionWordUsesTheServerFlags) {
  const std::vector<std::pair<TBackupOption, std::uint32_t>> flags = {
      {TBackupOption::IgnoreChecksums, isc_spb_bkp_ignore_checksums},
      {TBackupOption::IgnoreLimbo, isc_spb_bkp_ignore_limbo},
      {TBackupOption::MetadataOnly, isc_spb_bkp_metadata_only},
      {TBackupOption::NoGarbageCollection, isc_spb_bkp_no_garbage_collect},
      {TBackupOption::OldMetadataDesc, isc_spb_bkp_old_descriptions},
      {TBackupOption::NonTransportable, isc_spb_bkp_non_transportable},
      {TBackupOption::ConvertExtTables, isc_spb_bkp_convert},
  };
  TBackupOptions all;
  std::uint32_t word = 0;
  for (const auto& [option, flag] : flags) {
    EXPECT_EQ(flag, TBackupOptions{option}.Word());
    all.Include(option);
    word |= flag;
  }
  EXPECT_EQ(word, all.Word());
  all.Exclude(TBackupOption::IgnoreLimbo);
  EXPECT_FALSE(all.Contains(TBackupOption::IgnoreLimbo));
  EXPECT_EQ(word & ~0x02u, all.Word());
}

TEST_F(ServiceDoubleTest, BackupFileLinesBecomeFileAndLengthItems) {
  TIBBackupService backup;
  backup.SetDatabaseName("db");
  backup.BackupFile().Assign({"/b/part1.fbk=2048", "", " \t ", " /b/part2.fbk ", "/b/part3.fbk=-1=2"});
  EXPECT_THROW(backup.BuildStartRequest(), fbclient::EConvertError) << "only the first '=' splits";
  backup.BackupFile().Set(4, "/b/part3.fbk= 7");
  backup.BuildStartRequest();
  EXPECT_EQ("\x01" + Text(106, "db") + Int(108, 0) + Text(5, "/b/part1.fbk") + Int(7, 2048) +
                Text(5, " /b/part2.fbk ") + Text(5, "/b/part3.fbk") + Int(7, 7),
            backup.StartRequest())
      << "blank lines skipped, blanks of a path kept, lengths right behind their file";
}

TEST_F(ServiceDoubleTest, ALengthThatIsNoIntegerStopsTheRequest) {
  auto backup = AttachedBackup();
  backup->BackupFile().Assign({"/b/a.fbk=12x"});
  try {
    backup->ServiceStart();
    FAIL() << "12x is no integer";
  } catch (const fbclient::EConvertError& error) {
    EXPECT_STREQ("'12x' is not a valid integer value", error.what());
  }
  EXPECT_EQ(0u, CallCount("isc_service_start"));
  EXPECT_EQ("", backup->StartRequest());
  EXPECT_TRUE(backup->Active());

  backup->BackupFile().Assign({"/b/a.fbk=12"});
  backup->ServiceStart();
  const auto starts = fbdouble::CallsTo(control_->Calls(), "isc_service_start");
  ASSERT_EQ(1u, starts.size());
  const std::string expected =
      "\x01" + Text(106, "/dados/app.fdb") + Int(108, 8) + "\x6B" + Text(5, "/b/a.fbk") + Int(7, 12);
  EXPECT_NE(std::string::npos, starts[0].args.find("request=" + Hex(expected))) << "built afresh";
}

TEST_F(ServiceDoubleTest, EmptyDatabaseNameIsRefusedBeforeTheActionIsSet) {
  auto backup = AttachedBackup();
  backup->SetDatabaseName("");
  std::string text;
  EXPECT_EQ(94, ClientErrorOf([&] { backup->ServiceStart(); }, &text));
  EXPECT_EQ("start Parameters missing or incorrect", text);
  EXPECT_TRUE(backup->Active()) << "a client error leaves the attachment";
  EXPECT_EQ(93, ClientErrorOf([&] { backup->ReadOutputLine(); })) << "still no action";
  EXPECT_EQ(0u, CallCount("isc_service_start"));
}

TEST_F(ServiceDoubleTest, ServiceStartNeedsAnAttachment) {
  auto backup = PreparedBackup();
  EXPECT_EQ(90, ClientErrorOf([&] { backup->ServiceStart(); }));
  backup->SetDatabaseName("");
  EXPECT_EQ(90, ClientErrorOf([&] { backup->ServiceStart(); })) << "checked before the request";
  EXPECT_TRUE(ServerCalls().empty());
}

TEST_F(ServiceDoubleTest, AFailedStartForgetsTheHandleWithoutDetaching) {
  auto backup = AttachedBackup();
  control_->Fail("isc_service_start", {isc_arg_gds, isc_svcnoexe, isc_arg_string, Arg("gbak"), isc_arg_end});
  try {
    backup->ServiceStart();
    FAIL() << "the start was refused";
  } catch (const fbclient::EIBInterBaseError& error) {
    EXPECT_EQ(isc_svcnoexe, error.GdsCode());
    EXPECT_NE(std::string::npos, std::string(error.what()).find("gbak")) << error.what();
  }
  EXPECT_FALSE(backup->Active());
  EXPECT_EQ("", backup->StartRequest());
  EXPECT_FALSE(backup->EndOfOutput()) << "the request had set the action: reading";
  backup.reset();
  EXPECT_EQ(0u, CallCount("isc_service_detach"));
}

TEST_F(ServiceDoubleTest, ItemsAndRequestsBeyond16BitLengthsAreRefusedNotCut) {
  auto backup = AttachedBackup();
  backup->SetDatabaseName(std::string(65535, 'd'));
  backup->BackupFile().Clear();
  backup->BuildStartRequest();
  EXPECT_EQ(65535u + 3u + 1u + 5u + 1u, backup->StartRequest().size()) << "65535 bytes still fit an item";

  backup->SetDatabaseName(std::string(65536, 'd'));
  std::string text;
  EXPECT_EQ(122, ClientErrorOf([&] { backup->ServiceStart(); }, &text));
  EXPECT_EQ("start Parameter longer than 65535 bytes", text);

  backup->SetDatabaseName(std::string(40000, 'd'));
  backup->BackupFile().Assign({std::string(40000, 'f')});
  EXPECT_EQ(123, ClientErrorOf([&] { backup->ServiceStart(); }, &text));
  EXPECT_EQ("start Parameters longer than 65535 bytes", text);
  EXPECT_EQ(0u, CallCount("isc_service_start"));
  EXPECT_EQ("", backup->StartRequest());
  EXPECT_TRUE(backup->Active());
}

TEST(StrToInt, AcceptsSigned32BitDecimalsOnly) {
  EXPECT_EQ(0, StrToInt("0"));
  EXPECT_EQ(2048, StrToInt("  +2048"));
  EXPECT_EQ(-2147483647 - 1, StrToInt("-2147483648"));
  EXPECT_EQ(2147483647, StrToInt("2147483647"));
  for (const char* bad :
       {"", " ", "-", "2147483648", "-2147483649", "12 ", "0x10", "1.5", "99999999999999999999"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "'" << bad << "' was accepted";
    } catch (const fbclient::EConvertError& error) {
      EXPECT_EQ("'" + std::string(bad) + "' is not a valid integer value", error.what());
    }
  }
}

// The restore that checks a backup: files first, then the database to create, and the create-only
// option unless replacing was asked for.
TEST_F(ServiceDoubleTest, RestoreStartRequestIsByteExact) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    bool verbose;
    RestoreTarget target;
    std::string expected;
  };
  const Case cases[] = {
      {"one file, verbose, new database",
       {"/backup/app.gbk"},
       true,
       RestoreTarget::CreateNew,
       "\x02" + Text(5, "/backup/app.gbk") + Text(106, "/backup/check.fdb") + "\x6B" + Int(108, 0x2000)},
      {"quiet, replacing",
       {"/backup/app.gbk"},
       false,
       RestoreTarget::Replace,
       "\x02" + Text(5, "/backup/app.gbk") + Text(106, "/backup/check.fdb") + Int(108, 0x1000)},
      {"blank lines skipped, the rest in order, blanks kept",
       {"a.gbk", " ", "", " b.gbk"},
       false,
       RestoreTarget::CreateNew,
       "\x02" + Text(5, "a.gbk") + Text(5, " b.gbk") + Text(106, "/backup/check.fdb") + Int(108, 0x2000)},
  };
  for (const Case& c : cases) {
    RestoreService restore;
    restore.SetDatabaseName("/backup/check.fdb");
    for (const std::string& file : c.files)
      restore.BackupFile().Add(file);
    restore.SetVerbose(c.verbose);
    restore.SetTarget(c.target);
    restore.BuildStartRequest();
    EXPECT_EQ(Hex(c.expected), Hex(restore.StartRequest())) << c.name;
  }
}

TEST_F(ServiceDoubleTest, ARestoreWithoutADatabaseOrABackupFileIsRefused) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {"/backup/app.gbk"}}, {"/backup/check.fdb", {}}, {"/backup/check.fdb", {" ", ""}}};
  for (const auto& [database, files] : cases) {
    RestoreService restore;
    restore.SetDatabaseName(database);
    for (const std::string& file : files)
      restore.BackupFile().Add(file);
    EXPECT_EQ(94, ClientErrorOf([&] { restore.BuildStartRequest(); })) << database << " " << files.size();
    EXPECT_EQ("", restore.StartRequest());
  }
}

TEST_F(ServiceDoubleTest, TheCheckingRestoreAttachesAsTheBackupDoesAndNeverReplaces) {
  auto backup = PreparedBackup();
  RestoreService restore;
  restore.SetTarget(RestoreTarget::Replace);
  ApplyRestoreInstanceSettings(restore, *backup);
  EXPECT_EQ(restore.Params().Lines(), (std::vector<std::string>{"user_name=SYSDBA", "password=masterkey"}));
  EXPECT_FALSE(restore.LoginPrompt());
  EXPECT_TRUE(restore.Verbose());
  EXPECT_EQ(restore.Target(), RestoreTarget::CreateNew);

  restore.SetServerName("dbhost");
  restore.SetProtocol(TProtocol::TCP);
  restore.SetDatabaseName("/backup/check.fdb");
  restore.BackupFile().Add("/backup/app.gbk");
  restore.SetActive(true);
  restore.ServiceStart();
  const auto attaches = fbdouble::CallsTo(control_->Calls(), "isc_service_attach");
  ASSERT_EQ(1u, attaches.size());
  EXPECT_NE(attaches[0].args.find("dbhost:service_mgr"), std::string::npos) << attaches[0].args;
  EXPECT_EQ(1u, CallCount("isc_service_start"));
  EXPECT_FALSE(restore.EndOfOutput()) << "a started restore is read like a backup";
}

}  // namespace
}  // namespace services
