#include <gtest/gtest.h>
#include <ibase.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/BackupJob.h"
#include "core/Exceptions.h"
#include "tests/core/DoubleJobFixture.h"
#include "tests/support/FixedClockSystem.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// Writes to the backup's name while the lines arrive, as the server does.
struct ServerWritingObserver : core::JobObserver {
  void OutputLineRead(std::string_view) override { std::ofstream(target, std::ios::app) << "page"; }
  fs::path target;
};

// The next queries answer these lines, then the end of the output (the double's own answer).
void QueueLines(fbdouble::Control& control, int count) {
  const std::string reply = std::string("\x3E\x12\x00", 3) + "gbak: writing data" + "\x01";
  for (int i = 0; i < count; ++i)
    control.QueueReply("isc_service_query", std::vector<unsigned char>(reply.begin(), reply.end()));
}

// Jobs whose observer writes the backup file while the lines arrive.
class JobFailureTest : public DoubleJobTest {
 protected:
  JobFailureTest() { observer.target = folder.Path() / "backup" / "APP_20260307_2105.gbk"; }
  core::JobOutcome Run() {
    core::BackupJob job(settings, *service, transcript, observer);
    return job.Run(true);
  }

  ServerWritingObserver observer;
};

TEST_F(JobFailureTest, OnlyAFileTheServerWroteDuringAnUnfinishedBackupIsRemoved) {
  const std::vector<ISC_STATUS> refused = {isc_arg_gds, isc_network_error, isc_arg_end};
  struct Case {
    const char* failingCall;
    int callsBeforeFailure;
    bool earlierBackup;
    bool fileRemains;
  };
  const Case cases[] = {
      {"isc_service_start", 0, true, true},    // refused before anything was written
      {"isc_service_query", 0, true, true},    // refused at the first query: the earlier file is untouched
      {"isc_service_query", 3, false, false},  // cut off while the lines arrived
      {"isc_service_query", 3, true, false},   // the earlier file was overwritten, then cut off
      {"isc_service_detach", 0, false, true},  // the output had ended: the backup is whole
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.failingCall) + " after " + std::to_string(c.callsBeforeFailure));
    control_->Reset();
    control_->SetForwarding(false);
    fs::remove_all(folder.Path() / "backup");
    if (c.earlierBackup) {
      fs::create_directories(observer.target.parent_path());
      std::ofstream(observer.target) << "an earlier backup of the same minute";
    }
    QueueLines(*control_, 10);
    control_->Fail(c.failingCall, refused, c.callsBeforeFailure);
    EXPECT_EQ(Run(), core::JobOutcome::Failed);
    EXPECT_EQ(fs::exists(observer.target), c.fileRemains) << transcript.Text();
    if (service->Active()) service->SetActive(false);
  }
}

// The machine's system at the test's clock, but the log reports its failure only when it is closed, as a
// file system that writes late does.
class LogFailsAtCloseSystem : public platform::MachineSystem {
 public:
  explicit LogFailsAtCloseSystem(platform::System& clock) : clock_(clock) {}
  platform::TimePoint Now() override { return clock_.Now(); }
  char DateSeparator() override { return '/'; }
  char TimeSeparator() override { return ':'; }
  std::unique_ptr<platform::AppendFile> OpenForAppend(const std::string&) override {
    struct LateFailingFile : platform::AppendFile {
      void Write(std::string_view) override {}
      void Close() override { throw std::system_error(EIO, std::generic_category(), "close"); }
    };
    return std::make_unique<LateFailingFile>();
  }

 private:
  platform::System& clock_;
};

TEST_F(JobFailureTest, ALogThatFailsWhenClosedIsAnIoError) {
  LogFailsAtCloseSystem system(clock);
  core::BackupJob job(settings, *service, transcript, observer, system);
  try {
    job.Run(true);
    FAIL() << "the log was not written";
  } catch (const core::EInOutError& error) {
    EXPECT_EQ(error.ErrorCode(), 5);
    EXPECT_STREQ(error.what(), "I/O error 5");
  }
}

TEST_F(JobFailureTest, ACopyFolderThatIsNoLocalPathIsACopyError) {
  for (const std::string copyFolder : {"D:\\Backup\\", "backup-copies/", "\\\\server\\share\\"}) {
    settings.copyFolder = copyFolder;
    ASSERT_EQ(Run(), core::JobOutcome::Completed) << transcript.Text();
    const std::string target = copyFolder + "APP_20260307_2105.gbk";
    const auto& lines = transcript.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Copiando o backup para " + target), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Erro copiando " + target), lines.end()) << copyFolder;
    EXPECT_FALSE(fs::exists(target)) << "nothing is written relative to the working folder";
  }
}

}  // namespace
}  // namespace testsupport

namespace testsupport {
namespace {

TEST_F(JobFailureTest, OnlyAFolderTheJobCreatesIsSharedWithTheServer) {
  settings.serverAccount = "0";  // an account every machine has
  const fs::path backup = folder.Path() / "backup";
  ASSERT_EQ(Run(), core::JobOutcome::Completed) << transcript.Text();
  EXPECT_EQ(fs::status(backup).permissions() & fs::perms::all, fs::perms::owner_all | fs::perms::group_all)
      << "created for its owner and shared: the access list's mask shows as the group's rights";

  fs::remove_all(backup);
  fs::create_directory(backup);
  fs::permissions(backup, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  ASSERT_EQ(Run(), core::JobOutcome::Completed) << transcript.Text();
  EXPECT_EQ(fs::status(backup).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec)
      << "a folder set up before keeps its rights";
}

}  // namespace
}  // namespace testsupport
