#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/OutputReadAhead.h"
#include "tests/fakes/FakeServer.h"

namespace testsupport {
namespace {

struct Stop {};

// Silent until the caller's thread has idled, then its lines (over and over when endless), then its error.
struct SilentThenTalkingServer : fakes::FakeServer {
  void Backup(const core::LoginChoice&, const std::string&, const std::string&, const std::string&,
              const LineRead& lineRead) override {
    Talk(lineRead);
  }
  // Its lines' count of looks at a server that sends none.
  void BackupWithoutLines(const core::LoginChoice&, const std::string&, const std::string&,
                          const std::string&, const StillWriting& stillWriting) override {
    Talk([&](std::string_view) { stillWriting(); });
  }
  void Talk(const LineRead& lineRead) {
    idled.wait(false);
    try {
      do {
        for (const std::string& line : backupLines)
          lineRead(line);
      } while (endless);
    } catch (...) {
      endedByCallback = true;
      throw;
    }
    if (error) throw core::ServerFailure(*error, core::ServerStage::Started);
  }
  std::optional<std::string> error;
  bool endless = false, endedByCallback = false;
  std::atomic<bool> idled = false;
};

TEST(OutputReadAhead, HandsEveryLineToTheCallersThreadInOrderThenTheErrorOrTheCallersStop) {
  const struct {
    std::vector<std::string> lines;
    std::optional<std::string> error;
    bool endless;
    std::vector<std::string> delivered;  // up to 3; the callback throws at the 4th
    std::string thrown;
    bool withoutLines = false;
  } cases[] = {{{"gbak: a", ""}, {}, false, {"gbak: a", ""}, ""},
               {{"gbak: a", "gbak: b"}, "falhou", false, {"gbak: a", "gbak: b"}, "falhou"},
               {{"gbak: a", "gbak: b"}, {}, true, {"gbak: a", "gbak: b", "gbak: a"}, "stop"},
               {{"x", "y"}, "falhou", false, {"look", "look"}, "falhou", true},
               {{"x"}, {}, true, {"look", "look", "look"}, "stop", true}};
  for (const auto& c : cases) {
    SilentThenTalkingServer server;
    server.backupLines = c.lines, server.error = c.error, server.endless = c.endless;
    const std::thread::id caller = std::this_thread::get_id();
    core::OutputReadAhead readAhead(server, [&] {
      server.idled = std::this_thread::get_id() == caller;
      server.idled.notify_all();
    });
    std::vector<std::string> delivered;
    std::string thrown;
    const auto take = [&](std::string_view line) {
      if (delivered.size() == 3 || std::this_thread::get_id() != caller) throw Stop{};
      delivered.emplace_back(line);
    };
    try {
      if (c.withoutLines) {
        readAhead.BackupWithoutLines({}, "srv", "/dados/app.fdb", "/b/app.gbk", [&] { take("look"); });
      } else {
        readAhead.Backup({}, "srv", "/dados/app.fdb", "/b/app.gbk", take);
      }
    } catch (const core::ServerFailure& failure) {
      thrown = failure.what();
    } catch (const Stop&) {
      thrown = "stop";
    }
    EXPECT_EQ(delivered, c.delivered) << c.thrown;
    EXPECT_EQ(thrown, c.thrown);
    // Read once the call returned: the reader has been joined, or this is a race the sanitizer reports.
    EXPECT_EQ(server.endedByCallback, c.endless) << "an endless output ends only by the caller's stop";
  }
}

}  // namespace
}  // namespace testsupport
